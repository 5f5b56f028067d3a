// The image file writers: the format by the file name, the strip-by-strip
// writer against the whole-image one, and failures that leave the target alone.
#include "kiv/KivErrors.h"
#include "kiv/KivFastDIB.h"
#include "kiv/KivFastDibLoaders.h"

#include "tests/TempDir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>

using namespace kiv;
namespace fs = std::filesystem;
using testsupport::TempDir;

namespace {

std::string FileBytes(const std::string& name) {
    std::ifstream in(name, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

// A picture with smooth areas and sharp edges, different in every row.
TFastDIB Pattern(int width, int height) {
    TFastDIB image(width, height, 24);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            image.SetPixel(x, y,
                           {static_cast<std::uint8_t>(x * 255 / width),
                            static_cast<std::uint8_t>(y * 255 / height),
                            static_cast<std::uint8_t>(((x / 8 + y / 8) % 2) * 200 + 20)});
        }
    }
    return image;
}

// Hands out the stored rows of an image, as the batch mode's resampling does.
TStripMaker StripsOf(const TFastDIB& image) {
    return [&image](int first, int last, std::uint8_t* out, std::size_t stride) {
        for (int y = first; y < last; ++y, out += stride) {
            std::memcpy(out, image.Row(y), static_cast<std::size_t>(image.Width()) * 3);
        }
    };
}

int LargestDifference(const TFastDIB& a, const TFastDIB& b) {
    int largest = 0;
    for (int y = 0; y < a.Height(); ++y) {
        for (int x = 0; x < a.Width(); ++x) {
            const TBgr p = a.GetPixel(x, y);
            const TBgr q = b.GetPixel(x, y);
            largest =
                std::max({largest, std::abs(p.B - q.B), std::abs(p.G - q.G), std::abs(p.R - q.R)});
        }
    }
    return largest;
}

} // namespace

TEST(ImageFileKind, FollowsTheExtensionInAnyCase) {
    struct TRow {
        const char* Name;
        TImageFileKind Kind;
    };
    for (const TRow& row :
         {TRow{"a.png", TImageFileKind::Png}, TRow{"a.PnG", TImageFileKind::Png},
          TRow{"a.jpg", TImageFileKind::Jpeg}, TRow{"A.JPEG", TImageFileKind::Jpeg},
          TRow{"a.bmp", TImageFileKind::Bmp}, TRow{"a", TImageFileKind::Bmp},
          TRow{"a.png.bmp", TImageFileKind::Bmp}, TRow{"a.gif", TImageFileKind::Bmp},
          TRow{"dir.png/map", TImageFileKind::Bmp}, TRow{"dir.jpg\\map", TImageFileKind::Bmp},
          TRow{".png", TImageFileKind::Png}, TRow{"a.jpe", TImageFileKind::Bmp},
          TRow{"a.pngx", TImageFileKind::Bmp}}) {
        EXPECT_EQ(ImageFileKindOf(row.Name), row.Kind) << row.Name;
    }
}

// Sizes whose rows need padding in a BMP file, and enough rows for many strips
// shared by several threads.
class StripWriter : public ::testing::TestWithParam<int> {};

TEST_P(StripWriter, WritesWhatTheWholeImageWriterWrites) {
    const int threads = GetParam();
    TempDir dir;
    for (const auto& [width, height] : {std::pair{1, 1}, std::pair{37, 5}, std::pair{301, 419}}) {
        SCOPED_TRACE(std::to_string(width) + " x " + std::to_string(height));
        const TFastDIB image = Pattern(width, height);

        SaveBitmapFile(image, dir.File("whole.bmp"));
        SaveImageFileInStrips(dir.File("strips.bmp"), width, height, StripsOf(image), threads);
        EXPECT_EQ(FileBytes(dir.File("strips.bmp")), FileBytes(dir.File("whole.bmp")));

        SaveImageFileInStrips(dir.File("strips.png"), width, height, StripsOf(image), threads);
        TFastDIB png;
        LoadPngImage(png, dir.File("strips.png"));
        EXPECT_TRUE(png.SameAs(image));
        SaveImageFile(image, dir.File("whole.png"));
        EXPECT_EQ(FileBytes(dir.File("whole.png")), FileBytes(dir.File("strips.png")));

        SaveImageFileInStrips(dir.File("strips.jpg"), width, height, StripsOf(image), threads);
        TFastDIB jpeg;
        LoadJpegImage(jpeg, dir.File("strips.jpg"));
        ASSERT_EQ(jpeg.Width(), width);
        ASSERT_EQ(jpeg.Height(), height);
        // Colour edges between blocks of 8 lose most; nothing is far off or flipped.
        EXPECT_LT(LargestDifference(jpeg, image), 100);
        SaveImageFile(image, dir.File("whole.jpg"));
        EXPECT_EQ(FileBytes(dir.File("whole.jpg")), FileBytes(dir.File("strips.jpg")));
    }
}

