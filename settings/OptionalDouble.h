// A number a record or a comment may or may not give.
#pragma once

#include <boost/variant.hpp>

// Absent (boost::blank) or one value; a value never set or that did not convert is absent.
using OptionalDouble = boost::variant<boost::blank, double>;

inline bool HasValue(const OptionalDouble& value) {
    return value.which() == 1;
}
inline double ValueOf(const OptionalDouble& value) {
    return boost::get<double>(value);
}

// Host converters write the value only on success; a failed conversion leaves `value` alone.
template <class Converter> bool ConvertText(Converter* converter, const wchar_t* text, double& value) {
    double converted = 0.0;
    if (!converter->Convert(text, &converted))
        return false;
    value = converted;
    return true;
}
