// Builds without GDAL know no reference systems: they write local coordinates in metres.
#include "exchange/Exchange.h"
#include "exchange/ReferenceSystem.h"

namespace exchange {

std::optional<ReferenceSystem> DescribeReferenceSystem(const std::string& text) {
    if (text.empty())
        return std::nullopt;
    throw Error(Error::Kind::Usage, Problem::NoReferenceSystems, {text},
                "a reference system needs GDAL, and this build has none");
}

} // namespace exchange
