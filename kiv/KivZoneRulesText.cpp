// The IANA zone database in its text form, through date/tz built to read
// text (Windows, which has no compiled zone files): the file tzdata.zi of a
// folder, by default the program's data folder, so a newer tzdata.zi put
// there replaces the rules the program was shipped with.
//
// The library reads the text only in long forms, from files of fixed names
// in one folder it keeps for the whole process, into one database of the
// process. So the file is checked and rewritten here (KivZoneText), written
// into a private folder under the temporary folder with the version file and
// an empty list of Windows zone names (the library wants one on Windows, for
// the machine's own zone, which is not asked of it here), read by the library,
// and the private folder removed again. Only one database is held at a time:
// a TZoneRules whose database is not the library's (another folder, or a file
// read again) has its own read in again before its next answer.
#include "kiv/KivZoneRules.h"

#include "kiv/KivClock.h"
#include "kiv/KivData.h"
#include "kiv/KivDataFiles.h"
#include "kiv/KivZoneSpans.h"
#include "kiv/KivZoneText.h"

#include <date/tz.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <unordered_map>

#if defined(_WIN32)
#include <process.h>
#define CHRONARA_PROCESS_ID _getpid()
#else
#include <unistd.h>
#define CHRONARA_PROCESS_ID getpid()
#endif

namespace kiv {

namespace {

namespace fs = std::filesystem;
using namespace zonespans;

constexpr std::uintmax_t MostFileSize = 4u << 20; // tzdata.zi is about 110 KiB

// The library's database is one for the process: who has it, and a lock
// over it and every TZoneRules.
std::mutex& LibraryLock() {
    static std::mutex lock;
    return lock;
}
std::uint64_t LibraryGeneration = 0; // guarded by LibraryLock
bool LibraryStarted = false;         // guarded by LibraryLock

// Reads the long-form text into the library; false when it refuses it.
// Holds LibraryLock.
bool LoadIntoLibrary(const TZoneText& text) {
    static std::uint64_t folders = 0;
    std::error_code ec;
    const fs::path folder =
        fs::temp_directory_path(ec) / ("chronara-tzdata-" + std::to_string(CHRONARA_PROCESS_ID) +
                                       "-" + std::to_string(++folders));
    if (ec) {
        return false;
    }
    fs::remove_all(folder, ec);
    bool good = fs::create_directories(folder, ec) && !ec;
    if (good) {
        std::ofstream version(folder / "version", std::ios::binary);
        version << (text.Release.empty() ? std::string("unknown") : text.Release) << "\n";
        // One of the file names the library reads; it takes any zone from any.
        std::ofstream zones(folder / "africa", std::ios::binary);
        zones << text.LongForm;
        std::ofstream windows(folder / "windowsZones.xml", std::ios::binary);
        windows << "<supplementalData>\n<mapTimezones >\n</mapTimezones>\n</supplementalData>\n";
        good = version.flush().good() && zones.flush().good() && windows.flush().good();
    }
    if (good) {
        try {
            date::set_install(folder.string());
            if (!LibraryStarted) {
                (void)date::get_tzdb_list();
                LibraryStarted = true;
            } else {
                (void)date::reload_tzdb();
                // The one before is no one's now (its zones were forgotten).
                date::tzdb_list& list = date::get_tzdb_list();
                while (std::next(list.begin()) != list.end()) {
                    list.erase_after(list.begin());
                }
            }
            ++LibraryGeneration;
        } catch (const std::exception&) {
            good = false;
        }
    }
    fs::remove_all(folder, ec);
    return good;
}

// What identifies one version of the file.
struct TStamp {
    bool Exists = false;
    bool Regular = false;
    std::uintmax_t Size = 0;
    fs::file_time_type Modified{};
    bool operator==(const TStamp&) const = default;
};

TStamp StampOf(const fs::path& file) {
    std::error_code ec;
    const fs::file_status status = fs::status(file, ec);
    if (ec || !fs::exists(status)) {
        return {};
    }
    TStamp stamp{true, fs::is_regular_file(status), 0, {}};
    if (stamp.Regular) {
        stamp.Size = fs::file_size(file, ec);
        stamp.Modified = fs::last_write_time(file, ec);
    }
    return stamp;
}

// A zone of the library's database.
struct TZoneEntry : TZoneSpans {
    const date::time_zone* Zone = nullptr; // of the library's database while it is ours

protected:
    bool ReadSpan(TSeconds at, TSpan& span) override {
        date::sys_info info;
        try {
            info = Zone->get_info(date::sys_seconds{std::chrono::seconds{at}});
        } catch (const std::exception&) {
            return false;
        }
        span = SpanOfInfo(info, at);
        return true;
    }
};

} // namespace

struct TZoneRules::TImpl {
    fs::path File;
    TStamp Stamp;
    bool Good = false; // the file was read well and is this object's database
    TZoneText Text;
    std::uint64_t Generation = 0; // the library's database that is ours
    std::unordered_map<std::string, TZoneEntry> Zones;
    std::vector<TZoneFileProblem> Problems;
    TDateTime LastRefresh = 0;

    void Fail(TZoneFileFault fault) {
        Good = false;
        Text = {};
        Problems.push_back({std::string(), File.string(), fault});
    }

