#include "host/ThreadEncoding.h"

#include "host/Text.h"

#include <algorithm>
#include <cctype>
#include <langinfo.h>
#include <utility>
#include <vector>

namespace host {
namespace {

// Territories tried for a character set, the likeliest first; the first is also the one the
// install command names.
struct CharsetTerritories {
    const char* charset; // normalised
    std::vector<const char*> territories;
};

const std::vector<const char*> kDefaultTerritories = {"C", "en_US", "en_GB", "de_DE", "fr_FR", "pl_PL"};

const CharsetTerritories kTerritories[] = {
    {"cp1251", {"ru_RU", "uk_UA", "be_BY", "bg_BG"}},
    {"koi8r", {"ru_RU"}},
    {"koi8u", {"uk_UA"}},
    {"iso88595", {"ru_RU", "bg_BG"}},
    {"cp1250", {"pl_PL", "cs_CZ", "hu_HU"}},
    {"iso88592", {"pl_PL", "cs_CZ", "hu_HU"}},
    {"cp1252", {"en_US", "de_DE", "fr_FR"}},
    {"iso88591", {"en_US", "de_DE", "fr_FR"}},
};

std::vector<const char*> TerritoriesFor(const std::string& encoding) {
    const std::string key = CharsetKey(encoding);
    std::vector<const char*> result;
    for (const CharsetTerritories& row : kTerritories) {
        if (key == row.charset)
            result = row.territories;
    }
    result.insert(result.end(), kDefaultTerritories.begin(), kDefaultTerritories.end());
    return result;
}

std::vector<std::string> Spellings(const std::string& encoding) {
    std::string upper = encoding;
    std::string lower = encoding;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return {encoding, upper, lower, CharsetKey(encoding)};
}

bool HasCharset(locale_t locale, const std::string& encoding) {
    const char* codeset = ::nl_langinfo_l(CODESET, locale);
    return codeset != nullptr && CharsetKey(codeset) == CharsetKey(encoding);
}

} // namespace

std::optional<EncodingLocale> EncodingLocale::Find(const std::string& encoding) {
    if (CharsetKey(encoding).empty())
        return std::nullopt;
    std::vector<std::string> candidates;
    for (const char* territory : TerritoriesFor(encoding)) {
        for (const std::string& spelling : Spellings(encoding))
            candidates.push_back(std::string(territory) + "." + spelling);
    }
    for (const std::string& candidate : candidates) {
        locale_t locale = ::newlocale(LC_CTYPE_MASK, candidate.c_str(), static_cast<locale_t>(0));
        if (locale == static_cast<locale_t>(0))
            continue;
        if (HasCharset(locale, encoding))
            return EncodingLocale(locale, candidate);
        ::freelocale(locale);
    }
    return std::nullopt;
}

EncodingLocale EncodingLocale::FromEnvironment() {
    if (locale_t locale = ::newlocale(LC_CTYPE_MASK, "", static_cast<locale_t>(0)))
        return EncodingLocale(locale, "");
    return EncodingLocale(::newlocale(LC_CTYPE_MASK, "C", static_cast<locale_t>(0)), "C");
}

EncodingLocale::EncodingLocale(EncodingLocale&& other) noexcept
    : handle(std::exchange(other.handle, static_cast<locale_t>(0))), name(std::move(other.name)) {}

EncodingLocale::~EncodingLocale() {
    if (handle != static_cast<locale_t>(0))
        ::freelocale(handle);
}

std::string EncodingNotFoundMessage(const std::string& encoding) {
    return "no installed locale has the character set " + encoding +
           "; install one as root with: " + LocaleInstallCommand(encoding) +
           " (localedef comes with the locales package)";
}

ScopedThreadLocale::ScopedThreadLocale(const EncodingLocale& locale)
    : previous(::uselocale(locale.Handle())) {}

ScopedThreadLocale::~ScopedThreadLocale() {
    ::uselocale(previous);
}

std::string LocaleInstallCommand(const std::string& encoding) {
    const std::string territory = TerritoriesFor(encoding).front();
    const std::string base = territory == "C" ? "en_US" : territory;
    std::string upper = encoding;
    std::transform(upper.begin(), upper.end(), upper.begin(),
                   [](unsigned char c) { return std::toupper(c); });
    return "localedef -i " + base + " -f " + upper + " " + base + "." + upper;
}

} // namespace host
