// The spans of a zone's clock as date/tz answers for them, shared by the two
// readers of the machine's zone database: the compiled zone files
// (KivZoneRulesTz.cpp) and the text database (KivZoneRulesText.cpp). Each
// zone keeps the span of its last answer, so a query within it costs a
// comparison; the next change of offset is found by walking from span to span.
// Internal to kiv; built only where date/tz is.
#pragma once

#include "kiv/KivDateTime.h"
#include "kiv/KivZoneRules.h"

#include <date/tz.h>

#include <cstdint>
#include <limits>
#include <optional>

namespace kiv::zonespans {

using TSeconds = std::int64_t; // since 1970-01-01 00:00 UTC

// The end of a span that does not end.
constexpr TSeconds NoEnd = std::numeric_limits<TSeconds>::max();

// The whole second of the UTC instant (rounded down) and back.
TSeconds SecondsOf(TDateTime utc);
TDateTime DateTimeOfSeconds(TSeconds seconds);

// Whether a look at the files is due: a minute of CurrentClock() either way
// (it may be set back) since the last.
bool RefreshDue(TDateTime lastRefresh);

// A stretch of time in which a zone's clock keeps one state.
struct TSpan {
    TSeconds Begin = 0;
    TSeconds End = 0; // exclusive
    TZoneState State;
};

// The span of the library's answer for the instant `at`, its end cut to
// `endAtMost`; an end at or before the instant (the library's last span) is
// NoEnd.
TSpan SpanOfInfo(const date::sys_info& info, TSeconds at, TSeconds endAtMost = NoEnd);

// One zone's spans, the last answer kept. The reader of the database says
// what the span at an instant is (ReadSpan).
class TZoneSpans {
public:
    virtual ~TZoneSpans() = default;

    // The span that holds the instant; false when the zone's data cannot say.
    bool SpanAt(TSeconds at, TSpan& span);
    // The zone's clock at the UTC instant; false when the zone's data cannot say.
    bool StateAt(TDateTime utc, TZoneState& state);
    // The zone's first change of offset after the UTC instant, within `years`
    // years, the state `before` being the one at the instant: its moment and
    // the state after it. Changes of name or daylight state alone are passed
    // over (at most a few a year, so the walk is short).
    bool NextChange(TDateTime utc, int years, const TZoneState& before, TDateTime& when,
                    TZoneState& after);

protected:
    TZoneSpans() = default;
    TZoneSpans(const TZoneSpans&) = default;
    TZoneSpans(TZoneSpans&&) = default;
    TZoneSpans& operator=(const TZoneSpans&) = default;
    TZoneSpans& operator=(TZoneSpans&&) = default;

    // The span that holds the instant, from the zone's data.
    virtual bool ReadSpan(TSeconds at, TSpan& span) = 0;

private:
    std::optional<TSpan> Last; // the span of the last answer
};

} // namespace kiv::zonespans
