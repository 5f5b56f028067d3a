// Runs the built program in its batch mode "-C FILE WIDTH" and checks what it
// writes, its exit status and its error line. The program runs without any
// display: the variables that would point it at one are removed.
#include "kiv/KivFastDIB.h"
#include "kiv/KivFastDibLoaders.h"
#include "kiv/KivPath.h"

#include "tests/RunProgram.h"
#include "tests/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#if defined(__unix__)
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace fs = std::filesystem;

namespace {

const fs::path BinDir = CHRONARA_BIN_DIR;

using testsupport::TempDir;

using testsupport::ReadFileText;

using testsupport::RunProgram;
using RunResult = testsupport::TRunResult;

#if defined(_WIN32)
const char* const ExeSuffix = ".exe";
#else
const char* const ExeSuffix = "";
#endif

// The built program.
fs::path Program() {
    return BinDir / (std::string("chronara") + ExeSuffix);
}

// A copy of the program and its solar library in a folder of its own, whose
// data/ folder the test fills.
fs::path CopyProgram(const fs::path& folder) {
    fs::create_directories(folder);
    const fs::path program = folder / Program().filename();
    fs::copy_file(Program(), program);
    for (const auto& entry : fs::directory_iterator(BinDir)) {
        const std::string name = entry.path().filename().string();
        if (name.rfind("libSolPos", 0) == 0 || name == "SolPos.dll") {
            fs::copy(entry.path(), folder / entry.path().filename(),
                     fs::copy_options::copy_symlinks);
        }
    }
    fs::create_directories(folder / "data");
    return program;
}

fs::path CopyProgram(const TempDir& dir) {
    return CopyProgram(dir.Path);
}

std::uint32_t U32At(const std::string& b, std::size_t at) {
    const auto u = [&](std::size_t i) {
        return static_cast<std::uint32_t>(static_cast<unsigned char>(b[i]));
    };
    return u(at) | (u(at + 1) << 8) | (u(at + 2) << 16) | (u(at + 3) << 24);
}

// The mean colour of a rectangle given in fractions of the image.
double MeanDistance(const kiv::TFastDIB& a, const kiv::TFastDIB& b, double x0, double y0, double x1,
                    double y1) {
    const auto mean = [&](const kiv::TFastDIB& image, int channel) {
        const int xa = static_cast<int>(x0 * image.Width());
        const int xb = static_cast<int>(x1 * image.Width());
        const int ya = static_cast<int>(y0 * image.Height());
        const int yb = static_cast<int>(y1 * image.Height());
        double sum = 0;
        for (int y = ya; y < yb; ++y) {
            for (int x = xa; x < xb; ++x) {
                const kiv::TBgr p = image.GetPixel(x, y);
                sum += channel == 0 ? p.B : channel == 1 ? p.G : p.R;
            }
        }
        return sum / std::max(1, (xb - xa) * (yb - ya));
    };
    double distance = 0;
    for (int c = 0; c < 3; ++c) {
        distance += std::abs(mean(a, c) - mean(b, c));
    }
    return distance;
}

bool HaveShippedImages() {
    for (const char* name : {"earth_day.png", "earth_night.jpg", "mask.png"}) {
        if (!fs::exists(BinDir / "data" / name)) {
            return false;
        }
    }
    return true;
}

class BatchMode : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(fs::exists(Program())) << Program(); }
};

} // namespace

