#include "exchange/GdalWriter.h"

#include "exchange/Exchange.h"
#include "exchange/GdalErrors.h"

#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <memory>
#include <variant>

namespace exchange {
namespace {

constexpr double kDegreesPerRadian = 180.0 / 3.14159265358979323846;
constexpr const char* kStationsCadLayer = "STATIONS";
constexpr const char* kObservationsCadLayer = "OBSERVATIONS";
constexpr const char* kUncodedCadLayer = "NO_CODE";
constexpr double kLabelHeightMetres = 0.2;

class Failing {
public:
    Failing(const Staging& staging, const GdalErrors& errors) : m_staging(staging), m_errors(errors) {}
    [[noreturn]] void operator()(const std::string& what) const {
        std::string message = "cannot write " + m_staging.target().u8string() + ": " + what;
        if (m_errors.failed())
            message += " (" + m_errors.last() + ")";
        throw Error(Error::Kind::WriteFailure, message);
    }

private:
    const Staging& m_staging;
    const GdalErrors& m_errors;
};

// Where survey positions land in the file: the reference system's own unit, or WGS 84 longitude and
// latitude with heights in metres for the formats defined that way.
class Frame {
public:
    Frame(const std::optional<ReferenceSystem>& system, bool longitudeLatitude, const Failing& fail)
        : m_fail(fail) {
        if (system) {
            m_unitsPerMetre = 1 / system->metresPerUnit;
            m_survey = std::make_unique<OGRSpatialReference>();
            m_survey->importFromWkt(system->wkt.c_str());
            m_survey->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        }
        if (!longitudeLatitude)
            return;
        if (!system)
            throw Error(Error::Kind::Usage, "longitudes and latitudes need the survey's system: give --crs");
        m_file = std::make_unique<OGRSpatialReference>();
        m_file->importFromEPSG(4326);
        m_file->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        m_toFile.reset(OGRCreateCoordinateTransformation(m_survey.get(), m_file.get()));
        if (!m_toFile)
            throw Error(Error::Kind::Usage, "--crs " + system->name + " cannot be transformed to WGS 84");
    }

    OGRSpatialReference* fileSystem() const { return m_file ? m_file.get() : m_survey.get(); }

    OGRPoint Point(const Position& position) const {
        double x = position.easting * m_unitsPerMetre;
        double y = position.northing * m_unitsPerMetre;
        if (m_toFile && !m_toFile->Transform(1, &x, &y))
            m_fail("a point lies where --crs cannot be transformed to WGS 84");
        return OGRPoint(x, y, Length(position.elevation).value_or(0));
    }

