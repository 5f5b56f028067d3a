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

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <limits>
#include <mutex>
#include <system_error>
#include <thread>
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
    r.Png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &r, PngError, PngWarning);
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

// ---------------------------------------------------------------------------
// Writers

TImageFileKind ImageFileKindOf(const std::string& fileName) {
    const std::size_t dot = fileName.find_last_of('.');
    const std::size_t slash = fileName.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && slash > dot)) {
        return TImageFileKind::Bmp;
    }
    std::string extension = fileName.substr(dot + 1);
    for (char& c : extension) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (extension == "png") {
        return TImageFileKind::Png;
    }
    if (extension == "jpg" || extension == "jpeg") {
        return TImageFileKind::Jpeg;
    }
    return TImageFileKind::Bmp;
}

struct TImageFileWriter::TState {
    TState(const std::string& fileName, TImageFileKind kind, int width, int height)
        : FileName(fileName), Kind(kind), Width(width), Height(height), File(fileName) {}
    ~TState() {
        if (Png) {
            png_destroy_write_struct(&Png, PngInfo ? &PngInfo : nullptr);
        }
        if (JpegCreated) {
            jpeg_destroy_compress(&Jpeg);
        }
    }

    // Writes bytes for an encoder's callback; an error is kept for the caller
    // instead of passing through the C library.
    bool Put(const void* data, std::size_t size) noexcept {
        try {
            File.Write(data, size);
            return true;
        } catch (...) {
            WriteError = std::current_exception();
            return false;
        }
    }

    // After a failed encoder call: the write error, or the encoder's message.
    [[noreturn]] void Raise(const char* kind, const char* message) {
        if (WriteError) {
            std::rethrow_exception(WriteError);
        }
        throw EKivError("Cannot encode " + std::string(kind) + " image \"" + FileName +
                        "\": " + message);
    }

    std::string FileName;
    TImageFileKind Kind;
    int Width;
    int Height;
    int RowsWritten = 0;
    TWholeFileWriter File;
    std::exception_ptr WriteError;
    std::vector<std::uint8_t> Padding;

    png_structp Png = nullptr;
    png_infop PngInfo = nullptr;
    char PngMessage[256] = "";

    jpeg_compress_struct Jpeg{};
    TJpegError JpegError{};
    jpeg_destination_mgr JpegDest{};
    bool JpegCreated = false;
    std::vector<std::uint8_t> JpegBuffer;
};

