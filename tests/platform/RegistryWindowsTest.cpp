// The settings store on Windows against the system's real registry (Wine's, in
// CI): every kind of value written through the store and read back both
// through it and through the registry's own API.
#if defined(_WIN32)
#include "platform/Registry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

using platform::TRegistry;

namespace {

// A key of this test run's own below HKEY_CURRENT_USER, removed at the end.
class RegistryOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        Key = "Software\\ChronaraTest-" + std::to_string(GetCurrentProcessId());
        WideKey = std::wstring(Key.begin(), Key.end());
        RegDeleteTreeW(HKEY_CURRENT_USER, WideKey.c_str());
    }
    void TearDown() override {
        RegDeleteTreeW(HKEY_CURRENT_USER, WideKey.c_str());
        RegDeleteKeyW(HKEY_CURRENT_USER, WideKey.c_str());
    }
    // A value as the registry's own API gives it: its type and bytes.
    std::pair<DWORD, std::vector<std::uint8_t>> Raw(const std::wstring& subkey,
                                                    const wchar_t* name) const {
        const std::wstring key = WideKey + subkey;
        DWORD type = 0;
        DWORD size = 0;
        if (RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type,
                         nullptr, &size) != ERROR_SUCCESS) {
            return {0, {}};
        }
        std::vector<std::uint8_t> bytes(size);
        RegGetValueW(HKEY_CURRENT_USER, key.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type,
                     bytes.data(), &size);
        bytes.resize(size);
        return {type, bytes};
    }
    std::string Key;
    std::wstring WideKey;
};

std::vector<std::uint8_t> Bytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    return {p, p + size};
}

} // namespace

TEST_F(RegistryOnWindows, EveryKindOfValueRoundTripsThroughTheRealRegistry) {
    const double latitude = -37.81667;
    const std::uint32_t colour = 0x00FF8040;
    const std::string letters = "S\xc3\xa3o Paulo \xe6\x9d\xb1\xe4\xba\xac";
    {
        TRegistry store;
        ASSERT_FALSE(store.KeyExists("\\" + Key + "\\Data"));
        ASSERT_TRUE(store.OpenKey("\\" + Key + "\\Data", true));
        store.WriteBool("ShowDate", true);
        store.WriteInteger("SMUpdate", 600);
        store.WriteInteger("Negative", -90);
        store.WriteString("SLName", "Melbourne, Australia");
        store.WriteString("Letters", letters);
        store.WriteString("Empty", "");
        store.WriteFloat("SLLatitude", latitude);
        store.WriteColor("ClockColor", colour);
        store.WriteBinaryData("Blob", {1, 2, 3});
        ASSERT_TRUE(store.OpenKey("Location 0", true));
        store.WriteString("Name", "Nuuk");
        store.Commit();
    }
    // Through the registry's own API.
    const DWORD one = 1, six = 600;
    const std::int32_t minus = -90;
    EXPECT_EQ(Raw(L"\\Data", L"ShowDate"), std::make_pair(DWORD{REG_DWORD}, Bytes(&one, 4)));
    EXPECT_EQ(Raw(L"\\Data", L"SMUpdate"), std::make_pair(DWORD{REG_DWORD}, Bytes(&six, 4)));
    EXPECT_EQ(Raw(L"\\Data", L"Negative"), std::make_pair(DWORD{REG_DWORD}, Bytes(&minus, 4)));
    const std::wstring melbourne = L"Melbourne, Australia";
    EXPECT_EQ(Raw(L"\\Data", L"SLName"),
              std::make_pair(DWORD{REG_SZ}, Bytes(melbourne.c_str(), (melbourne.size() + 1) * 2)));
    const std::wstring wideLetters = L"S\u00e3o Paulo \u6771\u4eac";
    EXPECT_EQ(
        Raw(L"\\Data", L"Letters"),
        std::make_pair(DWORD{REG_SZ}, Bytes(wideLetters.c_str(), (wideLetters.size() + 1) * 2)));
    EXPECT_EQ(Raw(L"\\Data", L"Empty").first, DWORD{REG_SZ});
    EXPECT_EQ(Raw(L"\\Data", L"SLLatitude"),
              std::make_pair(DWORD{REG_BINARY}, Bytes(&latitude, 8)));
    EXPECT_EQ(Raw(L"\\Data", L"ClockColor"), std::make_pair(DWORD{REG_BINARY}, Bytes(&colour, 4)));
    EXPECT_EQ(Raw(L"\\Data", L"Blob"),
              std::make_pair(DWORD{REG_BINARY}, std::vector<std::uint8_t>{1, 2, 3}));
    const std::wstring nuuk = L"Nuuk";
    EXPECT_EQ(Raw(L"\\Data\\Location 0", L"Name"),
              std::make_pair(DWORD{REG_SZ}, Bytes(nuuk.c_str(), 10)));

    // Through a new store, in any letter case.
    TRegistry store;
    ASSERT_TRUE(store.OpenKeyReadOnly("\\" + Key + "\\DATA"));
    EXPECT_TRUE(store.ReadBool("showdate"));
    EXPECT_EQ(store.ReadInteger("SMUpdate"), 600);
    EXPECT_EQ(store.ReadInteger("Negative"), -90);
    EXPECT_EQ(store.ReadString("SLName"), "Melbourne, Australia");
    EXPECT_EQ(store.ReadString("Letters"), letters);
    EXPECT_EQ(store.ReadString("Empty"), "");
    EXPECT_EQ(store.ReadFloat("SLLatitude"), latitude);
    EXPECT_EQ(store.ReadColor("ClockColor"), colour);
    EXPECT_EQ(store.ReadBinaryData("Blob"), (platform::TBytes{1, 2, 3}));
    EXPECT_FALSE(store.ValueExists("Missing"));
}

// A value the registry refuses (a key name longer than it allows) fails the
// whole save: the values written before it in the same save are put back.
TEST_F(RegistryOnWindows, ARefusedValueLeavesTheRegistryAsItWas) {
    {
        TRegistry store;
        ASSERT_TRUE(store.OpenKey("\\" + Key + "\\Data", true));
        store.WriteInteger("Kept", 1);
        store.Commit();
    }
    TRegistry store;
    ASSERT_TRUE(store.OpenKey("\\" + Key + "\\Data", true));
    store.WriteInteger("Kept", 2);
    store.WriteInteger("New", 3);
    ASSERT_TRUE(store.OpenKey(std::string(300, 'k'), true));
    store.WriteInteger("Never", 4);
    EXPECT_THROW(store.Commit(), platform::ERegistryException);
    const DWORD one = 1;
    EXPECT_EQ(Raw(L"\\Data", L"Kept"), std::make_pair(DWORD{REG_DWORD}, Bytes(&one, 4)));
    EXPECT_EQ(Raw(L"\\Data", L"New").first, DWORD{0});
}
#endif // _WIN32