    // Lengths go with the coordinates: the system's unit, metres beside longitudes and latitudes.
    std::optional<double> Length(const std::optional<double>& metres) const {
        if (!metres)
            return std::nullopt;
        return m_toFile ? *metres : *metres * m_unitsPerMetre;
    }

private:
    struct TransformDeleter {
        void operator()(OGRCoordinateTransformation* transform) const {
            OGRCoordinateTransformation::DestroyCT(transform);
        }
    };
    const Failing& m_fail;
    double m_unitsPerMetre = 1;
    std::unique_ptr<OGRSpatialReference> m_survey;
    std::unique_ptr<OGRSpatialReference> m_file;
    std::unique_ptr<OGRCoordinateTransformation, TransformDeleter> m_toFile;
};

std::optional<double> Degrees(const std::optional<double>& radians) {
    if (!radians)
        return std::nullopt;
    return *radians * kDegreesPerRadian;
}

using FieldValue = std::variant<std::string, std::optional<double>>;

// A layer's fields: its texts, then its numbers; a row's values come in the same order.
template <std::size_t Texts, std::size_t Numbers> struct Schema {
    std::array<const char*, Texts> texts;
    std::array<const char*, Numbers> numbers;
};

constexpr Schema<4, 3> kPointFields = {{"name", "code", "source", "file"},
                                       {"elevation", "horizontal_spread", "vertical_spread"}};

std::vector<FieldValue> Values(const PointRow& row, const Frame& frame) {
    const survey::Coordinate& point = row.point;
    const std::string source = point.source == survey::PointSource::Known ? "known" : "computed";
    return {point.name,
            point.code,
            source,
            row.file,
            frame.Length(point.elevation),
            frame.Length(point.horizontalSpread),
            frame.Length(point.verticalSpread)};
}

constexpr Schema<2, 6> kStationFields = {
    {"name", "file"},
    {"elevation", "instrument_height", "temperature", "pressure", "orientation", "orientation_residual"}};

std::vector<FieldValue> Values(const StationRow& row, const Frame& frame) {
    return {row.name,
            row.file,
            frame.Length(row.position.elevation),
            frame.Length(row.instrumentHeight),
            row.temperature,
            row.pressure,
            Degrees(row.orientation),
            Degrees(row.orientationResidual)};
}

constexpr Schema<5, 4> kObservationFields = {
    {"station", "target", "face", "code", "file"},
    {"horizontal_angle", "vertical_angle", "slope_distance", "target_height"}};

std::vector<FieldValue> Values(const ObservationRow& row, const Frame& frame) {
    return {row.station,
            row.target,
            row.face,
            row.code,
            row.file,
            Degrees(row.horizontalAngle),
            Degrees(row.zenithAngle),
            frame.Length(row.slopeDistance),
            frame.Length(row.targetHeight)};
}

OGRGeometryUniquePtr PointGeometry(const Position& position, const Frame& frame) {
    return OGRGeometryUniquePtr(frame.Point(position).clone());
}

OGRGeometryUniquePtr SightLine(const ObservationRow& row, const Frame& frame) {
    auto line = std::make_unique<OGRLineString>();
    const OGRPoint from = frame.Point(*row.from);
    const OGRPoint to = frame.Point(*row.to);
    line->addPoint(&from);
    line->addPoint(&to);
    return OGRGeometryUniquePtr(line.release());
}

bool Located(const ObservationRow& row) {
    return row.from && row.to;
}

void SetField(OGRFeature& feature, int index, const FieldValue& value) {
    if (const auto* text = std::get_if<std::string>(&value)) {
        feature.SetField(index, text->c_str());
        return;
    }
    const auto& number = std::get<std::optional<double>>(value);
    if (number)
        feature.SetField(index, *number);
    else
        feature.SetFieldNull(index);
}

// Layer creation options a driver needs to write this project's layers well.
CPLStringList LayerOptions(const GdalFormat& format, OGRwkbGeometryType geometry) {
    CPLStringList options;
    const std::string driver = format.driver;
    if (driver == "CSV") {
        // Columns X, Y, Z for points; lines have no such columns and go as WKT.
        options.SetNameValue("GEOMETRY", geometry == wkbPoint25D ? "AS_XYZ" : "AS_WKT");
        options.SetNameValue("CREATE_CSVT", "YES");
    } else if (driver == "GeoJSON") {
        options.SetNameValue("RFC7946", "YES");
        // Nine decimals of a degree are a tenth of a millimetre; the default seven are a centimetre.
        options.SetNameValue("COORDINATE_PRECISION", "9");
    }
    return options;
}

CPLStringList DatasetOptions(const GdalFormat& format) {
    CPLStringList options;
    if (format.driver == "KML")
        options.SetNameValue("NameField", "name");
    return options;
}

// Not every GDAL driver reports a write the disk refused (KML and GeoJSON cut the file short and
// succeed), so the files are made in GDAL's memory file system and written out from there, where
// every write is checked.
class MemoryFolder {
public:
    explicit MemoryFolder(const Staging& staging)
        : m_path("/vsimem" + std::filesystem::absolute(staging.PathFor("")).generic_u8string()) {
        VSIMkdirRecursive(m_path.c_str(), 0700); // some drivers look for the folder
    }
    ~MemoryFolder() { VSIRmdirRecursive(m_path.c_str()); }
    MemoryFolder(const MemoryFolder&) = delete;
    MemoryFolder& operator=(const MemoryFolder&) = delete;

    std::string PathFor(const std::string& fileName) const { return m_path + fileName; }

    void WriteOut(const Staging& staging, const Failing& fail) const {
        const CPLStringList names(VSIReadDir(m_path.c_str()), TRUE);
        for (int i = 0; i < names.size(); ++i) {
            vsi_l_offset length = 0;
            const GByte* data = VSIGetMemFileBuffer(PathFor(names[i]).c_str(), &length, FALSE);
            if (data == nullptr)
                continue; // "." and ".."
            std::ofstream out(staging.PathFor(names[i]), std::ios::binary | std::ios::trunc);
            out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(length));
            out.close();
            if (!out)
                fail(std::string("the disk refused ") + names[i]);
        }
    }

private:
    std::string m_path; // ends with a separator
};

class DatasetWriter {
public:
    DatasetWriter(const GdalFormat& format, const Frame& frame, const MemoryFolder& folder,
                  const Failing& fail)
        : m_format(format), m_frame(frame), m_folder(folder), m_fail(fail) {}

