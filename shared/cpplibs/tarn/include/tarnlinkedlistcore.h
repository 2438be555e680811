#pragma once

#include <windows.h>

#include "tarncontainerenumerator.h"
#include "tarnenumerablecontainer.h"
#include "tarnexception.h"
#include "tarnfunctionname.h"
#include "tarnilist.h"
#include "tarntrace.h"

namespace Tarn
{
    namespace Containers
    {
        // What the doubly linked ListBase and the singly linked SimpleList share: the count and both
        // ends, index look-up, and forward enumeration. TNode carries Value and Next. A position is a
        // node, or one of the two ends, which hold no element.
        //
        // The lists trace under their own names, so the operations that trace stay theirs; they
        // hand the helpers below their source file, line and compiler signature, which become a
        // function name only when a line is written.
        template <typename T, typename TNode>
        class LinkedListCore : public IList<T>, public IEnumerableContainer<T>
        {
        public:
            LinkedListCore(const LinkedListCore&) = delete;
            LinkedListCore& operator=(const LinkedListCore&) = delete;

            UINT32 GetCount() const override { return m_count; }

            Enumerator<T> GetEnumerator() override { return ContainerEnumerator<T>::Enumerate(*this); }

            // The last index is reached at once; any other by walking from the head.
            const T& GetAt(UINT32 index) const override { return GetNodeAt(index)->Value; }
            T& GetAt(UINT32 index) override { return GetNodeAt(index)->Value; }
            void SetAt(UINT32 index, const T& value) override { GetNodeAt(index)->Value = value; }

            EnumeratorState CreateEnumeratorState() override { return BeforeFirst; }
            void DestroyEnumeratorState(EnumeratorState) override {}
            EnumeratorState CloneEnumeratorState(EnumeratorState state) override { return state; }
            void ResetEnumeratorState(EnumeratorState& state) override { state = BeforeFirst; }

            bool MoveNext(EnumeratorState& state) override
            {
                return Step(state, BeforeFirst, m_head, AfterLast, &TNode::Next);
            }

        protected:
            static constexpr EnumeratorState BeforeFirst = 0;
            static constexpr EnumeratorState AfterLast = ~static_cast<EnumeratorState>(0);

            LinkedListCore() noexcept : m_count(0), m_head(nullptr), m_tail(nullptr) {}
            ~LinkedListCore() override = default;

            // ArgumentException when the index is not below the count.
            TNode* GetNodeAt(UINT32 index) const
            {
                if (index >= m_count)
                {
                    throw ArgumentException();
                }
                if (index == m_count - 1)
                {
                    return m_tail;
                }
                TNode* node = m_head;
                for (UINT32 step = 0; step < index; ++step)
                {
                    node = node->Next;
                }
                return node;
            }

            // One step of an enumeration that starts at the end `start` and ends at the end `stop`:
            // from start to first, from a node along its link, past the last node to stop, where
            // the position stays. True when the step reaches a node.
            static bool Step(EnumeratorState& state, EnumeratorState start, TNode* first, EnumeratorState stop,
                             TNode* TNode::*link)
            {
                if (state == stop)
                {
                    return false;
                }
                TNode* next = state == start ? first : ToNode(state)->*link;
                state = next != nullptr ? FromNode(next) : stop;
                return next != nullptr;
            }

            // The node at the position. At either end: traces "Invalid enumerator state" at ERROR as
            // the caller, then InvalidOperationException.
            static TNode* GetNodeAtPosition(EnumeratorState state, PCWSTR traceSource, UINT32 line,
                                            const char* signature)
            {
                if (state == BeforeFirst || state == AfterLast)
                {
                    if (IsTraceEnabled(TraceLevel::Error))
                    {
                        TraceLiteral(TraceLevel::Error, traceSource, line, GetFunctionName(signature).GetBuffer(),
                                     L"Invalid enumerator state");
                    }
                    throw InvalidOperationException();
                }
                return ToNode(state);
            }

            // For the lists' destructors. Clear stops at a node whose element destructor throws,
            // after unlinking it; this goes on until no node is left, tracing each exception by the
            // catch convention as the caller.
            void ClearInDestructor(PCWSTR traceSource, UINT32 line, const char* signature) noexcept
            {
                while (m_count != 0)
                {
                    try
                    {
                        this->Clear();
                    }
                    catch (const Exception& exception)
                    {
                        TraceException(traceSource, line, GetFunctionName(signature).GetBuffer(), exception);
                    }
                }
            }

            UINT32 m_count;
            TNode* m_head;
            TNode* m_tail;

        private:
            static TNode* ToNode(EnumeratorState state) { return reinterpret_cast<TNode*>(state); }
            static EnumeratorState FromNode(TNode* node) { return reinterpret_cast<EnumeratorState>(node); }
        };
    }
}
