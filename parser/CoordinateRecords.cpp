// "MC", "MP", "RE" and "UP" coordinate records, sent at once as points.
#include "parser/RawDataParser.h"

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
    IDistanceConverter* const distances = DistancesOrReport();
    if (distances == nullptr)
        return;
    // The header's coordinate order routes tokens 3 and 4; the calls follow the token order.
    using Setter = void (IMeasurementSink::*)(double);
    const bool eastingFirst = settings.EastingFirst();
    const Setter first = eastingFirst ? &IMeasurementSink::SetEasting : &IMeasurementSink::SetNorthing;
    const Setter second = eastingFirst ? &IMeasurementSink::SetNorthing : &IMeasurementSink::SetEasting;
    if (!SendToken(t, kFirst, distances, first) || !SendToken(t, kSecond, distances, second) ||
        !SendToken(t, kElevation, distances, &IMeasurementSink::SetElevation) || t.size() <= kCode)
        return;
    sink->SetCode(t[kCode].c_str());
}
