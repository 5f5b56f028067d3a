// Both libraries report fatal errors by calling an error function that must not
// return. Each one here formats the message and longjmp()s back to the setjmp()
// of the decoding step that called into the library. The functions that call
// setjmp() hold no object with a destructor and read no local changed after the
// setjmp() once the jump has come back; all state lives in a reader object of the
// caller, whose destructor frees the library's structures on every path. The
// pixels go into a fresh image that replaces the target only when decoding has
// finished, so a failed decode never leaves a half-filled image behind.
#include "kiv/KivFastDibLoaders.h"

#include "kiv/KivErrors.h"
#include "kiv/KivStream.h"

#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include <png.h>
// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace kiv {

namespace {

void CheckDecodedSize(std::uint64_t width, std::uint64_t height, const char* kind,
                      const std::string& what) {
    if (width == 0 || height == 0 || width > MaxDecodedSide || height > MaxDecodedSide ||
        width * height > static_cast<std::uint64_t>(MaxDecodedPixels)) {
        throw EKivError("Cannot decode " + std::string(kind) + " image \"" + what +
                        "\": its size " + std::to_string(width) + " x " + std::to_string(height) +
                        " is not supported");
    }
}

// ---------------------------------------------------------------------------
// PNG

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

extern "C" void PngWarning(png_structp, png_const_charp) {}

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

[[noreturn]] void ThrowDecodeError(const char* kind, const std::string& what, const char* message) {
    throw EKivError("Cannot decode " + std::string(kind) + " image \"" + what + "\": " + message);
}

// ---------------------------------------------------------------------------
// JPEG

struct TJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

struct TJpegReader {
    jpeg_decompress_struct Info;
    TJpegError Error;
    jpeg_progress_mgr Progress;
    bool Created = false;

    TJpegReader() {
        std::memset(&Info, 0, sizeof Info);
        std::memset(&Error, 0, sizeof Error);
        std::memset(&Progress, 0, sizeof Progress);
    }
    TJpegReader(const TJpegReader&) = delete;
    TJpegReader& operator=(const TJpegReader&) = delete;
    ~TJpegReader() {
        if (Created) {
            jpeg_destroy_decompress(&Info);
        }
    }
};

extern "C" void JpegErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<TJpegError*>(info->err);
    (*info->err->format_message)(info, error->Message);
    std::longjmp(error->Jump, 1);
}

// Warnings that mean pixel data is missing end the decode like errors do;
// the others (unknown markers and the like) are ignored silently.
extern "C" void JpegEmitMessage(j_common_ptr info, int level) {
    if (level >= 0) {
        return;
    }
    const int code = info->err->msg_code;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC) {
        JpegErrorExit(info);
    }
}

// A crafted progressive file can hold thousands of tiny scans that each cost a
// pass over the whole image; more than any real encoder writes is an error.
extern "C" void JpegProgress(j_common_ptr info) {
    if (info->is_decompressor) {
        auto* d = reinterpret_cast<j_decompress_ptr>(info);
        if (d->input_scan_number > 1000) {
            std::snprintf(reinterpret_cast<TJpegError*>(info->err)->Message, JMSG_LENGTH_MAX,
                          "too many scans");
            std::longjmp(reinterpret_cast<TJpegError*>(info->err)->Jump, 1);
        }
    }
}

bool JpegReadHeader(TJpegReader& r, const std::uint8_t* data, std::size_t size) {
    // The library takes the size as unsigned long, 32 bits on Windows.
    if (size > std::numeric_limits<unsigned long>::max()) {
        return false;
    }
    r.Info.err = jpeg_std_error(&r.Error.Manager);
    r.Error.Manager.error_exit = JpegErrorExit;
    r.Error.Manager.emit_message = JpegEmitMessage;
    if (setjmp(r.Error.Jump)) {
        return false;
    }
    r.Created = true;
    jpeg_create_decompress(&r.Info);
    r.Progress.progress_monitor = JpegProgress;
    r.Info.progress = &r.Progress;
    jpeg_mem_src(&r.Info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&r.Info, TRUE);
    return true;
}

bool JpegStart(TJpegReader& r) {
    if (setjmp(r.Error.Jump)) {
        return false;
    }
    const J_COLOR_SPACE space = r.Info.jpeg_color_space;
    r.Info.out_color_space = (space == JCS_CMYK || space == JCS_YCCK) ? JCS_CMYK : JCS_EXT_BGR;
    jpeg_start_decompress(&r.Info);
    return true;
}

