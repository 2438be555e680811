#include <gtest/gtest.h>

#include "lockprobe.h"
#include "tarncriticalsection.h"
#include "tarnexception.h"
#include "tarnsynch.h"
#include "tarntrace.h"
#include "testsupport.h"

class AutoSynchronizerTest : public testing::Test
{
protected:
    Tarn::CriticalSection m_lock;
};

TEST_F(AutoSynchronizerTest, HoldsTheLockForItsScopeOnly)
{
    {
        Tarn::AutoSynchronizer guard(&m_lock);
        EXPECT_FALSE(TarnTest::IsFreeForOtherThreads(m_lock));
    }
    EXPECT_TRUE(TarnTest::IsFreeForOtherThreads(m_lock));
}

TEST_F(AutoSynchronizerTest, DetachReleasesEarlyAndAReattachedLockIsReleasedOnceAtScopeEnd)
{
    // An outer level held by this thread shows whether the guard unlocks once too often.
    m_lock.Lock();
    {
        Tarn::AutoSynchronizer guard(&m_lock);
        guard.Detach();
        guard.Detach();
        m_lock.Unlock();
        EXPECT_TRUE(TarnTest::IsFreeForOtherThreads(m_lock));

        m_lock.Lock();
        guard.Attach(&m_lock, true);
    }
    EXPECT_FALSE(TarnTest::IsFreeForOtherThreads(m_lock));
    m_lock.Unlock();
    EXPECT_TRUE(TarnTest::IsFreeForOtherThreads(m_lock));
}

TEST_F(AutoSynchronizerTest, AttachWhileAttachedIsRefusedWithOneErrorTrace)
{
    TarnTest::DebugOutputListener listener;
    Tarn::CriticalSection other;
    {
        Tarn::AutoSynchronizer guard(&m_lock);
        EXPECT_THROW(guard.Attach(&other, true), Tarn::InvalidOperationException);
        EXPECT_THROW(guard.Attach(&other, false), Tarn::InvalidOperationException);
        EXPECT_TRUE(TarnTest::IsFreeForOtherThreads(other));
    }
    EXPECT_TRUE(TarnTest::IsFreeForOtherThreads(m_lock));
    const auto lines = listener.GetLinesContaining(" ERROR src\\tarnsynch(");
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(std::string::npos, lines[0].find(" Tarn::AutoSynchronizer::Attach(): Cannot attach new synch object "
                                               "while one is already attached\r\n"));
}

TEST_F(AutoSynchronizerTest, AttachWithoutLockingAdoptsALockTheCallerHolds)
{
    m_lock.Lock();
    {
        Tarn::AutoSynchronizer guard(nullptr);
        EXPECT_THROW(guard.Attach(nullptr, true), Tarn::ArgumentException);
        guard.Attach(nullptr, false);
        guard.Attach(&m_lock, false);
        EXPECT_FALSE(TarnTest::IsFreeForOtherThreads(m_lock));
    }
    EXPECT_TRUE(TarnTest::IsFreeForOtherThreads(m_lock));
}
