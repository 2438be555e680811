#pragma once

// Read-only views of an AVL tree's shape for the tree and map tests.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "tarnavlnode.h"
#include "tarnavltree.h"

namespace TarnTest
{
    // The tree as text: "key(left,right)", with empty children left out ("2(1,3(,4))").
    template <typename TKey, typename TValue>
    std::string DescribeShape(const Tarn::Containers::AvlNode<TKey, TValue>* node)
    {
        if (node == nullptr)
        {
            return std::string();
        }
        std::string text = std::to_string(node->Element.Key);
        if (node->Left != nullptr || node->Right != nullptr)
        {
            text += "(" + DescribeShape(node->Left) + "," + DescribeShape(node->Right) + ")";
        }
        return text;
    }

    // Checks every node below: keys in order, stored heights by the tree's convention (a leaf and
    // a missing child both 0) and balances within one. Returns the number of levels; reports the
    // first broken node as a test failure.
    template <typename TKey, typename TValue>
    int CheckSubtree(const Tarn::Containers::AvlNode<TKey, TValue>* node, int& nodes, const TKey* low = nullptr,
                     const TKey* high = nullptr)
    {
        if (node == nullptr)
        {
            return 0;
        }
        ++nodes;
        const TKey& key = node->Element.Key;
        EXPECT_TRUE(low == nullptr || *low < key) << "order broken at " << key;
        EXPECT_TRUE(high == nullptr || key < *high) << "order broken at " << key;
        const int left = CheckSubtree(node->Left, nodes, low, &key);
        const int right = CheckSubtree(node->Right, nodes, &key, high);
        const int storedHeight = left == 0 && right == 0 ? 0 : std::max(left, right);
        EXPECT_EQ(node->Height, storedHeight) << "stored height wrong at " << key;
        const int balance = Tarn::Containers::AvlTree<TKey, TValue>::GetBalance(node);
        EXPECT_LE(std::abs(balance), 1) << "unbalanced at " << key;
        return std::max(left, right) + 1;
    }
}
