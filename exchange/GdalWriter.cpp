#include "exchange/GdalWriter.h"
#include "survey/Geometry.h"

#include "exchange/CadDrawing.h"
#include "exchange/Exchange.h"
#include "exchange/GdalErrors.h"

#include <cpl_string.h>
#include <gdal_priv.h>
#include <ogr_feature.h>
#include <ogr_geometry.h>
#include <ogr_spatialref.h>
#include <ogrsf_frmts.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <variant>

namespace exchange {
namespace {

constexpr double kDegreesPerRadian = 180.0 / survey::kPi;
constexpr const char* kStationsCadLayer = "STATIONS";
constexpr const char* kObservationsCadLayer = "OBSERVATIONS";
constexpr const char* kUncodedCadLayer = "NO_CODE";
constexpr double kLabelHeightMetres = 0.2;
constexpr double kLabelsPerExtent = 100;
constexpr std::size_t kDbfTextBytes = 254;

class Failing {
public:
    Failing(const Staging& staging, const GdalErrors& errors) : m_staging(staging), m_errors(errors) {}
    [[noreturn]] void operator()(const std::string& what, Problem problem = Problem::None) const {
        const std::string reason = m_errors.failed() ? m_errors.last() : "";
        std::string message = "cannot write " + target() + ": " + what;
        if (!reason.empty())
            message += " (" + reason + ")";
        throw Error(Error::Kind::WriteFailure, problem, {target(), reason}, message);
    }
    std::string target() const { return m_staging.target().u8string(); }

private:
    const Staging& m_staging;
    const GdalErrors& m_errors;
};

// Where survey positions land in the file: the reference system's own unit, or WGS 84 longitude and
// latitude with heights in metres for the formats defined that way.
class Frame {
public:
    Frame(const std::optional<ReferenceSystem>& system, const GdalFormat& format, const Failing& fail)
        : m_fail(fail) {
        if (system) {
            m_unitsPerMetre = 1 / system->metresPerUnit;
            m_survey = std::make_unique<OGRSpatialReference>();
            m_survey->importFromWkt(system->wkt.c_str());
            m_survey->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        }
        if (!format.longitudeLatitude)
            return;
        if (!system)
            throw Error(Error::Kind::Usage, Problem::NeedsReferenceSystem, {fail.target(), format.driver},
                        format.driver + " holds longitudes and latitudes, which need the survey's system");
        m_file = std::make_unique<OGRSpatialReference>();
        m_file->importFromEPSG(4326);
        m_file->SetAxisMappingStrategy(OAMS_TRADITIONAL_GIS_ORDER);
        m_toFile.reset(OGRCreateCoordinateTransformation(m_survey.get(), m_file.get()));
        if (!m_toFile)
            throw Error(Error::Kind::Usage, Problem::NoTransformToWgs84, {system->name},
                        system->name + " cannot be transformed to WGS 84");
    }

    OGRSpatialReference* fileSystem() const { return m_file ? m_file.get() : m_survey.get(); }

    OGRPoint Point(const Position& position) const {
        double x = position.easting * m_unitsPerMetre;
        double y = position.northing * m_unitsPerMetre;
        if (m_toFile && !m_toFile->Transform(1, &x, &y))
            m_fail("a point lies where its reference system cannot be transformed to WGS 84",
                   Problem::PointOutsideTransform);
        // Without an elevation the point is two-dimensional: a Z of 0 would read as measured.
        if (const std::optional<double> z = Length(position.elevation))
            return OGRPoint(x, y, *z);
        return OGRPoint(x, y);
    }

