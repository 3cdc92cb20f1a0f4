#include "survey/Survey.h"

namespace survey {

double MetresPer(LengthUnit unit) {
    switch (unit) {
    case LengthUnit::InternationalFoot:
        return 0.3048;
    case LengthUnit::UsSurveyFoot:
        return 1200.0 / 3937.0;
    case LengthUnit::Metre:
        break;
    }
    return 1.0;
}

} // namespace survey