    // Reads the file again when it is not the one read before.
    void Refresh() {
        LastRefresh = CurrentClock().UtcNow();
        const TStamp now = StampOf(File);
        if (now == Stamp) {
            return;
        }
        const bool wasThere = Stamp.Exists;
        Stamp = now;
        Zones.clear();
        Good = false;
        Text = {};
        if (!now.Exists) {
            // Gone since it was there: said once; never there: the shipped
            // tables, as without a database.
            if (wasThere) {
                Fail(TZoneFileFault::Missing);
            }
            return;
        }
        if (!now.Regular) {
            Fail(TZoneFileFault::NotAFile);
            return;
        }
        if (now.Size > MostFileSize) {
            Fail(TZoneFileFault::NotZoneFile);
            return;
        }
        std::string bytes;
        {
            std::ifstream in(File, std::ios::binary);
            if (!in) {
                Fail(TZoneFileFault::Unreadable);
                return;
            }
            bytes.resize(static_cast<std::size_t>(now.Size) + 1);
            in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            if (in.bad()) {
                Fail(TZoneFileFault::Unreadable);
                return;
            }
            bytes.resize(static_cast<std::size_t>(in.gcount()));
        }
        std::size_t badLine = 0;
        TZoneText text;
        if (!ExpandZoneText(bytes, text, badLine)) {
            Fail(badLine <= 1 ? TZoneFileFault::NotZoneFile : TZoneFileFault::Damaged);
            return;
        }
        // zic's input ends every line; a file cut short does not.
        if (bytes.back() != '\n') {
            Fail(TZoneFileFault::Truncated);
            return;
        }
        Text = std::move(text);
        if (!LoadIntoLibrary(Text)) {
            Fail(TZoneFileFault::Damaged);
            return;
        }
        Generation = LibraryGeneration;
        Good = true;
    }

    void RefreshIfDue() {
        if (RefreshDue(LastRefresh)) {
            Refresh();
        }
    }

    // The library's database is ours again; false when it cannot be.
    bool Own() {
        if (!Good) {
            return false;
        }
        if (Generation == LibraryGeneration) {
            return true;
        }
        Zones.clear();
        if (!LoadIntoLibrary(Text)) {
            Fail(TZoneFileFault::Damaged);
            return false;
        }
        Generation = LibraryGeneration;
        return true;
    }

    TZoneEntry* Entry(std::string_view zoneName) {
        auto it = Zones.find(std::string(zoneName));
        if (it == Zones.end()) {
            TZoneEntry entry;
            try {
                entry.Zone = date::get_tzdb().locate_zone(std::string(zoneName));
            } catch (const std::exception&) {
                entry.Zone = nullptr; // not in the file: the shipped rules
            }
            it = Zones.emplace(std::string(zoneName), entry).first;
        }
        return it->second.Zone != nullptr ? &it->second : nullptr;
    }

    // The zone at the instant, with the library's database made ours.
    TZoneEntry* Ready(std::string_view zoneName) {
        RefreshIfDue();
        return Own() ? Entry(zoneName) : nullptr;
    }
};

bool TZoneRules::Supported() {
    return true;
}

TZoneRules::TZoneRules(std::string folder)
    : FolderName(std::move(folder)), Impl(std::make_unique<TImpl>()) {
    Impl->File = fs::path(FolderName) / datafiles::ZoneText;
    const std::lock_guard guard(LibraryLock());
    Impl->Refresh();
}

TZoneRules::~TZoneRules() = default;

std::string TZoneRules::SystemFolder() {
    const char* tzdir = std::getenv("TZDIR");
    return tzdir != nullptr && *tzdir != '\0' ? std::string(tzdir) : ProgramPath("data");
}

bool TZoneRules::Usable() const {
    const std::lock_guard guard(LibraryLock());
    return Impl->Good;
}

bool TZoneRules::Present() const {
    const std::lock_guard guard(LibraryLock());
    return Impl->Stamp.Exists;
}

std::string TZoneRules::Release() const {
    const std::lock_guard guard(LibraryLock());
    return Impl->Good ? Impl->Text.Release : std::string();
}

void TZoneRules::Refresh() const {
    const std::lock_guard guard(LibraryLock());
    Impl->Refresh();
}

bool TZoneRules::StateAt(std::string_view zoneName, TDateTime utc, TZoneState& state) const {
    if (zoneName.empty() || zoneName.size() > 255 || !std::isfinite(utc)) {
        return false;
    }
    const std::lock_guard guard(LibraryLock());
    TZoneEntry* entry = Impl->Ready(zoneName);
    return entry != nullptr && entry->StateAt(utc, state);
}

bool TZoneRules::NextChange(std::string_view zoneName, TDateTime utc, TDateTime& when,
                            TZoneState& before, TZoneState& after, int years) const {
    if (!StateAt(zoneName, utc, before)) {
        return false;
    }
    const std::lock_guard guard(LibraryLock());
    TZoneEntry* entry = Impl->Ready(zoneName);
    return entry != nullptr && entry->NextChange(utc, years, before, when, after);
}

std::vector<TZoneFileProblem> TZoneRules::TakeProblems() const {
    const std::lock_guard guard(LibraryLock());
    return std::exchange(Impl->Problems, {});
}

} // namespace kiv
