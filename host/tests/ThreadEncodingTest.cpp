#include "host/ThreadEncoding.h"

#include <gtest/gtest.h>

#include <cwchar>
#include <langinfo.h>

namespace host {
namespace {

TEST(EncodingLocale, FindsTheCyrillicCodePageUnderAnySpelling) {
    for (const char* spelling : {"CP1251", "cp1251", "Cp-1251"}) {
        SCOPED_TRACE(spelling);
        const auto locale = EncodingLocale::Find(spelling);
        ASSERT_TRUE(locale) << "install it with: " << LocaleInstallCommand(spelling);
        EXPECT_STREQ(nl_langinfo_l(CODESET, locale->Handle()), "CP1251");
    }
}

TEST(EncodingLocale, TheThreadDecodesInTheChosenCharacterSetInsideTheScope) {
    const auto locale = EncodingLocale::Find("CP1251");
    ASSERT_TRUE(locale);
    {
        const ScopedThreadLocale scope(*locale);
        EXPECT_EQ(std::btowc(0xCF), static_cast<wint_t>(L'\u041f')); // П
    }
    EXPECT_NE(std::btowc(0xCF), static_cast<wint_t>(L'\u041f'));
}

TEST(EncodingLocale, AnUnknownCharacterSetIsNotFound) {
    EXPECT_FALSE(EncodingLocale::Find("NO-SUCH-CHARSET"));
    EXPECT_FALSE(EncodingLocale::Find(""));
}

TEST(EncodingLocale, TheInstallCommandNamesTheCharacterSet) {
    EXPECT_EQ(LocaleInstallCommand("cp1251"), "localedef -i ru_RU -f CP1251 ru_RU.CP1251");
    EXPECT_EQ(LocaleInstallCommand("ISO-8859-1"), "localedef -i en_US -f ISO-8859-1 en_US.ISO-8859-1");
}

} // namespace
} // namespace host
