// The batch mode's "--at TIME" and its output formats: the built program is
// run with a moment on its command line (no fixed clock in its environment),
// and what it writes is compared with the composition of that moment made here.
#include "kiv/KivDateTime.h"
#include "kiv/KivFastDIB.h"
#include "kiv/KivFastDibLoaders.h"
#include "solar/ShadowMap.h"

#include "tests/RunProgram.h"
#include "tests/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

using testsupport::ReadFileText;
using testsupport::RunProgram;
using testsupport::TempDir;
using RunResult = testsupport::TRunResult;

const fs::path BinDir = CHRONARA_BIN_DIR;

fs::path Program() {
#if defined(_WIN32)
    return BinDir / "chronara.exe";
#else
    return BinDir / "chronara";
#endif
}

bool HaveShippedImages() {
    for (const char* name : {"earth_day.png", "earth_night.jpg", "mask.png"}) {
        if (!fs::exists(BinDir / "data" / name)) {
            return false;
        }
    }
    return true;
}

// The map of the moment as the program should draw it, `width` pixels wide.
kiv::TFastDIB Expected(int width, kiv::TDateTime utc) {
    kiv::TFastDIB day;
    kiv::TFastDIB night;
    kiv::LoadPngImage(day, (BinDir / "data" / "earth_day.png").string());
    kiv::LoadJpegImage(night, (BinDir / "data" / "earth_night.jpg").string());
    const int height =
        static_cast<int>(kiv::RoundHalfEven(day.Height() * 1.0 * width / day.Width()));
    kiv::TFastDIB map(width, height, 24);
    solar::ComposeDayNight(map, day, night, true, utc);
    return map;
}

// A BMP file of the batch mode read back into an image.
kiv::TFastDIB ReadBitmap(const std::string& bytes, int width, int height) {
    kiv::TFastDIB image(width, height, 24);
    EXPECT_EQ(bytes.size(), 54 + image.ImageSize());
    if (bytes.size() == 54 + image.ImageSize()) {
        std::copy(bytes.begin() + 54, bytes.end(), image.Bits());
    }
    return image;
}

// The mean and the largest difference of the channels of two images of one size.
void Differences(const kiv::TFastDIB& a, const kiv::TFastDIB& b, double& mean, int& largest) {
    double sum = 0;
    largest = 0;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            const kiv::TBgr p = a.GetPixel(x, y);
            const kiv::TBgr q = b.GetPixel(x, y);
            for (const int d : {p.B - q.B, p.G - q.G, p.R - q.R}) {
                sum += std::abs(d);
                largest = std::max(largest, std::abs(d));
            }
        }
    }
    mean = sum / (3.0 * a.Width() * a.Height());
}

const kiv::TDateTime Equinox = kiv::EncodeDateTime(2027, 3, 20, 12, 0, 0, 0);

class BatchMoment : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fs::exists(Program())) << Program();
        if (!HaveShippedImages()) {
            GTEST_SKIP() << "the shipped map images are not in " << (BinDir / "data");
        }
    }
};

} // namespace

TEST_F(BatchMoment, DrawsTheMomentInTheFormatOfTheFileName) {
    TempDir dir;
    const kiv::TFastDIB expected = Expected(480, Equinox);
    for (const std::string name : {"map.bmp", "map.PNG", "map.jpg", "map.JPEG", "map"}) {
        SCOPED_TRACE(name);
        const std::string out = dir.File(name);
        const RunResult run =
            RunProgram(Program(), {"-C", out, "480", "--at", "2027-03-20T12:00Z"}, dir.Path);
        ASSERT_EQ(run.Status, 0) << run.Errors;
        EXPECT_EQ(run.Errors, "");
        const std::string bytes = ReadFileText(out);
        ASSERT_GT(bytes.size(), 8u);
        kiv::TFastDIB image;
        switch (kiv::ImageFileKindOf(name)) {
        case kiv::TImageFileKind::Bmp:
            EXPECT_EQ(bytes.substr(0, 2), "BM");
            EXPECT_TRUE(ReadBitmap(bytes, 480, expected.Height()).SameAs(expected));
            break;
        case kiv::TImageFileKind::Png:
            EXPECT_EQ(bytes.substr(1, 3), "PNG");
            kiv::LoadPngImage(image, out);
            EXPECT_TRUE(image.SameAs(expected)) << "the decoded pixels are the same";
            break;
        case kiv::TImageFileKind::Jpeg: {
            EXPECT_EQ(bytes.substr(0, 2), "\xFF\xD8");
            kiv::LoadJpegImage(image, out);
            ASSERT_EQ(image.Width(), expected.Width());
            ASSERT_EQ(image.Height(), expected.Height());
            double mean = 0;
            int largest = 0;
            Differences(image, expected, mean, largest);
            EXPECT_LT(mean, 2.5) << "largest difference " << largest;
            break;
        }
        }
        std::error_code ignored;
        fs::remove(out, ignored);
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 0)
        << "no temporary file is left behind";
}

