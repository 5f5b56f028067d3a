#include "kiv/KivTimeZone.h"

#include "kiv/KivClock.h"
#include "kiv/KivDataFiles.h"
#include "kiv/KivErrors.h"
#include "kiv/KivZoneFields.h"

#include <algorithm>
#include <unordered_map>

namespace kiv {

TTimeZone ZoneDB;

using zonefields::Where;

namespace {

// The first of the folded zone names that contains the folded key; -1 when
// none does. An empty key is contained in no name.
int FindContaining(const std::vector<std::string>& foldedNames, std::string_view foldedKey) {
    if (foldedKey.empty()) {
        return -1;
    }
    for (std::size_t i = 0; i < foldedNames.size(); ++i) {
        if (foldedNames[i].find(foldedKey) != std::string::npos) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

const char* const LinkError = "There is a link error in the database";

bool IsAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(),
                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whether the ASCII text, folded (capitals to small letters), contains the
// folded ASCII key.
bool ContainsFoldedAscii(std::string_view text, std::string_view key) {
    const auto folded = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (key.size() > text.size()) {
        return false;
    }
    for (std::size_t at = 0; at + key.size() <= text.size(); ++at) {
        std::size_t n = 0;
        while (n < key.size() && folded(text[at + n]) == key[n]) {
            ++n;
        }
        if (n == key.size()) {
            return true;
        }
    }
    return false;
}

// Runs one line's parse; an error that does not yet say where it came from
// gets the file and line added, so the user learns which file is damaged. The
// error keeps its kind.
template <class Parse> void AtLine(const TLineSource& source, Parse&& parse) {
    const auto located = [&](const EKivError& e) {
        const std::string message = e.what();
        return message.find(source.File) != std::string::npos ? message : message + Where(source);
    };
    try {
        parse();
    } catch (const EConvertError& e) {
        throw EConvertError(located(e));
    } catch (const EListError& e) {
        throw EListError(located(e));
    } catch (const EAssertionFailed& e) {
        throw EAssertionFailed(located(e));
    } catch (const EKivError& e) {
        throw EKivError(located(e));
    }
}

// Fills `records` from the lines of a table, the first of them line
// `firstLine` of the file: parse(record, line, index, source) for each line.
// The array keeps its full length when a line is refused.
template <class Record, class Parse>
void ParseLines(std::vector<Record>& records, const TStringList& lines, const std::string& file,
                int firstLine, Parse&& parse) {
    records.resize(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const TLineSource at{file, static_cast<int>(i) + firstLine};
        AtLine(at, [&] { parse(records[i], lines[i], static_cast<int>(i), at); });
    }
}

} // namespace

// ---------------------------------------------------------------------------
// Loading

void TTimeZone::Clear() {
    Colors.clear();
    Places.clear();
    Zones.clear();
    Rules.clear();
    Nearest = 0;
    ShippedRelease.clear();
}

void TTimeZone::LoadDatabase(const std::string& dir) {
    LoadDatabase(dir, CurrentClock().LocalYear());
}

void TTimeZone::LoadDatabase(const std::string& dir, int ruleYear) {
    Clear();
    TStringList lines;

    std::string file = ProgramPath(datafiles::ZoneColors, dir);
    LoadDataList(lines, file);
    ParseLines(Colors, lines, file, 1,
               [](TTimeZoneColor& color, std::string_view line, int, const TLineSource& at) {
                   ParseColor(color, line, at);
               });

    file = ProgramPath(datafiles::Places, dir);
    LoadDataList(lines, file);
    ParseLines(Places, lines, file, 1, ParsePlace);

    file = ProgramPath(datafiles::Zones, dir);
    LoadDataList(lines, file);
    if (lines.empty()) {
        throw EListError("List index out of bounds (0)" + Where({file, 1}));
    }
    ShippedRelease = ReleaseOfHeader(lines.front());
    lines.erase(lines.begin()); // the header line
    ParseLines(Zones, lines, file, 2, ParseZone);

    file = ProgramPath(datafiles::DaylightRules, dir);
    LoadDataList(lines, file);
    ParseLines(Rules, lines, file, 1,
               [ruleYear](TTimeZoneDSTRule& rule, std::string_view line, int,
                          const TLineSource& at) { CompileRule(rule, line, ruleYear, at); });

    // Every place must link to a zone. Places share their keys, so each
    // distinct key is searched once, in names folded once.
    std::vector<std::string> folded;
    folded.reserve(Zones.size());
    for (const TZoneData& zone : Zones) {
        folded.push_back(FoldCase(zone.ZoneName));
    }
    std::unordered_map<std::string, int> linked;
    for (const TTimeZonePlaces& place : Places) {
        std::string key = FoldCase(place.ZoneKey);
        auto it = linked.find(key);
        if (it == linked.end()) {
            const int zone = FindContaining(folded, key);
            it = linked.emplace(std::move(key), zone).first;
        }
        if (it->second < 0) {
            // Named by the place's line: its zone key is found in no zone name.
            throw EKivError(LinkError + Where({ProgramPath(datafiles::Places, dir),
                                               static_cast<int>(&place - Places.data()) + 1}));
        }
    }
}

// ---------------------------------------------------------------------------
// Lookups

const TZoneData& TTimeZone::FindZone(std::string_view zoneName) const {
    const TNameMatcher name(zoneName);
    for (const TZoneData& zone : Zones) {
        if (name.Matches(zone.ZoneName)) {
            return zone;
        }
    }
    throw EKivError("Could not locate Zone for \"" + std::string(zoneName) + "\"");
}

int TTimeZone::ZoneIndexOfKey(std::string_view zoneKey) const {
    if (zoneKey.empty()) {
        return -1;
    }
    const std::string key = FoldCase(zoneKey);
    const bool asciiKey = IsAscii(key);
    std::string name;
    for (std::size_t i = 0; i < Zones.size(); ++i) {
        const std::string& zoneName = Zones[i].ZoneName;
        bool contains = false;
        if (IsAscii(zoneName)) {
            // An ASCII name folds to ASCII: it holds no other key, and is
            // searched as it is, its capitals read as small letters.
            contains = asciiKey && ContainsFoldedAscii(zoneName, key);
        } else {
            name.clear();
            AppendFoldCase(zoneName, name);
            contains = name.find(key) != std::string::npos;
        }
        if (contains) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int TTimeZone::ZoneIndexOfPlace(int placeIndex) const {
    KivAssert(placeIndex >= 0 && static_cast<std::size_t>(placeIndex) < Places.size(),
              "Place index " + std::to_string(placeIndex) + " is outside the places");
    const int zone = ZoneIndexOfKey(Places[static_cast<std::size_t>(placeIndex)].ZoneKey);
    if (zone < 0) {
        throw EKivError(LinkError);
    }
    return zone;
}

std::pair<int, int> TTimeZone::FindRulePair(std::string_view ruleName) const {
    return kiv::FindRulePair(Rules, ruleName);
}

// ---------------------------------------------------------------------------
// Local times, by the rule engine

TDateTime TTimeZone::ZoneLocalTime(std::string_view zoneName, std::string& abbreviation,
                                   std::int32_t& minutes) const {
    const TZoneData& zone = FindZone(zoneName);
    return ZoneLocalTime(zone, UtcNow(), abbreviation, minutes);
}

TDateTime TTimeZone::ZoneLocalTime(std::string_view zoneName, TDateTime utc,
                                   std::string& abbreviation, std::int32_t& minutes) const {
    return ZoneLocalTime(FindZone(zoneName), utc, abbreviation, minutes);
}

TDateTime TTimeZone::ZoneLocalTime(const TZoneData& zone, TDateTime utc, std::string& abbreviation,
                                   std::int32_t& minutes) const {
    return Clock().LocalTime(zone, utc, abbreviation, minutes);
}

bool TTimeZone::NextClockChange(const TZoneData& zone, TDateTime utc, TClockChange& change) const {
    return Clock().NextChange(zone, utc, change);
}

bool TTimeZone::UsesRunTimeRules(const TZoneData& zone) const {
    return Clock().UsesRunTimeRules(zone);
}

int TTimeZone::IndexOfPlace(std::string_view placeName) const {
    const TNameMatcher name(placeName);
    for (std::size_t i = 0; i < Places.size(); ++i) {
        if (name.Matches(Places[i].Name)) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int TTimeZone::IndexOfPlaceInCountry(std::string_view placeName, std::string_view country) const {
    const TNameMatcher name(placeName);
    for (std::size_t i = 0; i < Places.size(); ++i) {
        if (name.Matches(Places[i].Name)) {
            const int zone = ZoneIndexOfKey(Places[i].ZoneKey);
            if (zone >= 0 && SameText(Zones[static_cast<std::size_t>(zone)].Country, country)) {
                return static_cast<int>(i);
            }
        }
    }
    return -1;
}

const std::string& TTimeZone::ZoneNameOfPlace(int placeIndex) const {
    return Zones[static_cast<std::size_t>(ZoneIndexOfPlace(placeIndex))].ZoneName;
}

const std::string& TTimeZone::CountryOfPlace(int placeIndex) const {
    return Zones[static_cast<std::size_t>(ZoneIndexOfPlace(placeIndex))].Country;
}

std::string TTimeZone::PlaceTitle(int placeIndex) const {
    const std::string& country = CountryOfPlace(placeIndex);
    return Places[static_cast<std::size_t>(placeIndex)].Name + ", " + country;
}

void TTimeZone::ListCountries(TStringList& list, bool sortedNoDuplicates,
                              const TTextCompare& compare) const {
    list.clear();
    if (!sortedNoDuplicates) {
        list.reserve(Zones.size());
        for (const TZoneData& zone : Zones) {
            list.push_back(zone.Country);
        }
        return;
    }
    // Each folded name once, with its first spelling; then sorted.
    std::vector<std::pair<std::string, const std::string*>> keyed;
    keyed.reserve(Zones.size());
    for (const TZoneData& zone : Zones) {
        keyed.emplace_back(FoldCase(zone.Country), &zone.Country);
    }
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    keyed.erase(std::unique(keyed.begin(), keyed.end(),
                            [](const auto& a, const auto& b) { return a.first == b.first; }),
                keyed.end());
    if (compare) {
        std::stable_sort(keyed.begin(), keyed.end(), [&compare](const auto& a, const auto& b) {
            return compare(*a.second, *b.second) < 0;
        });
    }
    list.reserve(keyed.size());
    for (const auto& entry : keyed) {
        list.push_back(*entry.second);
    }
}

// ---------------------------------------------------------------------------
// The nearest place, kept for the readers of the record's fields

bool TTimeZone::FindNearestPlace(double latitude, double longitude, double radius) {
    const std::int32_t previous = Nearest;
    const TNearestPlace nearest = MarkNearestPlace(Places, latitude, longitude, radius);
    if (nearest.Index >= 0) {
        Nearest = nearest.Index;
    }
    return Nearest != previous;
}

std::string TTimeZone::NearestPlaceTitle() const {
    return PlaceTitle(Nearest);
}

std::vector<int> TTimeZone::PlaceMenuOrder(const TTextCompare& compare) const {
    std::vector<double> distances;
    distances.reserve(Places.size());
    for (const TTimeZonePlaces& place : Places) {
        distances.push_back(place.Distance);
    }
    return kiv::PlaceMenuOrder(Places, distances, compare);
}

} // namespace kiv
