#include "app/commandline/ZoneRulesText.h"

#include "app/commandline/DataFiles.h"
#include "kiv/KivData.h"
#include "kiv/KivLang.h"
#include "kiv/KivPath.h"
#include "kiv/KivTimeZone.h"

#include <cstdlib>
#include <memory>

namespace app {

namespace {

std::string Fill(std::string text, std::string_view placeholder, std::string_view value) {
    const std::size_t at = text.find(placeholder);
    if (at != std::string::npos) {
        text.replace(at, placeholder.size(), value);
    }
    return text;
}

const char* FaultText(kiv::TZoneFileFault fault) {
    switch (fault) {
    case kiv::TZoneFileFault::Missing:
        return strings::ZoneFileMissing;
    case kiv::TZoneFileFault::NotAFile:
        return strings::ZoneFileNotAFile;
    case kiv::TZoneFileFault::Unreadable:
        return strings::ZoneFileUnreadable;
    case kiv::TZoneFileFault::NotZoneFile:
        return strings::ZoneFileNotZoneFile;
    case kiv::TZoneFileFault::Truncated:
        return strings::ZoneFileTruncated;
    case kiv::TZoneFileFault::Damaged:
        break;
    }
    return strings::ZoneFileDamaged;
}

// The language code of the user's messages ("de" of "de_DE.UTF-8").
std::string MessageLanguage() {
    for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(name);
        if (value != nullptr && *value != '\0') {
            std::string code(value);
            code = code.substr(0, code.find_first_of(":_.@"));
            const bool letters =
                !code.empty() && code.size() <= 3 &&
                code.find_first_not_of("abcdefghijklmnopqrstuvwxyz") == std::string::npos;
            return letters ? code : std::string();
        }
    }
    return {};
}

} // namespace

void UseZoneFolder(kiv::TTimeZone& db, const std::string& folder) {
    db.RunTimeRules.reset();
    if (folder == "-") {
        return;
    }
    auto rules = std::make_shared<kiv::TZoneRules>(folder.empty() ? kiv::TZoneRules::SystemFolder()
                                                                  : folder);
    if (rules->Present()) {
        db.RunTimeRules = std::move(rules);
    }
}

std::string ZoneRulesLine(const kiv::TTimeZone& db, const TTranslateText& translate) {
    const bool system = db.RunTimeRules && db.RunTimeRules->Usable();
    const std::string release = system ? db.RunTimeRules->Release() : db.ShippedRelease;
#if defined(_WIN32)
    const char* database = strings::ZoneRulesText;
#else
    const char* database = strings::ZoneRulesSystem;
#endif
    std::string line =
        Fill(translate(system ? database : strings::ZoneRulesShipped), "%1", release);
    while (!line.empty() && line.back() == ' ') {
        line.pop_back();
    }
    return line;
}

std::string ZoneFileMessage(const kiv::TZoneFileProblem& problem, const TTranslateText& translate) {
    std::string text =
        translate(problem.Zone.empty() ? strings::ZoneDatabaseUnusable : strings::ZoneFileUnusable);
    text = Fill(std::move(text), "%1", problem.File);
    text = Fill(std::move(text), "%2", translate(FaultText(problem.Fault)));
    return Fill(std::move(text), "%3", problem.Zone);
}

std::string ZoneRulesLineForProgram(const std::string& programDir) {
    kiv::TTimeZone db;
    try {
        kiv::TStringList lines;
        kiv::LoadDataList(lines, kiv::ProgramPath(datafiles::ZoneRules, programDir));
        if (!lines.empty()) {
            db.ShippedRelease = kiv::ReleaseOfHeader(lines.front());
        }
    } catch (const std::exception&) {
        // No tables: the line names no release.
    }
    UseZoneFolder(db, {});
    kiv::TLangTable table;
    if (!table.LoadFile(kiv::ProgramPath("lang.txt", programDir))) {
        const std::string language = MessageLanguage();
        if (!language.empty()) {
            table.LoadFile(kiv::ProgramPath("lang/" + language + "/lang.txt", programDir));
        }
    }
    return ZoneRulesLine(db, [&table](std::string_view english) {
        return table.Translate("STRING_TABLE", english);
    });
}

} // namespace app
