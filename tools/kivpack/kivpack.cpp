// kivpack: packs a data table's ".txt" source into its ".dat" form and unpacks a
// ".dat" back to text, for the people who author the shipped data.
//
//   kivpack pack   SOURCE.txt TARGET.dat [LEVEL]   (LEVEL 0..3, default 3)
//   kivpack unpack SOURCE.dat TARGET.txt
//
// The key stream of a ".dat" depends on its own file name, so a packed file must
// keep the name it was packed under.
//
// The tables are TAB-separated text, one record a line. A line of tz_dst holds
// one daylight-saving change:
//   Name, kind ("ON" or a weekday rule), weekday (1..7, 0 = Sunday), day (0 =
//   the last such weekday, n = the first on or after n; for "ON" the day),
//   month, Save (hours), letters, and optionally the time of day of the change
//   as the IANA database writes it: "1:00u" (UTC), "2:00s" (the zone's
//   standard time) or "2:00" (the clock time in force before the change).
//   Without the time the change happens at 00:00 standard time.
#include "kiv/KivData.h"
#include "kiv/KivErrors.h"
#include "kiv/KivStream.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

int Usage() {
    std::fputs("usage: kivpack pack SOURCE.txt TARGET.dat [LEVEL 0-3]\n"
               "       kivpack unpack SOURCE.dat TARGET.txt\n"
               "tz_dst lines: Name, kind, weekday, day, month, Save, letters[, time]\n"
               "  time of the change: 1:00u (UTC), 2:00s (standard time) or 2:00 (the\n"
               "  clock before the change); none: 00:00 standard time\n",
               stderr);
    return 2;
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 4) {
        return Usage();
    }
    const std::string command = argv[1];
    try {
        if (command == "pack" && argc <= 5) {
            int level = kiv::klMax;
            if (argc == 5) {
                const std::string text = argv[4];
                if (text.size() != 1 || text[0] < '0' || text[0] > '3') {
                    return Usage();
                }
                level = text[0] - '0';
            }
            kiv::CompileDataFile(argv[3], argv[2], level);
            return 0;
        }
        if (command == "unpack" && argc == 4) {
            kiv::TMemoryStream text;
            kiv::LoadFileStream(text, argv[2], true);
            kiv::SaveFileStream(text, argv[3], kiv::klNone);
            return 0;
        }
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kivpack: %s\n", e.what());
        return 1;
    }
    return Usage();
}