    double unitsPerMetre() const { return m_toFile ? 1 : m_unitsPerMetre; }
    bool local() const { return !m_survey; }

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

// A field's name, and the one it takes in a format that allows ten characters (Shapefile's DBF).
struct Field {
    const char* name;
    const char* shortName;
};

// A layer's fields: its texts, then its numbers; a row's values come in the same order.
template <std::size_t Texts, std::size_t Numbers> struct Schema {
    std::array<Field, Texts> texts;
    std::array<Field, Numbers> numbers;
};

constexpr Schema<4, 3> kPointFields = {
    {{{"name", "name"}, {"code", "code"}, {"source", "source"}, {"file", "file"}}},
    {{{"elevation", "elevation"}, {"horizontal_spread", "h_spread"}, {"vertical_spread", "v_spread"}}}};

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

// An adjusted run's points also carry their standard deviations and 95 % ellipse: every point of
// the layer has the fields, empty where a point was not adjusted (known points), so that a GIS
// user can label, filter and style by them; an unadjusted run's points keep the fields above.
constexpr Schema<4, 9> kAdjustedPointFields = {kPointFields.texts,
                                               {{kPointFields.numbers[0],
                                                 kPointFields.numbers[1],
                                                 kPointFields.numbers[2],
                                                 {"sd_northing", "sd_north"},
                                                 {"sd_easting", "sd_east"},
                                                 {"sd_elevation", "sd_elev"},
                                                 {"ellipse95_semi_major", "e95_major"},
                                                 {"ellipse95_semi_minor", "e95_minor"},
                                                 {"ellipse95_azimuth", "e95_azim"}}}};

// An axis has no sense: its azimuth is given in [0, 180) degrees, clockwise from grid north.
double AxisAzimuthDegrees(double radians) {
    const double degrees = std::fmod(survey::Normalised(radians) * kDegreesPerRadian, 180.0);
    return degrees < 0 ? degrees + 180 : degrees;
}

std::vector<FieldValue> AdjustedValues(const PointRow& row, const Frame& frame) {
    std::vector<FieldValue> values = Values(row, frame);
    const std::optional<survey::Precision>& precision = row.point.precision;
    if (!precision) {
        values.insert(values.end(), kAdjustedPointFields.numbers.size() - kPointFields.numbers.size(),
                      std::optional<double>());
        return values;
    }
    const survey::ErrorEllipse& ellipse = precision->ellipse95;
    const std::optional<double> adjusted[] = {
        frame.Length(precision->sdNorthing),  frame.Length(precision->sdEasting),
        frame.Length(precision->sdElevation), frame.Length(ellipse.semiMajor),
        frame.Length(ellipse.semiMinor),      AxisAzimuthDegrees(ellipse.azimuth)};
    // A value the adjustment could not give is empty: "nan" in a field would read as a number.
    for (const std::optional<double>& value : adjusted)
        values.emplace_back(value && std::isfinite(*value) ? value : std::nullopt);
    return values;
}

bool AnyAdjusted(const std::vector<PointRow>& points) {
    return std::any_of(points.begin(), points.end(), [](const PointRow& row) { return row.point.precision; });
}

constexpr Schema<2, 6> kStationFields = {{{{"name", "name"}, {"file", "file"}}},
                                         {{{"elevation", "elevation"},
                                           {"instrument_height", "inst_hgt"},
                                           {"temperature", "temp"},
                                           {"pressure", "pressure"},
                                           {"orientation", "orient"},
                                           {"orientation_residual", "orient_res"}}}};

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
    {{{"station", "station"}, {"target", "target"}, {"face", "face"}, {"code", "code"}, {"file", "file"}}},
    {{{"horizontal_angle", "hz_angle"},
      {"vertical_angle", "zenith"},
      {"slope_distance", "slope_dist"},
      {"target_height", "target_hgt"}}}};

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
    if (!from.Is3D() || !to.Is3D())
        line->flattenTo2D();
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
        // Columns X, Y (and Z) for points; lines have no such columns and go as WKT.
        const bool point = wkbFlatten(geometry) == wkbPoint;
        options.SetNameValue("GEOMETRY", point ? (OGR_GT_HasZ(geometry) ? "AS_XYZ" : "AS_XY") : "AS_WKT");
        options.SetNameValue("CREATE_CSVT", "YES");
    } else if (driver == "GeoJSON") {
        options.SetNameValue("RFC7946", "YES");
        // Nine decimals of a degree are a tenth of a millimetre; the default seven are a centimetre.
        options.SetNameValue("COORDINATE_PRECISION", "9");
    } else if (driver == "ESRI Shapefile") {
        // A .cpg beside the DBF says UTF-8; the driver's default Latin-1 loses every other script.
        options.SetNameValue("ENCODING", "UTF-8");
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

    // A file's contents, valid until the file changes.
    std::string_view Contents(const std::string& fileName) const {
        vsi_l_offset length = 0;
        const GByte* data = VSIGetMemFileBuffer(PathFor(fileName).c_str(), &length, FALSE);
        return data == nullptr ? std::string_view()
                               : std::string_view(reinterpret_cast<const char*>(data), length);
    }

    void Replace(const std::string& fileName, const std::string& contents, const Failing& fail) const {
        VSILFILE* file = VSIFOpenL(PathFor(fileName).c_str(), "wb");
        const bool written =
            file != nullptr && VSIFWriteL(contents.data(), 1, contents.size(), file) == contents.size();
        if (file != nullptr)
            VSIFCloseL(file);
        if (!written)
            fail("cannot finish " + fileName + " in memory");
    }

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
    void WriteLayer(GDALDataset& dataset, const char* name, OGRwkbGeometryType flat,
                    const std::vector<Row>& rows, const Fields& fields,
                    OGRGeometryUniquePtr (*shape)(const Row&, const Frame&), bool (*wanted)(const Row&),
                    std::vector<FieldValue> (*valuesOf)(const Row&, const Frame&)) const {
        std::vector<const Row*> written;
        std::vector<OGRGeometryUniquePtr> shapes;
        for (const Row& row : rows) {
            if (wanted(row)) {
                written.push_back(&row);
                shapes.push_back(shape(row, m_frame));
            }
        }
        const Dimensions dimensions = LayerDimensions(shapes);
        const OGRwkbGeometryType geometry = dimensions == Dimensions::Flat ? flat : wkbSetZ(flat);
        OGRLayer* layer =
            dataset.CreateLayer(name, LayerSystem(), geometry, LayerOptions(m_format, geometry).List());
        if (layer == nullptr)
            m_fail(std::string("GDAL cannot create the layer ") + name);
        const std::vector<int> indices = CreateFields(*layer, fields);
        for (std::size_t rowIndex = 0; rowIndex < written.size(); ++rowIndex) {
            OGRFeatureUniquePtr feature(OGRFeature::CreateFeature(layer->GetLayerDefn()));
            const std::vector<FieldValue> values = valuesOf(*written[rowIndex], m_frame);
            for (std::size_t index = 0; index < values.size(); ++index) {
                RefuseTruncation(values[index]);
                SetField(*feature, indices[index], values[index]);
            }
            if (dimensions == Dimensions::Flat)
                shapes[rowIndex]->flattenTo2D();
            feature->SetGeometryDirectly(shapes[rowIndex].release());
            if (layer->CreateFeature(feature.get()) != OGRERR_NONE)
                m_fail(std::string("GDAL cannot write a feature of the layer ") + name);
        }
        if (dimensions == Dimensions::Mixed && m_format.driver == "GPKG")
            OptionalZ(dataset, name);
    }

private:
    // Where each field landed: drivers may shorten its name (Shapefile keeps ten characters) or
    // keep fields of their own before it (KML's placemark name).
    template <typename Fields> std::vector<int> CreateFields(OGRLayer& layer, const Fields& fields) const {
        std::vector<int> indices;
        const bool shortNames = m_format.driver == "ESRI Shapefile";
        const auto create = [&](const Field& field, OGRFieldType type) {
            const char* name = shortNames ? field.shortName : field.name;
            OGRFieldDefn definition(name, type);
            if (layer.CreateField(&definition) != OGRERR_NONE)
                m_fail(std::string("GDAL cannot create the field ") + name);
            const int index = layer.GetLayerDefn()->GetFieldIndex(name);
            indices.push_back(index >= 0 ? index : layer.GetLayerDefn()->GetFieldCount() - 1);
        };
        for (const Field& field : fields.texts)
            create(field, OFTString);
        for (const Field& field : fields.numbers)
            create(field, OFTReal);
        return indices;
    }

    // A DBF text field holds 254 bytes; the driver would cut a longer text without a word.
    void RefuseTruncation(const FieldValue& value) const {
        const auto* text = std::get_if<std::string>(&value);
        if (m_format.driver == "ESRI Shapefile" && text != nullptr && text->size() > kDbfTextBytes)
            m_fail("a text of " + std::to_string(text->size()) + " bytes is longer than the " +
                   std::to_string(kDbfTextBytes) + " a Shapefile's field holds; write a GeoPackage instead");
    }

    // Points and lines without an elevation are two-dimensional. Where one layer cannot hold both
    // kinds (Shapefile, FlatGeobuf, CSV's X, Y and Z columns, where GDAL writes a Z of 0), all of a
    // mixed layer are, and elevations stay in their field, empty where there is none.
    enum class Dimensions { Flat, Spatial, Mixed };
    template <typename Shapes> Dimensions LayerDimensions(const Shapes& shapes) const {
        const auto spatial =
            std::count_if(shapes.begin(), shapes.end(), [](const auto& shape) { return shape->Is3D(); });
        if (spatial == static_cast<std::ptrdiff_t>(shapes.size()))
            return Dimensions::Spatial;
        const bool mixable =
            m_format.driver == "GPKG" || m_format.driver == "GeoJSON" || m_format.driver == "KML";
        return spatial > 0 && mixable ? Dimensions::Mixed : Dimensions::Flat;
    }

    // A GeoPackage layer whose geometries may or may not have a Z says so (z = 2, optional); GDAL
    // declares it mandatory.
    void OptionalZ(GDALDataset& dataset, const char* name) const {
        const std::string sql =
            std::string("UPDATE gpkg_geometry_columns SET z = 2 WHERE table_name = '") + name + "'";
        dataset.ReleaseResultSet(dataset.ExecuteSQL(sql.c_str(), nullptr, nullptr));
    }

    // A GeoPackage without a reference system holds plane coordinates: the undefined Cartesian
    // system (srs_id -1), where no system at all would make them undefined geographic ones (0).
    OGRSpatialReference* LayerSystem() const {
        if (!m_frame.local() || m_format.driver != "GPKG")
            return m_frame.fileSystem();
        m_undefinedCartesian.SetLocalCS("Undefined cartesian SRS");
        return &m_undefinedCartesian;
    }

    const GdalFormat& m_format;
    const Frame& m_frame;
    const MemoryFolder& m_folder;
    const Failing& m_fail;
    mutable OGRSpatialReference m_undefinedCartesian;
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
    if (AnyAdjusted(rows.points))
        writer.WriteLayer(*dataset, "points", wkbPoint, rows.points, kAdjustedPointFields, PointShape,
                          Always<PointRow>, AdjustedValues);
    else
        writer.WriteLayer(*dataset, "points", wkbPoint, rows.points, kPointFields, PointShape,
                          Always<PointRow>, Values);
    if (format.layout == GdalLayout::FilePerLayer) {
        writer.Close(std::move(dataset), errors);
        dataset = writer.Create(files.stations);
    }
    writer.WriteLayer(*dataset, "stations", wkbPoint, rows.stations, kStationFields, StationShape,
                      Always<StationRow>, Values);
    if (format.layout == GdalLayout::FilePerLayer) {
        writer.Close(std::move(dataset), errors);
        dataset = writer.Create(files.observations);
    }
    writer.WriteLayer(*dataset, "observations", wkbLineString, rows.observations, kObservationFields,
                      SightLine, Located, Values);
    writer.Close(std::move(dataset), errors);
}

// GDAL writes each label's text as a placeholder of its own, replaced once the drawing is written
// (see FinishDrawing): its driver escapes text for an older code page and cannot escape MTEXT's codes.
class CadWriter {
public:
    CadWriter(OGRLayer& layer, const Frame& frame, const Failing& fail, double labelHeight)
        : m_layer(layer), m_frame(frame), m_fail(fail), m_labelHeight(labelHeight) {}

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