    GDALDatasetUniquePtr Create(const std::string& fileName) const {
        GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(m_format.driver.c_str());
        if (driver == nullptr)
            m_fail(std::string("this GDAL has no ") + m_format.driver + " driver");
        const std::string path = m_folder.PathFor(fileName);
        GDALDatasetUniquePtr dataset(
            driver->Create(path.c_str(), 0, 0, 0, GDT_Unknown, DatasetOptions(m_format).List()));
        if (!dataset)
            m_fail("GDAL cannot create the file");
        return dataset;
    }

    void Close(GDALDatasetUniquePtr dataset, const GdalErrors& errors) const {
        dataset.reset();
        if (errors.failed())
            m_fail("GDAL failed while finishing the file");
    }

    template <typename Row, typename Fields>
    void WriteLayer(GDALDataset& dataset, const char* name, OGRwkbGeometryType geometry,
                    const std::vector<Row>& rows, const Fields& fields,
                    OGRGeometryUniquePtr (*shape)(const Row&, const Frame&),
                    bool (*wanted)(const Row&)) const {
        OGRLayer* layer = dataset.CreateLayer(name, m_frame.fileSystem(), geometry,
                                              LayerOptions(m_format, geometry).List());
        if (layer == nullptr)
            m_fail(std::string("GDAL cannot create the layer ") + name);
        const std::vector<int> indices = CreateFields(*layer, fields);
        for (const Row& row : rows) {
            if (!wanted(row))
                continue;
            OGRFeatureUniquePtr feature(OGRFeature::CreateFeature(layer->GetLayerDefn()));
            const std::vector<FieldValue> values = Values(row, m_frame);
            for (std::size_t index = 0; index < values.size(); ++index)
                SetField(*feature, indices[index], values[index]);
            feature->SetGeometryDirectly(shape(row, m_frame).release());
            if (layer->CreateFeature(feature.get()) != OGRERR_NONE)
                m_fail(std::string("GDAL cannot write a feature of the layer ") + name);
        }
    }

private:
    // Where each field landed: drivers may shorten its name (Shapefile keeps ten characters) or
    // keep fields of their own before it (KML's placemark name).
    template <typename Fields> std::vector<int> CreateFields(OGRLayer& layer, const Fields& fields) const {
        std::vector<int> indices;
        const auto create = [&](const char* name, OGRFieldType type) {
            OGRFieldDefn definition(name, type);
            if (layer.CreateField(&definition) != OGRERR_NONE)
                m_fail(std::string("GDAL cannot create the field ") + name);
            const int index = layer.GetLayerDefn()->GetFieldIndex(name);
            indices.push_back(index >= 0 ? index : layer.GetLayerDefn()->GetFieldCount() - 1);
        };
        for (const char* name : fields.texts)
            create(name, OFTString);
        for (const char* name : fields.numbers)
            create(name, OFTReal);
        return indices;
    }