// Reads the rows: blue-green-red straight into the image, or CMYK through a
// row buffer, converted to blue-green-red.
bool JpegReadRows(TJpegReader& r, TFastDIB& image, std::uint8_t* cmykRow) {
    if (setjmp(r.Error.Jump)) {
        return false;
    }
    const int height = image.Height();
    const int width = image.Width();
    // Adobe writes CMYK inverted (0 is full ink).
    const bool inverted = r.Info.saw_Adobe_marker != 0;
    while (r.Info.output_scanline < r.Info.output_height) {
        const int y = static_cast<int>(r.Info.output_scanline);
        std::uint8_t* out = image.Row(height - 1 - y);
        JSAMPROW row = cmykRow ? cmykRow : out;
        jpeg_read_scanlines(&r.Info, &row, 1);
        if (cmykRow) {
            for (int x = 0; x < width; ++x) {
                const std::uint8_t* p = cmykRow + 4 * x;
                const int k = inverted ? p[3] : 255 - p[3];
                for (int c = 0; c < 3; ++c) {
                    const int ink = inverted ? p[2 - c] : 255 - p[2 - c];
                    out[3 * x + c] = static_cast<std::uint8_t>((ink * k + 127) / 255);
                }
            }
        }
    }
    jpeg_finish_decompress(&r.Info);
    return true;
}

} // namespace

void DecodePngImage(TFastDIB& image, const std::uint8_t* data, std::size_t size,
                    const std::string& what) {
    static constexpr const char* kind = "PNG";
    if (size < 8 || png_sig_cmp(data, 0, 8) != 0) {
        ThrowDecodeError(kind, what, "not a PNG file");
    }
    TPngReader r;
    r.Data = data;
    r.Size = size;
    r.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, PngError, PngWarning);
    if (r.Png) {
        r.Info = png_create_info_struct(r.Png);
    }
    if (!r.Png || !r.Info) {
        throw std::bad_alloc();
    }
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    int passes = 1;
    std::size_t rowBytes = 0;
    if (!PngReadHeader(r, width, height, passes, rowBytes)) {
        ThrowDecodeError(kind, what, r.Message);
    }
    CheckDecodedSize(width, height, kind, what);
    TFastDIB decoded(static_cast<int>(width), static_cast<int>(height), 24);
    KivAssert(rowBytes <= decoded.Stride(), "PNG row larger than the image row");
    if (!PngReadRows(r, decoded, passes)) {
        ThrowDecodeError(kind, what, r.Message);
    }
    image = std::move(decoded);
}

void LoadPngImage(TFastDIB& image, const std::string& fileName) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(fileName);
    DecodePngImage(image, bytes.data(), bytes.size(), fileName);
}

void DecodeJpegImage(TFastDIB& image, const std::uint8_t* data, std::size_t size,
                     const std::string& what) {
    static constexpr const char* kind = "JPEG";
    if (size == 0) {
        ThrowDecodeError(kind, what, "the file is empty");
    }
    TJpegReader r;
    if (!JpegReadHeader(r, data, size)) {
        ThrowDecodeError(kind, what, r.Error.Message);
    }
    CheckDecodedSize(r.Info.image_width, r.Info.image_height, kind, what);
    if (!JpegStart(r)) {
        ThrowDecodeError(kind, what, r.Error.Message);
    }
    CheckDecodedSize(r.Info.output_width, r.Info.output_height, kind, what);
    TFastDIB decoded(static_cast<int>(r.Info.output_width), static_cast<int>(r.Info.output_height),
                     24);
    std::vector<std::uint8_t> cmykRow;
    if (r.Info.out_color_space == JCS_CMYK) {
        cmykRow.resize(4 * static_cast<std::size_t>(r.Info.output_width));
    }
    if (!JpegReadRows(r, decoded, cmykRow.empty() ? nullptr : cmykRow.data())) {
        ThrowDecodeError(kind, what, r.Error.Message);
    }
    image = std::move(decoded);
}

void LoadJpegImage(TFastDIB& image, const std::string& fileName) {
    const std::vector<std::uint8_t> bytes = ReadWholeFile(fileName);
    DecodeJpegImage(image, bytes.data(), bytes.size(), fileName);
}

} // namespace kiv
