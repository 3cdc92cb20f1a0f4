// Runs an import with a thread locale of a chosen character set, so that the module decodes the
// files' bytes in it (it samples the calling thread's LC_CTYPE).
#pragma once

#include <locale.h>
#include <optional>
#include <string>

namespace host {

// An installed locale whose character set is the one named, for LC_CTYPE only.
class EncodingLocale {
public:
    // None when no installed locale has that character set.
    static std::optional<EncodingLocale> Find(const std::string& encoding);
    // The user's LC_CTYPE from the environment, or the C locale when that is not installed.
    static EncodingLocale FromEnvironment();

    EncodingLocale(const EncodingLocale&) = delete;
    EncodingLocale& operator=(const EncodingLocale&) = delete;
    EncodingLocale(EncodingLocale&& other) noexcept;
    EncodingLocale& operator=(EncodingLocale&&) = delete;
    ~EncodingLocale();

    locale_t Handle() const { return handle; }
    const std::string& Name() const { return name; }

private:
    EncodingLocale(locale_t handle, std::string name) : handle(handle), name(std::move(name)) {}

    locale_t handle;
    std::string name;
};

// The command that installs a locale with that character set, for the message when Find fails.
std::string LocaleInstallCommand(const std::string& encoding);

// Makes `locale` the calling thread's locale until the end of the scope.
class ScopedThreadLocale {
public:
    explicit ScopedThreadLocale(const EncodingLocale& locale) : previous(::uselocale(locale.Handle())) {}
    ScopedThreadLocale(const ScopedThreadLocale&) = delete;
    ScopedThreadLocale& operator=(const ScopedThreadLocale&) = delete;
    ~ScopedThreadLocale() { ::uselocale(previous); }

private:
    locale_t previous;
};

} // namespace host
