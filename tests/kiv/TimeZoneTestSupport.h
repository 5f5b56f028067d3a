// Helpers for the date-time and zone database tests: a temporary program directory whose
// data/ folder the test fills with packed tables, and readable date-times.
#pragma once

#include "kiv/KivDateTime.h"
#include "kiv/KivStream.h"
#include "kiv/KivTimeZone.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <string_view>

namespace kivtest {

// A fresh directory with a data/ folder, removed again at the end.
class TempProgramDir {
public:
    TempProgramDir() {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::random_device random;
        Path = std::filesystem::temp_directory_path() /
               ("chronara-tz-" + std::string(info != nullptr ? info->name() : "x") + "-" +
                std::to_string(random()));
        std::filesystem::create_directories(Path / "data");
    }
    ~TempProgramDir() {
        std::error_code ec;
        std::filesystem::remove_all(Path, ec);
    }
    TempProgramDir(const TempProgramDir&) = delete;
    TempProgramDir& operator=(const TempProgramDir&) = delete;

    std::string Dir() const { return Path.string(); }
    std::string DataFile(const std::string& name) const { return (Path / "data" / name).string(); }

    // Writes a packed table data/<name> holding the text.
    void Write(const std::string& name, std::string_view text) const {
        kiv::TMemoryStream stream;
        stream.Assign(text);
        kiv::SaveFileStream(stream, DataFile(name), kiv::klMax);
    }

private:
    std::filesystem::path Path;
};

// "YYYY-MM-DD hh:mm:ss.zzz"
inline std::string Text(kiv::TDateTime t) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0, ms = 0;
    kiv::DecodeDateTime(t, y, mo, d, h, mi, s, ms);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d:%02d.%03d", y, mo, d, h, mi, s, ms);
    return buf;
}

inline kiv::TDateTime At(int y, int mo, int d, int h = 0, int mi = 0, int s = 0, int ms = 0) {
    return kiv::EncodeDateTime(y, mo, d, h, mi, s, ms);
}

// Sets the process's TZ for the life of the object and restores the previous
// value; the C library's local time then follows it.
class TzOverride {
public:
    TzOverride() {
        if (const char* old = std::getenv("TZ")) {
            Old = old;
        }
    }
    explicit TzOverride(const std::string& tz) : TzOverride() { Set(tz); }
    TzOverride(const TzOverride&) = delete;
    TzOverride& operator=(const TzOverride&) = delete;
    // Whether the C library reads zone names ("Europe/Berlin") from TZ. The
    // Windows one knows only the "EST5EDT" form.
#if defined(_WIN32)
    static constexpr bool TakesZoneNames = false;
#else
    static constexpr bool TakesZoneNames = true;
#endif
    void Set(const std::string& tz) {
        SetTz(tz.c_str());
    }
    ~TzOverride() {
        SetTz(Old ? Old->c_str() : nullptr);
    }

private:
    static void SetTz(const char* tz) {
#if defined(_WIN32)
        _putenv_s("TZ", tz != nullptr ? tz : "");
        _tzset();
#else
        if (tz != nullptr) {
            ::setenv("TZ", tz, 1);
        } else {
            ::unsetenv("TZ");
        }
        ::tzset();
#endif
    }

    std::optional<std::string> Old;
};

#if !defined(_WIN32)
// The zone compiler every Debian has (libc-bin), also where /usr/sbin is not
// on PATH; empty when there is none.
inline std::string ZicProgram() {
    for (const char* candidate : {"/usr/sbin/zic", "/sbin/zic", "/usr/bin/zic"}) {
        if (std::filesystem::exists(candidate)) {
            return candidate;
        }
    }
    return {};
}

// Compiles zone source text into the folder `dir` with zic: "fat" files list
// every transition up to 2037, "slim" ones stop at the last change of rules
// and leave the rest to the rule text at their end. True on success.
inline bool Zic(const std::filesystem::path& dir, std::string_view source, bool fat = true) {
    const std::string zic = ZicProgram();
    if (zic.empty()) {
        return false;
    }
    std::filesystem::create_directories(dir);
    const std::filesystem::path file = dir / "source.zi";
    {
        std::FILE* out = std::fopen(file.c_str(), "wb");
        if (out == nullptr) {
            return false;
        }
        std::fwrite(source.data(), 1, source.size(), out);
        std::fclose(out);
    }
    const std::string command = zic + (fat ? " -b fat" : " -b slim") + " -d '" + dir.string() +
                                "' '" + file.string() + "' 2>&1";
    const int status = std::system(command.c_str());
    std::filesystem::remove(file);
    return status == 0;
}
#endif

// Adds a zone of made-up data to a database (its Index its position).
inline void AddZone(kiv::TTimeZone& db, const char* name, double offset, const char* rule,
                    const char* format) {
    kiv::TZoneData z;
    z.ZoneName = name;
    z.UtcOffset = offset;
    z.RuleName = rule;
    z.AbbrevFormat = format;
    z.Index = static_cast<std::int32_t>(db.Zones.size());
    db.Zones.push_back(z);
}
// Adds a rule line of tz_dst.dat, compiled for the year.
inline void AddRule(kiv::TTimeZone& db, const char* line, int year) {
    db.Rules.emplace_back();
    kiv::CompileRule(db.Rules.back(), line, year);
}

} // namespace kivtest