namespace {

using TWriterState = TImageFileWriter::TState;

extern "C" void PngWriteError(png_structp png, png_const_charp message) {
    auto* state = static_cast<TWriterState*>(png_get_error_ptr(png));
    std::snprintf(state->PngMessage, sizeof state->PngMessage, "%s", message ? message : "error");
    png_longjmp(png, 1);
}

extern "C" void PngWriteData(png_structp png, png_bytep data, png_size_t size) {
    if (!static_cast<TWriterState*>(png_get_io_ptr(png))->Put(data, size)) {
        png_error(png, "the file cannot be written");
    }
}

extern "C" void PngFlush(png_structp) {}

// The compression of the PNG files written: zlib's fastest level with the
// "up" filter. On a 3840-wide map it writes a file about a third larger than
// libpng's default settings (level 6, filters chosen per row) in a seventh of
// their time; the batch map is written once and seldom kept long.
constexpr int PngCompressionLevel = 1;

bool PngStartWrite(TWriterState& w) {
    if (setjmp(png_jmpbuf(w.Png))) {
        return false;
    }
    png_set_write_fn(w.Png, &w, PngWriteData, PngFlush);
    png_set_IHDR(w.Png, w.PngInfo, static_cast<png_uint_32>(w.Width),
                 static_cast<png_uint_32>(w.Height), 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_compression_level(w.Png, PngCompressionLevel);
    png_set_filter(w.Png, PNG_FILTER_TYPE_BASE, PNG_FILTER_UP);
    png_write_info(w.Png, w.PngInfo);
    png_set_bgr(w.Png);
    return true;
}

bool PngWriteRow(TWriterState& w, const std::uint8_t* row) {
    if (setjmp(png_jmpbuf(w.Png))) {
        return false;
    }
    png_write_row(w.Png, row);
    return true;
}

bool PngFinish(TWriterState& w) {
    if (setjmp(png_jmpbuf(w.Png))) {
        return false;
    }
    png_write_end(w.Png, nullptr);
    return true;
}

constexpr std::size_t JpegBufferSize = 64 * 1024;

extern "C" void JpegInitDestination(j_compress_ptr info) {
    auto* w = static_cast<TWriterState*>(info->client_data);
    info->dest->next_output_byte = w->JpegBuffer.data();
    info->dest->free_in_buffer = w->JpegBuffer.size();
}

extern "C" boolean JpegEmptyOutput(j_compress_ptr info) {
    auto* w = static_cast<TWriterState*>(info->client_data);
    if (!w->Put(w->JpegBuffer.data(), w->JpegBuffer.size())) {
        std::snprintf(w->JpegError.Message, sizeof w->JpegError.Message,
                      "the file cannot be written");
        std::longjmp(w->JpegError.Jump, 1);
    }
    info->dest->next_output_byte = w->JpegBuffer.data();
    info->dest->free_in_buffer = w->JpegBuffer.size();
    return TRUE;
}

extern "C" void JpegTermDestination(j_compress_ptr info) {
    auto* w = static_cast<TWriterState*>(info->client_data);
    const std::size_t used = w->JpegBuffer.size() - info->dest->free_in_buffer;
    if (!w->Put(w->JpegBuffer.data(), used)) {
        std::snprintf(w->JpegError.Message, sizeof w->JpegError.Message,
                      "the file cannot be written");
        std::longjmp(w->JpegError.Jump, 1);
    }
}

bool JpegStartWrite(TWriterState& w) {
    w.Jpeg.err = jpeg_std_error(&w.JpegError.Manager);
    w.JpegError.Manager.error_exit = JpegErrorExit;
    if (setjmp(w.JpegError.Jump)) {
        return false;
    }
    jpeg_create_compress(&w.Jpeg);
    w.JpegCreated = true;
    w.Jpeg.client_data = &w;
    w.JpegDest.init_destination = JpegInitDestination;
    w.JpegDest.empty_output_buffer = JpegEmptyOutput;
    w.JpegDest.term_destination = JpegTermDestination;
    w.Jpeg.dest = &w.JpegDest;
    w.Jpeg.image_width = static_cast<JDIMENSION>(w.Width);
    w.Jpeg.image_height = static_cast<JDIMENSION>(w.Height);
    w.Jpeg.input_components = 3;
    w.Jpeg.in_color_space = JCS_EXT_BGR;
    jpeg_set_defaults(&w.Jpeg);
    jpeg_set_quality(&w.Jpeg, JpegWriteQuality, TRUE);
    jpeg_start_compress(&w.Jpeg, TRUE);
    return true;
}

bool JpegWriteRow(TWriterState& w, const std::uint8_t* row) {
    if (setjmp(w.JpegError.Jump)) {
        return false;
    }
    JSAMPROW rows[1] = {const_cast<JSAMPROW>(row)};
    jpeg_write_scanlines(&w.Jpeg, rows, 1);
    return true;
}

bool JpegFinish(TWriterState& w) {
    if (setjmp(w.JpegError.Jump)) {
        return false;
    }
    jpeg_finish_compress(&w.Jpeg);
    return true;
}

} // namespace

TImageFileWriter::TImageFileWriter(const std::string& fileName, TImageFileKind kind, int width,
                                   int height) {
    KivAssert(width >= 1 && height >= 1 && width <= TFastDIB::MaxSide &&
                  height <= TFastDIB::MaxSide,
              "Image size " + std::to_string(width) + " x " + std::to_string(height) +
                  " cannot be written");
    if (kind == TImageFileKind::Jpeg &&
        (width > JPEG_MAX_DIMENSION || height > JPEG_MAX_DIMENSION)) {
        throw EKivError("Cannot encode JPEG image \"" + fileName + "\": its size " +
                        std::to_string(width) + " x " + std::to_string(height) +
                        " is larger than JPEG allows");
    }
    State = std::make_unique<TState>(fileName, kind, width, height);
    TState& w = *State;
    switch (kind) {
    case TImageFileKind::Bmp: {
        const std::array<std::uint8_t, 54> header = BitmapFileHeader(width, height, 24);
        w.File.Write(header.data(), header.size());
        w.Padding.assign((4 - (static_cast<std::size_t>(width) * 3) % 4) % 4, 0);
        break;
    }
    case TImageFileKind::Png:
        w.Png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &w, PngWriteError, PngWarning);
        if (w.Png) {
            w.PngInfo = png_create_info_struct(w.Png);
        }
        if (!w.Png || !w.PngInfo) {
            throw std::bad_alloc();
        }
        if (!PngStartWrite(w)) {
            w.Raise("PNG", w.PngMessage);
        }
        break;
    case TImageFileKind::Jpeg:
        w.JpegBuffer.resize(JpegBufferSize);
        if (!JpegStartWrite(w)) {
            w.Raise("JPEG", w.JpegError.Message);
        }
        break;
    }
}

TImageFileWriter::~TImageFileWriter() = default;

int TImageFileWriter::FileRowToStored(int n) const {
    return State->Kind == TImageFileKind::Bmp ? n : State->Height - 1 - n;
}

void TImageFileWriter::WriteRow(const std::uint8_t* row) {
    TState& w = *State;
    KivAssert(w.RowsWritten < w.Height, "More rows than the image has");
    switch (w.Kind) {
    case TImageFileKind::Bmp:
        w.File.Write(row, static_cast<std::size_t>(w.Width) * 3);
        w.File.Write(w.Padding.data(), w.Padding.size());
        break;
    case TImageFileKind::Png:
        if (!PngWriteRow(w, row)) {
            w.Raise("PNG", w.PngMessage);
        }
        break;
    case TImageFileKind::Jpeg:
        if (!JpegWriteRow(w, row)) {
            w.Raise("JPEG", w.JpegError.Message);
        }
        break;
    }
    ++w.RowsWritten;
}

