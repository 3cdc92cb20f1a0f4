// "SS" side shots and "SO" stake-out shots, sent at once. SS lines arrive here with the
// placeholder field inserted at position 2, so both codes share one layout.
#include "parser/RawDataParser.h"

#include "platform/StringTable.h"

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
void CRawDataParser::SendPendingBacksight() {
    if (!pendingBacksight)
        return;
    sink->AddObservation(pendingBacksight->name.c_str());
    if (HasValue(pendingBacksight->horizontalAngle))
        sink->SetHorizontalAngle(ValueOf(pendingBacksight->horizontalAngle));
    sink->SetFaceRight(!pendingBacksight->faceLeft);
    pendingBacksight.reset();
}

void CRawDataParser::HandleSideShot(const TokenList& t) {
    if (stationOpen)
        FlushObservations();
    stationOpen = false;
    SendPendingBacksight();

    if (t.size() <= kTarget)
        return;
    sink->AddObservation(t[kTarget].c_str());
    if (t.size() <= kTargetHeight)
        return;
    if (!settings.Distances()) {
        ReportMessage(kNoDistanceUnits);
        return;
    }
    double value = 0.0;
    if (ConvertText(settings.Distances(), t[kTargetHeight].c_str(), value))
        sink->SetTargetHeight(value);
    if (t.size() <= kSlopeDistance)
        return;
    if (ConvertText(settings.Distances(), t[kSlopeDistance].c_str(), value))
        sink->SetSlopeDistance(value);
    if (!settings.Angles()) {
        ReportMessage(kNoAngleUnits);
        return;
    }
    if (t.size() <= kHorizontal)
        return;
    if (ConvertText(settings.Angles(), t[kHorizontal].c_str(), value))
        sink->SetHorizontalAngle(value);
    if (t.size() <= kVertical)
        return;
    if (ConvertText(settings.Angles(), t[kVertical].c_str(), value))
        sink->SetVerticalAngle(value);
    if (t.size() <= kCode)
        return;
    sink->SetCode(t[kCode].c_str());
}
