// The registry layer against the system's real registry (Wine's, in CI): every
// kind of value written and read back, both through the layer and through the
// registry's own API, and a failed commit undone whole.
#if defined(_WIN32)
#include "platform/WinRegistry.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <string>

namespace winreg = platform::winreg;
using winreg::TRawValue;
using winreg::TRawWrite;

namespace {

std::vector<std::uint8_t> Bytes(const void* data, std::size_t size) {
    const auto* p = static_cast<const std::uint8_t*>(data);
    return {p, p + size};
}

TRawValue Dword(std::uint32_t v) {
    return {winreg::TypeDword, Bytes(&v, 4)};
}

// A key of this test run's own below HKEY_CURRENT_USER, removed at the end.
class WinRegistry : public ::testing::Test {
protected:
    void SetUp() override {
        Root = L"Software\\ChronaraTest-" + std::to_wstring(GetCurrentProcessId());
        winreg::DeleteTree(Root);
    }
    void TearDown() override { winreg::DeleteTree(Root); }
    std::wstring Root;
};

} // namespace

TEST_F(WinRegistry, EveryKindOfValueRoundTrips) {
    const double real = -37.81667;
    const std::uint32_t colour = 0x00FF8040;
    const std::uint64_t qword = 0x0123456789ABCDEFull;
    const std::wstring data = Root + L"\\Data";
    const std::wstring place = Root + L"\\Data\\Location 0\\Deeper";
    struct Row {
        std::wstring Key;
        std::wstring Name;
        TRawValue Value;
    };
    const Row rows[] = {
        {data, L"ShowDate", Dword(1)},
        {data, L"Zero", Dword(0)},
        {data, L"AllBits", Dword(0xFFFFFFFFu)},
        {data, L"Negative", Dword(0x80000000u)},
        {data, L"SLName", {winreg::TypeString, winreg::StringBytes(L"Melbourne, Australia")}},
        {data, L"Empty", {winreg::TypeString, winreg::StringBytes(L"")}},
        {data,
         L"Letters",
         {winreg::TypeString, winreg::StringBytes(L"S\u00e3o Paulo \u6771\u4eac")}},
        {data, L"SLLatitude", {winreg::TypeBinary, Bytes(&real, 8)}},
        {data, L"ClockColor", {winreg::TypeBinary, Bytes(&colour, 4)}},
        {data, L"NoBytes", {winreg::TypeBinary, {}}},
        {data, L"Expand", {winreg::TypeExpandString, winreg::StringBytes(L"%TEMP%\\x")}},
        {data, L"Multi", {winreg::TypeMultiString, Bytes(L"a\0bc\0\0", 12)}},
        {data, L"Big", {winreg::TypeQword, Bytes(&qword, 8)}},
        {place, L"Name", {winreg::TypeString, winreg::StringBytes(L"Nuuk")}},
        {place, L"", {winreg::TypeString, winreg::StringBytes(L"the key's default value")}},
    };
    std::vector<TRawWrite> writes;
    for (const Row& row : rows) {
        writes.push_back({row.Key, row.Name, row.Value});
    }
    EXPECT_FALSE(winreg::KeyExists(data));
    winreg::Commit(writes);
    EXPECT_TRUE(winreg::KeyExists(place));

    for (const Row& row : rows) {
        // Through the layer; names are found in any letter case.
        const auto back = winreg::ReadValue(row.Key, row.Name);
        ASSERT_TRUE(back.has_value()) << row.Name.size();
        EXPECT_EQ(*back, row.Value);
        std::wstring upper = row.Name;
        CharUpperW(upper.data());
        EXPECT_EQ(winreg::ReadValue(row.Key, upper), row.Value);

        // Through the registry's own API.
        DWORD type = 0;
        DWORD size = 0;
        ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, row.Key.c_str(), row.Name.c_str(),
                               RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size),
                  ERROR_SUCCESS);
        std::vector<std::uint8_t> bytes(size);
        ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, row.Key.c_str(), row.Name.c_str(),
                               RRF_RT_ANY | RRF_NOEXPAND, &type, bytes.data(), &size),
                  ERROR_SUCCESS);
        bytes.resize(size);
        EXPECT_EQ(type, row.Value.Type);
        EXPECT_EQ(bytes, row.Value.Bytes);
    }
    DWORD number = 0;
    DWORD size = sizeof number;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, data.c_str(), L"AllBits", RRF_RT_REG_DWORD, nullptr,
                           &number, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(number, 0xFFFFFFFFu);
    wchar_t text[64] = {};
    size = sizeof text;
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, data.c_str(), L"Letters", RRF_RT_REG_SZ, nullptr,
                           text, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(std::wstring(text), L"S\u00e3o Paulo \u6771\u4eac");
    EXPECT_EQ(winreg::BytesString(winreg::ReadValue(data, L"SLName")->Bytes),
              L"Melbourne, Australia");
}

TEST_F(WinRegistry, MissingKeysAndValuesAreNone) {
    EXPECT_TRUE(winreg::KeyExists(L""));
    EXPECT_FALSE(winreg::KeyExists(Root));
    EXPECT_FALSE(winreg::ReadValue(Root, L"Anything").has_value());
    winreg::Commit({{Root + L"\\Empty", L"", std::nullopt}});
    EXPECT_TRUE(winreg::KeyExists(Root + L"\\EMPTY"));
    EXPECT_FALSE(winreg::ReadValue(Root + L"\\Empty", L"Anything").has_value());
}

TEST_F(WinRegistry, AFailedCommitLeavesTheStoreAsItWas) {
    const std::wstring data = Root + L"\\Data";
    winreg::Commit({{data, L"Kept", Dword(1)}});
    // The last write's key has a part longer than the registry allows.
    const std::wstring tooLong = data + L"\\" + std::wstring(300, L'k');
    const std::vector<TRawWrite> writes = {
        {data, L"Kept", Dword(2)},
        {data, L"New", Dword(3)},
        {data + L"\\Made\\Below", L"Also", Dword(4)},
        {data, L"Kept", Dword(5)},
        {tooLong, L"Never", Dword(6)},
    };
    try {
        winreg::Commit(writes);
        FAIL() << "the over-long key was accepted";
    } catch (const winreg::EWriteFailed& e) {
        EXPECT_EQ(e.Name, tooLong);
    }
    EXPECT_EQ(winreg::ReadValue(data, L"Kept"), Dword(1));
    EXPECT_FALSE(winreg::ReadValue(data, L"New").has_value());
    EXPECT_FALSE(winreg::KeyExists(data + L"\\Made"));
    EXPECT_TRUE(winreg::KeyExists(data));
}

TEST(WinRegistryText, StringsKeepTheirTerminatorAndStopAtTheFirstNul) {
    EXPECT_EQ(winreg::StringBytes(L"ab"), (std::vector<std::uint8_t>{'a', 0, 'b', 0, 0, 0}));
    EXPECT_EQ(winreg::StringBytes(L""), (std::vector<std::uint8_t>{0, 0}));
    EXPECT_EQ(winreg::BytesString({'a', 0, 'b', 0, 0, 0}), L"ab");
    EXPECT_EQ(winreg::BytesString({'a', 0, 'b', 0}), L"ab");
    EXPECT_EQ(winreg::BytesString({'a', 0, 0, 0, 'b', 0}), L"a");
    EXPECT_EQ(winreg::BytesString({'a', 0, 'b'}), L"a");
    EXPECT_EQ(winreg::BytesString({}), L"");
}

#endif // _WIN32
