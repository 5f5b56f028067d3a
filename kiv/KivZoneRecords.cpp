#include "kiv/KivZoneRecords.h"

#include "kiv/KivErrors.h"
#include "kiv/KivZoneFields.h"

#include <algorithm>

namespace kiv {

using namespace zonefields;

namespace {

std::uint8_t LowByte(int value) {
    return static_cast<std::uint8_t>(value & 0xFF);
}

} // namespace

std::string ReleaseOfHeader(std::string_view header) {
    std::vector<std::string_view> fields;
    SplitFieldViews(header, fields);
    for (const std::string_view field : fields) {
        if (field.size() > 5 && field.size() <= 25 && field.substr(0, 5) == "IANA ") {
            const std::string_view release = field.substr(5);
            const bool plain = std::all_of(release.begin(), release.end(), [](char c) {
                return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || c == '.' || c == '-';
            });
            if (plain) {
                return std::string(release);
            }
        }
    }
    return {};
}

TStringList SplitFields(std::string_view line) {
    std::vector<std::string_view> views;
    SplitFieldViews(line, views);
    return TStringList(views.begin(), views.end());
}

double ParseUtcOffset(std::string_view text) {
    const std::size_t colon = text.find(':');
    KivAssert(colon != std::string_view::npos,
              "UTC offset " + Quoted(text) + " has no ':' between hours and minutes");
    const int hours = ParseInt(text.substr(0, colon));
    const int minutes = ParseInt(text.substr(colon + 1));
    return hours + minutes / 60.0;
}

void ParseZone(TZoneData& zone, std::string_view line, int index, const TLineSource& source) {
    std::vector<std::string_view> f;
    SplitFieldViews(line, f);
    if (f.size() < 8) {
        f.resize(8);
    }
    TZoneData z;
    z.Country = f[0];
    z.Latitude = ParseRealInRange(f[1], -90.0, 90.0, "a latitude", source);
    z.Longitude = ParseRealInRange(f[2], -180.0, 180.0, "a longitude", source);
    z.ZoneName = f[3];
    z.AbbrevFormat = f[4];
    z.UtcOffset = ParseUtcOffset(f[5]);
    CheckOffset(f[5], z.UtcOffset, source);
    z.RuleName = f[6];
    z.Extra = f[7];
    z.Index = index;
    zone = std::move(z);
}

void ParsePlace(TTimeZonePlaces& place, std::string_view line, int index,
                const TLineSource& source) {
    std::vector<std::string_view> f;
    SplitFieldViews(line, f);
    TTimeZonePlaces p;
    p.ZoneKey = Field(f, 0);
    p.Latitude = ParseRealInRange(Field(f, 1), -90.0, 90.0, "a latitude", source);
    p.Longitude = ParseRealInRange(Field(f, 2), -180.0, 180.0, "a longitude", source);
    p.Name = Field(f, 3);
    p.Index = index;
    place = std::move(p);
}

void ParseColor(TTimeZoneColor& color, std::string_view line, const TLineSource& source) {
    std::vector<std::string_view> f;
    SplitFieldViews(line, f);
    TTimeZoneColor c;
    c.Red = LowByte(ParseInt(Field(f, 0)));
    c.Green = LowByte(ParseInt(Field(f, 1)));
    c.Blue = LowByte(ParseInt(Field(f, 2)));
    const std::string_view offset = Field(f, 3);
    c.UtcOffset = ParseReal(offset, source);
    CheckOffset(offset, c.UtcOffset, source);
    color = c;
}

void SetLatLong(TLatLongRecord& record, double latitude, double longitude) {
    record.Latitude = latitude;
    record.Longitude = longitude;
}

TMapPoint LatLongToMapPoint(const TLatLongRecord& record) {
    return {static_cast<float>(RoundHalfEven(record.Longitude * 1024.0 / 360.0 + 512.0)),
            static_cast<float>(RoundHalfEven(record.Latitude * 512.0 / 180.0 + 256.0))};
}

} // namespace kiv
