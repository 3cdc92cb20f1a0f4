// Runs an import with a thread locale of a chosen character set, so that the module decodes the
// files' bytes in it: it samples the calling thread's LC_CTYPE on POSIX, and converts with the
// thread's ANSI code page (CP_THREAD_ACP) on Windows.
#pragma once

#include <optional>
#include <string>

#ifdef _WIN32
#include <windows.h>
#else
#include <locale.h>
#endif

namespace host {

#ifdef _WIN32
using LocaleHandle = LCID;
#else
using LocaleHandle = locale_t;
#endif

// An installed locale whose character set is the one named: for LC_CTYPE only on POSIX; on
// Windows a locale whose ANSI code page it is.
class EncodingLocale {
public:
    // None when no installed locale has that character set.
    static std::optional<EncodingLocale> Find(const std::string& encoding);
    // The user's LC_CTYPE from the environment, or the C locale when that is not installed; on
    // Windows the thread's own locale.
    static EncodingLocale FromEnvironment();

    EncodingLocale(const EncodingLocale&) = delete;
    EncodingLocale& operator=(const EncodingLocale&) = delete;
    EncodingLocale(EncodingLocale&& other) noexcept;
    EncodingLocale& operator=(EncodingLocale&&) = delete;
    ~EncodingLocale();

    LocaleHandle Handle() const { return handle; }
    const std::string& Name() const { return name; }

private:
    EncodingLocale(LocaleHandle handle, std::string name) : handle(handle), name(std::move(name)) {}

    LocaleHandle handle;
    std::string name;
};

#ifndef _WIN32
// The command that installs a locale with that character set, for the message when Find fails.
std::string LocaleInstallCommand(const std::string& encoding);
#endif
// Why Find found nothing for `encoding` and what the user can do, in a sentence.
std::string EncodingNotFoundMessage(const std::string& encoding);

// Makes `locale` the calling thread's locale until the end of the scope.
class ScopedThreadLocale {
public:
    explicit ScopedThreadLocale(const EncodingLocale& locale);
    ScopedThreadLocale(const ScopedThreadLocale&) = delete;
    ScopedThreadLocale& operator=(const ScopedThreadLocale&) = delete;
    ~ScopedThreadLocale();

private:
    LocaleHandle previous;
};

} // namespace host
