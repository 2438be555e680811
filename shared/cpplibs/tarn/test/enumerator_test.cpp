#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "containertestsupport.h"
#include "tarncontainerenumerator.h"
#include "tarnenumerator.h"
#include "tarnexception.h"
#include "testsupport.h"

using Tarn::Containers::ContainerEnumerator;
using TarnTest::ScriptedContainer;

class EnumeratorTest : public ::testing::Test
{
protected:
    ScriptedContainer m_container{{10, 20, 30}};
};

TEST_F(EnumeratorTest, EachEnumeratorGivesItsStateBackExactlyOnce)
{
    {
        Tarn::Enumerator<int> first = m_container.GetEnumerator();
        Tarn::Enumerator<int> moved(std::move(first));
        Tarn::Enumerator<int> second = m_container.GetEnumerator();
        second = std::move(moved);
        EXPECT_EQ(1, m_container.GetStatesDestroyed());
        second.Close();
        EXPECT_EQ(2, m_container.GetStatesDestroyed());
    }
    EXPECT_EQ(2, m_container.GetStatesCreated());
    EXPECT_EQ(2, m_container.GetStatesDestroyed());
}

TEST_F(EnumeratorTest, CloneContinuesIndependentlyFromTheSamePosition)
{
    Tarn::Enumerator<int> original = m_container.GetEnumerator();
    ASSERT_TRUE(original.MoveNext());
    ASSERT_TRUE(original.MoveNext());
    {
        Tarn::Enumerator<int> clone = original.Clone();
        EXPECT_EQ(2, m_container.GetStatesCreated());
        EXPECT_EQ(20, *clone);
        ASSERT_TRUE(original.MoveNext());
        EXPECT_EQ(30, *original);
        EXPECT_EQ(20, *clone);
        clone.Reset();
        ASSERT_TRUE(clone.MoveNext());
        EXPECT_EQ(10, *clone);
        EXPECT_EQ(30, *original);
    }
    EXPECT_EQ(1, m_container.GetStatesDestroyed());
}

TEST_F(EnumeratorTest, EveryOperationOfAClosedOrMovedFromEnumeratorThrowsInvalidOperation)
{
    Tarn::Enumerator<int> closed = m_container.GetEnumerator();
    closed.Close();
    closed.Close();
    Tarn::Enumerator<int> movedFrom = m_container.GetEnumerator();
    Tarn::Enumerator<int> target(std::move(movedFrom));

    for (Tarn::Enumerator<int>* enumerator : {&closed, &movedFrom})
    {
        EXPECT_THROW(enumerator->Reset(), Tarn::InvalidOperationException);
        EXPECT_THROW(enumerator->MoveNext(), Tarn::InvalidOperationException);
        EXPECT_THROW(enumerator->MovePrevious(), Tarn::InvalidOperationException);
        EXPECT_THROW(enumerator->GetCurrent(), Tarn::InvalidOperationException);
        EXPECT_THROW(enumerator->Clone(), Tarn::InvalidOperationException);
    }
    EXPECT_TRUE(target.MoveNext());
}

TEST_F(EnumeratorTest, NullObjectsAreRejectedWithArgumentException)
{
    EXPECT_THROW(Tarn::Enumerator<int>(nullptr), Tarn::ArgumentException);
    EXPECT_THROW(new ContainerEnumerator<int>(nullptr, 0), Tarn::ArgumentException);
}

TEST_F(EnumeratorTest, FailureToGiveTheStateBackIsTracedNotThrown)
{
    class FailingOnDestroy : public ScriptedContainer
    {
    public:
        FailingOnDestroy() : ScriptedContainer({1}) {}
        void DestroyEnumeratorState(Tarn::Containers::EnumeratorState state) override
        {
            ScriptedContainer::DestroyEnumeratorState(state);
            throw Tarn::SystemException(E_ACCESSDENIED);
        }
    } container;
    TarnTest::DebugOutputListener listener;

    container.GetEnumerator().Close();

    const auto lines = listener.GetLinesContaining("Exception caught. Error code: 0x80070005");
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(lines[0].find(" ERROR tarncontainerenumerator("), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("Tarn::Containers::ContainerEnumerator<int>::~ContainerEnumerator(): "), std::string::npos)
        << lines[0];
}

TEST_F(EnumeratorTest, LastTwoReferencesReleasedByTwoThreadsDestroyTheEnumeratorOnce)
{
    // Two long-lived threads meet at every round and release one reference each at the same moment.
    const int rounds = 5000;
    std::atomic<Tarn::IEnumeratorImpl<int>*> shared{nullptr};
    std::atomic<int> round{0};
    std::atomic<int> released{0};
    auto releaser = [&] {
        for (int expected = 1; expected <= rounds; ++expected)
        {
            while (round.load() != expected)
            {
                std::this_thread::yield();
            }
            shared.load()->Release();
            ++released;
        }
    };
    std::thread first(releaser);
    std::thread second(releaser);
    for (int current = 1; current <= rounds; ++current)
    {
        shared = new ContainerEnumerator<int>(&m_container, m_container.CreateEnumeratorState());
        shared.load()->AddRef();
        released = 0;
        round = current;
        while (released.load() != 2)
        {
            std::this_thread::yield();
        }
    }
    first.join();
    second.join();
    EXPECT_EQ(rounds, m_container.GetStatesCreated());
    EXPECT_EQ(rounds, m_container.GetStatesDestroyed());
}
