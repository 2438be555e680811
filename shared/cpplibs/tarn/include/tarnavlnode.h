#pragma once

#include <windows.h>

#include "tarnkeyvaluepair.h"

namespace Tarn
{
    namespace Containers
    {
        // A node of the AVL tree. Height counts edges on the longest downward path, except that a
        // missing child also counts as 0: a leaf and an empty subtree weigh the same. The node owns
        // its element, not its children.
        template <typename TKey, typename TValue>
        class AvlNode
        {
        public:
            explicit AvlNode(const KeyValuePair<TKey, TValue>& element)
                : Height(0), Element(element), Left(nullptr), Right(nullptr)
            {
            }
            AvlNode(const AvlNode&) = delete;
            AvlNode& operator=(const AvlNode&) = delete;

            UINT16 Height;
            KeyValuePair<TKey, TValue> Element;
            AvlNode* Left;
            AvlNode* Right;
        };
    }
}
