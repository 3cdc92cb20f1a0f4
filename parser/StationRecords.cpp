// "ST" station setups and the flush that sends a station's collected face observations.
#include "parser/RawDataParser.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;
constexpr double kTwoPi = 6.283185307179586;

// Token positions of an "ST" record.
enum StationToken : std::size_t {
    kStationName = 1,
    kBacksightName = 3,
    kInstrumentHeight = 5,
    kBacksightAngle = 7
};

} // namespace

double NormalizeHorizontalAngle(double angle) {
    double h = angle;
    if (h >= kTwoPi)
        h -= std::floor(h / kTwoPi) * kTwoPi;
    else if (h <= -kTwoPi)
        h -= std::ceil(h / kTwoPi) * kTwoPi;
    // Far beyond 2^52 the rounded quotient leaves a remainder of many turns, too large for
    // subtracting 2π to change it; the exact remainder keeps the loops below short.
    if (std::fabs(h) > 2 * kTwoPi)
        h = std::fmod(angle, kTwoPi);
    while (h - kPi >= kPi)
        h -= kTwoPi;
    while (h - kPi < -kPi)
        h += kTwoPi;
    return h;
}

void CRawDataParser::HandleStation(const TokenList& t) {
    if (stationOpen && !resectionMode)
        FlushObservations(backsightAngle);
    if (t.size() <= kStationName || t[kStationName].empty())
        return;
    const std::wstring_view name = t[kStationName];
    sink->AddStation(t[kStationName].c_str());
    if (HasValue(settings.Temperature()))
        sink->SetTemperature(ValueOf(settings.Temperature()));
    if (HasValue(settings.Pressure()))
        sink->SetPressure(ValueOf(settings.Pressure()));

    if (t.size() > kInstrumentHeight) {
        if (IDistanceConverter* const distances = DistancesOrReport())
            SendToken(t, kInstrumentHeight, distances, &IMeasurementSink::SetInstrumentHeight);
    }
    if (t.size() <= kBacksightName)
        return;

    backsightName = t[kBacksightName];
    auto backsight = std::make_unique<ObservationRecord>();
    backsight->name = t[kBacksightName];
    if (t.size() <= kBacksightAngle)
        return;

    if (Plugin::IAngleConverter* const angles = AnglesOrReport()) {
        double angle = 0.0;
        ConvertText(angles, t[kBacksightAngle].c_str(), angle);
        backsight->horizontalAngle = angle;
        if (resectionMode) {
            // The resection's observations were made from this station: they keep its
            // orientation only when a coordinate record already named it.
            FlushObservations(stationName == name ? angle : 0.0);
            resectionMode = false;
        }
        backsightAngle = angle;
        stationName = name;
        stationOpen = true;
    }
    pendingBacksight = std::move(backsight);
}

void CRawDataParser::FlushObservations(double orientation) {
    if (!observations.empty()) {
        double reference = 0.0;
        for (const ObservationRecord& record : observations) {
            if (record.faceLeft && record.name == backsightName) {
                if (HasValue(record.horizontalAngle))
                    reference = ValueOf(record.horizontalAngle);
                break;
            }
        }
        for (const ObservationRecord& record : observations) {
            if (record.name.empty())
                continue;
            sink->AddObservation(record.name.c_str());
            if (HasValue(record.targetHeight))
                sink->SetTargetHeight(ValueOf(record.targetHeight));
            if (HasValue(record.slopeDistance))
                sink->SetSlopeDistance(ValueOf(record.slopeDistance));
            if (HasValue(record.horizontalAngle))
                sink->SetHorizontalAngle(
                    NormalizeHorizontalAngle(orientation + ValueOf(record.horizontalAngle) - reference));
            if (HasValue(record.verticalAngle))
                sink->SetVerticalAngle(ValueOf(record.verticalAngle));
            sink->SetFaceRight(!record.faceLeft);
        }
    }
    ResetStation();
}

void CRawDataParser::ResetStation() {
    resectionMode = false;
    stationName.clear();
    backsightName.clear();
    observations.clear();
}
