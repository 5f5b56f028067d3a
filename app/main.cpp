// Program entry. The window is not built yet: print how to use the batch mode.
#include <cstdio>

int main() {
    std::puts("usage: chronara -C FILE WIDTH");
    return 0;
}
