// Packed data streams: an in-memory byte stream, and the ".dat" file format
// (one zlib stream whose bytes are XOR-ed with a key stream seeded by the file's
// own name).
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace kiv {

// A growable byte buffer with a read/write position.
class TMemoryStream {
public:
    const std::uint8_t* Data() const { return Bytes.data(); }
    std::uint8_t* Data() { return Bytes.data(); }
    std::size_t Size() const { return Bytes.size(); }
    std::size_t Position = 0;

    // Writes at the position, growing the buffer as needed; returns the count written.
    std::size_t Write(const void* data, std::size_t count);
    // Reads up to count bytes from the position; returns the count read.
    std::size_t Read(void* data, std::size_t count);
    void Clear() {
        Bytes.clear();
        Position = 0;
    }
    void Assign(std::string_view text) {
        Bytes.assign(text.begin(), text.end());
        Position = 0;
    }
    std::string_view View() const {
        return {reinterpret_cast<const char*>(Bytes.data()), Bytes.size()};
    }
    std::vector<std::uint8_t> Bytes;
};

// Compression levels of SaveFileStream.
enum TKivLevel : int { klNone = 0, klFastest = 1, klDefault = 2, klMax = 3 };

// The seed of the key stream: the byte sum of the file name without its
// directory, spelled as given.
std::uint32_t NameSeed(std::string_view fileName);

// XORs the buffer in place with the key stream of the seed. Applying it twice
// restores the input.
void ScrambleBytes(std::uint8_t* data, std::size_t size, std::uint32_t seed);
void ScrambleStream(TMemoryStream& stream, std::uint32_t seed);

// Inflates one complete zlib stream into dest (replacing its content). Bytes
// after the end of the stream are ignored; a damaged stream, or one that ends
// before its end marker, raises EZlibError naming `what`.
void InflateInto(TMemoryStream& dest, const std::uint8_t* data, std::size_t size,
                 const std::string& what);

// Deflates the bytes at the given level (1..3) into one zlib stream.
std::vector<std::uint8_t> DeflateBytes(const std::uint8_t* data, std::size_t size, int level);

// Reads a whole file; when decode is set, unscrambles with the seed of the file
// name and inflates. dest's position ends at 0. Raises EFOpenError naming the
// file when it cannot be read, EZlibError when the data is damaged.
void LoadFileStream(TMemoryStream& dest, const std::string& fileName, bool decode);

// Writes the whole source to the file, packed at the level (0 copies it
// unchanged). The file is replaced whole or not at all. source's position ends at 0.
void SaveFileStream(TMemoryStream& source, const std::string& fileName, int level);

// Reads a whole file into memory; raises EFOpenError naming the file (also
// when the name is a directory).
std::vector<std::uint8_t> ReadWholeFile(const std::string& fileName);

// A file written in pieces through a temporary beside it that is renamed over
// the target at the end, so an existing file is never left half-written. The
// temporary has a name of its own, created exclusively, so no other file is
// touched; it is removed again when the writer ends without Commit() (after a
// failure). Raises EFOpenError naming the target.
class TWholeFileWriter {
public:
    // How Commit() puts the file in the place of an existing one.
    enum class TCommitMode {
        // A plain rename over the target. Some file systems (ext4) then start
        // sending the new data to the disk at once, so that it survives a crash
        // soon after; the rename waits for that.
        Durable,
        // Where the system can (Linux), the two files swap names in one step and
        // the old one is removed: the target is replaced whole just the same,
        // without waiting for the disk. For files that can be made again.
        Quick,
    };

    explicit TWholeFileWriter(const std::string& fileName);
    ~TWholeFileWriter();
    TWholeFileWriter(const TWholeFileWriter&) = delete;
    TWholeFileWriter& operator=(const TWholeFileWriter&) = delete;

    // Appends the bytes.
    void Write(const void* data, std::size_t size);
    void Write(std::span<const std::uint8_t> bytes) { Write(bytes.data(), bytes.size()); }
    // Ends the file and puts it in the target's place.
    void Commit(TCommitMode mode = TCommitMode::Durable);

private:
    [[noreturn]] void Fail(const std::string& why);
    std::string FileName;
    std::string TempName;
    std::FILE* File = nullptr;
};

// Writes a whole file through a temporary beside it and a rename, so an existing
// file is never left half-written. The temporary has a name of its own, created
// exclusively, so no other file is touched. Raises EFOpenError naming the file.
void WriteWholeFile(const std::string& fileName, const std::uint8_t* data, std::size_t size);
// The same for a file written in pieces, one after the other.
void WriteWholeFile(const std::string& fileName,
                    std::initializer_list<std::span<const std::uint8_t>> pieces);

} // namespace kiv