INSTANTIATE_TEST_SUITE_P(Threads, StripWriter, ::testing::Values(1, 2, 3));

TEST(StripWriter, AFailingStripLeavesTheTargetAsItWas) {
    TempDir dir;
    const TFastDIB image = Pattern(600, 500);
    for (const char* name : {"kept.bmp", "kept.png", "kept.jpg"}) {
        for (const int threads : {1, 2}) {
            const std::string target = dir.File(name);
            std::ofstream(target) << "old content";
            std::atomic<int> made{0};
            const TStripMaker failing = [&](int first, int last, std::uint8_t* out,
                                            std::size_t stride) {
                if (++made == 3) {
                    throw std::runtime_error("no more rows");
                }
                StripsOf(image)(first, last, out, stride);
            };
            EXPECT_THROW(SaveImageFileInStrips(target, 600, 500, failing, threads),
                         std::runtime_error)
                << name;
            EXPECT_EQ(FileBytes(target), "old content") << name;
        }
    }
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 3)
        << "no temporary file is left behind";
}

// The strip writer replaces a file in one step without waiting for the disk;
// a folder in the target's place stays and the write fails, as a rename would.
TEST(StripWriter, ReplacesAFileButNotAFolder) {
    TempDir dir;
    const TFastDIB image = Pattern(30, 20);
    const std::string target = dir.File("map.png");
    std::ofstream(target) << "old content";
    SaveImageFileInStrips(target, 30, 20, StripsOf(image), 2);
    TFastDIB written;
    LoadPngImage(written, target);
    EXPECT_TRUE(written.SameAs(image));

    const std::string folder = dir.File("folder.bmp");
    fs::create_directories(fs::path(folder) / "inside");
    EXPECT_THROW(SaveImageFileInStrips(folder, 30, 20, StripsOf(image), 2), EFOpenError);
    EXPECT_TRUE(fs::is_directory(fs::path(folder) / "inside"));
    EXPECT_EQ(std::distance(fs::directory_iterator(dir.Path), fs::directory_iterator()), 2)
        << "no temporary file is left behind";
}

TEST(StripWriter, AFolderThatCannotBeWrittenIsNamed) {
    TempDir dir;
    const TFastDIB image = Pattern(8, 8);
    for (const char* name : {"none/map.bmp", "none/map.png", "none/map.jpg"}) {
        try {
            SaveImageFileInStrips(dir.File(name), 8, 8, StripsOf(image), 2);
            ADD_FAILURE() << name << " was written";
        } catch (const EFOpenError& e) {
            EXPECT_NE(std::string(e.what()).find(dir.File(name)), std::string::npos) << e.what();
        }
    }
}

TEST(CheckPngFile, ReadsTheHeaderOnly) {
    TempDir dir;
    const TFastDIB image = Pattern(40, 30);
    SaveImageFile(image, dir.File("good.png"));
    EXPECT_NO_THROW(CheckPngFile(dir.File("good.png")));
    EXPECT_THROW(CheckPngFile(dir.File("missing.png")), EFOpenError);
    std::ofstream(dir.File("text.png")) << "not an image at all";
    EXPECT_THROW(CheckPngFile(dir.File("text.png")), EKivError);
    const std::string bytes = FileBytes(dir.File("good.png"));
    std::ofstream(dir.File("cut.png"), std::ios::binary) << bytes.substr(0, 20);
    EXPECT_THROW(CheckPngFile(dir.File("cut.png")), EKivError);
}
