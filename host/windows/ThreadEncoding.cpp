#include "host/ThreadEncoding.h"

#include "host/Text.h"

#include <cctype>
#include <cstdlib>
#include <stdexcept>

namespace host {
namespace {

// Names of ANSI code pages beside the numbered forms CP1251, windows-1251 and 1251.
struct CodePageName {
    const char* name; // normalised
    UINT codePage;
};

const CodePageName kCodePageNames[] = {
    {"shiftjis", 932}, {"sjis", 932}, {"gbk", 936}, {"gb2312", 936}, {"big5", 950}, {"tis620", 874},
};

const char* const kNumberPrefixes[] = {"windows", "cp", ""};

bool AllDigits(const std::string& text) {
    if (text.empty() || text.size() > 5)
        return false;
    for (unsigned char c : text) {
        if (!std::isdigit(c))
            return false;
    }
    return true;
}

// The code page `encoding` names, or 0.
UINT CodePageNamed(const std::string& encoding) {
    const std::string key = CharsetKey(encoding);
    for (const CodePageName& row : kCodePageNames) {
        if (key == row.name)
            return row.codePage;
    }
    for (const std::string prefix : kNumberPrefixes) {
        if (key.compare(0, prefix.size(), prefix) == 0 && AllDigits(key.substr(prefix.size())))
            return static_cast<UINT>(std::strtoul(key.c_str() + prefix.size(), nullptr, 10));
    }
    return 0;
}

UINT AnsiCodePageOf(const wchar_t* localeName) {
    DWORD codePage = 0;
    const int read =
        GetLocaleInfoEx(localeName, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                        reinterpret_cast<wchar_t*>(&codePage), sizeof codePage / sizeof(wchar_t));
    return read != 0 ? codePage : 0;
}

struct LocaleSearch {
    UINT codePage;
    LCID found;
};

// The first specific locale whose ANSI code page is the one searched for.
BOOL CALLBACK CheckLocale(LPWSTR name, DWORD, LPARAM parameter) {
    auto& search = *reinterpret_cast<LocaleSearch*>(parameter);
    if (AnsiCodePageOf(name) != search.codePage)
        return TRUE;
    const LCID id = LocaleNameToLCID(name, 0);
    if (id == 0 || !IsValidLocale(id, LCID_INSTALLED))
        return TRUE;
    search.found = id;
    return FALSE;
}

} // namespace

std::optional<EncodingLocale> EncodingLocale::Find(const std::string& encoding) {
    LocaleSearch search{CodePageNamed(encoding), 0};
    if (search.codePage == 0)
        return std::nullopt;
    EnumSystemLocalesEx(CheckLocale, LOCALE_WINDOWS | LOCALE_SPECIFICDATA, reinterpret_cast<LPARAM>(&search),
                        nullptr);
    if (search.found == 0)
        return std::nullopt;
    return EncodingLocale(search.found, "CP" + std::to_string(search.codePage));
}

EncodingLocale EncodingLocale::FromEnvironment() {
    return EncodingLocale(GetThreadLocale(), "");
}

EncodingLocale::EncodingLocale(EncodingLocale&& other) noexcept
    : handle(other.handle), name(std::move(other.name)) {}

EncodingLocale::~EncodingLocale() = default;

std::string EncodingNotFoundMessage(const std::string& encoding) {
    return "no Windows locale has " + encoding +
           " as its ANSI code page; name one such as CP1250, CP1251, CP1252 or windows-1253";
}

ScopedThreadLocale::ScopedThreadLocale(const EncodingLocale& locale) : previous(GetThreadLocale()) {
    if (!SetThreadLocale(locale.Handle()))
        throw std::runtime_error("cannot switch the thread to the locale of " + locale.Name());
}

ScopedThreadLocale::~ScopedThreadLocale() {
    SetThreadLocale(previous);
}

} // namespace host
