// What the host objects of one import share: the call trace, if any, the serial numbers that
// name the objects handed to the module, and the count of those still alive.
#pragma once

#include "host/CallTrace.h"

#include <map>
#include <string>

namespace host {

class HostObjects {
public:
    // `trace` may be null; it must outlive these objects otherwise.
    explicit HostObjects(CallTrace* trace) : trace(trace) {}
    HostObjects(const HostObjects&) = delete;
    HostObjects& operator=(const HostObjects&) = delete;

    // "angle#3": the kind and its serial number, counted from 1.
    std::string NameNext(const std::string& kind) { return kind + "#" + std::to_string(++serials[kind]); }

    void Created() { ++live; }
    void Destroyed() { --live; }
    int Live() const { return live; }

    void Record(TraceCall call) const {
        if (trace != nullptr)
            trace->Record(call);
    }

private:
    CallTrace* trace; // not owned
    std::map<std::string, int> serials;
    int live = 0;
};

} // namespace host
