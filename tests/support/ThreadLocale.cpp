#include "tests/support/ThreadLocale.h"

namespace testsupport {

ScopedThreadLocale::ScopedThreadLocale(const char* name, int categories) {
    locale = ::newlocale(categories, name, nullptr);
    if (locale != nullptr)
        previous = ::uselocale(locale);
}

ScopedThreadLocale::~ScopedThreadLocale() {
    if (locale == nullptr)
        return;
    ::uselocale(previous);
    ::freelocale(locale);
}

} // namespace testsupport
