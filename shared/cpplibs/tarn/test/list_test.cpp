#include <gtest/gtest.h>

#include <cstddef>
#include <utility>
#include <vector>

#include "containertestsupport.h"
#include "tarnexception.h"
#include "tarnlist.h"
#include "testsupport.h"

using Tarn::Containers::List;
using Tarn::Containers::Node;
using TarnTest::Enumerate;
using TarnTest::EnumerateBackwards;
using TarnTest::Grenade;

namespace
{
    // Far beyond what the heap can give, but not so large that sizing an array overflows.
    std::size_t ImpossibleSize()
    {
        volatile std::size_t size = ~static_cast<std::size_t>(0) / 4;
        return size;
    }

    // An element whose copy allocates a block of a size it carries, so that a copy can be made to
    // fail in the allocator.
    class Blob
    {
    public:
        Blob(int id, std::size_t copySize) : m_id(id), m_copySize(copySize), m_bytes(nullptr) {}
        Blob(const Blob& other) : m_id(other.m_id), m_copySize(other.m_copySize), m_bytes(new char[other.m_copySize]) {}
        Blob& operator=(const Blob& other)
        {
            Blob copy(other);
            std::swap(m_id, copy.m_id);
            std::swap(m_copySize, copy.m_copySize);
            std::swap(m_bytes, copy.m_bytes);
            return *this;
        }
        ~Blob() { delete[] m_bytes; }

        int GetId() const { return m_id; }

    private:
        int m_id;
        std::size_t m_copySize;
        char* m_bytes;
    };

    // Records the values of the nodes it is told about, in order.
    class RecordingList : public List<int>
    {
    public:
        std::vector<int> Removed;

    protected:
        void OnItemRemoving(Node<int>* node) override { Removed.push_back(node->Value); }
    };
}

class ListTest : public ::testing::Test
{
protected:
    static void Fill(List<int>& list, std::initializer_list<int> values)
    {
        for (int value : values)
        {
            list.Add(value);
        }
    }

    static void ExpectContent(List<int>& list, std::vector<int> expected)
    {
        EXPECT_EQ(expected.size(), list.GetCount());
        EXPECT_EQ(expected, Enumerate(list));
        std::vector<int> reversed(expected.rbegin(), expected.rend());
        EXPECT_EQ(EnumerateBackwards(list), reversed);
    }

    List<int> m_list;
};

TEST_F(ListTest, EmptyListEnumerationFindsNoElementInEitherDirection)
{
    Tarn::Enumerator<int> enumerator = m_list.GetEnumerator();
    EXPECT_FALSE(enumerator.MoveNext());
    EXPECT_FALSE(enumerator.MovePrevious());
    EXPECT_FALSE(enumerator.MovePrevious());
    EXPECT_FALSE(enumerator.MoveNext());
}

TEST_F(ListTest, EnumerationWalksBothWaysAndStopsAtEachEnd)
{
    Fill(m_list, {1, 2, 3});
    Tarn::Enumerator<int> enumerator = m_list.GetEnumerator();
    EXPECT_FALSE(enumerator.MovePrevious());
    ASSERT_TRUE(enumerator.MoveNext());
    EXPECT_EQ(1, *enumerator);
    while (enumerator.MoveNext())
    {
    }
    EXPECT_FALSE(enumerator.MoveNext());
    std::vector<int> visited;
    while (enumerator.MovePrevious())
    {
        visited.push_back(*enumerator);
    }
    EXPECT_EQ((std::vector<int>{3, 2, 1}), visited);
    EXPECT_FALSE(enumerator.MovePrevious());
    ASSERT_TRUE(enumerator.MoveNext());
    EXPECT_EQ(1, *enumerator);
    enumerator.Reset();
    EXPECT_FALSE(enumerator.MovePrevious());
}

TEST_F(ListTest, CurrentElementAtEitherEndThrowsInvalidOperationAfterAnErrorTrace)
{
    Fill(m_list, {1});
    Tarn::Enumerator<int> enumerator = m_list.GetEnumerator();
    TarnTest::DebugOutputListener listener;

    EXPECT_THROW(enumerator.GetCurrent(), Tarn::InvalidOperationException);
    enumerator.MoveNext();
    enumerator.MoveNext();
    EXPECT_THROW(enumerator.GetCurrent(), Tarn::InvalidOperationException);

    const auto lines = listener.GetLinesContaining("Invalid enumerator state");
    ASSERT_EQ(2u, lines.size());
    EXPECT_NE(lines[0].find(" ERROR tarnlistbase("), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find(" Tarn::Containers::ListBase<int>::GetCurrentEnumeratorItem(): Invalid enumerator state\r\n"),
              std::string::npos)
        << lines[0];
}

TEST_F(ListTest, ElementsAreAddedAtEitherEndWithTheirIndices)
{
    EXPECT_EQ(0u, m_list.Add(2));
    EXPECT_EQ(1u, m_list.Add(3));
    EXPECT_EQ(1, m_list.AddFirst(1)->Value);
    EXPECT_EQ(4, m_list.AddLast(4)->Value);
    ExpectContent(m_list, {1, 2, 3, 4});
}

TEST_F(ListTest, InsertAtLinksAtEveryPositionUpToTheCount)
{
    m_list.InsertAt(0, 20);
    ExpectContent(m_list, {20});
    m_list.InsertAt(1, 40);
    m_list.InsertAt(0, 10);
    m_list.InsertAt(2, 30);
    ExpectContent(m_list, {10, 20, 30, 40});
    EXPECT_THROW(m_list.InsertAt(5, 60), Tarn::ArgumentException);
    ExpectContent(m_list, {10, 20, 30, 40});
}

