// The version resource the build gives the Windows programs, read back the way
// the About box reads it.
#if defined(_WIN32)
#include "platform/WinVersion.h"

#include "kiv/KivPath.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace winver = platform::winver;

TEST(WinVersion, TheProgramsCarryTheProjectVersion) {
    for (const char* file : {"chronara.exe", "SolPos.dll"}) {
        const std::filesystem::path path = kiv::PathFromUtf8(CHRONARA_BIN_DIR) / file;
        const winver::TVersionResource version = winver::ReadVersionResource(path.wstring());
        ASSERT_TRUE(version.Found) << file;
        EXPECT_EQ(version.FileVersion, CHRONARA_PROJECT_VERSION) << file;
        EXPECT_FALSE(version.Comments.empty()) << file;
        EXPECT_NE(version.LegalCopyright.find("Chronara"), std::string::npos) << file;
        EXPECT_EQ(std::to_string(version.Fixed[0]) + "." + std::to_string(version.Fixed[1]) + "." +
                      std::to_string(version.Fixed[2]),
                  CHRONARA_PROJECT_VERSION)
            << file;
        EXPECT_EQ(version.Fixed[3], 0);
    }
}

TEST(WinVersion, AFileWithoutOneGivesNothing) {
    // The test program itself carries no version resource.
    const winver::TVersionResource own = winver::ReadVersionResource(winver::ProgramFile());
    EXPECT_FALSE(own.Found);
    EXPECT_TRUE(own.FileVersion.empty());
    EXPECT_TRUE(own.Comments.empty());
    const winver::TVersionResource none = winver::ReadVersionResource(L"Z:\\no\\such\\file.exe");
    EXPECT_FALSE(none.Found);
}
#endif // _WIN32
