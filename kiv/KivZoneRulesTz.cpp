// The machine's zone database through date/tz, as built by Debian (the
// operating system's compiled zone files).
//
// That build reads a zone's file from one fixed folder (/usr/share/zoneinfo)
// by a name relative to it, and asserts, rather than reports, on a file that
// is not a zone file. So every file is read here first, checked, and handed to
// the library as a private in-memory copy (/proc/self/fd/N), named relative
// to the library's folder: the library reads exactly the checked bytes, from
// any folder ($TZDIR, a test's own). Where no in-memory file can be made, the
// library reads the checked file itself.
//
// The library uses a file's transitions only; for instants after the last one
// (slim files written by today's zic end in the 2000s) the file's closing rule
// text answers, through the library's POSIX rule reader.
#include "kiv/KivZoneRules.h"

#include "kiv/KivClock.h"
#include "kiv/KivDataFiles.h"
#include "kiv/KivZoneSpans.h"
#include "kiv/KivZoneText.h"

#include <date/tz.h>
#include <date/tz_private.h>
// The POSIX rule reader names hh_mm_ss unqualified under both `using
// namespace date` and `using namespace std::chrono`, which C++20 finds twice;
// it means date's. A name of its own, declared where each use looks first,
// says so.
namespace date {
template <class Duration> using DateHhMmSs = hh_mm_ss<Duration>;
}
namespace Posix {
template <class Duration> using DateHhMmSs = date::hh_mm_ss<Duration>;
}
#define hh_mm_ss DateHhMmSs
#include <date/ptz.h>
#undef hh_mm_ss

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <mutex>
#include <optional>
#include <unordered_map>

namespace kiv {

namespace {

using namespace zonespans;

constexpr std::size_t MostFileSize = 1 << 20; // real ones are a few KiB

// What identifies one version of a file: replaced files differ in one of these.
struct TStamp {
    bool Exists = false;
    dev_t Device = 0;
    ino_t Inode = 0;
    off_t Size = 0;
    std::int64_t ModifiedNs = 0;
    std::int64_t ChangedNs = 0;
    bool operator==(const TStamp&) const = default;
};

TStamp StampOf(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return {};
    }
    return {true,
            st.st_dev,
            st.st_ino,
            st.st_size,
            std::int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec,
            std::int64_t{st.st_ctim.tv_sec} * 1000000000 + st.st_ctim.tv_nsec};
}

// The folder the library reads from, as it finds it, and the prefix that
// climbs from it to the root: the library's name for an absolute path is that
// prefix and the path without its first "/". Empty when it has none.
const std::string& LibraryRootPrefix() {
    static const std::string prefix = [] {
        std::string folder;
        for (const char* candidate : {"/usr/share/zoneinfo/uclibc", "/usr/share/zoneinfo"}) {
            struct stat st {};
            if (::stat(candidate, &st) == 0 && S_ISDIR(st.st_mode)) {
                folder = candidate;
                break;
            }
        }
        if (folder.empty()) {
            return std::string();
        }
        char* real = ::realpath(folder.c_str(), nullptr);
        if (real == nullptr) {
            return std::string();
        }
        const std::string resolved = real;
        std::free(real);
        std::string climb;
        for (const char c : resolved) {
            if (c == '/') {
                climb += "../";
            }
        }
        // "/" itself has no part to climb.
        return resolved == "/" ? std::string("./") : climb;
    }();
    return prefix;
}

// A zone's file as read: the library's zone for the instants up to its last
// transition, and the file's closing rule for those after it.
struct TZoneEntry : TZoneSpans {
    TStamp Stamp;
    bool Good = false;
    std::unique_ptr<date::time_zone> Zone;
    std::optional<Posix::time_zone> Footer;
    bool FooterUnread = false; // a footer with rules the reader did not take
    bool HasTransitions = false;
    TSeconds LastTransition = 0;

protected:
    bool ReadSpan(TSeconds at, TSpan& span) override {
        using namespace std::chrono;
        const bool after = !HasTransitions || at >= LastTransition;
        date::sys_info info;
        if (after && Footer) {
            info = Footer->get_info(date::sys_seconds{seconds{at}});
            if (HasTransitions && info.begin.time_since_epoch().count() < LastTransition) {
                info.begin = date::sys_seconds{seconds{LastTransition}};
            }
        } else if (after && FooterUnread) {
            return false;
        } else {
            info = Zone->get_info(date::sys_seconds{seconds{at}});
        }
        // Before the last transition the library's span ends there at the
        // latest: what comes after is the footer's.
        span = SpanOfInfo(info, at, !after && Footer ? LastTransition : NoEnd);
        return true;
    }
};

// Hands checked bytes to the library; null when it refuses them.
std::unique_ptr<date::time_zone> LoadIntoLibrary(const std::string& bytes,
                                                 const std::string& file) {
    const std::string& root = LibraryRootPrefix();
    if (root.empty()) {
        return nullptr;
    }
    std::string path;
    int memory = ::memfd_create("chronara-zone", MFD_CLOEXEC);
    if (memory >= 0) {
        std::size_t written = 0;
        while (written < bytes.size()) {
            const ssize_t n = ::write(memory, bytes.data() + written, bytes.size() - written);
            if (n <= 0) {
                ::close(memory);
                memory = -1;
                break;
            }
            written += static_cast<std::size_t>(n);
        }
    }
    if (memory >= 0 && ::lseek(memory, 0, SEEK_SET) == 0 &&
        ::access(("/proc/self/fd/" + std::to_string(memory)).c_str(), R_OK) == 0) {
        path = root + "proc/self/fd/" + std::to_string(memory);
    } else {
        path = root + (file.front() == '/' ? file.substr(1) : file);
    }
    std::unique_ptr<date::time_zone> zone;
    try {
        zone = std::make_unique<date::time_zone>(path, date::detail::undocumented{});
        // The file is read at the first question; ask one now, while it is there.
        (void)zone->get_info(date::sys_seconds{});
    } catch (const std::exception&) {
        zone.reset();
    }
    if (memory >= 0) {
        ::close(memory);
    }
    return zone;
}

} // namespace

