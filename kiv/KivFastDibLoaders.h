// PNG and JPEG decoding into images (libpng, libjpeg-turbo), and the image
// file writers: BMP, PNG and JPEG, chosen by the file name.
//
// Every failure of a decoder (a missing file, damaged or truncated data, an
// unsupported kind) raises an exception whose message names the file; the
// target image is then left as it was, never half decoded.
#pragma once

#include "kiv/KivFastDIB.h"
#include "kiv/KivStream.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
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

// Reads a PNG file's header only: raises what LoadPngImage raises when the file
// cannot be read, is no PNG file, or has a header the decoder refuses, without
// decoding any pixels.
void CheckPngFile(const std::string& fileName);

// Decodes a JPEG file (baseline or progressive, colour or grey) into a 24-bit
// image of its size. A file that ends before its last row is an error.
void LoadJpegImage(TFastDIB& image, const std::string& fileName);
void DecodeJpegImage(TFastDIB& image, const std::uint8_t* data, std::size_t size,
                     const std::string& what);

// The file formats the writers know.
enum class TImageFileKind { Bmp, Png, Jpeg };

// The format a file name asks for by its extension, in any letter case: ".png"
// is PNG, ".jpg" and ".jpeg" are JPEG, anything else (".bmp", none) is BMP.
TImageFileKind ImageFileKindOf(const std::string& fileName);

// The quality (1..100) of the JPEG files written.
constexpr int JpegWriteQuality = 90;

// Writes a 24-bit picture into a file of the given kind, a few rows at a time,
// through TWholeFileWriter: the target is replaced whole or left as it was. BMP
// files are written as SaveBitmapFile writes them (uncompressed, bottom-up);
// PNG as 8-bit RGB; JPEG at JpegWriteQuality. The rows must come in the file's
// order (FileRowToStored gives it). Failures raise EFOpenError naming the file
// when it cannot be created or written, EKivError when the encoder fails.
class TImageFileWriter {
public:
    TImageFileWriter(const std::string& fileName, TImageFileKind kind, int width, int height);
    ~TImageFileWriter();
    TImageFileWriter(const TImageFileWriter&) = delete;
    TImageFileWriter& operator=(const TImageFileWriter&) = delete;

    // The stored row (0 is the bottom of the picture) that goes n-th into the
    // file: BMP files run bottom-up, PNG and JPEG top-down.
    int FileRowToStored(int n) const;
    // Writes the next row: `width` pixels of blue, green, red.
    void WriteRow(const std::uint8_t* row);
    // Writes the next `count` rows of a strip given in stored order: the lowest
    // stored row at `rows`, each higher one `stride` bytes further (so a PNG or
    // JPEG file takes them from the last to the first).
    void WriteStrip(const std::uint8_t* rows, std::size_t stride, int count);
    // Ends the file; every row must have been written.
    void Finish(TWholeFileWriter::TCommitMode mode = TWholeFileWriter::TCommitMode::Durable);

    struct TState;

private:
    std::unique_ptr<TState> State;
};

// Writes the image (24-bit) in the format its file name asks for.
void SaveImageFile(const TFastDIB& image, const std::string& fileName);

// Fills the stored rows first..last - 1 of a picture into `out`, the row
// `first` at out and each next one `stride` bytes further.
using TStripMaker = std::function<void(int first, int last, std::uint8_t* out, std::size_t stride)>;

// Writes a 24-bit picture of width x height, made strip by strip by `make`, in
// the format the file name asks for, without ever holding the whole picture.
// Up to `threads` threads make strips side by side (`make` must allow that),
// while the strips go into the file one after the other in order; so the
// making of one strip overlaps the writing of another. An exception from
// `make` or the writer ends all of them and is raised here; the target is then
// left as it was. The file is put in place the quick way (see TWholeFileWriter):
// it can always be made again.
void SaveImageFileInStrips(const std::string& fileName, int width, int height,
                           const TStripMaker& make, int threads);

} // namespace kiv
