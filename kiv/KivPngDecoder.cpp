// The PNG decoder (libpng); see KivImageCodec.h for how its errors come back.
#include "kiv/KivFastDibLoaders.h"

#include "kiv/KivErrors.h"
#include "kiv/KivImageCodec.h"
#include "kiv/KivStream.h"

#include <cstring>
#include <new>
#include <vector>

namespace kiv {

using namespace imagecodec;

namespace {

struct TPngReader {
    png_structp Png = nullptr;
    png_infop Info = nullptr;
    const std::uint8_t* Data = nullptr;
    std::size_t Size = 0;
    std::size_t Pos = 0;
    char Message[256] = "";

    TPngReader() = default;
    TPngReader(const TPngReader&) = delete;
    TPngReader& operator=(const TPngReader&) = delete;
    ~TPngReader() {
        if (Png) {
            png_destroy_read_struct(&Png, Info ? &Info : nullptr, nullptr);
        }
    }
};

extern "C" void PngError(png_structp png, png_const_charp message) {
    auto* reader = static_cast<TPngReader*>(png_get_error_ptr(png));
    std::snprintf(reader->Message, sizeof reader->Message, "%s", message ? message : "error");
    png_longjmp(png, 1);
}

extern "C" void PngRead(png_structp png, png_bytep out, png_size_t count) {
    auto* reader = static_cast<TPngReader*>(png_get_io_ptr(png));
    if (count > reader->Size - reader->Pos) {
        png_error(png, "the file ends too early");
    }
    std::memcpy(out, reader->Data + reader->Pos, count);
    reader->Pos += count;
}

// Reads the header and sets up the conversion to 8-bit blue-green-red. Returns
// false after a library error (the message is in the reader).
bool PngReadHeader(TPngReader& r, png_uint_32& width, png_uint_32& height, int& passes,
                   std::size_t& rowBytes) {
    if (setjmp(png_jmpbuf(r.Png))) {
        return false;
    }
    png_set_read_fn(r.Png, &r, PngRead);
    png_set_user_limits(r.Png, MaxDecodedSide, MaxDecodedSide);
    png_read_info(r.Png, r.Info);
    const int colorType = png_get_color_type(r.Png, r.Info);
    const int bitDepth = png_get_bit_depth(r.Png, r.Info);
    if (!(colorType == PNG_COLOR_TYPE_RGB && bitDepth == 8)) {
        // The general conversion: every other kind becomes 8-bit RGB.
        if (colorType == PNG_COLOR_TYPE_PALETTE) {
            png_set_palette_to_rgb(r.Png);
        }
        if (colorType == PNG_COLOR_TYPE_GRAY && bitDepth < 8) {
            png_set_expand_gray_1_2_4_to_8(r.Png);
        }
        const bool transparent = png_get_valid(r.Png, r.Info, PNG_INFO_tRNS) != 0;
        if (transparent) {
            png_set_tRNS_to_alpha(r.Png);
        }
        if (bitDepth == 16) {
            png_set_scale_16(r.Png);
        }
        if (colorType == PNG_COLOR_TYPE_GRAY || colorType == PNG_COLOR_TYPE_GRAY_ALPHA) {
            png_set_gray_to_rgb(r.Png);
        }
        if ((colorType & PNG_COLOR_MASK_ALPHA) != 0 || transparent) {
            // Transparent pixels are laid over black, as drawing the picture onto
            // a fresh bitmap does.
            png_color_16 black{};
            png_set_background(r.Png, &black, PNG_BACKGROUND_GAMMA_SCREEN, 0, 1.0);
        }
    }
    png_set_bgr(r.Png);
    passes = png_set_interlace_handling(r.Png);
    png_read_update_info(r.Png, r.Info);
    width = png_get_image_width(r.Png, r.Info);
    height = png_get_image_height(r.Png, r.Info);
    rowBytes = png_get_rowbytes(r.Png, r.Info);
    if (png_get_channels(r.Png, r.Info) != 3 || png_get_bit_depth(r.Png, r.Info) != 8) {
        png_error(r.Png, "unsupported pixel format");
    }
    return true;
}

// Reads all rows (all passes of an interlaced file) into the image, PNG row r
// going to stored row height - 1 - r.
bool PngReadRows(TPngReader& r, TFastDIB& image, int passes) {
    if (setjmp(png_jmpbuf(r.Png))) {
        return false;
    }
    const int height = image.Height();
    for (int pass = 0; pass < passes; ++pass) {
        for (int y = 0; y < height; ++y) {
            png_read_row(r.Png, image.Row(height - 1 - y), nullptr);
        }
    }
    png_read_end(r.Png, nullptr);
    return true;
}

constexpr const char* PngKind = "PNG";

struct TPngHeader {
    png_uint_32 Width = 0;
    png_uint_32 Height = 0;
    int Passes = 1;
    std::size_t RowBytes = 0;
};

// Checks the PNG signature, sets the reader up over the bytes and reads the
// header; refuses an image too large to decode. `what` names the file in errors.
TPngHeader OpenPng(TPngReader& r, const std::uint8_t* data, std::size_t size,
                   const std::string& what) {
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        ThrowDecodeError(PngKind, what, "not a PNG file");
    }
    r.Data = data;
    r.Size = size;
    r.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, PngError, ChronaraPngWarning);
    if (r.Png) {
        r.Info = png_create_info_struct(r.Png);
    }
    if (!r.Png || !r.Info) {
        throw std::bad_alloc();
    }
    TPngHeader header;
    if (!PngReadHeader(r, header.Width, header.Height, header.Passes, header.RowBytes)) {
        ThrowDecodeError(PngKind, what, r.Message);
    }
    CheckDecodedSize(header.Width, header.Height, PngKind, what);
    return header;
}

} // namespace

void DecodePngImage(TFastDIB& image, const std::uint8_t* data, std::size_t size,
                    const std::string& what) {
    TPngReader r;
    const TPngHeader header = OpenPng(r, data, size, what);
    TFastDIB decoded(static_cast<int>(header.Width), static_cast<int>(header.Height), 24);
    KivAssert(header.RowBytes <= decoded.Stride(), "PNG row larger than the image row");
    if (!PngReadRows(r, decoded, header.Passes)) {
        ThrowDecodeError(PngKind, what, r.Message);
    }
    image = std::move(decoded);
}

void CheckPngFile(const std::string& fileName) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(fileName);
    TPngReader r;
    OpenPng(r, bytes.data(), bytes.size(), fileName);
}

void LoadPngImage(TFastDIB& image, const std::string& fileName) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(fileName);
    DecodePngImage(image, bytes.data(), bytes.size(), fileName);
}

} // namespace kiv
