#include "host/pipeline/PackedFile.h"

#include "platform/Utf8.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace host {
namespace {

// Gathers what a packed file reads back, each item as one line of text.
class Listing final : public PackedFileReader {
public:
    explicit Listing(unsigned takes = kAllKinds, unsigned endsAt = 0) : PackedFileReader(takes, endsAt) {}
    void Target(std::string_view name) override { items.push_back("T " + std::string(name)); }
    void Station(const PackedStation& s) override {
        items.push_back("S " + std::string(s.name) + " " + Optional(s.instrumentHeight) + " " +
                        Optional(s.line));
    }
    void Observation(const PackedObservation& o) override {
        items.push_back("O " + std::string(o.target) + " " + Optional(o.slopeDistance) + " " +
                        (o.faceRight ? (*o.faceRight ? "right" : "left") : "-") + " " +
                        (o.code ? std::string(*o.code) : "-"));
    }
    void Point(const PackedPoint& p) override {
        items.push_back("P " + std::string(p.name) + " " + Optional(p.northing) + " " +
                        (p.code ? std::string(*p.code) : "-"));
    }

    std::vector<std::string> items;

private:
    template <class Number> static std::string Optional(const std::optional<Number>& value) {
        return value ? std::to_string(*value) : "-";
    }
};

std::string Utf8(std::wstring_view text) {
    std::string utf8;
    platform::AppendUtf8(utf8, text);
    return utf8;
}

// A file of every kind of record, with its listing as read back.
struct ListedFile {
    PackedFile file;
    std::vector<std::string> expected;
    std::size_t records = 0; // of each kind
};

ListedFile EveryKindOfRecord() {
    // ASCII and wider texts, short, past the one-byte length, and past a block of their own.
    const std::vector<std::wstring> names = {L"",
                                             L"CP1",
                                             L"CP1\u0141", // narrowed, its last unit would read as 'A'
                                             std::wstring(254, L'a'),
                                             std::wstring(255, L'a'),
                                             L"Stra\u00dfe \u6e2c\u70b9 \U0001D11E",
                                             std::wstring(300, L'a'),
                                             std::wstring(300, L'\u00e9'),
                                             std::wstring(400000, L'\u6e2c'),
                                             L"last"};
    ListedFile listed;
    PackedFile& file = listed.file;
    std::vector<std::string>& expected = listed.expected;
    bool even = true; // fields present on every other record, absent between
    for (const std::wstring& name : names) {
        file.AddTarget(name);
        expected.push_back("T " + Utf8(name));

        Station station;
        station.name = name;
        if (even)
            station.instrumentHeight = 1.5;
        else
            station.line = 7;
        file.Add(station);
        expected.push_back("S " + Utf8(name) + (even ? " 1.500000 -" : " - 7"));

        Observation observation;
        observation.target = name;
        if (even) {
            observation.faceRight = false;
            observation.code = name;
        } else {
            observation.slopeDistance = 2.5;
        }
        file.Add(observation);
        // The same observation handed on with its texts in UTF-8 already packs alike.
        const std::string utf8Name = Utf8(name);
        PackedObservation utf8Observation{utf8Name,
                                          observation.targetHeight,
                                          observation.slopeDistance,
                                          observation.horizontalAngle,
                                          observation.verticalAngle,
                                          observation.faceRight,
                                          std::nullopt,
                                          observation.line};
        if (observation.code)
            utf8Observation.code = utf8Name;
        file.Add(utf8Observation);
        for (int twice = 0; twice < 2; ++twice)
            expected.push_back("O " + Utf8(name) + (even ? " - left " + Utf8(name) : " 2.500000 - -"));

        Point point;
        point.name = name;
        if (even)
            point.northing = -2.25;
        else
            point.code = L"C";
        file.Add(point);
        expected.push_back("P " + Utf8(name) + (even ? " -2.250000 -" : " - C"));
        even = !even;
    }
    listed.records = names.size();
    return listed;
}

TEST(PackedFile, ReadsBackEveryTextAndField) {
    const ListedFile listed = EveryKindOfRecord();
    const PackedFile& file = listed.file;
    const std::vector<std::string>& expected = listed.expected;
    const std::size_t records = listed.records;
    Listing listing;
    file.Read(listing);
    EXPECT_EQ(listing.items, expected);
    EXPECT_EQ(file.Stations(), records);
    EXPECT_EQ(file.Observations(), 2 * records); // each packed wide and as UTF-8
    EXPECT_EQ(file.Points(), records);
}

// A reader that takes some kinds gets those records as a reader of all kinds does, the others
// stepped over; one that ends at a kind gets nothing from the first record of it on.
TEST(PackedFile, StepsOverTheKindsAReaderDoesNotTake) {
    const ListedFile listed = EveryKindOfRecord();
    const struct {
        unsigned takes;
        unsigned endsAt;
    } readings[] = {{PackedFileReader::kTargets, 0},
                    {PackedFileReader::kStations, 0},
                    {PackedFileReader::kObservations, 0},
                    {PackedFileReader::kPoints, 0},
                    {PackedFileReader::kStations | PackedFileReader::kObservations, 0},
                    {PackedFileReader::kObservations, PackedFileReader::kPoints},
                    {PackedFileReader::kAllKinds, PackedFileReader::kTargets},
                    {0, 0}};
    const std::string kinds = "TSOP"; // each item's first letter, in the order of the flags
    for (const auto& reading : readings) {
        std::vector<std::string> expected;
        for (const std::string& item : listed.expected) {
            const unsigned flag = 1U << kinds.find(item[0]);
            if ((flag & reading.endsAt) != 0)
                break;
            if ((flag & reading.takes) != 0)
                expected.push_back(item);
        }
        Listing listing(reading.takes, reading.endsAt);
        listed.file.Read(listing);
        EXPECT_EQ(listing.items, expected) << "takes " << reading.takes << ", ends at " << reading.endsAt;
    }
}

// Names of every length up to a few steps of the narrowing, ASCII and with one wider character at
// each place, among them characters whose low byte is ASCII: each reads back as its UTF-8.
TEST(PackedFile, ReadsBackNamesOfEveryLengthWithAWiderCharacterAnywhere) {
    const std::wstring wider = L"\u0080\u0141\u6e2c\u00ff";
    PackedFile file;
    std::vector<std::string> expected;
    for (std::size_t length = 0; length <= 20; ++length) {
        std::wstring name;
        for (std::size_t i = 0; i < length; ++i)
            name += static_cast<wchar_t>(L'a' + i);
        file.AddTarget(name);
        expected.push_back("T " + Utf8(name));
        for (std::size_t at = 0; at < length; ++at) {
            std::wstring widened = name;
            widened[at] = wider[at % wider.size()];
            file.AddTarget(widened);
            expected.push_back("T " + Utf8(widened));
        }
    }
    Listing listing;
    file.Read(listing);
    EXPECT_EQ(listing.items, expected);
}

} // namespace
} // namespace host
