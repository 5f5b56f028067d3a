// The body both image loaders' fuzz targets share: any bytes either decode into
// a 24-bit image or raise the loader's error; nothing else may happen.
#pragma once

#include "kiv/KivErrors.h"
#include "kiv/KivFastDIB.h"

#include <cstddef>
#include <cstdint>

template <class Decode>
int FuzzImageDecoder(Decode decode, const std::uint8_t* data, std::size_t size, const char* name) {
    kiv::TFastDIB image;
    try {
        decode(image, data, size, name);
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
