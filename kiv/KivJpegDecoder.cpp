// The JPEG decoder (libjpeg-turbo); see KivImageCodec.h for how its errors
// come back.
#include "kiv/KivFastDibLoaders.h"

#include "kiv/KivImageCodec.h"
#include "kiv/KivStream.h"

#include <cstring>
#include <limits>
#include <vector>

namespace kiv {

using namespace imagecodec;

namespace {

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

// Warnings that mean pixel data is missing end the decode like errors do;
// the others (unknown markers and the like) are ignored silently.
extern "C" void JpegEmitMessage(j_common_ptr info, int level) {
    if (level >= 0) {
        return;
    }
    const int code = info->err->msg_code;
    if (code == JWRN_JPEG_EOF || code == JWRN_HIT_MARKER || code == JWRN_MUST_RESYNC) {
        ChronaraJpegErrorExit(info);
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
    r.Error.Manager.error_exit = ChronaraJpegErrorExit;
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
