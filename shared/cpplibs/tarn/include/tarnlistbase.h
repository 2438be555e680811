#pragma once

#include <windows.h>

#include "tarnenumerablecontainer.h"
#include "tarnfunctionname.h"
#include "tarnlinkedlistcore.h"
#include "tarnnode.h"

namespace Tarn
{
    namespace Containers
    {
        // The doubly linked list of element copies, without the operations that create nodes
        // (List supplies them). Enumerators walk it in both directions.
        template <typename T>
        class ListBase : public LinkedListCore<T, Node<T>>
        {
        public:
            static constexpr const wchar_t TraceSource[] = L"tarnlistbase";

            ListBase(const ListBase&) = delete;
            ListBase& operator=(const ListBase&) = delete;

            // Frees every node, also past element destructors that throw (each is traced).
            ~ListBase() override { this->ClearInDestructor(TraceSource, __LINE__, TARN_FUNCTION_SIGNATURE); }

            // Removes the nodes from the head on. If OnItemRemoving or an element destructor
            // throws, the nodes removed so far are gone and the rest stay linked and counted.
            void Clear() override
            {
                while (this->m_head != nullptr)
                {
                    Remove(this->m_head);
                }
            }

            void RemoveAt(UINT32 index) override { Remove(this->GetNodeAt(index)); }

            bool MovePrevious(EnumeratorState& state) override
            {
                return this->Step(state, Core::AfterLast, this->m_tail, Core::BeforeFirst, &Node<T>::Previous);
            }

            T* GetCurrentEnumeratorItem(EnumeratorState state) override
            {
                return &this->GetNodeAtPosition(state, TraceSource, __LINE__, TARN_FUNCTION_SIGNATURE)->Value;
            }

        protected:
            ListBase() noexcept = default;

            // Called while the node is still linked, just before it is unlinked and deleted.
            virtual void OnItemRemoving(Node<T>*) {}

        private:
            using Core = LinkedListCore<T, Node<T>>;

            void Remove(Node<T>* node)
            {
                OnItemRemoving(node);
                // The head has no previous node: Clear never takes the node deleted here for its head.
                // NOLINTNEXTLINE(clang-analyzer-cplusplus.NewDelete): see above
                if (node->Previous != nullptr)
                {
                    node->Previous->Next = node->Next;
                }
                else
                {
                    this->m_head = node->Next;
                }
                if (node->Next != nullptr)
                {
                    node->Next->Previous = node->Previous;
                }
                else
                {
                    this->m_tail = node->Previous;
                }
                --this->m_count;
                delete node;
            }
        };
    }
}
