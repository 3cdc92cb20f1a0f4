// Identity and reference counting of the plug-in object, through the factory the host calls.
#include "interfaces/CreatePlugin.h"
#include "platform/StringTable.h"
#include "resources/identity.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

std::wstring Take(BSTR text) {
    EXPECT_NE(text, nullptr);
    std::wstring copy(text, SysStringLen(text));
    SysFreeString(text);
    return copy;
}

// Each of interface ids 0 to 2 and AddRef adds one reference; the one CreatePlugin gave is last.
TEST(PluginObject, InterfaceIdsZeroToTwoAndAddRefEachAddAReference) {
    Plugin::IGroundBasedMIP* plugin = CreatePlugin();
    ASSERT_NE(plugin, nullptr);
    for (int id : {0, 1, 2})
        EXPECT_EQ(plugin->GetInterface(id), static_cast<Plugin::IPlugin*>(plugin)) << "id " << id;
    plugin->AddRef();
    for (int extra = 0; extra < 4; ++extra)
        EXPECT_FALSE(plugin->Release()) << "release " << extra;
    EXPECT_TRUE(plugin->Release());
}

TEST(PluginObject, OtherInterfaceIdsGiveNullWithoutReference) {
    Plugin::IGroundBasedMIP* plugin = CreatePlugin();
    for (int id : {3, -1, 100, INT32_MIN, INT32_MAX})
        EXPECT_EQ(plugin->GetInterface(id), nullptr) << "id " << id;
    EXPECT_TRUE(plugin->Release());
}

TEST(PluginObject, NamesAreFreshOleStrings) {
    Plugin::IGroundBasedMIP* plugin = CreatePlugin();
    BSTR name = plugin->GetName();
    BSTR format = plugin->GetFormatName();
    ASSERT_NE(name, format);
    EXPECT_EQ(SysStringLen(name), 5u);
    EXPECT_EQ(Take(name), L"Nikon");
    EXPECT_EQ(Take(format), L"Nikon");
    BSTR filter = plugin->GetFileFilter();
    EXPECT_EQ(SysStringLen(filter), 11u);
    EXPECT_EQ(Take(filter), L"*.rdf;*.txt");
    EXPECT_TRUE(plugin->Release());
}

TEST(PluginObject, IdentifierBytesInMemoryOrder) {
    Plugin::IGroundBasedMIP* plugin = CreatePlugin();
    const unsigned char expected[16] = {0xEB, 0x82, 0xB9, 0x96, 0xE1, 0x4C, 0xB4, 0x44,
                                        0x99, 0xA3, 0x6C, 0xC0, 0x6D, 0xF3, 0x65, 0xD6};
    for (int call = 0; call < 2; ++call) {
        const GUID id = plugin->GetId();
        static_assert(sizeof id == 16);
        EXPECT_EQ(std::memcmp(&id, expected, 16), 0) << "call " << call;
    }
    EXPECT_EQ(plugin->GetKind(), 2);
    EXPECT_TRUE(plugin->Release());
}

TEST(PluginObject, ReservedOperationsDoNothing) {
    Plugin::IGroundBasedMIP* plugin = CreatePlugin();
    for (int i = 0; i < 3; ++i) {
        plugin->Reserved1();
        plugin->Reserved2();
        EXPECT_EQ(plugin->Reserved3(), 0);
    }
    EXPECT_EQ(plugin->GetKind(), 2);
    EXPECT_TRUE(plugin->Release());
}

TEST(OleStrings, LengthPrefixAndTerminator) {
    BSTR text = SysAllocString(L"ab\u0416");
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(SysStringLen(text), 3u);
    std::uint32_t bytes = 0;
    std::memcpy(&bytes, reinterpret_cast<const char*>(text) - sizeof bytes, sizeof bytes);
    EXPECT_EQ(bytes, 3 * sizeof(wchar_t));
    EXPECT_EQ(text[3], L'\0');
    SysFreeString(text);
    EXPECT_EQ(SysAllocString(nullptr), nullptr);
    EXPECT_EQ(SysStringLen(nullptr), 0u);
    SysFreeString(nullptr);
}

} // namespace

namespace {

TEST(StringTable, HoldsTheFourMessagesAndNothingElse) {
    EXPECT_EQ(LoadMessage(101), L"Не удается открыть файл");
    EXPECT_EQ(LoadMessage(102), L"Файл содержит данные в неизвестном формате");
    EXPECT_EQ(LoadMessage(103), L"Не заданы единицы измерения расстояний");
    EXPECT_EQ(LoadMessage(104), L"Не заданы единицы измерения углов");
    for (unsigned id : {0u, 1u, 100u, 105u, 111u, 112u, 65535u, 0xFFFFFFFFu})
        EXPECT_EQ(LoadMessage(id), L"") << id;
}

} // namespace
