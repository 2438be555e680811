#include <gtest/gtest.h>

#include <thread>

#include "tarnevent.h"
#include "tarnexception.h"

class EventTest : public testing::Test
{
protected:
    Tarn::Event m_event;
};

TEST_F(EventTest, EventNeverCreatedCannotBeWaitedFor)
{
    EXPECT_EQ(nullptr, m_event.GetHandle());
    EXPECT_THROW(m_event.WaitFor(0), Tarn::InvalidOperationException);
    EXPECT_THROW(m_event.IsSet(), Tarn::InvalidOperationException);
    m_event.Close();
}

TEST_F(EventTest, WaitOnAnUnsignalledEventReturnsFalseAfterTheTimeout)
{
    m_event.Create(true, false);
    const ULONGLONG start = ::GetTickCount64();
    EXPECT_FALSE(m_event.WaitFor(200));
    EXPECT_GE(::GetTickCount64() - start, 150u);
    EXPECT_FALSE(m_event.IsSet());
}

TEST_F(EventTest, SetFromAnotherThreadWakesTheWaiterAndAManualResetEventStaysSet)
{
    m_event.Create(true, false);
    std::thread setter([this] {
        ::Sleep(50);
        m_event.Set();
    });
    EXPECT_TRUE(m_event.WaitFor(10000));
    setter.join();
    EXPECT_TRUE(m_event.IsSet());
    EXPECT_TRUE(m_event.WaitFor(0));
}

TEST_F(EventTest, CloseReleasesTheHandleOnce)
{
    m_event.Create(true, true);
    const HANDLE handle = m_event.GetHandle();
    m_event.Close();
    EXPECT_EQ(nullptr, m_event.GetHandle());
    DWORD flags = 0;
    EXPECT_FALSE(::GetHandleInformation(handle, &flags));
    m_event.Close();
}

TEST_F(EventTest, SecondCreateIsRefusedAndKeepsTheFirstEvent)
{
    m_event.Create(true, true);
    const HANDLE handle = m_event.GetHandle();
    EXPECT_THROW(m_event.Create(true, false), Tarn::InvalidOperationException);
    EXPECT_EQ(handle, m_event.GetHandle());
    EXPECT_TRUE(m_event.IsSet());
}
