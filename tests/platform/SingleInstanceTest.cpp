#include "platform/SingleInstance.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#if defined(__unix__)
#include <sys/wait.h>
#include <unistd.h>
#endif

using platform::TSingleInstance;

TEST(SingleInstance, SecondLockFailsUntilTheFirstEnds) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    auto first = std::make_unique<TSingleInstance>("Chronara", dir.path());
    EXPECT_TRUE(first->IsFirst());
    {
        TSingleInstance second("Chronara", dir.path());
        EXPECT_FALSE(second.IsFirst());
        // Another title is another program.
        TSingleInstance other("Other", dir.path());
        EXPECT_TRUE(other.IsFirst());
    }
    // The failed attempt left the first copy's lock alone.
    EXPECT_TRUE(QFile::exists(first->LockPath()));
    first.reset();
    TSingleInstance third("Chronara", dir.path());
    EXPECT_TRUE(third.IsFirst());
}

#if defined(__unix__)
// A copy that died without releasing its lock does not keep the next start away.
TEST(SingleInstance, ALockLeftByADeadCopyIsTakenOver) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const pid_t child = fork();
    if (child == 0) {
        auto* held = new TSingleInstance("Chronara", dir.path());
        _exit(held->IsFirst() ? 0 : 1); // never released: the process just ends
    }
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    TSingleInstance next("Chronara", dir.path());
    EXPECT_TRUE(QFile::exists(next.LockPath()));
    EXPECT_TRUE(next.IsFirst());
}
#endif
