// Parameters handed on to the window program keep their text on the way.
#include "app/commandline/CommandLine.h"

#include <gtest/gtest.h>

#include <string>

#if defined(_WIN32)
#include "kiv/KivPath.h"

#include <windows.h>

#include <shellapi.h>
#endif

namespace {

struct QuoteRow {
    const char* Param;
    const char* Quoted;
};

const QuoteRow QuoteRows[] = {
    {"max", "max"},
    {"C:\\Maps\\out.bmp", "C:\\Maps\\out.bmp"},
    {"", "\"\""},
    {"two words", "\"two words\""},
    {"C:\\My Maps\\", "\"C:\\My Maps\\\\\""},
    {"say \"hi\"", "\"say \\\"hi\\\"\""},
    {"a\\\"b", "\"a\\\\\\\"b\""},
    {"tab\there", "\"tab\there\""},
    {"\xc3\xa9t\xc3\xa9 \xe6\x9d\xb1", "\"\xc3\xa9t\xc3\xa9 \xe6\x9d\xb1\""},
};

} // namespace

TEST(CommandLine, ParametersAreQuotedOnlyWhereNeeded) {
    for (const QuoteRow& row : QuoteRows) {
        EXPECT_EQ(app::QuoteArgument(row.Param), row.Quoted) << row.Param;
    }
}

#if defined(_WIN32)
// The system's own splitter gives every parameter back unchanged.
TEST(CommandLine, TheSystemSplitsQuotedParametersBack) {
    std::string line = "program.exe";
    for (const QuoteRow& row : QuoteRows) {
        line += ' ' + app::QuoteArgument(row.Param);
    }
    int count = 0;
    LPWSTR* args = CommandLineToArgvW(kiv::WideFromUtf8(line).c_str(), &count);
    ASSERT_NE(args, nullptr);
    ASSERT_EQ(count, static_cast<int>(std::size(QuoteRows)) + 1);
    for (int i = 1; i < count; ++i) {
        EXPECT_EQ(kiv::Utf8FromWide(args[i]), QuoteRows[i - 1].Param);
    }
    LocalFree(args);
}
#endif
