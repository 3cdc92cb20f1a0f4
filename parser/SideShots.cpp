// "SS" side shots and "SO" stake-out shots, sent at once. SS lines arrive here with the
// placeholder field inserted at position 2, so both codes share one layout.
#include "parser/RawDataParser.h"

namespace {

enum SideShotToken : std::size_t {
    kTarget = 1,
    kTargetHeight = 3,
    kSlopeDistance = 4,
    kHorizontal = 5,
    kVertical = 6,
    kCode = 8,
};

} // namespace

// The station record's backsight, when no face round followed it.
void CRawDataParser::SendBacksight() {
    sink->AddObservation(pendingBacksight->name.c_str());
    if (HasValue(pendingBacksight->horizontalAngle))
        sink->SetHorizontalAngle(ValueOf(pendingBacksight->horizontalAngle));
    sink->SetFaceRight(!pendingBacksight->faceLeft);
    pendingBacksight.reset();
}

void CRawDataParser::HandleSideShot(const TokenList& t) {
    if (stationOpen)
        FlushObservations(backsightAngle);
    stationOpen = false;
    SendPendingBacksight();

    if (t.size() <= kTarget)
        return;
    sink->AddObservation(t[kTarget].c_str());
    if (t.size() <= kTargetHeight)
        return;
    IDistanceConverter* const distances = DistancesOrReport();
    if (distances == nullptr)
        return;
    SendToken(t, kTargetHeight, distances, &IMeasurementSink::SetTargetHeight);
    if (!SendToken(t, kSlopeDistance, distances, &IMeasurementSink::SetSlopeDistance))
        return;
    Plugin::IAngleConverter* const angles = AnglesOrReport();
    if (angles == nullptr)
        return;
    if (!SendToken(t, kHorizontal, angles, &IMeasurementSink::SetHorizontalAngle) ||
        !SendToken(t, kVertical, angles, &IMeasurementSink::SetVerticalAngle) || t.size() <= kCode)
        return;
    sink->SetCode(t[kCode].c_str());
}
