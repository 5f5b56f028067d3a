#include "kiv/KivMeetingPlanner.h"

#include "kiv/KivTimeZone.h"

#include <cstdio>
#include <cstdlib>

namespace kiv {

namespace {

constexpr std::int64_t MSecsPerQuarter = 15 * 60 * 1000;
constexpr std::int64_t MSecsPerMinute = 60 * 1000;

std::int64_t FloorDivide(std::int64_t a, std::int64_t b) {
    const std::int64_t q = a / b;
    return (a % b != 0 && (a < 0) != (b < 0)) ? q - 1 : q;
}

std::int32_t OffsetAt(const TTimeZone& db, const TZoneData& zone, TDateTime utc) {
    std::string abbreviation;
    std::int32_t minutes = 0;
    db.ZoneLocalTime(zone, utc, abbreviation, minutes);
    return minutes;
}

} // namespace

std::vector<TOffsetSpan> OffsetSpans(const TTimeZone& db, const TZoneData& zone, TDateTime fromUtc,
                                     TDateTime toUtc) {
    std::vector<TOffsetSpan> spans{{fromUtc, OffsetAt(db, zone, fromUtc)}};
    TDateTime after = fromUtc;
    // A year holds a few changes; the bound only stops a faulty rule set.
    for (int guard = 0; guard < 4096; ++guard) {
        TClockChange change;
        if (!db.NextClockChange(zone, after, change) || change.Utc > toUtc || change.Utc < after) {
            break;
        }
        // The offset in force from the change on is the one the clocks read
        // there; a change some rules make "just after" its moment still shows
        // the old offset at the moment itself, so the next millisecond decides.
        TDateTime at = change.Utc;
        std::int32_t minutes = OffsetAt(db, zone, at);
        if (minutes == spans.back().Minutes) {
            at = MSecsToDateTime(DateTimeToMSecs(at) + 1);
            minutes = OffsetAt(db, zone, at);
        }
        if (minutes != spans.back().Minutes && at <= toUtc) {
            spans.push_back({at, minutes});
        }
        if (at <= after) {
            at = MSecsToDateTime(DateTimeToMSecs(after) + 1);
        }
        after = at;
    }
    return spans;
}

std::vector<int> OverlapCounts(const TTimeZone& db, std::span<const TPlannerPlace> places,
                               std::span<const TDateTime> momentsUtc) {
    std::vector<int> counts(momentsUtc.size(), 0);
    if (momentsUtc.empty()) {
        return counts;
    }
    std::vector<std::int64_t> moments(momentsUtc.size());
    for (std::size_t i = 0; i < momentsUtc.size(); ++i) {
        moments[i] = DateTimeToMSecs(momentsUtc[i]);
    }
    for (const TPlannerPlace& place : places) {
        if (place.Hours.AnyTime || place.Zone == nullptr) {
            if (place.Hours.AnyTime) {
                for (int& count : counts) {
                    ++count;
                }
            }
            continue;
        }
        // Between two changes of its clocks a zone keeps one offset: the
        // local times there are the UTC moments shifted by it.
        const std::vector<TOffsetSpan> spans =
            OffsetSpans(db, *place.Zone, momentsUtc.front(), momentsUtc.back());
        std::vector<std::int64_t> starts(spans.size());
        for (std::size_t s = 0; s < spans.size(); ++s) {
            starts[s] = DateTimeToMSecs(spans[s].Utc);
        }
        std::size_t span = 0;
        for (std::size_t i = 0; i < moments.size(); ++i) {
            while (span + 1 < spans.size() && moments[i] >= starts[span + 1]) {
                ++span;
            }
            const std::int64_t local = moments[i] + spans[span].Minutes * MSecsPerMinute;
            if (place.Hours.ContainsLocalMSecs(local)) {
                ++counts[i];
            }
        }
    }
    return counts;
}

std::vector<TDateTime> QuartersAfter(TDateTime fromUtc, int count) {
    std::vector<TDateTime> quarters;
    quarters.reserve(static_cast<std::size_t>(count > 0 ? count : 0));
    const std::int64_t first = FloorDivide(DateTimeToMSecs(fromUtc), MSecsPerQuarter) + 1;
    for (int i = 0; i < count; ++i) {
        quarters.push_back(MSecsToDateTime((first + i) * MSecsPerQuarter));
    }
    return quarters;
}

TMeetingSlot FindMeetingTime(const TTimeZone& db, std::span<const TPlannerPlace> places,
                             TDateTime fromUtc) {
    const std::vector<TDateTime> quarters = QuartersAfter(fromUtc, SearchDays * 96);
    const std::vector<int> counts = OverlapCounts(db, places, quarters);
    const int everyone = static_cast<int>(places.size());
    std::size_t best = 0;
    for (std::size_t i = 0; i < counts.size(); ++i) {
        if (counts[i] == everyone) {
            return {quarters[i], everyone, true};
        }
        if (counts[i] > counts[best]) {
            best = i;
        }
    }
    return {quarters[best], counts[best], false};
}

TClockDifference ClockDifference(const TTimeZone& db, const TZoneData& zone, TDateTime utc,
                                 std::int32_t machineOffsetMinutes) {
    const std::int32_t place = OffsetAt(db, zone, utc);
    const std::int64_t ms = DateTimeToMSecs(utc);
    const std::int64_t placeDay = FloorDivide(ms + place * MSecsPerMinute, MSecsPerDay);
    const std::int64_t machineDay =
        FloorDivide(ms + machineOffsetMinutes * MSecsPerMinute, MSecsPerDay);
    return {place - machineOffsetMinutes, static_cast<int>(placeDay - machineDay)};
}

std::string ClockDifferenceText(const TClockDifference& difference, const TDifferenceWords& words) {
    std::string text;
    if (difference.Minutes != 0) {
        const std::int32_t size = std::abs(difference.Minutes);
        text = (difference.Minutes > 0 ? "+" : "-") + std::to_string(size / 60) + " h";
        if (size % 60 != 0) {
            text += " " + std::to_string(size % 60);
        }
    }
    if (difference.Days != 0) {
        if (!text.empty()) {
            text += ", ";
        }
        text += difference.Days > 0 ? words.Tomorrow : words.Yesterday;
    }
    return text.empty() ? words.SameTime : text;
}

std::string MeetingLine(const TTimeZone& db, const TPlannerPlace& place, TDateTime utc,
                        const TDateNames& names) {
    std::string abbreviation;
    std::int32_t minutes = 0;
    const TDateTime local =
        place.Zone != nullptr ? db.ZoneLocalTime(*place.Zone, utc, abbreviation, minutes) : utc;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, msec = 0;
    DecodeDateTime(local, year, month, day, hour, minute, second, msec);
    char clock[32];
    std::snprintf(clock, sizeof clock, "%02d:%02d", hour, minute);
    std::string line = place.Title + ": " + names.Weekdays[DayOfTheWeek(local) - 1] + " " +
                       std::to_string(day) + " " + names.Months[month - 1] + " " +
                       std::to_string(year) + " " + clock;
    if (!abbreviation.empty()) {
        line += " " + abbreviation;
    }
    return line;
}

std::string MeetingLines(const TTimeZone& db, std::span<const TPlannerPlace> places, TDateTime utc,
                         const TDateNames& names) {
    std::string lines;
    for (const TPlannerPlace& place : places) {
        lines += MeetingLine(db, place, utc, names) + "\n";
    }
    return lines;
}

} // namespace kiv
