// A host built by GCC on Windows, as rdf-import.exe is, over Nikon.dll: its own exception thrown
// from the sink, the file list or a converter comes back out of Import as it was thrown, the
// import stops there, and every reference the module held on its objects is back.
//   nikon_gcc_host_failures MODULE JOB
#include "interfaces/CreatePlugin.h"
#include "platform/DynamicLibrary.h"
#include "tests/RecordingHost.h"

#include <algorithm>
#include <cstdio>
#include <new>
#include <optional>
#include <stdexcept>
#include <string>

namespace {

struct Case {
    std::string failAt;     // the recorded call that throws std::runtime_error
    bool badAllocInConvert; // or: the distance converter throws std::bad_alloc for "98.4470"
    std::string what;
};

int CheckFailure(CreatePluginFunction create, const std::wstring& job, const Case& c) {
    testing_host::RecordingHost host;
    host.FailAt(c.failAt);
    if (c.badAllocInConvert)
        host.Script(testing_host::Kind::Distance, 0, [](const std::wstring& text) -> std::optional<double> {
            if (text == L"98.4470")
                throw std::bad_alloc();
            return testing_host::PlainDecimal(text);
        });
    host.files.paths = {job, job};
    Plugin::IGroundBasedMIP* plugin = create();
    std::string caught;
    try {
        plugin->Import(&host.files, &host.sink);
    } catch (const std::exception& failure) {
        caught = failure.what();
    }
    plugin->Release();
    const testing_host::Log log = host.Take();
    // After the failing call only the module's releases of what it held.
    const auto failing = c.failAt.empty() ? log.end() : std::find(log.begin(), log.end(), c.failAt);
    const bool stopped =
        c.failAt.empty() ||
        (failing != log.end() && std::all_of(failing + 1, log.end(), [](const std::string& call) {
             return call.size() > 8 && call.compare(call.size() - 8, 8, ".Release") == 0;
         }));
    const auto begun = std::count(log.begin(), log.end(), "BeginFile(" + testing_host::Utf8(job) + ")");
    int failed = 0;
    for (const auto& [ok, what] :
         {std::pair{caught == c.what, "caught as thrown"},
          std::pair{stopped, "nothing but releases after it"}, std::pair{begun == 1, "no later file begun"},
          std::pair{host.ReferenceFaults().empty(), "every reference back"}}) {
        if (!ok) {
            std::printf("FAILED: %s: %s\n", c.what.c_str(), what);
            ++failed;
        }
    }
    return failed;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::puts("usage: nikon_gcc_host_failures MODULE JOB");
        return 2;
    }
    platform::DynamicLibrary module;
    std::string error;
    if (!module.Open(argv[1], error)) {
        std::printf("cannot load %s: %s\n", argv[1], error.c_str());
        return 2;
    }
    const auto create = reinterpret_cast<CreatePluginFunction>(module.Symbol(kCreatePluginName));
    if (create == nullptr)
        return 2;
    const std::string name = argv[2];
    const std::wstring job(name.begin(), name.end());
    int failed = 0;
    const Case cases[] = {
        {"AddObservation(T3)", false, "host failure at AddObservation(T3)"},
        {"files.MoveNext", false, "host failure at files.MoveNext"},
        {"distance#1.Convert(98.4470)=98.447", false, "host failure at distance#1.Convert(98.4470)=98.447"},
        // The module's own failures change their form on the way out; the host's never do.
        {"", true, "std::bad_alloc"},
    };
    for (const Case& c : cases)
        failed += CheckFailure(create, job, c);
    std::printf("%d failed\n", failed);
    return failed == 0 ? 0 : 1;
}
