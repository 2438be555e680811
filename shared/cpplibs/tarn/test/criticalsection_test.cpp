#include <gtest/gtest.h>

#include "lockprobe.h"
#include "tarncriticalsection.h"
#include "tarnexception.h"

// With a spin count or without, the lock works the same.
TEST(CriticalSectionTest, TryLockWithoutWaitingFailsWhileAnotherThreadHoldsTheLock)
{
    Tarn::CriticalSection plain;
    Tarn::CriticalSection spinning(4000);
    for (Tarn::CriticalSection* lock : {&plain, &spinning})
    {
        SCOPED_TRACE(lock == &plain ? "without a spin count" : "with a spin count");
        lock->Lock();
        EXPECT_FALSE(TarnTest::IsFreeForOtherThreads(*lock));
        lock->Unlock();
        EXPECT_TRUE(TarnTest::IsFreeForOtherThreads(*lock));
    }
}

TEST(CriticalSectionTest, HoldingThreadTakesTheLockAgainAndMustReleaseItAsOften)
{
    Tarn::CriticalSection lock;
    ASSERT_TRUE(lock.Lock());
    EXPECT_TRUE(lock.TryLock(0));
    EXPECT_TRUE(lock.TryLock(INFINITE));
    lock.Unlock();
    lock.Unlock();
    EXPECT_FALSE(TarnTest::IsFreeForOtherThreads(lock));
    lock.Unlock();
    EXPECT_TRUE(TarnTest::IsFreeForOtherThreads(lock));
}

TEST(CriticalSectionTest, TryLockAcceptsNoTimeoutOtherThanZeroAndInfinite)
{
    Tarn::CriticalSection lock;
    EXPECT_THROW(lock.TryLock(5000), Tarn::ArgumentException);
    EXPECT_THROW(lock.TryLock(1), Tarn::ArgumentException);
    EXPECT_TRUE(TarnTest::IsFreeForOtherThreads(lock));
}
