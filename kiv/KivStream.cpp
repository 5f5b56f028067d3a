#include "kiv/KivStream.h"

#include "kiv/KivErrors.h"
#include "kiv/KivPath.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <limits>
#include <random>
#include <system_error>

#if defined(__linux__)
#include <fcntl.h>
#include <stdio.h>
#endif

namespace kiv {

std::size_t TMemoryStream::Write(const void* data, std::size_t count) {
    if (count == 0) {
        return 0;
    }
    if (Position + count > Bytes.size()) {
        Bytes.resize(Position + count);
    }
    std::memcpy(Bytes.data() + Position, data, count);
    Position += count;
    return count;
}

std::size_t TMemoryStream::Read(void* data, std::size_t count) {
    if (Position >= Bytes.size()) {
        return 0;
    }
    const std::size_t n = std::min(count, Bytes.size() - Position);
    std::memcpy(data, Bytes.data() + Position, n);
    Position += n;
    return n;
}

std::uint32_t NameSeed(std::string_view fileName) {
    const auto cut = fileName.find_last_of("\\/:");
    if (cut != std::string_view::npos) {
        fileName.remove_prefix(cut + 1);
    }
    std::uint32_t seed = 0;
    for (const char c : fileName) {
        seed += static_cast<unsigned char>(c);
    }
    return seed;
}

void ScrambleBytes(std::uint8_t* data, std::size_t size, std::uint32_t seed) {
    std::uint32_t s = seed;
    for (std::size_t k = 0; k < size; ++k) {
        s = s * 134775813u + 1u;
        const auto key = static_cast<std::uint8_t>((std::uint64_t{s} * 255u) >> 32);
        data[k] ^= key;
    }
}

void ScrambleStream(TMemoryStream& stream, std::uint32_t seed) {
    ScrambleBytes(stream.Data(), stream.Size(), seed);
}

namespace {

// Inflater input is drawn from memory in blocks of at most this size.
constexpr std::size_t kInflateBlock = 65536;
// The inflated text is moved to the destination in pieces of this size.
constexpr std::size_t kInflatePiece = 256;

int ZlibLevel(int level) {
    switch (level) {
    case klFastest:
        return Z_BEST_SPEED;
    case klDefault:
        return Z_DEFAULT_COMPRESSION;
    case klMax:
        return Z_BEST_COMPRESSION;
    default:
        throw EKivError("Invalid compression level " + std::to_string(level));
    }
}

std::string ZlibMessage(const z_stream& z, int code) {
    if (z.msg != nullptr) {
        return z.msg;
    }
    return zError(code);
}

} // namespace

void InflateInto(TMemoryStream& dest, const std::uint8_t* data, std::size_t size,
                 const std::string& what) {
    dest.Clear();
    z_stream z{};
    if (inflateInit(&z) != Z_OK) {
        throw EZlibError("Cannot start decompression of " + what);
    }
    std::size_t consumed = 0;
    std::uint8_t piece[kInflatePiece];
    int rc = Z_OK;
    while (rc != Z_STREAM_END) {
        if (z.avail_in == 0) {
            if (consumed >= size) {
                inflateEnd(&z);
                throw EZlibError("Compressed data is incomplete in " + what);
            }
            const std::size_t block = std::min(kInflateBlock, size - consumed);
            z.next_in = const_cast<Bytef*>(data + consumed);
            z.avail_in = static_cast<uInt>(block);
            consumed += block;
        }
        z.next_out = piece;
        z.avail_out = sizeof piece;
        rc = inflate(&z, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && rc != Z_BUF_ERROR) {
            const std::string msg = ZlibMessage(z, rc);
            inflateEnd(&z);
            throw EZlibError("Compressed data is corrupt in " + what + " (" + msg + ")");
        }
        dest.Write(piece, sizeof piece - z.avail_out);
    }
    inflateEnd(&z);
    dest.Position = 0;
}

std::vector<std::uint8_t> DeflateBytes(const std::uint8_t* data, std::size_t size, int level) {
    // zlib counts in 32-bit words (uLong is 32 bits on Windows, too): one call
    // takes less than 4 GB, and the bound of a size near that would not fit.
    if (size > std::numeric_limits<uInt>::max() / 2) {
        throw EZlibError("Compression failed");
    }
    z_stream z{};
    if (deflateInit(&z, ZlibLevel(level)) != Z_OK) {
        throw EZlibError("Cannot start compression");
    }
    std::vector<std::uint8_t> out(deflateBound(&z, static_cast<uLong>(size)));
    z.next_in = const_cast<Bytef*>(data);
    z.avail_in = static_cast<uInt>(size);
    z.next_out = out.data();
    z.avail_out = static_cast<uInt>(out.size());
    const int rc = deflate(&z, Z_FINISH);
    deflateEnd(&z);
    if (rc != Z_STREAM_END) {
        throw EZlibError("Compression failed");
    }
    out.resize(z.total_out);
    return out;
}

std::vector<std::uint8_t> ReadWholeFile(const std::string& fileName) {
    // A directory opens as a stream on some systems and reports a nonsense size.
    std::error_code ec;
    if (std::filesystem::is_directory(PathFromUtf8(fileName), ec)) {
        throw EFOpenError("Cannot open file \"" + fileName + "\". It is a directory");
    }
    std::ifstream in(PathFromUtf8(fileName), std::ios::binary);
    if (!in) {
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + std::strerror(errno));
    }
    std::vector<std::uint8_t> bytes;
    in.seekg(0, std::ios::end);
    const std::streamoff end = in.tellg();
    if (end > 0) {
        bytes.resize(static_cast<std::size_t>(end));
        in.seekg(0, std::ios::beg);
        in.read(reinterpret_cast<char*>(bytes.data()), end);
    }
    if (in.bad() || (end > 0 && in.gcount() != end) || end < 0) {
        throw EFOpenError("Cannot read file \"" + fileName + "\"");
    }
    return bytes;
}

