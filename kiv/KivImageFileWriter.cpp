// The image file writers: BMP rows as they are, PNG through libpng and JPEG
// through libjpeg-turbo (see KivImageCodec.h for how their errors come back),
// and the writing of a picture made strip by strip on several threads.
#include "kiv/KivFastDibLoaders.h"

#include "kiv/KivBands.h"
#include "kiv/KivErrors.h"
#include "kiv/KivImageCodec.h"
#include "kiv/KivStream.h"

#include <algorithm>
#include <cctype>
#include <condition_variable>
#include <cstring>
#include <exception>
#include <mutex>
#include <new>
#include <system_error>
#include <thread>
#include <vector>

namespace kiv {

using namespace imagecodec;

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
    w.JpegError.Manager.error_exit = ChronaraJpegErrorExit;
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
        w.Png =
            png_create_write_struct(PNG_LIBPNG_VER_STRING, &w, PngWriteError, ChronaraPngWarning);
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
    JoinAndRaise(helpers, errors);
    writer.Finish(TWholeFileWriter::TCommitMode::Quick);
}

} // namespace kiv