TEST_F(BatchMode, WritesTheShadedMapAtTheGivenWidth) {
    if (!HaveShippedImages()) {
        GTEST_SKIP() << "the shipped map images are not in " << (BinDir / "data");
    }
    TempDir dir;
    const std::string out = dir.File("map.bmp");
    const RunResult run = RunProgram(Program(), {"-c", out, "800"}, dir.Path);
    ASSERT_EQ(run.Status, 0) << run.Errors;
    EXPECT_EQ(run.Errors, "");

    kiv::TFastDIB day;
    kiv::TFastDIB night;
    kiv::LoadPngImage(day, (BinDir / "data" / "earth_day.png").string());
    kiv::LoadJpegImage(night, (BinDir / "data" / "earth_night.jpg").string());
    const int height = static_cast<int>(std::nearbyint(day.Height() * 800.0 / day.Width()));

    const std::string bmp = ReadFileText(out);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    const std::uint32_t stride = (800 * 3 + 3) / 4 * 4;
    EXPECT_EQ(U32At(bmp, 2), 54 + stride * height);
    EXPECT_EQ(bmp.size(), 54 + stride * height);
    EXPECT_EQ(U32At(bmp, 10), 54u);
    EXPECT_EQ(U32At(bmp, 18), 800u);
    EXPECT_EQ(U32At(bmp, 22), static_cast<std::uint32_t>(height));
    EXPECT_EQ(bmp[28], 24);
    if (day.Width() == 1024 && day.Height() == 512) {
        EXPECT_EQ(height, 400);
    }

    kiv::TFastDIB image(800, height, 24);
    ASSERT_EQ(bmp.size() - 54, image.ImageSize());
    std::copy(bmp.begin() + 54, bmp.end(), image.Bits());
    for (int x = 0; x < 800; ++x) {
        ASSERT_EQ(image.GetPixel(x, 0), kiv::TBgr{}) << "bottom row black, x " << x;
    }
    // Day and night both appear: blocks that match the day image and blocks that
    // match the night image, each far from the other.
    int dayBlocks = 0;
    int nightBlocks = 0;
    for (int by = 1; by < 8; ++by) {
        for (int bx = 0; bx < 16; ++bx) {
            const double x0 = bx / 16.0, x1 = (bx + 1) / 16.0, y0 = by / 8.0, y1 = (by + 1) / 8.0;
            const double toDay = MeanDistance(image, day, x0, y0, x1, y1);
            const double toNight = MeanDistance(image, night, x0, y0, x1, y1);
            dayBlocks += toDay * 3 < toNight ? 1 : 0;
            nightBlocks += toNight * 3 < toDay ? 1 : 0;
        }
    }
    EXPECT_GE(dayBlocks, 10);
    EXPECT_GE(nightBlocks, 10);
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1)
        << "no temporary file is left behind";
}

TEST_F(BatchMode, AcceptsTheSwitchInAnyFormAndCase) {
    if (!HaveShippedImages()) {
        GTEST_SKIP() << "the shipped map images are not in " << (BinDir / "data");
    }
    TempDir dir;
    const std::string out = dir.File("small.bmp");
    const RunResult run = RunProgram(Program(), {"ignored", "/C", out, "+16"}, dir.Path);
    ASSERT_EQ(run.Status, 0) << run.Errors;
    const std::string bmp = ReadFileText(out);
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(U32At(bmp, 18), 16u);
}

TEST_F(BatchMode, BadWidthsEndWithStatusTwoAndWriteNothing) {
    TempDir dir;
    const std::string out = dir.File("never.bmp");
    for (const std::string width : {"abc", "0", "-5", "32769", "99999999999999999999", "12x", "",
                                    "+", "8.5", " 80", "0x10"}) {
        const RunResult run = RunProgram(Program(), {"-C", out, width}, dir.Path);
        EXPECT_EQ(run.Status, 2) << "width \"" << width << "\"";
        EXPECT_NE(run.Errors.find("\"" + width + "\""), std::string::npos) << run.Errors;
        EXPECT_EQ(std::count(run.Errors.begin(), run.Errors.end(), '\n'), 1) << run.Errors;
        EXPECT_FALSE(fs::exists(out)) << width;
    }
}

