// The clock: UTC now, local now and the machine's UTC offsets, behind an
// interface that tests replace with a clock they set and advance.
//
// Code that needs "now" either takes a TClock& / an instant from its caller or
// asks CurrentClock(). CurrentClock() is the one process-wide seam: a single
// atomic pointer, normally at the system clock, that a test points at a
// TFakeClock for its duration (TClockOverride). One pointer rather than a clock
// threaded through every call keeps the per-second paths (the zone queries, the
// clock tick) free of plumbing, and it holds no time state of its own: the
// system clock asks the operating system on every call.
#pragma once

#include "kiv/KivDateTime.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace kiv {

class TClock {
public:
    virtual ~TClock() = default;

    // The current UTC date-time, to the millisecond.
    virtual TDateTime UtcNow() const = 0;
    // The machine's offset from UTC in minutes, east positive, at the given UTC
    // instant, daylight saving included.
    virtual int OffsetMinutesAt(TDateTime utc) const = 0;
    // The machine's standard offset from UTC in minutes, east positive, without
    // daylight saving.
    virtual int StandardOffsetMinutes() const = 0;
    // Milliseconds of a clock that only runs forward at the pace of time and
    // that setting the wall clock does not move: the distance between two
    // readings against that of UtcNow shows a jump of the wall clock. This
    // one follows UtcNow, so it never shows one.
    virtual std::int64_t SteadyMSecs() const;

    // The machine's local date-time now (UTC plus the current offset).
    TDateTime LocalNow() const;
    // The year of LocalNow.
    int LocalYear() const { return YearOf(LocalNow()); }
    // The machine's offset now, daylight saving included.
    int CurrentOffsetMinutes() const { return OffsetMinutesAt(UtcNow()); }
    // The standard offset in hours (5.5 for five and a half hours east).
    double StandardOffsetHours() const { return StandardOffsetMinutes() / 60.0; }
};

// The operating system's clock and time-zone settings.
//
// Runs of the whole program that must give the same result (the batch image of
// two builds compared) set CHRONARA_TEST_NOW in the environment to a count of
// seconds since 1970-01-01 00:00 UTC: UTC then stands still at that moment.
// It is read once; anything but digits (up to the year 9999) is ignored.
class TSystemClock final : public TClock {
public:
    TDateTime UtcNow() const override;
    int OffsetMinutesAt(TDateTime utc) const override;
    // The smaller of the offsets in force at the start of January and of July of
    // the current local year: daylight saving always adds to the standard offset.
    int StandardOffsetMinutes() const override;
    // The operating system's monotonic clock.
    std::int64_t SteadyMSecs() const override;
};

// The UTC moment of a local date-time of the clock's machine. A local time
// that occurs twice (when the clocks go back) is the first of the two; one
// that never occurs (skipped when the clocks go forward) is read with the
// offset before the change, so it lands as far after the change as it lies
// after its start.
TDateTime LocalToUtc(const TClock& clock, TDateTime local);

// Reads an ISO 8601 date and time (TryParseIsoDateTime) as a UTC moment; a
// time without an offset is a local time of the clock's machine. Returns false
// with a short reason when the text cannot be read.
bool TryParseMoment(std::string_view text, const TClock& clock, TDateTime& utc,
                    std::string* reason = nullptr);

// The moment a CHRONARA_TEST_NOW text names, or false when it names none.
bool ParseFixedNow(const char* text, TDateTime& utc);

// A clock that only moves when told to. The machine's offsets are fixed values
// (standard, and the one used while `DstActive`), both east positive.
class TFakeClock final : public TClock {
public:
    explicit TFakeClock(TDateTime utc = 0.0, int standardOffsetMinutes = 0,
                        int dstOffsetMinutes = 0);

    TDateTime UtcNow() const override;
    int OffsetMinutesAt(TDateTime utc) const override;
    int StandardOffsetMinutes() const override { return Standard.load(); }

    void SetUtc(TDateTime utc);
    // Sets the UTC time so that the local time (with the current offset) is `local`.
    void SetLocal(TDateTime local);
    void AdvanceMSecs(std::int64_t msecs);
    // Sets the wall clock by `msecs` (resume from suspend, a manual change):
    // UTC moves, the steady clock does not.
    void JumpMSecs(std::int64_t msecs);
    std::int64_t SteadyMSecs() const override;
    void AdvanceSeconds(std::int64_t seconds) { AdvanceMSecs(seconds * 1000); }
    void SetOffsets(int standardOffsetMinutes, int dstOffsetMinutes);
    // While true, the machine is on its daylight offset.
    void SetDstActive(bool active) { DstActive.store(active); }

private:
    std::atomic<std::int64_t> UtcMSecs;
    std::atomic<int> Standard;
    std::atomic<int> Dst;
    std::atomic<bool> DstActive{false};
    std::atomic<std::int64_t> Jumped{0}; // the wall clock's jumps so far
};

// The clock that no-argument "now" operations ask; the system clock unless a
// test has set another.
TClock& CurrentClock();
// Makes `clock` the current clock (nullptr restores the system clock) and
// returns the previous one. The clock must outlive its use.
TClock* SetCurrentClock(TClock* clock);

// Points CurrentClock() at a clock for the life of this object.
class TClockOverride {
public:
    explicit TClockOverride(TClock& clock) : Previous(SetCurrentClock(&clock)) {}
    ~TClockOverride() { SetCurrentClock(Previous); }
    TClockOverride(const TClockOverride&) = delete;
    TClockOverride& operator=(const TClockOverride&) = delete;

private:
    TClock* Previous;
};

} // namespace kiv