void WriteWholeFile(const std::string& fileName, const std::uint8_t* data, std::size_t size) {
    WriteWholeFile(fileName, {std::span<const std::uint8_t>(data, size)});
}

void WriteWholeFile(const std::string& fileName,
                    std::initializer_list<std::span<const std::uint8_t>> pieces) {
    TWholeFileWriter writer(fileName);
    for (const std::span<const std::uint8_t> piece : pieces) {
        writer.Write(piece);
    }
    writer.Commit();
}

TWholeFileWriter::TWholeFileWriter(const std::string& fileName) : FileName(fileName) {
    // A temporary file of a name no one else uses, beside the target so that the
    // rename stays within one file system.
    std::random_device random;
    int error = 0;
    for (int attempt = 0; attempt < 16 && !File; ++attempt) {
        char suffix[32];
        std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(random()));
        TempName = fileName + suffix;
        File = CreateNewFile(TempName);
        error = errno;
        if (!File && error != EEXIST) {
            break;
        }
    }
    if (!File) {
        throw EFOpenError("Cannot create file \"" + fileName + "\". " + std::strerror(error));
    }
}

TWholeFileWriter::~TWholeFileWriter() {
    if (File) {
        std::fclose(File);
        std::error_code ignored;
        std::filesystem::remove(PathFromUtf8(TempName), ignored);
    }
}

void TWholeFileWriter::Fail(const std::string& why) {
    if (File) {
        std::fclose(File);
        File = nullptr;
    }
    std::error_code ignored;
    std::filesystem::remove(PathFromUtf8(TempName), ignored);
    throw EFOpenError("Cannot write file \"" + FileName + "\". " + why);
}

void TWholeFileWriter::Write(const void* data, std::size_t size) {
    if (File == nullptr) {
        KivAssert(false, "The file \"" + FileName + "\" is already closed");
    }
    if (size != 0 && std::fwrite(data, 1, size, File) != size) {
        Fail(std::strerror(errno));
    }
}

void TWholeFileWriter::Commit(TCommitMode mode) {
    if (File == nullptr) {
        KivAssert(false, "The file \"" + FileName + "\" is already closed");
    }
    bool ok = std::fflush(File) == 0;
    const int error = errno;
    ok = (std::fclose(File) == 0) && ok;
    File = nullptr;
    if (!ok) {
        Fail(std::strerror(error));
    }
#if defined(__linux__)
    // Only a plain file is swapped: a rename refuses to put a file in place of
    // a folder, and so must this.
    std::error_code statusError;
    const auto type = std::filesystem::symlink_status(PathFromUtf8(FileName), statusError).type();
    if (mode == TCommitMode::Quick &&
        (type == std::filesystem::file_type::regular ||
         type == std::filesystem::file_type::symlink) &&
        renameat2(AT_FDCWD, TempName.c_str(), AT_FDCWD, FileName.c_str(), RENAME_EXCHANGE) == 0) {
        // The old file now has the temporary name.
        std::error_code ignored;
        std::filesystem::remove(PathFromUtf8(TempName), ignored);
        return;
    }
    // No target to swap with, or a file system that cannot swap: a rename.
#else
    (void)mode;
#endif
    std::error_code ec;
    std::filesystem::rename(PathFromUtf8(TempName), PathFromUtf8(FileName), ec);
    if (ec) {
        Fail(ec.message());
    }
}

void LoadFileStream(TMemoryStream& dest, const std::string& fileName, bool decode) {
    std::vector<std::uint8_t> buffer = ReadWholeFile(fileName);
    if (decode) {
        ScrambleBytes(buffer.data(), buffer.size(), NameSeed(fileName));
        InflateInto(dest, buffer.data(), buffer.size(), "\"" + fileName + "\"");
    } else {
        dest.Bytes = std::move(buffer);
    }
    dest.Position = 0;
}

void SaveFileStream(TMemoryStream& source, const std::string& fileName, int level) {
    if (level == klNone) {
        WriteWholeFile(fileName, source.Data(), source.Size());
    } else {
        std::vector<std::uint8_t> packed = DeflateBytes(source.Data(), source.Size(), level);
        ScrambleBytes(packed.data(), packed.size(), NameSeed(fileName));
        WriteWholeFile(fileName, packed.data(), packed.size());
    }
    source.Position = 0;
}

} // namespace kiv
