#pragma once

#include <windows.h>

#include "tarncontainerenumerator.h"
#include "tarnenumerablecontainer.h"
#include "tarnexception.h"
#include "tarnilist.h"
#include "tarnsimplenode.h"
#include "tarnfunctionname.h"
#include "tarntrace.h"

namespace Tarn
{
    namespace Containers
    {
        // The singly linked list of element copies: cheaper nodes, forward enumeration only.
        template <typename T>
        class SimpleList : public IList<T>, public IEnumerableContainer<T>
        {
        public:
            static constexpr const wchar_t TraceSource[] = L"tarnsimplelist";

            SimpleList() noexcept : m_count(0), m_head(nullptr), m_tail(nullptr) {}
            SimpleList(const SimpleList&) = delete;
            SimpleList& operator=(const SimpleList&) = delete;

            ~SimpleList() override
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
            void SetAt(UINT32 index, const T& value) override { GetNodeAt(index)->Value = value; }

            // Each node is unlinked before it is deleted, so a throwing element destructor leaves
            // the rest linked and counted.
            void Clear() override
            {
                while (m_head != nullptr)
                {
                    SimpleNode<T>* node = m_head;
                    m_head = node->Next;
                    if (m_head == nullptr)
                    {
                        m_tail = nullptr;
                    }
                    --m_count;
                    delete node;
                }
            }

            // Appends a copy at the tail; returns its index.
            UINT32 Add(const T& value) override
            {
                SimpleNode<T>* node = new SimpleNode<T>(value);
                if (m_tail != nullptr)
                {
                    m_tail->Next = node;
                }
                else
                {
                    m_head = node;
                }
                m_tail = node;
                return m_count++;
            }

            // Not provided by this list: NotImplementedException.
            void AddItems(IEnumerable<T>&) override
            {
                TARN_TRACE(TraceLevel::Warning, TARN_TEMPLATE_FUNCTION, L"Not implemented");
                throw NotImplementedException();
            }

            void RemoveAt(UINT32 index) override
            {
                if (index >= m_count)
                {
                    throw ArgumentException();
                }
                SimpleNode<T>* previous = index != 0 ? GetNodeAt(index - 1) : nullptr;
                SimpleNode<T>* node = previous != nullptr ? previous->Next : m_head;
                if (previous != nullptr)
                {
                    previous->Next = node->Next;
                }
                else
                {
                    m_head = node->Next;
                }
                if (node == m_tail)
                {
                    m_tail = previous;
                }
                --m_count;
                delete node;
            }

            void AddFirst(const T& value)
            {
                SimpleNode<T>* node = new SimpleNode<T>(value);
                node->Next = m_head;
                m_head = node;
                if (m_tail == nullptr)
                {
                    m_tail = node;
                }
                ++m_count;
            }

            // Replaces the content by copies of the other list's elements, in order. Copying a
            // list onto itself changes nothing.
            void CopyFrom(const SimpleList& other)
            {
                if (&other == this)
                {
                    return;
                }
                Clear();
                for (const SimpleNode<T>* node = other.m_head; node != nullptr; node = node->Next)
                {
                    Add(node->Value);
                }
            }

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
                SimpleNode<T>* next = state == BeforeFirst ? m_head : ToNode(state)->Next;
                state = next != nullptr ? FromNode(next) : AfterLast;
                return next != nullptr;
            }

            // The list has no backward links: InvalidOperationException.
            bool MovePrevious(EnumeratorState&) override { throw InvalidOperationException(); }

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

        private:
            static constexpr EnumeratorState BeforeFirst = 0;
            static constexpr EnumeratorState AfterLast = ~static_cast<EnumeratorState>(0);

            static SimpleNode<T>* ToNode(EnumeratorState state) { return reinterpret_cast<SimpleNode<T>*>(state); }
            static EnumeratorState FromNode(SimpleNode<T>* node) { return reinterpret_cast<EnumeratorState>(node); }

            SimpleNode<T>* GetNodeAt(UINT32 index) const
            {
                if (index >= m_count)
                {
                    throw ArgumentException();
                }
                if (index == m_count - 1)
                {
                    return m_tail;
                }
                SimpleNode<T>* node = m_head;
                for (UINT32 step = 0; step < index; ++step)
                {
                    node = node->Next;
                }
                return node;
            }

            UINT32 m_count;
            SimpleNode<T>* m_head;
            SimpleNode<T>* m_tail;
        };
    }
}
