#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "containertestsupport.h"
#include "tarnavltree.h"
#include "tarnexception.h"
#include "avltreeshape.h"

using Tarn::Containers::AvlTree;
using IntTree = AvlTree<int, int>;
using Pair = Tarn::KeyValuePair<int, int>;

class AvlTreeTest : public ::testing::Test
{
protected:
    void Add(std::initializer_list<int> keys)
    {
        for (int key : keys)
        {
            m_tree.Add(Pair(key, key * 100));
        }
    }

    std::string Shape() const { return TarnTest::DescribeShape(m_tree.GetRoot()); }

    INT16 RootBalance() const { return IntTree::GetBalance(m_tree.GetRoot()); }

    void ExpectValid()
    {
        int nodes = 0;
        TarnTest::CheckSubtree(m_tree.GetRoot(), nodes);
        EXPECT_EQ(nodes, static_cast<int>(m_tree.GetCount()));
    }

    IntTree m_tree;
};

TEST_F(AvlTreeTest, AscendingKeysRotateOnlyWhenTheRootLeansByTwo)
{
    Add({1, 2, 3});
    EXPECT_EQ("1(,2(,3))", Shape());
    EXPECT_EQ(1, RootBalance());
    EXPECT_EQ(2, m_tree.GetRoot()->Height);

    Add({4});
    EXPECT_EQ("2(1,3(,4))", Shape());
    EXPECT_EQ(1, RootBalance());
    ExpectValid();
}

TEST_F(AvlTreeTest, ZigZagOfThreeKeysIsNotRotated)
{
    Add({3, 1, 2});
    EXPECT_EQ("3(1(,2),)", Shape());
    EXPECT_EQ(-1, RootBalance());
}

TEST_F(AvlTreeTest, DescendingKeysKeepEveryBalanceWithinOneAfterEachInsertion)
{
    const char* shapes[] = {"5", "5(4,)", "5(4(3,),)", "4(3(2,),5)", "3(2(1,),4(,5))"};
    int key = 5;
    for (const char* shape : shapes)
    {
        Add({key--});
        EXPECT_EQ(Shape(), shape);
        ExpectValid();
    }
}

TEST_F(AvlTreeTest, AddingAPresentKeyThrowsDuplicateKeyAndChangesNothing)
{
    Add({2, 1, 3});
    try
    {
        m_tree.Add(Pair(3, 7));
        FAIL() << "the duplicate was accepted";
    }
    catch (const Tarn::Exception& exception)
    {
        EXPECT_EQ(static_cast<HRESULT>(0xA0010007), exception.GetErrorCode());
    }
    EXPECT_EQ(3u, m_tree.GetCount());
    EXPECT_EQ("2(1,3)", Shape());
    EXPECT_EQ(300, m_tree.Find(3)->Value);
}

TEST_F(AvlTreeTest, RemovingTheOnlyKeyLeavesAnEmptyTree)
{
    Add({1});
    EXPECT_FALSE(m_tree.Remove(2));
    EXPECT_EQ(1u, m_tree.GetCount());
    EXPECT_TRUE(m_tree.Remove(1));
    EXPECT_EQ(nullptr, m_tree.GetRoot());
    EXPECT_EQ(0u, m_tree.GetCount());
    EXPECT_FALSE(m_tree.Remove(1));
    EXPECT_EQ(0u, m_tree.GetCount());
}

TEST_F(AvlTreeTest, RemovingNodesWithTwoChildrenKeepsEveryOtherKeyFindableAndInOrder)
{
    Add({8, 4, 12, 2, 6, 10, 14, 1, 3, 5, 7, 9, 11, 13, 15});
    std::vector<int> expected;
    for (int key = 1; key <= 15; ++key)
    {
        expected.push_back(key);
    }
    for (int removed : {8, 4, 12, 6})
    {
        ASSERT_TRUE(m_tree.Remove(removed));
        expected.erase(std::find(expected.begin(), expected.end(), removed));
        ExpectValid();
        EXPECT_EQ(nullptr, m_tree.Find(removed));
        std::vector<int> keys;
        for (const Pair& pair : TarnTest::Enumerate(m_tree))
        {
            keys.push_back(pair.Key);
            EXPECT_EQ(pair.Value, pair.Key * 100);
            EXPECT_EQ(m_tree.Find(pair.Key)->Value, pair.Key * 100);
        }
        EXPECT_EQ(expected, keys);
    }
}

TEST_F(AvlTreeTest, RemovalRotatesOnceWhenTheHeavierChildIsLevel)
{
    Add({40, 20, 60, 10, 50, 70, 55, 75});
    ASSERT_EQ("40(20(10,),60(50(,55),70(,75)))", Shape());
    ASSERT_EQ(IntTree::GetBalance(m_tree.GetRoot()->Right), 0);

    ASSERT_TRUE(m_tree.Remove(10));

    EXPECT_EQ("60(40(20,50(,55)),70(,75))", Shape());
    ExpectValid();
}

TEST_F(AvlTreeTest, RemovalLeavesANodeWithinOneUnrotatedEvenWhenItsHeavierChildLeans)
{
    Add({180, 120, 80, 110, 190, 200, 10});
    ASSERT_EQ("120(80(10,110),180(,190(,200)))", Shape());
    ASSERT_EQ(IntTree::GetBalance(m_tree.GetRoot()->Right), 1);

    ASSERT_TRUE(m_tree.Remove(10));

    EXPECT_EQ(1, RootBalance());
    EXPECT_EQ("120(80(,110),180(,190(,200)))", Shape());
    ExpectValid();
}

TEST_F(AvlTreeTest, ClearDeletesEveryNode)
{
    Add({3, 1, 2, 5, 4});
    m_tree.Clear();
    EXPECT_EQ(nullptr, m_tree.GetRoot());
    EXPECT_EQ(0u, m_tree.GetCount());
    Add({1});
    EXPECT_EQ("1", Shape());
}
