#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <random>
#include <vector>

#include "containertestsupport.h"
#include "tarnexception.h"
#include "tarnmap.h"
#include "avltreeshape.h"
#include "testsupport.h"

using Pair = Tarn::KeyValuePair<int, int>;

namespace
{
    // A map that lets the tests look at the shape of its tree.
    class InspectableMap : public Tarn::Containers::Map<int, int>
    {
    public:
        const Tarn::Containers::AvlTree<int, int>& GetTree() const { return m_tree; }
    };
}

class MapTest : public ::testing::Test
{
protected:
    void Add(std::initializer_list<int> keys)
    {
        for (int key : keys)
        {
            m_map.Add(Pair(key, key * 10));
        }
    }

    std::vector<int> EnumerateKeys()
    {
        std::vector<int> keys;
        Tarn::Enumerator<Pair> enumerator = m_map.GetEnumerator();
        while (enumerator.MoveNext())
        {
            EXPECT_EQ(enumerator->Value, enumerator->Key * 10);
            keys.push_back(enumerator->Key);
        }
        return keys;
    }

    InspectableMap m_map;
};

TEST_F(MapTest, EnumeratesThePairsInAscendingKeyOrder)
{
    Add({5, 1, 4, 2, 3});
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), EnumerateKeys());
}

TEST_F(MapTest, EnumerationEndsForGoodUntilResetThenStartsAtTheSmallestKey)
{
    {
        Tarn::Enumerator<Pair> empty = m_map.GetEnumerator();
        EXPECT_FALSE(empty.MoveNext());
        EXPECT_THROW(empty.GetCurrent(), Tarn::InvalidOperationException);
    }
    Add({2, 1, 3});
    Tarn::Enumerator<Pair> enumerator = m_map.GetEnumerator();
    EXPECT_THROW(enumerator.GetCurrent(), Tarn::InvalidOperationException);
    for (int expected = 1; expected <= 3; ++expected)
    {
        ASSERT_TRUE(enumerator.MoveNext());
        EXPECT_EQ(expected, enumerator->Key);
    }
    EXPECT_THROW(enumerator.MovePrevious(), Tarn::InvalidOperationException);
    EXPECT_FALSE(enumerator.MoveNext());
    EXPECT_FALSE(enumerator.MoveNext());
    EXPECT_THROW(enumerator.GetCurrent(), Tarn::InvalidOperationException);
    enumerator.Reset();
    ASSERT_TRUE(enumerator.MoveNext());
    EXPECT_EQ(1, enumerator->Key);
}

TEST_F(MapTest, ClonedEnumeratorContinuesIndependentlyFromTheSamePair)
{
    Add({4, 2, 6, 1, 3, 5, 7});
    Tarn::Enumerator<Pair> enumerator = m_map.GetEnumerator();
    for (int step = 0; step < 3; ++step)
    {
        ASSERT_TRUE(enumerator.MoveNext());
    }
    Tarn::Enumerator<Pair> clone = enumerator.Clone();
    std::vector<int> original;
    while (enumerator.MoveNext())
    {
        original.push_back(enumerator->Key);
    }
    std::vector<int> cloned{clone->Key};
    while (clone.MoveNext())
    {
        cloned.push_back(clone->Key);
    }
    EXPECT_EQ((std::vector<int>{4, 5, 6, 7}), original);
    EXPECT_EQ((std::vector<int>{3, 4, 5, 6, 7}), cloned);
}

TEST_F(MapTest, MoveNextWhoseAllocationFailsLeavesThePositionWhereItWas)
{
    for (int key = 1; key <= 15; ++key)
    {
        Add({key});
    }
    // Each pass fails another allocation of every step that makes that many: the first, the
    // second... of the path it pushes.
    for (int successes = 0; successes < 4; ++successes)
    {
        SCOPED_TRACE(successes);
        std::vector<int> keys;
        int failures = 0;
        Tarn::Enumerator<Pair> enumerator = m_map.GetEnumerator();
        for (;;)
        {
            bool moved = false;
            try
            {
                TarnTest::HeapFailure failure(successes);
                moved = enumerator.MoveNext();
            }
            catch (const Tarn::MemoryException&)
            {
                ++failures;
                moved = enumerator.MoveNext();
            }
            if (!moved)
            {
                break;
            }
            keys.push_back(enumerator->Key);
        }
        EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15}), keys);
        EXPECT_GT(failures, 0);
    }
}

