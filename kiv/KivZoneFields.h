// The fields and numbers of the zone tables' lines, shared by the readers of
// the records (KivZoneRecords), the rule compiler (KivZoneRuleEngine) and the
// database's loader (KivTimeZone). Internal to kiv.
#pragma once

#include "kiv/KivZoneRecords.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kiv::zonefields {

// A line's fields as views into it: TAB, CR, LF and CR LF end a field, a NUL
// ends the line, and a separator at the very end opens no further field.
void SplitFieldViews(std::string_view line, std::vector<std::string_view>& fields);

// The field at the index; raises EListError when the line has no such field.
std::string_view Field(const std::vector<std::string_view>& fields, std::size_t index);

// The text in single quotes, as the messages quote what they refuse.
std::string Quoted(std::string_view text);

// " (<file>, line <n>)" for the messages; empty when the source is unknown.
std::string Where(const TLineSource& source);

// A decimal integer with an optional sign.
int ParseInt(std::string_view text);

// A decimal real with an optional sign and "." as the decimal separator.
// Malformed text raises the plain conversion error; a text that is a number but
// not a finite, representable one (inf, nan, 1e999) raises one naming where it
// came from.
double ParseReal(std::string_view text, const TLineSource& source);

// ParseReal, refused outside low..high as `what`.
double ParseRealInRange(std::string_view text, double low, double high, const char* what,
                        const TLineSource& source);

// Refuses hours outside -14..14 as `what`.
void CheckOffset(std::string_view text, double hours, const TLineSource& source,
                 const char* what = "a UTC offset");

} // namespace kiv::zonefields
