#pragma once

#include <windows.h>

#include "tarnautoptr.h"
#include "tarnavlnode.h"
#include "tarncontainerenumerator.h"
#include "tarnenumerable.h"
#include "tarnenumerablecontainer.h"
#include "tarnexception.h"
#include "tarnkeyvaluepair.h"
#include "tarnstack.h"

namespace Tarn
{
    namespace Containers
    {
        // A height-balanced binary search tree of key-value pairs with unique keys, ordered by the
        // key type's operator< and operator==. Look-up is iterative; insertion, removal and
        // destruction recurse over the height. There are no parent pointers, so an enumeration
        // carries its own path down the tree; it walks the pairs in ascending key order, forward
        // only, and must not outlive the tree or see it change.
        template <typename TKey, typename TValue>
        class AvlTree : public IEnumerable<KeyValuePair<TKey, TValue>>,
                        public IEnumerableContainer<KeyValuePair<TKey, TValue>>
        {
        public:
            using Pair = KeyValuePair<TKey, TValue>;
            using TreeNode = AvlNode<TKey, TValue>;

            AvlTree() noexcept : m_root(nullptr), m_count(0) {}
            AvlTree(const AvlTree&) = delete;
            AvlTree& operator=(const AvlTree&) = delete;

            ~AvlTree() override { Clear(); }

            UINT32 GetCount() const override { return m_count; }

            Enumerator<Pair> GetEnumerator() override { return ContainerEnumerator<Pair>::Enumerate(*this); }

            // Inserts a copy of the pair. DuplicateKeyException when the key is present; the tree is
            // then unchanged.
            void Add(const Pair& pair)
            {
                AutoPtr<TreeNode> node(new TreeNode(pair));
                if (m_root == nullptr)
                {
                    m_root = node.Get();
                }
                else
                {
                    Insert(m_root, node.Get());
                }
                ++m_count;
                node.Detach();
            }

            // The stored pair with the key, or null.
            Pair* Find(const TKey& key) { return const_cast<Pair*>(static_cast<const AvlTree*>(this)->Find(key)); }

            const Pair* Find(const TKey& key) const
            {
                for (TreeNode* node = m_root; node != nullptr;)
                {
                    if (key == node->Element.Key)
                    {
                        return &node->Element;
                    }
                    node = key < node->Element.Key ? node->Left : node->Right;
                }
                return nullptr;
            }

            // True when the key was present; its pair is then gone.
            bool Remove(const TKey& key)
            {
                if (!RemoveFrom(m_root, key))
                {
                    return false;
                }
                --m_count;
                return true;
            }

            // Deletes every node.
            void Clear() noexcept
            {
                DeleteSubtree(m_root);
                m_root = nullptr;
                m_count = 0;
            }

            // The root, for read-only inspection of the tree's shape; null when the tree is empty.
            const TreeNode* GetRoot() const { return m_root; }

            // Height of right subtree minus height of left subtree.
            static INT16 GetBalance(const TreeNode* node)
            {
                return static_cast<INT16>(HeightOf(node->Right) - HeightOf(node->Left));
            }

            EnumeratorState CreateEnumeratorState() override
            {
                return reinterpret_cast<EnumeratorState>(new _TRAVERSAL_STATE());
            }

            void DestroyEnumeratorState(EnumeratorState state) override { delete ToTraversal(state); }

            EnumeratorState CloneEnumeratorState(EnumeratorState state) override
            {
                const _TRAVERSAL_STATE* original = ToTraversal(state);
                if (original == nullptr)
                {
                    return 0;
                }
                AutoPtr<_TRAVERSAL_STATE> clone(new _TRAVERSAL_STATE());
                clone->Path.CopyFrom(original->Path);
                clone->Finished = original->Finished;
                return reinterpret_cast<EnumeratorState>(clone.Detach());
            }

            void ResetEnumeratorState(EnumeratorState& state) override
            {
                _TRAVERSAL_STATE* traversal = ToTraversal(state);
                traversal->Path.Clear();
                traversal->Finished = false;
            }

            // The top of the path is the current node. A node on the path becomes current when it
            // is marked visited, which happens once its left subtree is done; its right subtree is
            // entered next, and the node is dropped from the path when that subtree is done too.
            // Either it moves on completely or, when it throws, the position stays where it was.
            bool MoveNext(EnumeratorState& state) override
            {
                if (m_count == 0)
                {
                    return false;
                }
                _TRAVERSAL_STATE* traversal = ToTraversal(state);
                if (traversal->Finished)
                {
                    return false;
                }
                Stack<TraversalStackElement>& path = traversal->Path;
                if (path.IsEmpty())
                {
                    PushLeftSpine(path, m_root);
                    return true;
                }
                while (!path.IsEmpty())
                {
                    TraversalStackElement& top = path.Peek();
                    if (!top.Visited)
                    {
                        top.Visited = true;
                        return true;
                    }
                    if (top.Node->Right != nullptr && !top.RightSubtreeEntered)
                    {
                        // Marked only once the spine is on the path: pushing does not move the
                        // elements below, so the reference still holds.
                        PushLeftSpine(path, top.Node->Right);
                        top.RightSubtreeEntered = true;
                        return true;
                    }
                    path.Pop();
                }
                traversal->Finished = true;
                return false;
            }

            // Forward only: InvalidOperationException.
            bool MovePrevious(EnumeratorState&) override { throw InvalidOperationException(); }

            // InvalidOperationException before the first MoveNext and after the end.
            Pair* GetCurrentEnumeratorItem(EnumeratorState state) override
            {
                Stack<TraversalStackElement>& path = ToTraversal(state)->Path;
                if (path.IsEmpty())
                {
                    throw InvalidOperationException();
                }
                return &path.Peek().Node->Element;
            }

        private:
            // One node on an enumeration's path down the tree.
            class TraversalStackElement
            {
            public:
                explicit TraversalStackElement(TreeNode* node) : Node(node), Visited(false), RightSubtreeEntered(false) {}
                TraversalStackElement(const TraversalStackElement&) = default;
                TraversalStackElement& operator=(const TraversalStackElement&) = default;
                virtual ~TraversalStackElement() = default;

                TreeNode* Node;
                bool Visited;
                bool RightSubtreeEntered;
            };

            // The enumeration state: the path from the root to the current node, and whether the
            // walk has ended.
            struct _TRAVERSAL_STATE
            {
                _TRAVERSAL_STATE() : Finished(false) {}

                Stack<TraversalStackElement> Path;
                bool Finished;
            };

            static _TRAVERSAL_STATE* ToTraversal(EnumeratorState state)
            {
                return reinterpret_cast<_TRAVERSAL_STATE*>(state);
            }

            // Pushes the node and its chain of left descendants; the leftmost becomes current. All
            // or nothing: a failed push takes the ones before it off again.
            static void PushLeftSpine(Stack<TraversalStackElement>& path, TreeNode* node)
            {
                const UINT32 depth = path.GetCount();
                try
                {
                    for (; node != nullptr; node = node->Left)
                    {
                        path.Push(TraversalStackElement(node));
                    }
                }
                catch (const Exception&)
                {
                    while (path.GetCount() > depth)
                    {
                        path.Pop();
                    }
                    throw;
                }
                path.Peek().Visited = true;
            }

            static UINT16 HeightOf(const TreeNode* node) { return node != nullptr ? node->Height : 0; }

            static void Update(TreeNode* node)
            {
                const UINT16 left = HeightOf(node->Left);
                const UINT16 right = HeightOf(node->Right);
                node->Height = node->Left == nullptr && node->Right == nullptr
                    ? 0
                    : static_cast<UINT16>((left > right ? left : right) + 1);
            }

            static void RotateLeft(TreeNode*& slot)
            {
                TreeNode* node = slot;
                TreeNode* right = node->Right;
                slot = right;
                // NOLINTNEXTLINE(clang-analyzer-core.NullDereference): the heavier side is never empty
                node->Right = right->Left;
                right->Left = node;
                Update(node);
                Update(right);
            }

            static void RotateRight(TreeNode*& slot)
            {
                TreeNode* node = slot;
                TreeNode* left = node->Left;
                slot = left;
                // NOLINTNEXTLINE(clang-analyzer-core.NullDereference): the heavier side is never empty
                node->Left = left->Right;
                left->Right = node;
                Update(node);
                Update(left);
            }

            // Restores the balance of the node in the slot after one of its subtrees grew or shrank
            // by one level. A heavier child that leans outward or is level needs one rotation, one
            // that leans inward two. After an insertion the heavier child is never level; after a
            // removal it may be, and the single rotation is what keeps the height logarithmic.
            static void Rebalance(TreeNode*& slot)
            {
                TreeNode* node = slot;
                const INT16 balance = GetBalance(node);
                if (balance > 1)
                {
                    if (GetBalance(node->Right) < 0)
                    {
                        RotateRight(node->Right);
                    }
                    RotateLeft(slot);
                }
                else if (balance < -1)
                {
                    if (GetBalance(node->Left) > 0)
                    {
                        RotateLeft(node->Left);
                    }
                    RotateRight(slot);
                }
            }

            // Inserts below the node in the slot, which is not empty. Nothing is changed before
            // the key is known to be new.
            static void Insert(TreeNode*& slot, TreeNode* node)
            {
                TreeNode* current = slot;
                TreeNode** target;
                if (node->Element.Key < current->Element.Key)
                {
                    target = &current->Left;
                }
                else if (current->Element.Key < node->Element.Key)
                {
                    target = &current->Right;
                }
                else
                {
                    throw DuplicateKeyException();
                }
                if (*target == nullptr)
                {
                    *target = node;
                }
                else
                {
                    Insert(*target, node);
                }
                Update(current);
                Rebalance(slot);
            }

            static bool RemoveFrom(TreeNode*& slot, const TKey& key)
            {
                TreeNode* node = slot;
                if (node == nullptr)
                {
                    return false;
                }
                if (key == node->Element.Key)
                {
                    if (node->Left != nullptr && node->Right != nullptr)
                    {
                        RemovePredecessor(node->Left, node);
                        Update(node);
                        Rebalance(slot);
                        return true;
                    }
                    slot = node->Right == nullptr ? node->Left : node->Right;
                    delete node;
                    return true;
                }
                if (!RemoveFrom(key < node->Element.Key ? node->Left : node->Right, key))
                {
                    return false;
                }
                Update(node);
                Rebalance(slot);
                return true;
            }

            // Moves the largest pair of the subtree in the slot into the target node and deletes
            // the node that held it.
            static void RemovePredecessor(TreeNode*& slot, TreeNode* target)
            {
                TreeNode* node = slot;
                if (node->Right != nullptr)
                {
                    RemovePredecessor(node->Right, target);
                    Update(node);
                    Rebalance(slot);
                    return;
                }
                target->Element = node->Element;
                slot = node->Left;
                delete node;
            }

            static void DeleteSubtree(TreeNode* node) noexcept
            {
                if (node != nullptr)
                {
                    DeleteSubtree(node->Left);
                    DeleteSubtree(node->Right);
                    delete node;
                }
            }

            TreeNode* m_root;
            UINT32 m_count;
        };
    }
}
