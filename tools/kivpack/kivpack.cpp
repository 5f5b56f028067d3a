// kivpack: packs a data table's ".txt" source into its ".dat" form and unpacks a
// ".dat" back to text, for the people who author the shipped data.
//
//   kivpack pack   SOURCE.txt TARGET.dat [LEVEL]   (LEVEL 0..3, default 3)
//   kivpack unpack SOURCE.dat TARGET.txt
//
// The key stream of a ".dat" depends on its own file name, so a packed file must
// keep the name it was packed under.
#include "kiv/KivData.h"
#include "kiv/KivErrors.h"
#include "kiv/KivStream.h"

#include <cstdio>
#include <exception>
#include <string>

namespace {

int Usage() {
    std::fputs("usage: kivpack pack SOURCE.txt TARGET.dat [LEVEL 0-3]\n"
               "       kivpack unpack SOURCE.dat TARGET.txt\n",
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