TEST_F(MapTest, FindGivesTheStoredPairInPlaceOrNull)
{
    Add({1, 2});
    EXPECT_EQ(nullptr, m_map.Find(3));
    m_map.Find(2)->Value = 99;
    const InspectableMap& constMap = m_map;
    EXPECT_EQ(99, constMap.Find(2)->Value);
    EXPECT_EQ(1, constMap.Find(1)->Key);
}

TEST_F(MapTest, AddingAPresentKeyThrowsDuplicateKeyAndKeepsTheCount)
{
    Add({1, 2});
    EXPECT_THROW(m_map.Add(Pair(2, 0)), Tarn::DuplicateKeyException);
    EXPECT_EQ(2u, m_map.GetCount());
    EXPECT_EQ(20, m_map.Find(2)->Value);
}

// Mixed operations with a fixed seed against std::map, with growing and shrinking phases so that
// removal is exercised while the tree grows from empty to over a thousand keys and shrinks again.
// Every result is compared, and after every step the tree's structure is checked and its height
// held to the AVL bound.
TEST_F(MapTest, RandomOperationsMatchAnOrderedReferenceMapAndKeepTheHeightLogarithmic)
{
    const int operations = 120000;
    const int keyRange = 2000;
    std::mt19937 random(20261208);
    std::uniform_int_distribution<int> keys(0, keyRange - 1);
    std::uniform_int_distribution<int> percent(0, 99);
    std::map<int, int> reference;
    int enumerations = 0;

    for (int step = 0; step < operations; ++step)
    {
        const bool growing = (step / 15000) % 2 == 0;
        const int choice = percent(random);
        const int key = keys(random);
        if (choice < (growing ? 45 : 20))
        {
            const int value = percent(random);
            const bool present = reference.count(key) != 0;
            try
            {
                m_map.Add(Pair(key, value));
                ASSERT_FALSE(present) << "step " << step;
                reference[key] = value;
            }
            catch (const Tarn::DuplicateKeyException&)
            {
                ASSERT_TRUE(present) << "step " << step;
            }
        }
        else if (choice < 70)
        {
            ASSERT_EQ(m_map.Remove(key), reference.erase(key) != 0) << "step " << step;
        }
        else if (choice < 98)
        {
            const Pair* found = m_map.Find(key);
            const auto expected = reference.find(key);
            ASSERT_EQ(expected != reference.end(), found != nullptr) << "step " << step;
            if (found != nullptr)
            {
                ASSERT_EQ(found->Key, key);
                ASSERT_EQ(expected->second, found->Value);
            }
        }
        else
        {
            ++enumerations;
            auto expected = reference.begin();
            Tarn::Enumerator<Pair> enumerator = m_map.GetEnumerator();
            while (enumerator.MoveNext())
            {
                ASSERT_NE(expected, reference.end()) << "step " << step;
                ASSERT_EQ(expected->first, enumerator->Key);
                ASSERT_EQ(expected->second, enumerator->Value);
                ++expected;
            }
            ASSERT_EQ(expected, reference.end()) << "step " << step;
        }

        ASSERT_EQ(m_map.GetCount(), reference.size()) << "step " << step;
        int nodes = 0;
        const int height = TarnTest::CheckSubtree(m_map.GetTree().GetRoot(), nodes);
        ASSERT_EQ(nodes, static_cast<int>(reference.size())) << "step " << step;
        ASSERT_LE(height, 1.45 * std::log2(reference.size() + 2.0) + 1) << "step " << step;
        if (HasFailure())
        {
            FAIL() << "tree broken at step " << step;
        }
    }
    EXPECT_GT(enumerations, 1000);
}