void TImageFileWriter::WriteStrip(const std::uint8_t* rows, std::size_t stride, int count) {
    TState& w = *State;
    KivAssert(count >= 0 && count <= w.Height - w.RowsWritten, "More rows than the image has");
    if (w.Kind == TImageFileKind::Bmp) {
        if (stride == static_cast<std::size_t>(w.Width) * 3 + w.Padding.size()) {
            // The rows lie as the file holds them (padding included): one piece.
            w.File.Write(rows, stride * static_cast<std::size_t>(count));
            w.RowsWritten += count;
            return;
        }
        for (int i = 0; i < count; ++i) {
            WriteRow(rows + stride * static_cast<std::size_t>(i));
        }
        return;
    }
    for (int i = count - 1; i >= 0; --i) {
        WriteRow(rows + stride * static_cast<std::size_t>(i));
    }
}

void TImageFileWriter::Finish(TWholeFileWriter::TCommitMode mode) {
    TState& w = *State;
    KivAssert(w.RowsWritten == w.Height, "The image has rows that were not written");
    if (w.Kind == TImageFileKind::Png && !PngFinish(w)) {
        w.Raise("PNG", w.PngMessage);
    }
    if (w.Kind == TImageFileKind::Jpeg && !JpegFinish(w)) {
        w.Raise("JPEG", w.JpegError.Message);
    }
    w.File.Commit(mode);
}

void SaveImageFile(const TFastDIB& image, const std::string& fileName) {
    const TImageFileKind kind = ImageFileKindOf(fileName);
    if (kind == TImageFileKind::Bmp) {
        SaveBitmapFile(image, fileName);
        return;
    }
    KivAssert(image.Bpp() == 24, "Only 24-bit images are written as PNG or JPEG");
    TImageFileWriter writer(fileName, kind, image.Width(), image.Height());
    writer.WriteStrip(image.Bits(), image.Stride(), image.Height());
    writer.Finish();
}

void SaveImageFileInStrips(const std::string& fileName, int width, int height,
                           const TStripMaker& make, int threads) {
    TImageFileWriter writer(fileName, ImageFileKindOf(fileName), width, height);
    // Strips of rows that stay in the caches while they are made and written.
    const std::size_t stride = (static_cast<std::size_t>(width) * 3 + 3) / 4 * 4;
    const int stripRows = static_cast<int>(std::clamp<std::size_t>(
        (std::size_t(256) << 10) / stride, 1, static_cast<std::size_t>(height)));
    const int strips = (height + stripRows - 1) / stripRows;
    threads = std::clamp(threads, 1, strips);

    // Strip n holds the rows from the n-th in file order on; the file is
    // written strip after strip, each by the thread that made it, in turn.
    std::mutex lock;
    std::condition_variable turnChanged;
    int turn = 0;
    bool failed = false;
    std::vector<std::exception_ptr> errors(static_cast<std::size_t>(threads));
    const auto work = [&](int thread) {
        try {
            std::vector<std::uint8_t> buffer(stride * static_cast<std::size_t>(stripRows));
            for (int n = thread; n < strips; n += threads) {
                const int firstInFile = n * stripRows;
                const int count = std::min(stripRows, height - firstInFile);
                const int a = writer.FileRowToStored(firstInFile);
                const int b = writer.FileRowToStored(firstInFile + count - 1);
                const int first = std::min(a, b);
                make(first, first + count, buffer.data(), stride);
                std::unique_lock<std::mutex> guard(lock);
                turnChanged.wait(guard, [&] { return failed || turn == n; });
                if (failed) {
                    return;
                }
                writer.WriteStrip(buffer.data(), stride, count);
                ++turn;
                turnChanged.notify_all();
            }
        } catch (...) {
            errors[static_cast<std::size_t>(thread)] = std::current_exception();
            const std::lock_guard<std::mutex> guard(lock);
            failed = true;
            turnChanged.notify_all();
        }
    };
    std::vector<std::thread> helpers;
    try {
        for (int t = 1; t < threads; ++t) {
            helpers.emplace_back(work, t);
        }
    } catch (const std::system_error&) {
        // Fewer threads than asked: the strips of the missing ones would never
        // come. The helpers that started still wait for their first turn, so
        // nothing is written yet; they are stopped and this thread does it all.
        {
            const std::lock_guard<std::mutex> guard(lock);
            failed = true;
            turnChanged.notify_all();
        }
        for (std::thread& helper : helpers) {
            helper.join();
        }
        SaveImageFileInStrips(fileName, width, height, make, 1);
        return;
    }
    work(0);
    for (std::thread& helper : helpers) {
        helper.join();
    }
    for (const std::exception_ptr& error : errors) {
        if (error) {
            std::rethrow_exception(error);
        }
    }
    writer.Finish(TWholeFileWriter::TCommitMode::Quick);
}

} // namespace kiv
