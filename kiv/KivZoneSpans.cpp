#include "kiv/KivZoneSpans.h"

#include "kiv/KivClock.h"

#include <cmath>

namespace kiv::zonespans {

namespace {

constexpr std::int64_t MSecsAt1970 = 2209161600000LL; // 1899-12-30 to 1970-01-01

} // namespace

TSeconds SecondsOf(TDateTime utc) {
    const std::int64_t ms = DateTimeToMSecs(utc) - MSecsAt1970;
    return ms >= 0 ? ms / 1000 : -((-ms + 999) / 1000);
}

TDateTime DateTimeOfSeconds(TSeconds seconds) {
    return MSecsToDateTime(seconds * 1000 + MSecsAt1970);
}

bool RefreshDue(TDateTime lastRefresh) {
    return std::abs(CurrentClock().UtcNow() - lastRefresh) * MinsPerDay >= 1.0;
}

TSpan SpanOfInfo(const date::sys_info& info, TSeconds at, TSeconds endAtMost) {
    TSpan span;
    span.Begin = info.begin.time_since_epoch().count();
    span.End = info.end.time_since_epoch().count();
    if (span.End > endAtMost) {
        span.End = endAtMost;
    }
    if (span.End <= at) {
        span.End = NoEnd;
    }
    span.State = {static_cast<std::int32_t>(info.offset.count()), info.save.count() != 0,
                  info.abbrev};
    return span;
}

bool TZoneSpans::SpanAt(TSeconds at, TSpan& span) {
    if (Last && Last->Begin <= at && at < Last->End) {
        span = *Last;
        return true;
    }
    if (!ReadSpan(at, span)) {
        return false;
    }
    Last = span;
    return true;
}

bool TZoneSpans::StateAt(TDateTime utc, TZoneState& state) {
    TSpan span;
    if (!SpanAt(SecondsOf(utc), span)) {
        return false;
    }
    state = span.State;
    return true;
}

bool TZoneSpans::NextChange(TDateTime utc, int years, const TZoneState& before, TDateTime& when,
                            TZoneState& after) {
    const TSeconds start = SecondsOf(utc);
    const TSeconds limit = start + static_cast<TSeconds>(years) * 366 * 86400;
    TSpan span;
    if (!SpanAt(start, span)) {
        return false;
    }
    for (int step = 0; step < 64 && span.End != NoEnd && span.End <= limit; ++step) {
        const TSeconds moment = span.End;
        if (!SpanAt(moment, span)) {
            return false;
        }
        if (span.State.OffsetSeconds != before.OffsetSeconds) {
            when = DateTimeOfSeconds(moment);
            after = span.State;
            return true;
        }
    }
    return false;
}

} // namespace kiv::zonespans
