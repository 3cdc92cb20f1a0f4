#include "tools/rdf-import/writers/Writers.h"

namespace rdf {

namespace {

class SectionFeeder final : public PackedFileWriter {
public:
    using PackedFileWriter::PackedFileWriter;

private:
    void WriteFile(const host::FileEnd&) override {}
};

} // namespace

std::unique_ptr<host::ImportEvents> MakeSectionFeeder(const WriterSettings& settings) {
    return std::make_unique<SectionFeeder>(settings.sections);
}

const char* OutcomeName(host::FileOutcome outcome) {
    switch (outcome) {
    case host::FileOutcome::Imported:
        return "imported";
    case host::FileOutcome::CannotOpen:
        return "cannot-open";
    case host::FileOutcome::NoRecords:
        return "no-records";
    }
    return "unknown";
}

} // namespace rdf
