// The IANA zone database in its text form (zic's input; tzdata.zi is one file
// of it, written with the shortest forms zic takes), rewritten into the long
// forms date/tz's text reader takes: whole keywords ("Rule", "Zone",
// "Link"), whole month and weekday names, "only"/"max"/"min", and zone
// continuation lines that start with a tab.
//
// Every field is checked as zic's manual describes it before anything is
// handed on: the library asserts, rather than reports, on some bad fields, so
// only text that passes here reaches it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kiv {

struct TZoneText {
    std::string Release;            // from a first line "# version 2026f"; may be empty
    std::string LongForm;           // the rewritten lines
    std::vector<std::string> Zones; // the names of zones and links, as met
};

// Rewrites `text`; false, with the line number (from 1) in `badLine`, at the
// first line that zic would refuse or the library could not take (for a rule
// that is not there, the first line naming it). A text without any zone is
// refused as well (badLine 0).
bool ExpandZoneText(std::string_view text, TZoneText& result, std::size_t& badLine);

// A zone or link name as the database spells it: Area/Location parts of
// letters, digits and "_+-.", none of them "." or "..".
bool ValidZoneName(std::string_view name);

} // namespace kiv
