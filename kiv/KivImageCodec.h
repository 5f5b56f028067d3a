// What the image decoders and writers share (internal to kiv): the size
// check of a decoded image, the decoders' error, and the error handlers both
// directions of each library use.
//
// Both libraries report fatal errors by calling an error function that must not
// return. Each one here formats the message and longjmp()s back to the setjmp()
// of the decoding step that called into the library. The functions that call
// setjmp() hold no object with a destructor and read no local changed after the
// setjmp() once the jump has come back; all state lives in a reader object of the
// caller, whose destructor frees the library's structures on every path. The
// pixels go into a fresh image that replaces the target only when decoding has
// finished, so a failed decode never leaves a half-filled image behind.
#pragma once

#include <csetjmp>
#include <cstdint>
#include <cstdio>
#include <string>

#include <png.h>
// jpeglib.h needs size_t and FILE declared before it.
#include <jerror.h>
#include <jpeglib.h>

namespace kiv::imagecodec {

// Refuses a decoded size of 0 or beyond MaxDecodedSide / MaxDecodedPixels:
// "Cannot decode <kind> image "<what>": its size W x H is not supported".
void CheckDecodedSize(std::uint64_t width, std::uint64_t height, const char* kind,
                      const std::string& what);

// "Cannot decode <kind> image "<what>": <message>".
[[noreturn]] void ThrowDecodeError(const char* kind, const std::string& what, const char* message);

// libjpeg's error manager with the jump back to the step that called the
// library and the message formatted for it.
struct TJpegError {
    jpeg_error_mgr Manager;
    std::jmp_buf Jump;
    char Message[JMSG_LENGTH_MAX];
};

} // namespace kiv::imagecodec

// libjpeg's error_exit: formats the message and jumps back (TJpegError).
extern "C" void ChronaraJpegErrorExit(j_common_ptr info);
// libpng's warnings are ignored.
extern "C" void ChronaraPngWarning(png_structp png, png_const_charp message);
