#pragma once

#include <windows.h>

#include "tarnenumerable.h"
#include "tarnenumerator.h"
#include "tarnexception.h"
#include "tarnlistbase.h"
#include "tarnnode.h"
#include "tarnfunctionname.h"
#include "tarntrace.h"

namespace Tarn
{
    namespace Containers
    {
        // The doubly linked list. It owns its nodes, not what their values point to.
        template <typename T>
        class List : public ListBase<T>
        {
        public:
            static constexpr const wchar_t TraceSource[] = L"tarnlist";

            List() noexcept = default;

            // Nodes left behind by a throwing element destructor are freed by the base destructor.
            ~List() override
            {
                try
                {
                    this->Clear();
                }
                catch (const Exception& exception)
                {
                    TARN_TRACE_EXCEPTION(TARN_TEMPLATE_FUNCTION, exception);
                }
            }

            // Returns the new element's index.
            UINT32 Add(const T& value) override
            {
                AddLast(value);
                return this->m_count - 1;
            }

            // All or nothing: the copies are collected apart and linked in one step at the end, so
            // a failing enumeration or copy leaves this list as it was. Adding a list to itself
            // doubles it.
            void AddItems(IEnumerable<T>& items) override
            {
                List collected;
                Enumerator<T> enumerator = items.GetEnumerator();
                while (enumerator.MoveNext())
                {
                    collected.AddLast(*enumerator.GetCurrent());
                }
                Append(collected);
            }

            virtual Node<T>* AddFirst(const T& value) { return Link(nullptr, value); }

            // Moves every node of the other list to the end of this one, without copying; the
            // other list is left empty. Appending a list to itself changes nothing.
            virtual void Append(List& other)
            {
                if (&other == this || other.m_head == nullptr)
                {
                    return;
                }
                if (this->m_tail != nullptr)
                {
                    this->m_tail->Next = other.m_head;
                    other.m_head->Previous = this->m_tail;
                }
                else
                {
                    this->m_head = other.m_head;
                }
                this->m_tail = other.m_tail;
                this->m_count += other.m_count;
                other.m_head = nullptr;
                other.m_tail = nullptr;
                other.m_count = 0;
            }

            virtual Node<T>* AddLast(const T& value) { return Link(this->m_tail, value); }

            // Inserts before the element at the index; an index equal to the count appends.
            // ArgumentException above the count. A failed allocation or copy changes nothing.
            virtual Node<T>* InsertAt(UINT32 index, const T& value)
            {
                if (index > this->m_count)
                {
                    throw ArgumentException();
                }
                return Link(index != 0 ? this->GetNodeAt(index - 1) : nullptr, value);
            }

        private:
            // Links a new node after the given one, or at the head when there is none. The node is
            // complete before the list is touched.
            Node<T>* Link(Node<T>* previous, const T& value)
            {
                Node<T>* node = new Node<T>(value);
                Node<T>* next = previous != nullptr ? previous->Next : this->m_head;
                node->Previous = previous;
                node->Next = next;
                if (previous != nullptr)
                {
                    previous->Next = node;
                }
                else
                {
                    this->m_head = node;
                }
                if (next != nullptr)
                {
                    next->Previous = node;
                }
                else
                {
                    this->m_tail = node;
                }
                ++this->m_count;
                return node;
            }
        };
    }
}
