#include <gtest/gtest.h>

#include "lockprobe.h"
#include "tarncriticalsection.h"
#include "tarnexception.h"

TEST(CriticalSectionTest, TryLockWithoutWaitingFailsWhileAnotherThreadHoldsTheLock)
{
    Tarn::CriticalSection lock;
    lock.Lock();
    EXPECT_FALSE(TarnTest::IsFreeForOtherThreads(lock));
    lock.Unlock();
    EXPECT_TRUE(TarnTest::IsFreeForOtherThreads(lock));
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

TEST(CriticalSectionTest, SpinCountGivesAnEquallyWorkingLock)
{
    Tarn::CriticalSection lock(4000);
    lock.Lock();
    EXPECT_FALSE(TarnTest::IsFreeForOtherThreads(lock));
    lock.Unlock();
    EXPECT_TRUE(TarnTest::IsFreeForOtherThreads(lock));
}
