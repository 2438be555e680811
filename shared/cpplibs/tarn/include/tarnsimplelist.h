#pragma once

#include <windows.h>

#include "tarnenumerablecontainer.h"
#include "tarnexception.h"
#include "tarnfunctionname.h"
#include "tarnlinkedlistcore.h"
#include "tarnsimplenode.h"
#include "tarntrace.h"

namespace Tarn
{
    namespace Containers
    {
        // The singly linked list of element copies: cheaper nodes, forward enumeration only.
        template <typename T>
        class SimpleList : public LinkedListCore<T, SimpleNode<T>>
        {
        public:
            static constexpr const wchar_t TraceSource[] = L"tarnsimplelist";

            SimpleList() noexcept = default;
            SimpleList(const SimpleList&) = delete;
            SimpleList& operator=(const SimpleList&) = delete;

            // Frees every node, also past element destructors that throw (each is traced).
            ~SimpleList() override { this->ClearInDestructor(TraceSource, __LINE__, TARN_FUNCTION_SIGNATURE); }

            // Each node is unlinked before it is deleted, so a throwing element destructor leaves
            // the rest linked and counted.
            void Clear() override
            {
                while (this->m_head != nullptr)
                {
                    SimpleNode<T>* node = this->m_head;
                    this->m_head = node->Next;
                    if (this->m_head == nullptr)
                    {
                        this->m_tail = nullptr;
                    }
                    --this->m_count;
                    delete node;
                }
            }

            // Appends a copy at the tail; returns its index.
            UINT32 Add(const T& value) override
            {
                SimpleNode<T>* node = new SimpleNode<T>(value);
                if (this->m_tail != nullptr)
                {
                    this->m_tail->Next = node;
                }
                else
                {
                    this->m_head = node;
                }
                this->m_tail = node;
                return this->m_count++;
            }

            // Not provided by this list: NotImplementedException.
            void AddItems(IEnumerable<T>&) override
            {
                TARN_TRACE(TraceLevel::Warning, TARN_TEMPLATE_FUNCTION, L"Not implemented");
                throw NotImplementedException();
            }

            void RemoveAt(UINT32 index) override
            {
                if (index >= this->m_count)
                {
                    throw ArgumentException();
                }
                SimpleNode<T>* previous = index != 0 ? this->GetNodeAt(index - 1) : nullptr;
                SimpleNode<T>* node = previous != nullptr ? previous->Next : this->m_head;
                if (previous != nullptr)
                {
                    previous->Next = node->Next;
                }
                else
                {
                    this->m_head = node->Next;
                }
                if (node == this->m_tail)
                {
                    this->m_tail = previous;
                }
                --this->m_count;
                delete node;
            }

            void AddFirst(const T& value)
            {
                SimpleNode<T>* node = new SimpleNode<T>(value);
                node->Next = this->m_head;
                this->m_head = node;
                if (this->m_tail == nullptr)
                {
                    this->m_tail = node;
                }
                ++this->m_count;
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

            // The list has no backward links: InvalidOperationException.
            bool MovePrevious(EnumeratorState&) override { throw InvalidOperationException(); }

            T* GetCurrentEnumeratorItem(EnumeratorState state) override
            {
                return &this->GetNodeAtPosition(state, TraceSource, __LINE__, TARN_FUNCTION_SIGNATURE)->Value;
            }
        };
    }
}