    // A POINT, and its name beside it: the label's lower left corner half a label height above and
    // to the right, so that the mark stays visible.
    void LabelledPoint(const std::string& cadLayer, const std::string& name, const Position& position) {
        Entity(cadLayer, PointGeometry(position, m_frame));
        const std::string placeholder = kLabelPlaceholder + std::to_string(m_texts.size());
        m_texts.emplace(placeholder, MTextEscaped(name));
        OGRPoint at = m_frame.Point(position);
        at.setX(at.getX() + m_labelHeight / 2);
        at.setY(at.getY() + m_labelHeight / 2);
        char height[32];
        std::snprintf(height, sizeof height, "%.9g", m_labelHeight);
        // Anchor 1 is the label's lower left corner.
        Entity(cadLayer, OGRGeometryUniquePtr(at.clone()),
               "LABEL(t:\"" + placeholder + "\",s:" + height + "g,p:1)");
    }

    // An ELLIPSE centred on the point: written as an MTEXT there whose text is a placeholder, made
    // the ELLIPSE once the drawing is written (see FinishedDrawing).
    void Ellipse(const std::string& cadLayer, const Position& centre, const CadEllipse& ellipse) {
        const std::string placeholder = kEllipsePlaceholder + std::to_string(m_ellipses.size());
        m_ellipses.emplace(placeholder, ellipse);
        Entity(cadLayer, PointGeometry(centre, m_frame), "LABEL(t:\"" + placeholder + "\",p:1)");
    }

