// "MC", "MP", "RE" and "UP" coordinate records, sent at once as points.
#include "parser/RawDataParser.h"

#include "platform/StringTable.h"

namespace {

enum CoordinateToken : std::size_t { kName = 1, kFirst = 3, kSecond = 4, kElevation = 5, kCode = 6 };

} // namespace

void CRawDataParser::HandleCoordinate(const TokenList& t) {
    if (t.size() <= kName || t[kName].empty())
        return;
    sink->AddPoint(t[kName].c_str());

    const bool resectionPoint = IsCode(t[0], L"RE");
    if (resectionPoint)
        stationName = t[kName];
    if (IsCode(t[0], L"MP") || IsCode(t[0], L"UP")) {
        sink->SetResectionPoint(false);
        sink->SetPointAttribute(false);
    } else if (resectionPoint) {
        sink->SetResectionPoint(true);
    }

    if (t.size() <= kFirst)
        return;
    if (!settings.Distances()) {
        ReportMessage(kNoDistanceUnits);
        return;
    }
    // The header's coordinate order routes tokens 3 and 4; the calls follow the token order.
    using Setter = void (IMeasurementSink::*)(double);
    const Setter first =
        settings.EastingFirst() ? &IMeasurementSink::SetEasting : &IMeasurementSink::SetNorthing;
    const Setter second =
        settings.EastingFirst() ? &IMeasurementSink::SetNorthing : &IMeasurementSink::SetEasting;
    double value = 0.0;
    if (ConvertText(settings.Distances(), t[kFirst].c_str(), value))
        (sink->*first)(value);
    if (t.size() <= kSecond)
        return;
    if (ConvertText(settings.Distances(), t[kSecond].c_str(), value))
        (sink->*second)(value);
    if (t.size() <= kElevation)
        return;
    if (ConvertText(settings.Distances(), t[kElevation].c_str(), value))
        sink->SetElevation(value);
    if (t.size() <= kCode)
        return;
    sink->SetCode(t[kCode].c_str());
}
