// The host's measurement sink: builds the import model from what the module sends, keeping
// everything, also observations that arrive before any station.
#pragma once

#include "host/HostObjects.h"
#include "host/ImportModel.h"
#include "interfaces/HostInterfaces.h"

#include <cstddef>
#include <functional>
#include <optional>

namespace host {

struct ProgressReport {
    std::size_t fileIndex; // 0-based, in the order of BeginFile
    int pass;              // 1 for the pre-scan pass, 2 for the import pass
    float percent;
};

using ProgressListener = std::function<void(const ProgressReport&)>;

class ModelSink final : public IMeasurementSink {
public:
    // Both references must outlive the sink; `progress` may be empty.
    ModelSink(HostObjects& objects, ImportModel& model, ProgressListener progress = {});

    IUnitConverterFactory* GetConverterFactory() override;
    void BeginFile(const wchar_t* path) override;
    void SetCurrentLine(std::int32_t index) override;
    void ReportMessage(const wchar_t* text) override;
    void SetProgress(float percent) override;
    void AddPoint(const wchar_t* name) override;
    void SetNorthing(double value) override;
    void SetEasting(double value) override;
    void SetElevation(double value) override;
    void SetResectionPoint(bool resection) override;
    void SetPointAttribute(bool attribute) override;
    void SetCode(const wchar_t* code) override;
    void AddStation(const wchar_t* name) override;
    void SetInstrumentHeight(double value) override;
    void AddObservation(const wchar_t* target) override;
    void SetPressure(double value) override;
    void SetTemperature(double value) override;
    void SetVerticalAngle(double value) override;
    void SetHorizontalAngle(double value) override;
    void SetTargetHeight(double value) override;
    void SetSlopeDistance(double value) override;
    void SetFaceRight(bool faceRight) override;

private:
    enum class Item { None, Point, Station, Observation };

    void Record(const char* call, std::vector<TraceValue> args) const;
    FileResult& File();
    Point* CurrentPoint();
    Station* CurrentStation();
    Observation* CurrentObservation();
    void SetPointValue(std::optional<double> Point::*field, double value);
    void SetStationValue(std::optional<double> Station::*field, double value);
    void SetObservationValue(std::optional<double> Observation::*field, double value);

    HostObjects& objects;
    ImportModel& model;
    ProgressListener progress;

    // State of the current file.
    int pass = 0;
    bool linesStarted = false;
    std::optional<int> currentLine;
    Item lastItem = Item::None;
};

} // namespace host