    const std::map<std::string, std::string>& texts() const { return m_texts; }
    const std::map<std::string, CadEllipse>& ellipses() const { return m_ellipses; }

private:
    static constexpr const char* kLabelPlaceholder = "NIKON-LABEL-";
    static constexpr const char* kEllipsePlaceholder = "NIKON-ELLIPSE-";
    OGRLayer& m_layer;
    const Frame& m_frame;
    const Failing& m_fail;
    double m_labelHeight;
    std::map<std::string, std::string> m_texts; // placeholder -> MTEXT text
    std::map<std::string, CadEllipse> m_ellipses;
};

// A hundredth of the drawing's larger side: labels readable when the whole drawing is in view. A
// drawing of one point takes the height a plotted label of a large-scale plan has.
double LabelHeight(const SurveyRows& rows, const Frame& frame, const std::optional<double>& chosen) {
    if (chosen)
        return *chosen;
    double minX = HUGE_VAL, minY = HUGE_VAL, maxX = -HUGE_VAL, maxY = -HUGE_VAL;
    const auto extend = [&](const Position& position) {
        const OGRPoint point = frame.Point(position);
        minX = std::min(minX, point.getX());
        maxX = std::max(maxX, point.getX());
        minY = std::min(minY, point.getY());
        maxY = std::max(maxY, point.getY());
    };
    for (const PointRow& point : rows.points)
        extend(point.position());
    for (const StationRow& station : rows.stations)
        extend(station.position);
    const double extent = std::max(maxX - minX, maxY - minY);
    return extent > 0 ? extent / kLabelsPerExtent : kLabelHeightMetres * frame.unitsPerMetre();
}

// The adjusted points' 95 % ellipses, the largest drawn about as long as a label is high, on a layer
// whose name says how many times their size they are drawn.
class DrawnEllipses {
public:
    DrawnEllipses(const SurveyRows& rows, const Frame& frame, double labelHeight) {
        double largest = 0;
        for (const PointRow& row : rows.points) {
            if (row.point.precision && std::isfinite(row.point.precision->ellipse95.semiMajor))
                largest = std::max(largest, row.point.precision->ellipse95.semiMajor * frame.unitsPerMetre());
        }
        if (!(largest > 0))
            return;
        m_exaggeration = survey::EllipseExaggeration(labelHeight / largest);
        char name[64];
        std::snprintf(name, sizeof name, "ERROR_ELLIPSES_95_X%.0f", m_exaggeration);
        m_layer = name;
    }

