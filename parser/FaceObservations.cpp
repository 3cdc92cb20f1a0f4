// "F1"/"F2" face observations, collected until the station's flush.
#include "parser/RawDataParser.h"

void CRawDataParser::HandleFaceObservation(const TokenList& t) {
    // Once a face round begins, the station record's own backsight record is never sent.
    pendingBacksight.reset();
    if (DistancesOrReport() == nullptr || AnglesOrReport() == nullptr)
        return;
    if (t.size() < 2 || t[1].empty())
        return;

    ObservationRecord record;
    record.name = t[1];
    record.faceLeft = IsCode(t[0], L"F1");

    // Tokens 2 to 5 in order; the line may stop after any of them.
    struct Field {
        OptionalDouble ObservationRecord::*value;
        bool angle;
    };
    static constexpr Field kFields[] = {
        {&ObservationRecord::targetHeight, false},
        {&ObservationRecord::slopeDistance, false},
        {&ObservationRecord::horizontalAngle, true},
        {&ObservationRecord::verticalAngle, true},
    };
    std::size_t index = 2;
    for (const Field& field : kFields) {
        if (index >= t.size())
            break;
        double value = 0.0;
        const bool converted = field.angle ? ConvertText(settings.Angles(), t[index].c_str(), value)
                                           : ConvertText(settings.Distances(), t[index].c_str(), value);
        if (converted)
            record.*field.value = value;
        ++index;
    }
    observations.push_back(std::move(record));
}