struct TZoneRules::TImpl {
    mutable std::mutex Lock;
    std::unordered_map<std::string, TZoneEntry> Zones;
    std::vector<TZoneFileProblem> Problems;
    bool FolderUsable = false;
    std::string ReleaseText;
    TDateTime LastRefresh = 0;

    // Forgets the zones whose files were replaced, removed or added since they
    // were read, and reads the folder's state again.
    void Refresh(const std::string& folder) {
        for (auto it = Zones.begin(); it != Zones.end();) {
            if (StampOf(folder + "/" + it->first) != it->second.Stamp) {
                it = Zones.erase(it);
            } else {
                ++it;
            }
        }
        ReadFolder(folder);
        LastRefresh = CurrentClock().UtcNow();
    }

    // At most once a minute of the clock, either way (it may be set back).
    void RefreshIfDue(const std::string& folder) {
        if (RefreshDue(LastRefresh)) {
            Refresh(folder);
        }
    }

    void ReadFolder(const std::string& folder) {
        struct stat st {};
        FolderUsable = ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
                       ::access(folder.c_str(), R_OK | X_OK) == 0 && !LibraryRootPrefix().empty();
        ReleaseText = ReadRelease(folder);
    }

    static std::string ReadRelease(const std::string& folder) {
        std::string line;
        {
            std::ifstream zi(folder + "/" + datafiles::ZoneText);
            if (zi && std::getline(zi, line) && line.rfind("# version ", 0) == 0) {
                line.erase(0, 10);
            } else {
                line.clear();
                std::ifstream version(folder + "/+VERSION");
                if (version) {
                    std::getline(version, line);
                }
            }
        }
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) {
            line.pop_back();
        }
        const bool plain =
            !line.empty() && line.size() <= 20 && std::all_of(line.begin(), line.end(), [](char c) {
                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '.' || c == '-';
            });
        return plain ? line : std::string();
    }

    TZoneEntry& Entry(const std::string& folder, std::string_view zoneName) {
        auto it = Zones.find(std::string(zoneName));
        if (it != Zones.end()) {
            return it->second;
        }
        TZoneEntry& entry = Zones[std::string(zoneName)];
        const std::string file = folder + "/" + std::string(zoneName);
        TZoneFileFault fault = TZoneFileFault::Damaged;
        if (Load(file, entry, fault)) {
            entry.Good = true;
        } else {
            Problems.push_back({std::string(zoneName), file, fault});
        }
        return entry;
    }

    static bool Load(const std::string& file, TZoneEntry& entry, TZoneFileFault& fault) {
        struct stat st {};
        if (::stat(file.c_str(), &st) != 0) {
            entry.Stamp = {};
            fault = errno == ENOENT || errno == ENOTDIR ? TZoneFileFault::Missing
                                                        : TZoneFileFault::Unreadable;
            return false;
        }
        entry.Stamp = StampOf(file);
        if (!S_ISREG(st.st_mode)) {
            fault = TZoneFileFault::NotAFile;
            return false;
        }
        std::string bytes;
        {
            std::ifstream in(file, std::ios::binary);
            if (!in) {
                fault = TZoneFileFault::Unreadable;
                return false;
            }
            bytes.resize(MostFileSize + 1);
            in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            if (in.bad()) {
                fault = TZoneFileFault::Unreadable;
                return false;
            }
            bytes.resize(static_cast<std::size_t>(in.gcount()));
        }
        if (bytes.size() > MostFileSize) {
            fault = TZoneFileFault::NotZoneFile;
            return false;
        }
        TZoneRules::TFacts facts;
        if (!TZoneRules::CheckZoneFile(bytes, fault, &facts)) {
            return false;
        }
        entry.Zone = LoadIntoLibrary(bytes, file);
        if (!entry.Zone) {
            fault = TZoneFileFault::Damaged;
            return false;
        }
        entry.HasTransitions = facts.HasTransitions;
        entry.LastTransition = facts.LastTransition;
        if (!facts.Footer.empty()) {
            try {
                entry.Footer.emplace(facts.Footer);
            } catch (const std::exception&) {
                // A rule the reader does not take (hours past 24, say): the
                // instants after the last transition are left to the shipped rules.
                entry.FooterUnread = facts.Footer.find(',') != std::string::npos;
            }
        }
        return true;
    }
};

