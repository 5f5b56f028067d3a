// libFuzzer target for the PNG loader: any bytes either decode into an image of
// the PNG's size or raise an error; nothing else may happen.
#include "kiv/KivErrors.h"
#include "kiv/KivFastDibLoaders.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kiv::TFastDIB image;
    try {
        kiv::DecodePngImage(image, data, size, "fuzz.png");
    } catch (const kiv::EKivError&) {
        return 0;
    }
    if (image.Bpp() != 24 || image.Empty()) {
        __builtin_trap();
    }
    // Touch every pixel so that a short decode would show up as an uninitialised
    // or out-of-range read.
    volatile unsigned sum = 0;
    for (std::size_t i = 0; i < image.ImageSize(); ++i) {
        sum = sum + image.Bits()[i];
    }
    return 0;
}