// A command line the program does not understand ends with its one line and
// status 2 before anything is written or started: an existing file keeps its
// content and no window program runs (it would end with its "no display" line
// and status 1 here).
TEST_F(BatchMode, CommandLinesNotUnderstoodAreNamedAndTouchNothing) {
    TempDir dir;
    const std::string out = dir.File("kept.png");
    std::ofstream(out) << "old content";
    const std::string seeHelp = "; see chronara --help\n";
    const std::string unknown = "chronara: unknown option ";
    const std::string tooFew =
        "chronara: -C needs a file name and a width: -C FILE WIDTH" + seeHelp;
    const std::string atAlone = "chronara: --at works only with -C FILE WIDTH" + seeHelp;
    for (const auto& [args, errors] : std::vector<std::pair<std::vector<std::string>, std::string>>{
             {{"-C", out, "2048", "--a", "2027-01-01T00:00Z"}, unknown + "--a" + seeHelp},
             {{"-C", out, "2048", "--att=2027-01-01T00:00Z"},
              unknown + "--att=2027-01-01T00:00Z" + seeHelp},
             {{"--width=64", "-C", out, "64"}, unknown + "--width=64" + seeHelp},
             {{"-max", "--Max"}, unknown + "--Max" + seeHelp},
             {{"--"}, unknown + "--" + seeHelp},
             {{"--at", "2027-01-01T00:00Z"}, atAlone},
             {{"-max", "--at", "2027-01-01T00:00Z"}, atAlone},
             {{"-C", out, "64", "--at", "2027-01-01T00:00Z", "--at", "2027-01-02T00:00Z"},
              "chronara: --at is given twice" + seeHelp},
             {{"-C", out}, tooFew},
             {{"-c"}, tooFew},
             {{"800", "/C", out}, tooFew}}) {
        const RunResult run = RunProgram(Program(), args, dir.Path);
        EXPECT_EQ(run.Status, 2) << args.back();
        // Windows' standard error ends its lines with CR LF.
        std::string lines = run.Errors;
        std::erase(lines, '\r');
        EXPECT_EQ(lines, errors);
        EXPECT_EQ(run.Output, "");
        EXPECT_EQ(ReadFileText(out), "old content") << args.back();
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 1);
}

TEST_F(BatchMode, AMissingImageIsNamedAndTheOldFileKept) {
    TempDir dir;
    const fs::path program = CopyProgram(dir);
    const std::string out = dir.File("kept.bmp");
    std::ofstream(out) << "old content";
    const RunResult run = RunProgram(program, {"-c", out, "100"}, dir.Path);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Errors.find((dir.Path / "data" / "earth_day.png").string()), std::string::npos)
        << run.Errors;
    EXPECT_EQ(ReadFileText(out), "old content");
}

TEST_F(BatchMode, ADirectoryInPlaceOfAnImageIsNamedAsOne) {
    TempDir dir;
    const fs::path program = CopyProgram(dir);
    fs::create_directories(dir.Path / "data" / "earth_day.png");
    const std::string out = dir.File("never.bmp");
    const RunResult run = RunProgram(program, {"-c", out, "100"}, dir.Path);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(
        run.Errors.find((dir.Path / "data" / "earth_day.png").string() + "\". It is a directory"),
        std::string::npos)
        << run.Errors;
    EXPECT_EQ(run.Errors.find("memory"), std::string::npos) << run.Errors;
    EXPECT_FALSE(fs::exists(out));
}

TEST_F(BatchMode, AnUndecodableImageIsNamed) {
    if (!HaveShippedImages()) {
        GTEST_SKIP() << "the shipped map images are not in " << (BinDir / "data");
    }
    TempDir dir;
    const fs::path program = CopyProgram(dir);
    fs::copy_file(BinDir / "data" / "earth_day.png", dir.Path / "data" / "earth_day.png");
    fs::copy_file(BinDir / "data" / "mask.png", dir.Path / "data" / "mask.png");
    // A night image cut off in the middle.
    const std::string night = ReadFileText(BinDir / "data" / "earth_night.jpg");
    std::ofstream(dir.Path / "data" / "earth_night.jpg", std::ios::binary)
        << night.substr(0, night.size() / 2);
    const std::string out = dir.File("never.bmp");
    const RunResult run = RunProgram(program, {"-c", out, "100"}, dir.Path);
    EXPECT_EQ(run.Status, 1);
    EXPECT_NE(run.Errors.find((dir.Path / "data" / "earth_night.jpg").string()), std::string::npos)
        << run.Errors;
    EXPECT_FALSE(fs::exists(out));
}

// A moment fixed for the runs that must agree (2026-06-09 12:00 UTC).
const char* const FixedNow = "1781006400";