    // Empty when the run has no ellipse to draw.
    const std::string& layer() const { return m_layer; }

    std::optional<CadEllipse> For(const PointRow& row, const Frame& frame) const {
        if (m_layer.empty() || !row.point.precision)
            return std::nullopt;
        const survey::ErrorEllipse& ellipse = row.point.precision->ellipse95;
        return ErrorEllipse(ellipse.semiMajor, ellipse.semiMinor, ellipse.azimuth, m_exaggeration,
                            frame.unitsPerMetre());
    }

private:
    double m_exaggeration = 1;
    std::string m_layer;
};

bool IsStation(const PointRow& point, const SurveyRows& rows) {
    return std::any_of(rows.stations.begin(), rows.stations.end(), [&](const StationRow& station) {
        return station.name == point.point.name && station.file == point.file;
    });
}

void WriteDrawing(const GdalFormat& format, const SurveyRows& rows, const Frame& frame, Staging& staging,
                  const MemoryFolder& folder, const GdalErrors& errors, const Failing& fail) {
    const DatasetWriter writer(format, frame, folder, fail);
    const std::string fileName = staging.target().filename().u8string();
    GDALDatasetUniquePtr dataset = writer.Create(fileName);
    OGRLayer* layer = dataset->CreateLayer("entities", nullptr, wkbUnknown, nullptr);
    if (layer == nullptr)
        fail("GDAL cannot create the drawing's entities");
    const double labelHeight = LabelHeight(rows, frame, format.labelHeight);
    CadWriter cad(*layer, frame, fail, labelHeight);
    const DrawnEllipses ellipses(rows, frame, labelHeight);
    CadLayerNames layers(
        {kStationsCadLayer, kObservationsCadLayer, kUncodedCadLayer, "0", "Defpoints", ellipses.layer()});
    // A station is drawn once, on the stations' layer.
    for (const PointRow& point : rows.points) {
        if (!IsStation(point, rows))
            cad.LabelledPoint(point.point.code.empty() ? kUncodedCadLayer : layers.For(point.point.code),
                              point.point.name, point.position());
    }
    for (const StationRow& station : rows.stations)
        cad.LabelledPoint(kStationsCadLayer, station.name, station.position);
    for (const PointRow& point : rows.points) {
        if (const std::optional<CadEllipse> ellipse = ellipses.For(point, frame))
            cad.Ellipse(ellipses.layer(), point.position(), *ellipse);
    }
    for (const ObservationRow& observation : rows.observations) {
        if (Located(observation))
            cad.Entity(kObservationsCadLayer, SightLine(observation, frame));
    }
    writer.Close(std::move(dataset), errors);
    const DrawingFinish finish{DrawingHeader(1 / frame.unitsPerMetre(), labelHeight / 2), cad.texts(),
                               cad.ellipses()};
    folder.Replace(fileName, FinishedDrawing(folder.Contents(fileName), finish), fail);
}

} // namespace

void WriteWithGdal(const GdalFormat& format, const SurveyRows& rows,
                   const std::optional<ReferenceSystem>& system, Staging& staging) {
    GDALAllRegister();
    const GdalErrors errors;
    const Failing fail(staging, errors);
    const Frame frame(system, format, fail);
    const MemoryFolder folder(staging);
    if (format.layout == GdalLayout::CadLayers)
        WriteDrawing(format, rows, frame, staging, folder, errors, fail);
    else
        WriteLayers(format, rows, frame, staging, folder, errors, fail);
    folder.WriteOut(staging, fail);
}

} // namespace exchange
