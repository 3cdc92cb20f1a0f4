// The fuzz target: the input bytes become a raw data file, imported through the module's export
// against the checking host, which aborts on the first broken host rule.
#include "fuzz/ImportRun.h"
#include "tests/support/Text.h"

#include <clocale>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

// One file per process, rewritten for every input, removed at exit.
class ScratchFile {
public:
    ScratchFile() {
        const char* dir = std::getenv("TMPDIR");
        path = std::string(dir != nullptr && *dir != '\0' ? dir : "/tmp") + "/nikon-fuzz-XXXXXX";
        fd = ::mkstemp(path.data());
        if (fd < 0)
            std::abort();
    }
    ~ScratchFile() {
        ::close(fd);
        ::unlink(path.c_str());
    }
    ScratchFile(const ScratchFile&) = delete;
    ScratchFile& operator=(const ScratchFile&) = delete;

    void Write(const std::uint8_t* data, std::size_t size) const {
        if (::ftruncate(fd, 0) != 0)
            std::abort();
        std::size_t done = 0;
        while (done < size) {
            const ssize_t wrote = ::pwrite(fd, data + done, size - done, static_cast<off_t>(done));
            if (wrote <= 0)
                std::abort();
            done += static_cast<std::size_t>(wrote);
        }
    }
    const std::string& Path() const { return path; }

private:
    std::string path;
    int fd = -1;
};

// The thread character sets the decoder meets: ASCII, a single-byte code page and UTF-8. A
// locale the machine lacks falls back to "C".
class Locales {
public:
    Locales() {
        const char* names[3][2] = {{"C", "C"}, {"ru_RU.CP1251", "ru_RU.cp1251"}, {"ru_RU.UTF-8", "C.UTF-8"}};
        for (int i = 0; i < 3; ++i) {
            handles[i] = ::newlocale(LC_ALL_MASK, names[i][0], nullptr);
            if (handles[i] == nullptr)
                handles[i] = ::newlocale(LC_ALL_MASK, names[i][1], nullptr);
            if (handles[i] == nullptr)
                handles[i] = ::newlocale(LC_ALL_MASK, "C", nullptr);
        }
    }
    ~Locales() {
        for (locale_t handle : handles)
            ::freelocale(handle);
    }
    Locales(const Locales&) = delete;
    Locales& operator=(const Locales&) = delete;

    locale_t Pick(std::size_t index) const { return handles[index % 3]; }

private:
    locale_t handles[3];
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const ScratchFile scratch;
    static const Locales locales;
    scratch.Write(data, size);

    // The size picks the character set and whether the host lacks some converters, so that the
    // fuzzer's length mutations reach every combination.
    checking::HostOptions options;
    options.abortOnViolation = true;
    options.nullDistanceConverter = size % 7 == 3;
    options.nullGonsAndMils = size % 5 == 2;
    ::uselocale(locales.Pick(size));

    checking::CheckingSink sink(options);
    checking::RunImport({testsupport::FromUtf8(scratch.Path()), L"/nonexistent/nikon-fuzz.rdf"}, sink);
    ::uselocale(LC_GLOBAL_LOCALE);
    return 0;
}