TEST_F(BatchMode, TheSameMomentGivesTheSameImage) {
    if (!HaveShippedImages()) {
        GTEST_SKIP() << "the shipped map images are not in " << (BinDir / "data");
    }
    TempDir dir;
    const auto run = [&](const std::string& name, const char* now) {
        const RunResult result = RunProgram(Program(), {"-C", dir.File(name), "320"}, dir.Path,
                                            {{"CHRONARA_TEST_NOW", now}});
        EXPECT_EQ(result.Status, 0) << result.Errors;
        return ReadFileText(dir.Path / name);
    };
    const std::string first = run("first.bmp", FixedNow);
    ASSERT_GT(first.size(), 54u);
    EXPECT_EQ(run("second.bmp", FixedNow), first);
    // Six hours later the night has moved a quarter of the way round.
    EXPECT_NE(run("later.bmp", "1781028000"), first);
}

// A program folder and an output name with letters of several scripts: the
// program finds its data beside itself and writes the named file.
TEST_F(BatchMode, FoldersAndNamesWithAnyLettersWork) {
    if (!HaveShippedImages()) {
        GTEST_SKIP() << "the shipped map images are not in " << (BinDir / "data");
    }
    TempDir dir;
    const fs::path folder =
        dir.Path / kiv::PathFromUtf8("Zeitz\xc3\xb6ne \xce\xa9 \xe6\x9d\xb1\xe4\xba\xac");
    const fs::path program = CopyProgram(folder);
    for (const char* name : {"earth_day.png", "earth_night.jpg", "mask.png"}) {
        fs::copy_file(BinDir / "data" / name, folder / "data" / name);
    }
    const std::string out =
        kiv::Utf8FromPath(folder / kiv::PathFromUtf8("Karte \xc3\xa9t\xc3\xa9.bmp"));
    const RunResult run = RunProgram(program, {"-c", out, "64"}, dir.Path);
    EXPECT_EQ(run.Status, 0) << run.Errors;
    const std::string bmp = ReadFileText(kiv::PathFromUtf8(out));
    ASSERT_GE(bmp.size(), 54u);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(U32At(bmp, 18), 64u);
}

#if defined(_WIN32)
// The image of this build against the one the host (Linux) build wrote for the
// same moment: the same bytes. (Both compute in IEEE doubles with the same code;
// should the systems' maths libraries ever part in the last bit of a sine, the
// count and size of the differences say so.)
TEST_F(BatchMode, MatchesTheHostBuildAtTheSameMoment) {
    const char* hostImage = std::getenv("CHRONARA_HOST_BATCH_IMAGE");
    const char* now = std::getenv("CHRONARA_HOST_BATCH_NOW");
    if (hostImage == nullptr || now == nullptr) {
        GTEST_SKIP() << "no image of the host build to compare with";
    }
    TempDir dir;
    const std::string out = dir.File("windows.bmp");
    const RunResult run =
        RunProgram(Program(), {"-C", out, "800"}, dir.Path, {{"CHRONARA_TEST_NOW", now}});
    ASSERT_EQ(run.Status, 0) << run.Errors;
    const std::string mine = ReadFileText(out);
    const std::string host = ReadFileText(hostImage);
    ASSERT_GT(host.size(), 54u) << hostImage;
    ASSERT_EQ(mine.size(), host.size());
    EXPECT_EQ(mine.substr(0, 54), host.substr(0, 54)) << "headers differ";
    std::size_t differing = 0;
    int largest = 0;
    for (std::size_t i = 54; i < mine.size(); ++i) {
        const int d =
            std::abs(static_cast<unsigned char>(mine[i]) - static_cast<unsigned char>(host[i]));
        differing += d != 0 ? 1 : 0;
        largest = std::max(largest, d);
    }
    EXPECT_EQ(differing, 0u) << "of " << mine.size() - 54 << " bytes, by at most " << largest;
}
#endif

