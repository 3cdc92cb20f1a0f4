// Makes a locale the calling thread's for a scope, as a host thread that imports in a code page
// of its own does.
#pragma once

#include <clocale>
#include <locale.h>

namespace testsupport {

class ScopedThreadLocale {
public:
    // `categories` as newlocale takes them; Active() is false when the system lacks `name`.
    explicit ScopedThreadLocale(const char* name, int categories = LC_CTYPE_MASK);
    ~ScopedThreadLocale();
    ScopedThreadLocale(const ScopedThreadLocale&) = delete;
    ScopedThreadLocale& operator=(const ScopedThreadLocale&) = delete;
    bool Active() const { return locale != nullptr; }

private:
    locale_t locale = nullptr;
    locale_t previous = nullptr;
};

} // namespace testsupport