    const GdalFormat& m_format;
    const Frame& m_frame;
    const MemoryFolder& m_folder;
    const Failing& m_fail;
};

OGRGeometryUniquePtr PointShape(const PointRow& row, const Frame& frame) {
    return PointGeometry(row.position(), frame);
}
OGRGeometryUniquePtr StationShape(const StationRow& row, const Frame& frame) {
    return PointGeometry(row.position, frame);
}
template <typename Row> bool Always(const Row&) {
    return true;
}

struct LayerFiles {
    std::string points, stations, observations;
};

LayerFiles FileNames(const Staging& staging, GdalLayout layout) {
    const std::string name = staging.target().filename().u8string();
    if (layout != GdalLayout::FilePerLayer)
        return {name, name, name};
    const std::array<std::string, 3> names = FilePerLayerNames(name);
    return {names[0], names[1], names[2]};
}

void WriteLayers(const GdalFormat& format, const SurveyRows& rows, const Frame& frame, Staging& staging,
                 const MemoryFolder& folder, const GdalErrors& errors, const Failing& fail) {
    const DatasetWriter writer(format, frame, folder, fail);
    const LayerFiles files = FileNames(staging, format.layout);
    GDALDatasetUniquePtr dataset = writer.Create(files.points);
    writer.WriteLayer(*dataset, "points", wkbPoint25D, rows.points, kPointFields, PointShape,
                      Always<PointRow>);
    if (format.layout == GdalLayout::FilePerLayer) {
        writer.Close(std::move(dataset), errors);
        dataset = writer.Create(files.stations);
    }
    writer.WriteLayer(*dataset, "stations", wkbPoint25D, rows.stations, kStationFields, StationShape,
                      Always<StationRow>);
    if (format.layout == GdalLayout::FilePerLayer) {
        writer.Close(std::move(dataset), errors);
        dataset = writer.Create(files.observations);
    }
    writer.WriteLayer(*dataset, "observations", wkbLineString25D, rows.observations, kObservationFields,
                      SightLine, Located);
    writer.Close(std::move(dataset), errors);
}

// CAD layer names may not hold the characters AutoCAD reserves.
std::string CadLayerName(const std::string& code) {
    if (code.empty())
        return kUncodedCadLayer;
    std::string name = code;
    for (char& c : name) {
        if (std::string_view("<>/\\\":;?*|=`,").find(c) != std::string_view::npos)
            c = '_';
    }
    return name;
}

// A point feature whose style is a label becomes a text entity (GDAL writes MTEXT).
std::string LabelStyle(const std::string& text, double height) {
    std::string quoted;
    for (char c : text)
        quoted += c == '"' ? '\'' : c;
    return "LABEL(t:\"" + quoted + "\",s:" + std::to_string(height) + "g)";
}

class CadWriter {
public:
    CadWriter(OGRLayer& layer, const Frame& frame, const Failing& fail)
        : m_layer(layer), m_frame(frame), m_fail(fail) {}

    void Entity(const std::string& cadLayer, OGRGeometryUniquePtr geometry,
                const std::string& style = {}) const {
        OGRFeatureUniquePtr feature(OGRFeature::CreateFeature(m_layer.GetLayerDefn()));
        feature->SetField("Layer", cadLayer.c_str());
        if (!style.empty())
            feature->SetStyleString(style.c_str());
        feature->SetGeometryDirectly(geometry.release());
        if (m_layer.CreateFeature(feature.get()) != OGRERR_NONE)
            m_fail("GDAL cannot write an entity on the CAD layer " + cadLayer);
    }

    // A 3D POINT and its name as a text whose insertion point is the point.
    void LabelledPoint(const std::string& cadLayer, const std::string& name, const Position& position) const {
        Entity(cadLayer, PointGeometry(position, m_frame));
        const double height = m_frame.Length(kLabelHeightMetres).value_or(kLabelHeightMetres);
        Entity(cadLayer, PointGeometry(position, m_frame), LabelStyle(name, height));
    }

private:
    OGRLayer& m_layer;
    const Frame& m_frame;
    const Failing& m_fail;
};

void WriteDrawing(const GdalFormat& format, const SurveyRows& rows, const Frame& frame, Staging& staging,
                  const MemoryFolder& folder, const GdalErrors& errors, const Failing& fail) {
    const DatasetWriter writer(format, frame, folder, fail);
    GDALDatasetUniquePtr dataset = writer.Create(staging.target().filename().u8string());
    OGRLayer* layer = dataset->CreateLayer("entities", nullptr, wkbUnknown, nullptr);
    if (layer == nullptr)
        fail("GDAL cannot create the drawing's entities");
    const CadWriter cad(*layer, frame, fail);
    for (const PointRow& point : rows.points)
        cad.LabelledPoint(CadLayerName(point.point.code), point.point.name, point.position());
    for (const StationRow& station : rows.stations)
        cad.LabelledPoint(kStationsCadLayer, station.name, station.position);
    for (const ObservationRow& observation : rows.observations) {
        if (Located(observation))
            cad.Entity(kObservationsCadLayer, SightLine(observation, frame));
    }
    writer.Close(std::move(dataset), errors);
}

} // namespace

void WriteWithGdal(const GdalFormat& format, const SurveyRows& rows,
                   const std::optional<ReferenceSystem>& system, Staging& staging) {
    GDALAllRegister();
    const GdalErrors errors;
    const Failing fail(staging, errors);
    const Frame frame(system, format.longitudeLatitude, fail);
    const MemoryFolder folder(staging);
    if (format.layout == GdalLayout::CadLayers)
        WriteDrawing(format, rows, frame, staging, folder, errors, fail);
    else
        WriteLayers(format, rows, frame, staging, folder, errors, fail);
    folder.WriteOut(staging, fail);
}

} // namespace exchange
