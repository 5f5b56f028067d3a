#include "platform/SingleInstance.h"

#include "tests/RunProgram.h"
#include "tests/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#if defined(_WIN32)
#include <process.h>
#else
#include <sys/wait.h>
#include <unistd.h>
#endif

using platform::TSingleInstance;
using testsupport::TempDir;

namespace {

// A title of this test run's own: on Windows the guard is session-wide, and a
// Chronara the user has open must neither disturb the tests nor be disturbed.
std::string TestTitle(const std::string& base) {
#if defined(_WIN32)
    return base + "-test-" + std::to_string(_getpid());
#else
    return base + "-test-" + std::to_string(getpid());
#endif
}

std::filesystem::path Probe() {
#if defined(_WIN32)
    return std::filesystem::path(CHRONARA_BIN_DIR) / "guard_probe.exe";
#else
    return std::filesystem::path(CHRONARA_BIN_DIR) / "guard_probe";
#endif
}

} // namespace

TEST(SingleInstance, SecondLockFailsUntilTheFirstEnds) {
    TempDir dir;
    const std::string title = TestTitle("Chronara");
    auto first = std::make_unique<TSingleInstance>(title, dir.Path.string());
    EXPECT_TRUE(first->IsFirst());
    {
        TSingleInstance second(title, dir.Path.string());
        EXPECT_FALSE(second.IsFirst());
        // Another title is another program.
        TSingleInstance other(TestTitle("Other"), dir.Path.string());
        EXPECT_TRUE(other.IsFirst());
    }
    // The failed attempt left the first copy's guard alone.
#if !defined(_WIN32)
    EXPECT_TRUE(std::filesystem::exists(first->LockPath()));
#endif
    TSingleInstance stillHeld(title, dir.Path.string());
    EXPECT_FALSE(stillHeld.IsFirst());
    first.reset();
}

// The guard as a second program meets it: a process of its own is refused while
// this one holds the guard, and gets it once this one lets go.
TEST(SingleInstance, ASecondProcessIsRefusedWhileTheFirstRuns) {
    TempDir dir;
    const std::string title = TestTitle("Chronara");
    auto first = std::make_unique<TSingleInstance>(title, dir.Path.string());
    ASSERT_TRUE(first->IsFirst());
    EXPECT_EQ(testsupport::RunProgram(Probe(), {title, dir.Path.string()}, dir.Path).Status, 3);
    first.reset();
    EXPECT_EQ(testsupport::RunProgram(Probe(), {title, dir.Path.string()}, dir.Path).Status, 0);
}

#if defined(__unix__)
// A copy that died without releasing its lock does not keep the next start away.
TEST(SingleInstance, ALockLeftByADeadCopyIsTakenOver) {
    TempDir dir;
    const pid_t child = fork();
    if (child == 0) {
        auto* held = new TSingleInstance("Chronara", dir.Path.string());
        _exit(held->IsFirst() ? 0 : 1); // never released: the process just ends
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    TSingleInstance next("Chronara", dir.Path.string());
    EXPECT_TRUE(std::filesystem::exists(next.LockPath()));
    EXPECT_TRUE(next.IsFirst());
}
#endif
