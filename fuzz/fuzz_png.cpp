// libFuzzer target for the PNG loader: any bytes either decode into an image of
// the PNG's size or raise an error; nothing else may happen.
#include "FuzzImageDecoder.h"
#include "kiv/KivFastDibLoaders.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return FuzzImageDecoder(kiv::DecodePngImage, data, size, "fuzz.png");
}