bool TZoneRules::Supported() {
    return true;
}

TZoneRules::TZoneRules(std::string folder)
    : FolderName(std::move(folder)), Impl(std::make_unique<TImpl>()) {
    Impl->ReadFolder(FolderName);
    Impl->LastRefresh = CurrentClock().UtcNow();
}

TZoneRules::~TZoneRules() = default;

std::string TZoneRules::SystemFolder() {
    const char* tzdir = std::getenv("TZDIR");
    return tzdir != nullptr && *tzdir != '\0' ? std::string(tzdir)
                                              : std::string("/usr/share/zoneinfo");
}

bool TZoneRules::Usable() const {
    const std::lock_guard guard(Impl->Lock);
    return Impl->FolderUsable;
}

bool TZoneRules::Present() const {
    return Usable();
}

std::string TZoneRules::Release() const {
    const std::lock_guard guard(Impl->Lock);
    return Impl->ReleaseText;
}

void TZoneRules::Refresh() const {
    const std::lock_guard guard(Impl->Lock);
    Impl->Refresh(FolderName);
}

bool TZoneRules::StateAt(std::string_view zoneName, TDateTime utc, TZoneState& state) const {
    if (!ValidZoneName(zoneName) || !std::isfinite(utc)) {
        return false;
    }
    const std::lock_guard guard(Impl->Lock);
    Impl->RefreshIfDue(FolderName);
    if (!Impl->FolderUsable) {
        return false;
    }
    TZoneEntry& entry = Impl->Entry(FolderName, zoneName);
    return entry.Good && entry.StateAt(utc, state);
}

bool TZoneRules::NextChange(std::string_view zoneName, TDateTime utc, TDateTime& when,
                            TZoneState& before, TZoneState& after, int years) const {
    if (!StateAt(zoneName, utc, before)) {
        return false;
    }
    const std::lock_guard guard(Impl->Lock);
    TZoneEntry& entry = Impl->Entry(FolderName, zoneName);
    return entry.Good && entry.NextChange(utc, years, before, when, after);
}

std::vector<TZoneFileProblem> TZoneRules::TakeProblems() const {
    const std::lock_guard guard(Impl->Lock);
    return std::exchange(Impl->Problems, {});
}

} // namespace kiv