TEST_F(ListTest, IndexedAccessReachesEveryElementAndRejectsIndicesFromTheCountOn)
{
    Fill(m_list, {1, 2, 3});
    m_list.SetAt(0, 10);
    m_list.SetAt(1, 20);
    m_list.SetAt(2, 30);
    const List<int>& constList = m_list;
    EXPECT_EQ(10, constList.GetAt(0));
    EXPECT_EQ(20, constList.GetAt(1));
    EXPECT_EQ(30, constList.GetAt(2));
    EXPECT_THROW(m_list.GetAt(3), Tarn::ArgumentException);
    EXPECT_THROW(m_list.SetAt(3, 0), Tarn::ArgumentException);
    EXPECT_THROW(m_list.RemoveAt(3), Tarn::ArgumentException);
    ExpectContent(m_list, {10, 20, 30});
}

TEST_F(ListTest, RemovalUnlinksHeadMiddleAndTailAndCallsTheHookFirst)
{
    RecordingList list;
    Fill(list, {1, 2, 3, 4, 5});
    list.RemoveAt(2);
    list.RemoveAt(0);
    list.RemoveAt(2);
    ExpectContent(list, {2, 4});
    list.Clear();
    ExpectContent(list, {});
    EXPECT_EQ((std::vector<int>{3, 1, 5, 2, 4}), list.Removed);
    list.Add(7);
    ExpectContent(list, {7});
}

TEST_F(ListTest, AppendMovesTheNodesAndEmptiesTheOtherList)
{
    Fill(m_list, {1, 2});
    List<int> other;
    const Node<int>* three = other.AddLast(3);
    other.AddLast(4);

    m_list.Append(other);
    ExpectContent(m_list, {1, 2, 3, 4});
    ExpectContent(other, {});
    EXPECT_EQ(&m_list.GetAt(2), &three->Value);

    m_list.Append(m_list);
    ExpectContent(m_list, {1, 2, 3, 4});
    other.Append(m_list);
    ExpectContent(other, {1, 2, 3, 4});
    ExpectContent(m_list, {});
    other.Append(m_list);
    ExpectContent(other, {1, 2, 3, 4});
}

TEST_F(ListTest, AddItemsAppendsCopiesOfAnyEnumerableIncludingItself)
{
    Fill(m_list, {1, 2});
    TarnTest::ScriptedContainer source({3, 4});
    m_list.AddItems(source);
    ExpectContent(m_list, {1, 2, 3, 4});
    m_list.AddItems(m_list);
    ExpectContent(m_list, {1, 2, 3, 4, 1, 2, 3, 4});
    List<int> empty;
    empty.AddItems(m_list);
    ExpectContent(empty, {1, 2, 3, 4, 1, 2, 3, 4});
}

TEST_F(ListTest, AddItemsWhoseSourceFailsHalfWayLeavesTheListAsItWas)
{
    Fill(m_list, {1, 2});
    TarnTest::ScriptedContainer source({5, 6, 7, 8}, 2);
    try
    {
        m_list.AddItems(source);
        FAIL() << "the failing enumeration went unnoticed";
    }
    catch (const Tarn::Exception& exception)
    {
        EXPECT_EQ(TarnTest::ScriptedContainer::FailureCode, exception.GetErrorCode());
    }
    ExpectContent(m_list, {1, 2});
    EXPECT_EQ(source.GetStatesDestroyed(), source.GetStatesCreated());
}

TEST_F(ListTest, InsertAtWhoseAllocationFailsLeavesTheListAsItWas)
{
    List<Blob> list;
    list.Add(Blob(1, 8));
    list.Add(Blob(2, 8));
    const Blob* first = &list.GetAt(0);
    const Blob* second = &list.GetAt(1);

    EXPECT_THROW(list.InsertAt(1, Blob(3, ImpossibleSize())), Tarn::MemoryException);
    EXPECT_THROW(list.AddFirst(Blob(3, ImpossibleSize())), Tarn::MemoryException);

    ASSERT_EQ(2u, list.GetCount());
    EXPECT_EQ(&list.GetAt(0), first);
    EXPECT_EQ(&list.GetAt(1), second);
    Tarn::Enumerator<Blob> enumerator = list.GetEnumerator();
    ASSERT_TRUE(enumerator.MoveNext());
    EXPECT_EQ(1, enumerator->GetId());
    ASSERT_TRUE(enumerator.MoveNext());
    EXPECT_EQ(2, enumerator->GetId());
    EXPECT_FALSE(enumerator.MoveNext());
    ASSERT_TRUE(enumerator.MovePrevious());
    EXPECT_EQ(2, enumerator->GetId());
    ASSERT_TRUE(enumerator.MovePrevious());
    EXPECT_EQ(1, enumerator->GetId());
    EXPECT_FALSE(enumerator.MovePrevious());
}

TEST_F(ListTest, DestructionFreesEveryNodeEvenWhenElementDestructorsThrow)
{
    TarnTest::DebugOutputListener listener;
    EXPECT_EQ(3, TarnTest::DestroyListOfArmedGrenades<List<Grenade>>());
    const auto lines = listener.GetLinesContaining("Exception caught. Error code: 0x8000FFFF");
    ASSERT_EQ(3u, lines.size());
    EXPECT_NE(lines[0].find(" ERROR tarnlist("), std::string::npos) << lines[0];
    EXPECT_NE(lines[0].find("::Grenade>::~List(): "), std::string::npos) << lines[0];
    EXPECT_NE(lines[1].find(" ERROR tarnlistbase("), std::string::npos) << lines[1];
}
