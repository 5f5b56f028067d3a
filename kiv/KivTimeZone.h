// The time-zone database: the zones with their standard offsets and
// daylight-saving rule pairs, the places with their coordinates, and the
// zone-colour table of the zone map; loading them from the four packed tables
// of data/, and the lookups by name the program asks of them.
//
// The process holds one database, `ZoneDB`, loaded once at start-up and read
// afterwards; only the nearest-place query of the record writes its working
// fields. Every operation works on a TTimeZone, so tests build databases of
// their own.
//
// The local times come from the rule engine (KivZoneRuleEngine.h) and the
// nearest places from the place search (KivPlaceSearch.h); the record offers
// both over its own tables as well.
#pragma once

#include "kiv/KivData.h"
#include "kiv/KivDateTime.h"
#include "kiv/KivPlaceSearch.h"
#include "kiv/KivText.h"
#include "kiv/KivZoneRecords.h"
#include "kiv/KivZoneRuleEngine.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kiv {

class TZoneRules;

// The zone database.
struct TTimeZone {
    std::vector<TTimeZoneColor> Colors;
    std::vector<TTimeZonePlaces> Places;
    std::vector<TZoneData> Zones;
    std::vector<TTimeZoneDSTRule> Rules;
    std::int32_t Nearest = 0; // index of the place nearest the last query point
    // The machine's zone database (kiv/KivZoneRules.h): the local-time queries
    // ask it first for every zone it knows, and take the shipped rules for the
    // others. None: the shipped rules answer alone. Clear and LoadDatabase keep it.
    std::shared_ptr<const TZoneRules> RunTimeRules;
    // The IANA release the shipped rules were made from ("2026f"), as the zone
    // table's header line names it in a field "IANA <release>"; empty when it
    // names none.
    std::string ShippedRelease;

    // Empties every array and resets Nearest.
    void Clear();

    // Loads data\tz_colors.dat, data\moreplaces.dat, data\tz_data.dat and
    // data\tz_dst.dat from `dir` (the program's directory when empty), compiles
    // the rules for `ruleYear` (the local year of CurrentClock() when omitted)
    // and checks that every place links to a zone. Raises on the first fault;
    // the arrays loaded before the faulty file stay, the faulty file's array
    // keeps its full length with the entries before the faulty line filled, and
    // later arrays stay empty.
    void LoadDatabase(const std::string& dir = {});
    void LoadDatabase(const std::string& dir, int ruleYear);

    // The first zone whose ZoneName equals the name (letter case ignored);
    // raises "Could not locate Zone for "<name>"".
    const TZoneData& FindZone(std::string_view zoneName) const;
    // The zone of a place by the link rule: the first zone whose ZoneName
    // contains the place's ZoneKey (letter case ignored). Raises
    // EAssertionFailed for an index outside Places and "There is a link error in
    // the database" when no zone matches.
    int ZoneIndexOfPlace(int placeIndex) const;
    // The first zone whose ZoneName contains the key; -1 when none (or empty key).
    int ZoneIndexOfKey(std::string_view zoneKey) const;
    // The indexes of the first two rules of the name (letter case ignored);
    // raises "Insufficient Rules for "<name>"".
    std::pair<int, int> FindRulePair(std::string_view ruleName) const;

    // The clocks of the zones by this database's rules (see TZoneClock).
    TZoneClock Clock() const { return TZoneClock(Rules, RunTimeRules.get()); }
    // TZoneClock::LocalTime of the zone (by name: FindZone) now or at the UTC instant.
    TDateTime ZoneLocalTime(std::string_view zoneName, std::string& abbreviation,
                            std::int32_t& minutes) const;
    TDateTime ZoneLocalTime(std::string_view zoneName, TDateTime utc, std::string& abbreviation,
                            std::int32_t& minutes) const;
    TDateTime ZoneLocalTime(const TZoneData& zone, TDateTime utc, std::string& abbreviation,
                            std::int32_t& minutes) const;
    // TZoneClock::NextChange and UsesRunTimeRules.
    bool NextClockChange(const TZoneData& zone, TDateTime utc, TClockChange& change) const;
    bool UsesRunTimeRules(const TZoneData& zone) const;

    // The first place whose Name equals the name (letter case ignored); -1 when none.
    int IndexOfPlace(std::string_view placeName) const;
    // The first place of the name whose zone (by the link rule) belongs to the
    // country, both compared with letter case ignored; -1 when none.
    int IndexOfPlaceInCountry(std::string_view placeName, std::string_view country) const;
    const std::string& ZoneNameOfPlace(int placeIndex) const;
    const std::string& CountryOfPlace(int placeIndex) const;
    // "<Name>, <Country>".
    std::string PlaceTitle(int placeIndex) const;
    // Replaces the list by the Country of every zone, in zone order; with
    // `sortedNoDuplicates`, each country once (the first spelling of names that
    // differ only in letter case), sorted by `compare` (CompareText when empty).
    void ListCountries(TStringList& list, bool sortedNoDuplicates = false,
                       const TTextCompare& compare = {}) const;

    // The nearest-place query with its answer kept in the record, for the
    // readers of its fields: sets Distance and InRange (Distance <= radius) of
    // every place and makes Nearest the closest (ties to the lower index); true
    // when Nearest changed. New code asks kiv::FindNearestPlace for the answer.
    bool FindNearestPlace(double latitude, double longitude, double radius);
    // PlaceTitle(Nearest).
    std::string NearestPlaceTitle() const;
    // The place menu by the places' Distance fields (the last FindNearestPlace).
    std::vector<int> PlaceMenuOrder(const TTextCompare& compare = {}) const;
};

// The process's database.
extern TTimeZone ZoneDB;

} // namespace kiv
