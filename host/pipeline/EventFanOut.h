// One stream of events to several consumers, each event to all of them in the order they were
// added: a component that adds to a file's output at its end goes before the writer.
#pragma once

#include "host/pipeline/ImportEvents.h"

#include <algorithm>
#include <vector>

namespace host {

class EventFanOut final : public ImportEvents {
public:
    // `consumer` must outlive this fan-out.
    void Add(ImportEvents& consumer) { consumers.push_back(&consumer); }

    void FileBegun(const FileBegin& file) override { Each(&ImportEvents::FileBegun, file); }
    void TargetAnnounced(std::wstring_view name) override { Each(&ImportEvents::TargetAnnounced, name); }
    void StationReady(const Station& station) override { Each(&ImportEvents::StationReady, station); }
    void ObservationReady(const Observation& o) override { Each(&ImportEvents::ObservationReady, o); }
    void PointReady(const Point& point) override { Each(&ImportEvents::PointReady, point); }
    void MessageReported(const Message& message) override { Each(&ImportEvents::MessageReported, message); }
    void FileEnded(const FileEnd& file) override { Each(&ImportEvents::FileEnded, file); }
    void ImportEnded(const ImportEnd& end) override { Each(&ImportEvents::ImportEnded, end); }
    bool ReadsObservations() const override {
        return std::any_of(consumers.begin(), consumers.end(),
                           [](const ImportEvents* consumer) { return consumer->ReadsObservations(); });
    }
    // Most runs have one consumer of observations: they are handed to it without a call to each
    // of the others, which would ignore them.
    ImportEvents& ObservationReader() override {
        ImportEvents* only = nullptr;
        for (ImportEvents* consumer : consumers) {
            if (!consumer->ReadsObservations())
                continue;
            if (only != nullptr)
                return *this;
            only = consumer;
        }
        return only != nullptr ? only->ObservationReader() : *this;
    }

private:
    template <class Handler, class Event> void Each(Handler handler, const Event& event) {
        for (ImportEvents* consumer : consumers)
            (consumer->*handler)(event);
    }

    std::vector<ImportEvents*> consumers; // not owned
};

} // namespace host
