#pragma once

#include <windows.h>

#include "tarnexception.h"
#include "tarnsimplelist.h"
#include "tarnfunctionname.h"
#include "tarntrace.h"

namespace Tarn
{
    namespace Containers
    {
        // A last-in, first-out stack of element copies on a simple list whose head is the top.
        template <typename T>
        class Stack
        {
        public:
            static constexpr const wchar_t TraceSource[] = L"tarnstack";

            Stack() noexcept = default;
            Stack(const Stack&) = delete;
            Stack& operator=(const Stack&) = delete;

            // Elements left behind by a throwing element destructor are freed by the list's own destructor.
            virtual ~Stack()
            {
                try
                {
                    m_list.Clear();
                }
                catch (const Exception& exception)
                {
                    TARN_TRACE_EXCEPTION(TARN_TEMPLATE_FUNCTION, exception);
                }
            }

            UINT32 GetCount() const { return m_list.GetCount(); }
            bool IsEmpty() const { return m_list.GetCount() == 0; }

            void Push(const T& value) { m_list.AddFirst(value); }

            // Removes the top element and returns a copy of it; InvalidOperationException when empty.
            T Pop()
            {
                T top(Peek());
                m_list.RemoveAt(0);
                return top;
            }

            // The top element, in place; InvalidOperationException when empty.
            T& Peek()
            {
                if (IsEmpty())
                {
                    throw InvalidOperationException();
                }
                return m_list.GetAt(0);
            }

            void Clear() { m_list.Clear(); }

            // Replaces the content by copies of the other stack's elements, in the same order.
            void CopyFrom(const Stack& other) { m_list.CopyFrom(other.m_list); }

        private:
            SimpleList<T> m_list;
        };
    }
}
