// PNG and JPEG decoding into images (libpng, libjpeg-turbo).
//
// Every failure of a decoder (a missing file, damaged or truncated data, an
// unsupported kind) raises an exception whose message names the file; the
// target image is then left as it was, never half decoded.
#pragma once

#include "kiv/KivFastDIB.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace kiv {

// Images larger than this in either direction are refused by the decoders.
constexpr int MaxDecodedSide = 32768;
// ... and so are images of more pixels than this (the pixels of 16384 x 8192).
constexpr std::int64_t MaxDecodedPixels = std::int64_t(1) << 27;

// Decodes a PNG file into a 24-bit image of its size. 8-bit RGB is copied
// directly (PNG row r to stored row height - 1 - r); palette, grey, alpha,
// 16-bit and interlaced files are converted to 8-bit RGB first, transparent
// pixels blended onto black. Raises EFOpenError when the file cannot be read,
// EKivError when it cannot be decoded.
void LoadPngImage(TFastDIB& image, const std::string& fileName);
// The same from bytes in memory; `what` names the source in messages.
void DecodePngImage(TFastDIB& image, const std::uint8_t* data, std::size_t size,
                    const std::string& what);

// Decodes a JPEG file (baseline or progressive, colour or grey) into a 24-bit
// image of its size. A file that ends before its last row is an error.
void LoadJpegImage(TFastDIB& image, const std::string& fileName);
void DecodeJpegImage(TFastDIB& image, const std::uint8_t* data, std::size_t size,
                     const std::string& what);

} // namespace kiv
