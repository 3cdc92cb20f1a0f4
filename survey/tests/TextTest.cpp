#include "survey/Text.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <set>
#include <string>

namespace survey {
namespace {

// Names of up to eight characters are read whole, so that any two of one length or of two lengths
// hash apart; longer ones are mixed a word at a time.
TEST(NameHashTest, NamesOneCharacterApartHashApart) {
    for (std::size_t size = 0; size <= 20; ++size) {
        const std::string base(size, 'P');
        std::set<std::size_t> hashes{NameHash{}(base)};
        for (std::size_t at = 0; at < size; ++at) {
            for (const char other : {'0', 'Q', '\xE9'}) {
                std::string name = base;
                name[at] = other;
                EXPECT_TRUE(hashes.insert(NameHash{}(name)).second) << name;
            }
        }
        EXPECT_TRUE(hashes.insert(NameHash{}(base + ' ')).second) << size;
    }
}

// A table masks the low bits: numbered points, which differ only in their last figures, must
// spread over them as random keys would (about 39 % of 8,192 slots for 4,096 keys).
TEST(NameHashTest, NumberedNamesSpreadOverTheLowBits) {
    constexpr std::size_t kSlots = 8192;
    for (const std::string prefix : {"", "1000", "STA-", "traverse point "}) {
        std::set<std::size_t> slots;
        for (int number = 0; number < 4096; ++number)
            slots.insert(NameHash{}(prefix + std::to_string(1000000 + number)) & (kSlots - 1));
        EXPECT_GT(slots.size(), 3000U) << prefix;
    }
}

} // namespace
} // namespace survey
