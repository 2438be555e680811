#pragma once

#include "tarnautoptr.h"
#include "tarnenumerablecontainer.h"
#include "tarnenumerator.h"
#include "tarnenumeratorimpl.h"
#include "tarnexception.h"
#include "tarnreferencecounted.h"
#include "tarnfunctionname.h"
#include "tarntrace.h"

namespace Tarn
{
    namespace Containers
    {
        // Binds one position state to the container that made it and gives the state back when
        // the last reference goes. It holds no reference on the container.
        template <typename T>
        class ContainerEnumerator : public ReferenceCountedObject, public IEnumeratorImpl<T>
        {
        public:
            static constexpr const wchar_t TraceSource[] = L"tarncontainerenumerator";

            // Takes over the state, which the container made. Count 1, held by the caller.
            // ArgumentException for a null container, so that a live object is always bound.
            ContainerEnumerator(IEnumerableContainer<T>* container, EnumeratorState state)
                : m_container(container), m_state(state)
            {
                if (container == nullptr)
                {
                    throw ArgumentException();
                }
            }

            // An enumerator over the container at a fresh state; the state is given back if the
            // enumerator cannot be built.
            static Enumerator<T> Enumerate(IEnumerableContainer<T>& container)
            {
                const AutoRefCountPtr<ContainerEnumerator> created(New(container, container.CreateEnumeratorState()));
                return Enumerator<T>(created.Get());
            }

            LONG GetReferenceCount() const override { return ReferenceCountedObject::GetReferenceCount(); }
            LONG AddRef() override { return ReferenceCountedObject::AddRef(); }
            LONG Release() override { return ReferenceCountedObject::Release(); }

            void Reset() override { m_container->ResetEnumeratorState(m_state); }
            bool MoveNext() override { return m_container->MoveNext(m_state); }
            bool MovePrevious() override { return m_container->MovePrevious(m_state); }
            T* GetCurrent() override { return m_container->GetCurrentEnumeratorItem(m_state); }

            IEnumeratorImpl<T>* Clone() override
            {
                return New(*m_container, m_container->CloneEnumeratorState(m_state));
            }

        protected:
            ~ContainerEnumerator() override
            {
                try
                {
                    m_container->DestroyEnumeratorState(m_state);
                }
                catch (const Exception& exception)
                {
                    TARN_TRACE_EXCEPTION(TARN_TEMPLATE_FUNCTION, exception);
                }
            }

        private:
            static ContainerEnumerator* New(IEnumerableContainer<T>& container, EnumeratorState state)
            {
                try
                {
                    return new ContainerEnumerator(&container, state);
                }
                catch (const Exception&)
                {
                    container.DestroyEnumeratorState(state);
                    throw;
                }
            }

            IEnumerableContainer<T>* m_container;
            EnumeratorState m_state;
        };
    }
}
