#include "exchange/module/WriterModule.h"

#include "resources/version.h"

#include <string_view>

namespace exchange {
namespace {

void Throw(const std::optional<module::Failure>& failure) {
    if (failure)
        throw Error(failure->kind, failure->problem, failure->names, failure->message);
}

} // namespace

const module::Entry* WriterModule::Load() {
    if (m_entry != nullptr || m_failure)
        return m_entry;
    const std::string name = m_path.u8string();
    std::string error;
    if (!m_library.Open(m_path, error)) {
        m_failure = "cannot load the exchange writers " + name + ": " + error;
        return nullptr;
    }
    const auto entry = reinterpret_cast<module::EntryFunction>(m_library.Symbol(module::kEntryName));
    if (entry == nullptr) {
        m_failure = "the exchange writers " + name + " export no " + module::kEntryName;
        return nullptr;
    }
    const module::Entry* table = entry();
    if (table == nullptr || std::string_view(table->version) != NIKON_VERSION_TEXT) {
        m_failure = "the exchange writers " + name + " are of another version than " NIKON_VERSION_TEXT;
        return nullptr;
    }
    m_entry = table;
    return m_entry;
}

void WriterModule::Write(const std::vector<survey::FileSurvey>& surveys, const Destination& destination) {
    const module::Entry* entry = Load();
    if (entry == nullptr)
        throw Error(Error::Kind::WriteFailure, "cannot write " + destination.path + ": " + *m_failure);
    Throw(entry->write(surveys, destination));
}

void WriterModule::Check(const Destination& destination) {
    if (const module::Entry* entry = Load())
        Throw(entry->check(destination));
}

} // namespace exchange
