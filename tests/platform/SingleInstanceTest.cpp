#include "platform/SingleInstance.h"

#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

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
