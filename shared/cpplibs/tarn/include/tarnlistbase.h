#pragma once

#include <windows.h>

#include "tarncontainerenumerator.h"
#include "tarnenumerablecontainer.h"
#include "tarnexception.h"
#include "tarnilist.h"
#include "tarnnode.h"
#include "tarnfunctionname.h"
#include "tarntrace.h"

namespace Tarn
{
    namespace Containers
    {
        // The doubly linked list of element copies, without the operations that create nodes
        // (List supplies them). Enumerators walk it in both directions; a position is a node, or
        // one of the two ends, which hold no element.
        template <typename T>
        class ListBase : public IList<T>, public IEnumerableContainer<T>
        {
        public:
            static constexpr const wchar_t TraceSource[] = L"tarnlistbase";

            ListBase(const ListBase&) = delete;
            ListBase& operator=(const ListBase&) = delete;

            ~ListBase() override
            {
                // Clear stops at a node whose element destructor throws, after unlinking it; go on
                // with the rest so that no node is lost.
                while (m_count != 0)
                {
                    try
                    {
                        Clear();
                    }
                    catch (const Exception& exception)
                    {
                        TARN_TRACE_EXCEPTION(TARN_TEMPLATE_FUNCTION, exception);
                    }
                }
            }

            UINT32 GetCount() const override { return m_count; }

            Enumerator<T> GetEnumerator() override { return ContainerEnumerator<T>::Enumerate(*this); }

            // The last index is reached at once; any other by walking from the head.
            const T& GetAt(UINT32 index) const override { return GetNodeAt(index)->Value; }
            T& GetAt(UINT32 index) override { return GetNodeAt(index)->Value; }

            // Removes the nodes from the head on. If OnItemRemoving or an element destructor
            // throws, the nodes removed so far are gone and the rest stay linked and counted.
            void Clear() override
            {
                while (m_head != nullptr)
                {
                    Remove(m_head);
                }
            }

            void RemoveAt(UINT32 index) override { Remove(GetNodeAt(index)); }

            EnumeratorState CreateEnumeratorState() override { return BeforeFirst; }
            void DestroyEnumeratorState(EnumeratorState) override {}
            EnumeratorState CloneEnumeratorState(EnumeratorState state) override { return state; }
            void ResetEnumeratorState(EnumeratorState& state) override { state = BeforeFirst; }

            bool MoveNext(EnumeratorState& state) override
            {
                if (state == AfterLast)
                {
                    return false;
                }
                Node<T>* next = state == BeforeFirst ? m_head : ToNode(state)->Next;
                state = next != nullptr ? FromNode(next) : AfterLast;
                return next != nullptr;
            }

            bool MovePrevious(EnumeratorState& state) override
            {
                if (state == BeforeFirst)
                {
                    return false;
                }
                Node<T>* previous = state == AfterLast ? m_tail : ToNode(state)->Previous;
                state = previous != nullptr ? FromNode(previous) : BeforeFirst;
                return previous != nullptr;
            }

            T* GetCurrentEnumeratorItem(EnumeratorState state) override
            {
                if (state == BeforeFirst || state == AfterLast)
                {
                    TARN_TRACE(TraceLevel::Error, TARN_TEMPLATE_FUNCTION,
                               L"Invalid enumerator state");
                    throw InvalidOperationException();
                }
                return &ToNode(state)->Value;
            }

        protected:
            ListBase() noexcept : m_count(0), m_head(nullptr), m_tail(nullptr) {}

            // Called while the node is still linked, just before it is unlinked and deleted.
            virtual void OnItemRemoving(Node<T>*) {}

            // ArgumentException when the index is not below the count.
            Node<T>* GetNodeAt(UINT32 index) const
            {
                if (index >= m_count)
                {
                    throw ArgumentException();
                }
                if (index == m_count - 1)
                {
                    return m_tail;
                }
                Node<T>* node = m_head;
                for (UINT32 step = 0; step < index; ++step)
                {
                    node = node->Next;
                }
                return node;
            }

            UINT32 m_count;
            Node<T>* m_head;
            Node<T>* m_tail;

        private:
            static constexpr EnumeratorState BeforeFirst = 0;
            static constexpr EnumeratorState AfterLast = ~static_cast<EnumeratorState>(0);

            static Node<T>* ToNode(EnumeratorState state) { return reinterpret_cast<Node<T>*>(state); }
            static EnumeratorState FromNode(Node<T>* node) { return reinterpret_cast<EnumeratorState>(node); }

            void Remove(Node<T>* node)
            {
                OnItemRemoving(node);
                if (node->Previous != nullptr)
                {
                    node->Previous->Next = node->Next;
                }
                else
                {
                    m_head = node->Next;
                }
                if (node->Next != nullptr)
                {
                    node->Next->Previous = node->Previous;
                }
                else
                {
                    m_tail = node->Previous;
                }
                --m_count;
                delete node;
            }
        };
    }
}
