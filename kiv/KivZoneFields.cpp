#include "kiv/KivZoneFields.h"

#include "kiv/KivErrors.h"

#include <charconv>
#include <cmath>

namespace kiv::zonefields {

namespace {

constexpr double MaxOffsetHours = 14.0;

// The text without one leading "+"; `twoSigns` when a "-" follows that "+"
// ("+-1" is no number).
std::string_view WithoutPlus(std::string_view text, bool& twoSigns) {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
    }
    twoSigns = digits.size() < text.size() && !digits.empty() && digits.front() == '-';
    return digits;
}

} // namespace

void SplitFieldViews(std::string_view line, std::vector<std::string_view>& fields) {
    fields.clear();
    const std::size_t nul = line.find('\0');
    if (nul != std::string_view::npos) {
        line = line.substr(0, nul);
    }
    std::size_t start = 0;
    std::size_t i = 0;
    while (i < line.size()) {
        const char c = line[i];
        if (c == '\t' || c == '\n' || c == '\r') {
            fields.push_back(line.substr(start, i - start));
            // A CR followed by LF (a TAB counts as LF here) is one break.
            if (c == '\r' && i + 1 < line.size() && (line[i + 1] == '\n' || line[i + 1] == '\t')) {
                ++i;
            }
            ++i;
            start = i;
        } else {
            ++i;
        }
    }
    if (start < line.size()) {
        fields.push_back(line.substr(start));
    }
}

std::string_view Field(const std::vector<std::string_view>& fields, std::size_t index) {
    if (index >= fields.size()) {
        throw EListError("List index out of bounds (" + std::to_string(index) + ")");
    }
    return fields[index];
}

std::string Quoted(std::string_view text) {
    return "'" + std::string(text) + "'";
}

std::string Where(const TLineSource& source) {
    if (source.File.empty() && source.Line == 0) {
        return {};
    }
    std::string where = " (";
    where += source.File.empty() ? std::string("line ") : std::string(source.File) + ", line ";
    where += std::to_string(source.Line);
    where += ")";
    return where;
}

int ParseInt(std::string_view text) {
    bool twoSigns = false;
    const std::string_view digits = WithoutPlus(text, twoSigns);
    int value = 0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, value);
    if (digits.empty() || twoSigns || digits.front() == '+' || ec != std::errc() || ptr != end) {
        throw EConvertError(Quoted(text) + " is not a valid integer value");
    }
    return value;
}

double ParseReal(std::string_view text, const TLineSource& source) {
    bool twoSigns = false;
    const std::string_view digits = WithoutPlus(text, twoSigns);
    double value = 0;
    const char* end = digits.data() + digits.size();
    const auto [ptr, ec] = std::from_chars(digits.data(), end, value, std::chars_format::general);
    if (digits.empty() || twoSigns || digits.front() == '+' || ptr != end ||
        (ec != std::errc() && ec != std::errc::result_out_of_range)) {
        throw EConvertError(Quoted(text) + " is not a valid floating point value");
    }
    if (ec == std::errc::result_out_of_range) {
        throw EConvertError(Quoted(text) + " is beyond the range of numbers" + Where(source));
    }
    if (!std::isfinite(value)) {
        throw EConvertError(Quoted(text) + " is not a finite number" + Where(source));
    }
    return value;
}

double ParseRealInRange(std::string_view text, double low, double high, const char* what,
                        const TLineSource& source) {
    const double value = ParseReal(text, source);
    if (value < low || value > high) {
        throw EConvertError(Quoted(text) + " is out of range for " + what + Where(source));
    }
    return value;
}

void CheckOffset(std::string_view text, double hours, const TLineSource& source, const char* what) {
    if (!(hours >= -MaxOffsetHours && hours <= MaxOffsetHours)) {
        throw EConvertError(Quoted(text) + " is out of range for " + what + Where(source));
    }
}

} // namespace kiv::zonefields