// The same moment written three ways gives the same file; another moment
// another one.
TEST_F(BatchMoment, EveryFormOfTheSameMomentGivesTheSameImage) {
    TempDir dir;
    const auto run = [&](const std::string& name, std::vector<std::string> at,
                         const testsupport::TEnvironment& env = {}) {
        std::vector<std::string> args{"-C", dir.File(name), "200"};
        args.insert(args.end(), at.begin(), at.end());
        const RunResult result = RunProgram(Program(), args, dir.Path, env);
        EXPECT_EQ(result.Status, 0) << name << ": " << result.Errors;
        return ReadFileText(dir.Path / name);
    };
    const std::string utc = run("utc.bmp", {"--at", "2026-12-21T12:00Z"});
    ASSERT_GT(utc.size(), 54u);
    EXPECT_EQ(run("offset.bmp", {"--at=2026-12-21T13:30:00+01:30"}), utc);
    EXPECT_EQ(run("west.bmp", {"--at", "2026-12-21T06:00-06:00"}), utc);
#if defined(__unix__)
    // A local time, on a machine two hours east of UTC.
    EXPECT_EQ(run("local.bmp", {"--at", "2026-12-21T14:00"}, {{"TZ", "XYZ-2"}}), utc);
#endif
    EXPECT_NE(run("later.bmp", {"--at", "2026-12-21T18:00Z"}), utc);
}

TEST_F(BatchMoment, TimesThatCannotBeReadEndWithStatusTwoAndWriteNothing) {
    TempDir dir;
    const std::string out = dir.File("kept.png");
    std::ofstream(out) << "old content";
    for (const std::vector<std::string>& at :
         std::vector<std::vector<std::string>>{{"--at", "2027-03-20"},
                                               {"--at", "2027-02-30T12:00Z"},
                                               {"--at", "12:00"},
                                               {"--at", "2027-03-20T12:00+25:00"},
                                               {"--at", "2027-03-20 12:00"},
                                               {"--at", "now"},
                                               {"--at=2027-03-20T12"},
                                               {"--at="},
                                               {"--at"}}) {
        std::vector<std::string> args{"-C", out, "64"};
        args.insert(args.end(), at.begin(), at.end());
        const RunResult run = RunProgram(Program(), args, dir.Path);
        EXPECT_EQ(run.Status, 2) << at.back();
        EXPECT_NE(run.Errors.find("--at"), std::string::npos) << run.Errors;
        EXPECT_EQ(std::count(run.Errors.begin(), run.Errors.end(), '\n'), 1) << run.Errors;
        if (at.size() == 2) {
            EXPECT_NE(run.Errors.find("\"" + at.back() + "\""), std::string::npos) << run.Errors;
        }
        EXPECT_EQ(ReadFileText(out), "old content");
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1);
}

// A moment that can be read but lies outside the years of the solar tables.
TEST_F(BatchMoment, AMomentTheSunCannotBeComputedForFailsWithAMessage) {
    TempDir dir;
    const std::string out = dir.File("never.jpg");
    const RunResult run =
        RunProgram(Program(), {"-C", out, "64", "--at", "1500-06-01T00:00Z"}, dir.Path);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Errors.find("position of the sun"), std::string::npos) << run.Errors;
    EXPECT_FALSE(fs::exists(out));
}

TEST(BatchMomentHelp, HelpNamesTheTimeAndTheFormats) {
    TempDir dir;
    const RunResult help = RunProgram(Program(), {"--help"}, dir.Path);
    EXPECT_EQ(help.Status, 0);
    for (const char* text : {"--at TIME", ".png", ".jpg"}) {
        EXPECT_NE(help.Output.find(text), std::string::npos) << text;
    }
}
