#include "kiv/KivImageCodec.h"

#include "kiv/KivErrors.h"
#include "kiv/KivFastDibLoaders.h"

namespace kiv::imagecodec {

void CheckDecodedSize(std::uint64_t width, std::uint64_t height, const char* kind,
                      const std::string& what) {
    if (width == 0 || height == 0 || width > MaxDecodedSide || height > MaxDecodedSide ||
        width * height > static_cast<std::uint64_t>(MaxDecodedPixels)) {
        throw EKivError("Cannot decode " + std::string(kind) + " image \"" + what +
                        "\": its size " + std::to_string(width) + " x " + std::to_string(height) +
                        " is not supported");
    }
}

[[noreturn]] void ThrowDecodeError(const char* kind, const std::string& what, const char* message) {
    throw EKivError("Cannot decode " + std::string(kind) + " image \"" + what + "\": " + message);
}

} // namespace kiv::imagecodec

extern "C" void ChronaraJpegErrorExit(j_common_ptr info) {
    auto* error = reinterpret_cast<kiv::imagecodec::TJpegError*>(info->err);
    (*info->err->format_message)(info, error->Message);
    std::longjmp(error->Jump, 1);
}

extern "C" void ChronaraPngWarning(png_structp, png_const_charp) {}
