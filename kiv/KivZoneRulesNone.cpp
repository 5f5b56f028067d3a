// The stand-in for builds without date/tz: no zone database is read, so every
// zone keeps the shipped rules.
#include "kiv/KivZoneRules.h"

#include <cstdlib>

namespace kiv {

struct TZoneRules::TImpl {};

bool TZoneRules::Supported() {
    return false;
}

TZoneRules::TZoneRules(std::string folder) : FolderName(std::move(folder)) {}

TZoneRules::~TZoneRules() = default;

std::string TZoneRules::SystemFolder() {
    const char* tzdir = std::getenv("TZDIR");
    return tzdir != nullptr && *tzdir != '\0' ? std::string(tzdir) : std::string();
}

bool TZoneRules::Usable() const {
    return false;
}

bool TZoneRules::Present() const {
    return false;
}

std::string TZoneRules::Release() const {
    return {};
}

bool TZoneRules::StateAt(std::string_view, TDateTime, TZoneState&) const {
    return false;
}

bool TZoneRules::NextChange(std::string_view, TDateTime, TDateTime&, TZoneState&, TZoneState&,
                            int) const {
    return false;
}

void TZoneRules::Refresh() const {}

std::vector<TZoneFileProblem> TZoneRules::TakeProblems() const {
    return {};
}

} // namespace kiv
