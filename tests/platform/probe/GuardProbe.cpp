// Helper of the single-instance tests: tries the guard once, as a second
// program would, and tells the result by its exit status.
//   guard_probe TITLE DIR   exit 0: it got the guard; 3: a copy holds it
#include "platform/SingleInstance.h"

int main(int argc, char* argv[]) {
    if (argc < 3) {
        return 2;
    }
    const platform::TSingleInstance instance(argv[1], argv[2]);
    return instance.IsFirst() ? 0 : 3;
}
