// libFuzzer target for the JPEG loader: any bytes either decode into an image of
// the JPEG's size or raise an error; nothing else may happen.
#include "FuzzImageDecoder.h"
#include "kiv/KivFastDibLoaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzImageDecoder(kiv::DecodeJpegImage, data, size, "fuzz.jpg");
}
