// A disk that fills up, for one scope: every write of this process beyond
// `bytes` into a file fails as on a full disk (the file-size limit, which any
// user may lower, with its signal ignored), whatever file system the test runs
// on. The limit and the signal's handler are put back at the end.
#pragma once

#include <csignal>
#include <sys/resource.h>

namespace testsupport {

class TFullDisk {
public:
    explicit TFullDisk(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &Old);
        OldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = Old;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~TFullDisk() {
        setrlimit(RLIMIT_FSIZE, &Old);
        std::signal(SIGXFSZ, OldHandler);
    }
    TFullDisk(const TFullDisk&) = delete;
    TFullDisk& operator=(const TFullDisk&) = delete;

private:
    rlimit Old{};
    void (*OldHandler)(int) = nullptr;
};

} // namespace testsupport
