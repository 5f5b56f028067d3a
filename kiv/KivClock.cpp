#include "kiv/KivClock.h"

#include "kiv/KivTimeZone.h"
#include "kiv/KivZoneRules.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <optional>
#include <string>

namespace kiv {

namespace {

std::time_t ToTimeT(TDateTime utc) {
    return static_cast<std::time_t>(
        std::floor((utc - UnixDateDelta) * static_cast<double>(SecsPerDay)));
}

// The offset east of UTC, in seconds, of the machine's local time at a moment.
long LocalOffsetSeconds(std::time_t when) {
#if defined(_WIN32)
    std::tm local{};
    if (localtime_s(&local, &when) != 0) {
        return 0;
    }
    // _mkgmtime reads the broken-down local time as if it were UTC; the
    // difference to the real instant is the offset.
    return static_cast<long>(_mkgmtime(&local) - when);
#else
    std::tm local{};
    if (localtime_r(&when, &local) == nullptr) {
        return 0;
    }
    return local.tm_gmtoff;
#endif
}

int SecondsToMinutes(long seconds) {
    return static_cast<int>(RoundHalfEven(static_cast<double>(seconds) / 60.0));
}

std::atomic<TClock*> CurrentClockPtr{nullptr};

} // namespace

std::int64_t TClock::SteadyMSecs() const {
    return DateTimeToMSecs(UtcNow());
}

std::int64_t TSystemClock::SteadyMSecs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

TDateTime TClock::LocalNow() const {
    const TDateTime utc = UtcNow();
    return IncMinute(utc, OffsetMinutesAt(utc));
}

TDateTime LocalToUtc(const TClock& clock, TDateTime local) {
    // The offsets a day before and a day after: every zone changes its offset
    // at most once within two days.
    const int before = clock.OffsetMinutesAt(local - 1.0);
    const int after = clock.OffsetMinutesAt(local + 1.0);
    const TDateTime withBefore = IncMinute(local, -before);
    const TDateTime withAfter = IncMinute(local, -after);
    const bool beforeHolds = clock.OffsetMinutesAt(withBefore) == before;
    const bool afterHolds = clock.OffsetMinutesAt(withAfter) == after;
    if (beforeHolds && afterHolds) {
        return std::min(withBefore, withAfter);
    }
    if (afterHolds) {
        return withAfter;
    }
    // Only the offset before the change holds, or none does: the time lies in
    // the gap of a change forward and is read with the offset before it.
    return withBefore;
}

bool TryParseMoment(std::string_view text, const TClock& clock, TDateTime& utc,
                    std::string* reason) {
    TIsoDateTime moment;
    if (!TryParseIsoDateTime(text, moment, reason)) {
        return false;
    }
    utc = moment.HasOffset ? moment.Utc() : LocalToUtc(clock, moment.Value);
    return true;
}

bool ParseFixedNow(const char* text, TDateTime& utc) {
    if (text == nullptr || *text == '\0') {
        return false;
    }
    std::int64_t seconds = 0;
    const char* end = text + std::strlen(text);
    const auto [stop, error] = std::from_chars(text, end, seconds);
    constexpr std::int64_t LastSecondOf9999 = std::int64_t{253402300799};
    if (error != std::errc() || stop != end || *text == '-' || seconds > LastSecondOf9999) {
        return false;
    }
    utc = MSecsToDateTime(static_cast<std::int64_t>(UnixDateDelta) * MSecsPerDay + seconds * 1000);
    return true;
}

TDateTime TSystemClock::UtcNow() const {
    static const std::optional<TDateTime> fixed = [] {
        TDateTime utc = 0;
        return ParseFixedNow(std::getenv("CHRONARA_TEST_NOW"), utc) ? std::optional(utc)
                                                                    : std::nullopt;
    }();
    if (fixed) {
        return *fixed;
    }
    const auto since = std::chrono::system_clock::now().time_since_epoch();
    const auto ms = std::chrono::floor<std::chrono::milliseconds>(since).count();
    return MSecsToDateTime(static_cast<std::int64_t>(UnixDateDelta) * MSecsPerDay +
                           static_cast<std::int64_t>(ms));
}

int TSystemClock::OffsetMinutesAt(TDateTime utc) const {
    // The machine's zone is looked up at every call, through the zone
    // database: the C library reads /etc/localtime once and would miss a
    // change of the machine's zone while the program runs.
    if (const std::shared_ptr<const TZoneRules> rules = ZoneDB.RunTimeRules) {
        const std::string zone = MachineZoneName(rules->Folder());
        TZoneState state;
        if (!zone.empty() && rules->StateAt(zone, utc, state)) {
            return SecondsToMinutes(state.OffsetSeconds);
        }
    }
    return SecondsToMinutes(LocalOffsetSeconds(ToTimeT(utc)));
}

int TSystemClock::StandardOffsetMinutes() const {
    const int year = LocalYear();
    TDateTime january = 0, july = 0;
    if (!TryEncodeDate(year, 1, 1, january) || !TryEncodeDate(year, 7, 1, july)) {
        return CurrentOffsetMinutes();
    }
    // Noon UTC keeps both probes clear of any change made around midnight.
    return std::min(OffsetMinutesAt(january + 0.5), OffsetMinutesAt(july + 0.5));
}

TFakeClock::TFakeClock(TDateTime utc, int standardOffsetMinutes, int dstOffsetMinutes)
    : UtcMSecs(DateTimeToMSecs(utc)), Standard(standardOffsetMinutes), Dst(dstOffsetMinutes) {}

TDateTime TFakeClock::UtcNow() const {
    return MSecsToDateTime(UtcMSecs.load());
}

int TFakeClock::OffsetMinutesAt(TDateTime /*utc*/) const {
    return DstActive.load() ? Dst.load() : Standard.load();
}

void TFakeClock::SetUtc(TDateTime utc) {
    UtcMSecs.store(DateTimeToMSecs(utc));
}

void TFakeClock::SetLocal(TDateTime local) {
    UtcMSecs.store(DateTimeToMSecs(local) - std::int64_t{OffsetMinutesAt(local)} * 60000);
}

void TFakeClock::JumpMSecs(std::int64_t msecs) {
    Jumped.fetch_add(msecs);
    UtcMSecs.fetch_add(msecs);
}

std::int64_t TFakeClock::SteadyMSecs() const {
    return UtcMSecs.load() - Jumped.load();
}

void TFakeClock::AdvanceMSecs(std::int64_t msecs) {
    UtcMSecs.fetch_add(msecs);
}

void TFakeClock::SetOffsets(int standardOffsetMinutes, int dstOffsetMinutes) {
    Standard.store(standardOffsetMinutes);
    Dst.store(dstOffsetMinutes);
}

TClock& CurrentClock() {
    TClock* clock = CurrentClockPtr.load(std::memory_order_acquire);
    if (clock != nullptr) {
        return *clock;
    }
    static TSystemClock systemClock;
    return systemClock;
}

TClock* SetCurrentClock(TClock* clock) {
    return CurrentClockPtr.exchange(clock, std::memory_order_acq_rel);
}

} // namespace kiv
