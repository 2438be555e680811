#include <gtest/gtest.h>

#include "lockprobe.h"
#include "tarncriticalsection.h"
#include "tarnexception.h"

// With a spin count or without, the lock works the same.
using CriticalSectionSpinCountTest = testing::TestWithParam<DWORD>;

TEST_P(CriticalSectionSpinCountTest, TryLockWithoutWaitingFailsWhileAnotherThreadHoldsTheLock)
{
    Tarn::CriticalSection lock(GetParam());
    lock.Lock();
    EXPECT_FALSE(TarnTest::IsFreeForOtherThreads(lock));
    lock.Unlock();
    EXPECT_TRUE(TarnTest::IsFreeForOtherThreads(lock));
}
INSTANTIATE_TEST_SUITE_P(, CriticalSectionSpinCountTest, testing::Values(DWORD{0}, DWORD{4000}),
                         [](const testing::TestParamInfo<DWORD>& row) {
                             return std::string(row.param == 0 ? "WithoutASpinCount" : "WithASpinCount");
                         });

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
