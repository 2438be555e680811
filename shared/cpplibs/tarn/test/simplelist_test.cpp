#include <gtest/gtest.h>

#include <vector>

#include "containertestsupport.h"
#include "tarnexception.h"
#include "tarnsimplelist.h"
#include "tarntrace.h"
#include "testsupport.h"

using Tarn::Containers::SimpleList;
using TarnTest::Enumerate;

class SimpleListTest : public ::testing::Test
{
protected:
    SimpleList<int> m_list;
};

TEST_F(SimpleListTest, AddAppendsAndReturnsTheNewIndexAddFirstPrepends)
{
    EXPECT_EQ(0u, m_list.Add(2));
    EXPECT_EQ(1u, m_list.Add(3));
    m_list.AddFirst(1);
    EXPECT_EQ(3u, m_list.GetCount());
    EXPECT_EQ((std::vector<int>{1, 2, 3}), Enumerate(m_list));

    SimpleList<int> other;
    other.AddFirst(5);
    EXPECT_EQ(1u, other.Add(6));
    EXPECT_EQ((std::vector<int>{5, 6}), Enumerate(other));
}

TEST_F(SimpleListTest, IndexedAccessRejectsIndicesFromTheCountOn)
{
    m_list.Add(1);
    m_list.Add(2);
    m_list.SetAt(1, 20);
    EXPECT_EQ(20, m_list.GetAt(1));
    EXPECT_THROW(m_list.GetAt(2), Tarn::ArgumentException);
    EXPECT_THROW(m_list.SetAt(2, 0), Tarn::ArgumentException);
    EXPECT_THROW(m_list.RemoveAt(2), Tarn::ArgumentException);
}

TEST_F(SimpleListTest, RemoveAtKeepsHeadAndTailRight)
{
    for (int value = 1; value <= 4; ++value)
    {
        m_list.Add(value);
    }
    m_list.RemoveAt(3);
    m_list.Add(5);
    m_list.RemoveAt(0);
    m_list.RemoveAt(1);
    EXPECT_EQ((std::vector<int>{2, 5}), Enumerate(m_list));
    m_list.RemoveAt(1);
    m_list.RemoveAt(0);
    EXPECT_EQ(0u, m_list.GetCount());
    m_list.Add(7);
    m_list.AddFirst(6);
    EXPECT_EQ((std::vector<int>{6, 7}), Enumerate(m_list));
}

TEST_F(SimpleListTest, EnumerationIsForwardOnlyAndTracesPositionsWithoutElement)
{
    m_list.Add(1);
    Tarn::Enumerator<int> enumerator = m_list.GetEnumerator();
    TarnTest::DebugOutputListener listener;

    EXPECT_THROW(enumerator.GetCurrent(), Tarn::InvalidOperationException);
    ASSERT_TRUE(enumerator.MoveNext());
    EXPECT_THROW(enumerator.MovePrevious(), Tarn::InvalidOperationException);
    EXPECT_EQ(1, *enumerator);
    EXPECT_FALSE(enumerator.MoveNext());
    EXPECT_FALSE(enumerator.MoveNext());
    EXPECT_THROW(enumerator.GetCurrent(), Tarn::InvalidOperationException);

    const auto lines = listener.GetLinesContaining(" ERROR tarnsimplelist(");
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(lines[1].find(" Tarn::Containers::SimpleList<int>::GetCurrentEnumeratorItem(): Invalid enumerator state\r\n"),
              std::string::npos)
        << lines[1];
}

TEST_F(SimpleListTest, AddItemsIsNotProvidedAndSaysSoAtWarningLevel)
{
    Tarn::SetTraceLevel(Tarn::TraceLevel::Warning);
    TarnTest::ScriptedContainer source({1, 2});
    TarnTest::DebugOutputListener listener;

    EXPECT_THROW(m_list.AddItems(source), Tarn::NotImplementedException);

    EXPECT_EQ(0u, m_list.GetCount());
    const auto lines = listener.GetLinesContaining("Not implemented");
    ASSERT_EQ(1u, lines.size());
    EXPECT_NE(lines[0].find(" WARNING tarnsimplelist("), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(" Tarn::Containers::SimpleList<int>::AddItems(): Not implemented\r\n"), std::string::npos)
        << lines[0];
}

TEST_F(SimpleListTest, CopyFromReplacesTheContentInOrderAndCopyingItselfKeepsIt)
{
    m_list.Add(9);
    SimpleList<int> source;
    source.Add(1);
    source.Add(2);
    m_list.CopyFrom(source);
    EXPECT_EQ((std::vector<int>{1, 2}), Enumerate(m_list));
    EXPECT_EQ((std::vector<int>{1, 2}), Enumerate(source));
    m_list.CopyFrom(m_list);
    EXPECT_EQ((std::vector<int>{1, 2}), Enumerate(m_list));
    m_list.Add(3);
    EXPECT_EQ((std::vector<int>{1, 2, 3}), Enumerate(m_list));
}

TEST_F(SimpleListTest, DestructionFreesEveryNodeEvenWhenElementDestructorsThrow)
{
    TarnTest::DebugOutputListener listener;
    EXPECT_EQ(3, TarnTest::DestroyListOfArmedGrenades<SimpleList<TarnTest::Grenade>>());
    const auto lines = listener.GetLinesContaining("Exception caught. Error code: 0x8000FFFF");
    ASSERT_EQ(3u, lines.size());
    EXPECT_NE(lines[2].find(" ERROR tarnsimplelist("), std::string::npos) << lines[2];
    EXPECT_NE(lines[2].find("::Grenade>::~SimpleList(): "), std::string::npos) << lines[2];
}
