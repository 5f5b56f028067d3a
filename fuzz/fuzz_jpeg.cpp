// libFuzzer target for the JPEG loader: any bytes either decode into an image of
// the JPEG's size or raise an error; nothing else may happen.
#include "kiv/KivErrors.h"
#include "kiv/KivFastDibLoaders.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kiv::TFastDIB image;
    try {
        kiv::DecodeJpegImage(image, data, size, "fuzz.jpg");
    } catch (const kiv::EKivError&) {
        return 0;
    }
    if (image.Bpp() != 24 || image.Empty()) {
        __builtin_trap();
    }
    volatile unsigned sum = 0;
    for (std::size_t i = 0; i < image.ImageSize(); ++i) {
        sum = sum + image.Bits()[i];
    }
    return 0;
}
