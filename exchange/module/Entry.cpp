#include "exchange/module/Entry.h"

#include "exchange/Exchange.h"
#include "platform/Export.h"
#include "resources/version.h"

#include <exception>

namespace exchange::module {
namespace {

// Runs a writer's call and hands back what it threw.
template <typename Call> std::optional<Failure> Caught(const Destination& destination, Call call) {
    try {
        call();
    } catch (const Error& error) {
        return Failure{error.kind(), error.problem(), error.names(), error.what()};
    } catch (const std::exception& error) {
        return Failure{Error::Kind::WriteFailure,
                       Problem::None,
                       {},
                       "cannot write " + destination.path + ": " + error.what()};
    }
    return std::nullopt;
}

std::optional<Failure> WriteCaught(const std::vector<survey::FileSurvey>& surveys,
                                   const Destination& destination) {
    return Caught(destination, [&] { Write(surveys, destination); });
}

std::optional<Failure> CheckCaught(const Destination& destination) {
    return Caught(destination, [&] { Check(destination); });
}

} // namespace
} // namespace exchange::module

// Looked up by name (kEntryName) by exchange::WriterModule.
PLUGIN_EXPORT const exchange::module::Entry* NikonExchangeEntry() {
    static const exchange::module::Entry entry{NIKON_VERSION_TEXT, exchange::module::WriteCaught,
                                               exchange::module::CheckCaught};
    return &entry;
}