// Without "-C" the program starts the window program; a second copy, even one
// without a display, ends at once with status 0 and leaves the first running.
TEST(WindowProgram, ASecondCopyEndsAtOnceAndLeavesTheFirst) {
#if defined(__unix__)
    TempDir dir;
    // The single-instance lock lives in the runtime folder: one of this test's own.
    const fs::path runtime = dir.Path / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);

    const pid_t first = fork();
    if (first == 0) {
        const int devNull = open("/dev/null", O_WRONLY);
        dup2(devNull, 1);
        dup2(devNull, 2);
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
        const std::string program = (BinDir / "chronara").string();
        execl(program.c_str(), program.c_str(), "-max", static_cast<char*>(nullptr));
        _exit(127);
    }
    // The first copy holds its lock once it runs.
    bool locked = false;
    for (int i = 0; i < 500 && !locked; ++i) {
        for (const auto& entry : fs::directory_iterator(runtime)) {
            locked = locked || entry.path().extension() == ".lock";
        }
        if (!locked) {
            usleep(20000);
        }
    }
    EXPECT_TRUE(locked) << "the first copy never took its lock";

    const RunResult second = RunProgram(Program(), {}, dir.Path);
    EXPECT_EQ(second.Status, 0) << second.Errors;
    EXPECT_EQ(second.Errors, "");
    int status = 0;
    EXPECT_EQ(waitpid(first, &status, WNOHANG), 0) << "the first copy ended";

    kill(first, SIGTERM);
    waitpid(first, &status, 0);
    unsetenv("XDG_RUNTIME_DIR");
#else
    GTEST_SKIP() << "runs the program through fork and exec";
#endif
}

TEST_F(BatchMode, AFileCalledLikeAQuestionIsStillWritten) {
    if (!HaveShippedImages()) {
        GTEST_SKIP() << "the shipped map images are not in " << (BinDir / "data");
    }
    TempDir dir;
    const RunResult run = RunProgram(Program(), {"/c", "-C", "--help", "16"}, dir.Path);
    ASSERT_EQ(run.Status, 0) << run.Errors;
    EXPECT_EQ(run.Output, "");
    EXPECT_EQ(U32At(ReadFileText(dir.Path / "--help"), 18), 16u);
}

// "--help" and "--version" answer on standard output with status 0, without a
// display and without the window program.
TEST(CommandLineProgram, HelpAndVersionAnswerWithoutADisplay) {
    TempDir dir;
    const RunResult help = RunProgram(Program(), {"--help"}, dir.Path);
    EXPECT_EQ(help.Status, 0) << help.Errors;
    EXPECT_EQ(help.Errors, "");
    EXPECT_NE(help.Output.find("-C FILE WIDTH"), std::string::npos) << help.Output;
    const RunResult version = RunProgram(Program(), {"-max", "--version"}, dir.Path);
    EXPECT_EQ(version.Status, 0) << version.Errors;
    EXPECT_EQ(version.Output.rfind("Chronara ", 0), 0u) << version.Output;
    // The second line names the zone rules in use and their release.
    EXPECT_EQ(std::count(version.Output.begin(), version.Output.end(), '\n'), 2) << version.Output;
    const std::string rules = version.Output.substr(version.Output.find('\n') + 1);
    EXPECT_GT(rules.size(), 1u);
    EXPECT_EQ(rules.find('%'), std::string::npos) << rules;
}

// A start without a display, or with one that cannot be opened, ends with one
// line on standard error and status 1, not with the toolkit's abort.
TEST(CommandLineProgram, NoDisplayEndsWithOneLineAndStatusOne) {
#if defined(__unix__)
    TempDir dir;
    const fs::path runtime = dir.Path / "runtime";
    fs::create_directories(runtime);
    fs::permissions(runtime, fs::perms::owner_all);
    const std::pair<std::string, std::string> ownRuntime{"XDG_RUNTIME_DIR", runtime.string()};
    for (const auto& display : std::vector<std::vector<std::pair<std::string, std::string>>>{
             {ownRuntime},
             {ownRuntime, {"DISPLAY", ":4711"}},
             {ownRuntime, {"QT_QPA_PLATFORM", "xcb"}},
             // No runtime folder: the toolkit's warning about it is not shown.
             {{"XDG_RUNTIME_DIR", ""}, {"TMPDIR", runtime.string()}}}) {
        const RunResult run = RunProgram(Program(), {}, dir.Path, display);
        EXPECT_EQ(run.Status, 1) << display.back().first << " " << run.Errors;
        EXPECT_EQ(std::count(run.Errors.begin(), run.Errors.end(), '\n'), 1) << run.Errors;
        EXPECT_NE(run.Errors.find("no display"), std::string::npos) << run.Errors;
        EXPECT_NE(run.Errors.find("-C FILE WIDTH"), std::string::npos) << run.Errors;
    }
#else
    GTEST_SKIP() << "runs the program through fork and exec";
#endif
}
