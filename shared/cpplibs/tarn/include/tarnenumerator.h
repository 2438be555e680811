#pragma once

#include "tarnautoptr.h"
#include "tarnenumeratorimpl.h"
#include "tarnexception.h"

namespace Tarn
{
    // What callers hold to walk a container: a position and the element there.
    template <typename T>
    class IEnumerator
    {
    public:
        // Back to before the first element.
        virtual void Reset() = 0;
        // Steps forward; false when there is no element there.
        virtual bool MoveNext() = 0;
        // Steps backward; false when there is no element there. Not every container supports it.
        virtual bool MovePrevious() = 0;
        // The address of the current element, which stays owned by the container.
        virtual T* GetCurrent() const = 0;
        virtual ~IEnumerator() = default;
        // Gives up the position; every later operation throws InvalidOperationException.
        virtual void Close() = 0;
    };

    // A small value holding one reference to an enumerator object. It can be moved but not copied:
    // a copy would share the position, which Clone makes explicit instead. The container must
    // outlive it.
    template <typename T>
    class Enumerator : public IEnumerator<T>
    {
    public:
        // Takes a reference of its own on the object; ArgumentException for null.
        explicit Enumerator(IEnumeratorImpl<T>* impl) : m_impl(impl)
        {
            if (impl == nullptr)
            {
                throw ArgumentException();
            }
            m_impl->AddRef();
        }

        Enumerator(Enumerator&& other) noexcept : m_impl(other.m_impl)
        {
            other.m_impl = nullptr;
        }

        Enumerator(const Enumerator&) = delete;
        Enumerator& operator=(const Enumerator&) = delete;

        Enumerator& operator=(Enumerator&& other) noexcept
        {
            if (this != &other)
            {
                Close();
                m_impl = other.m_impl;
                other.m_impl = nullptr;
            }
            return *this;
        }

        ~Enumerator() override { Enumerator::Close(); }

        void Reset() override { GetImpl()->Reset(); }
        bool MoveNext() override { return GetImpl()->MoveNext(); }
        bool MovePrevious() override { return GetImpl()->MovePrevious(); }
        T* GetCurrent() const override { return GetImpl()->GetCurrent(); }
        T& operator*() const { return *GetCurrent(); }
        T* operator->() const { return GetCurrent(); }

        void Close() noexcept override
        {
            if (m_impl != nullptr)
            {
                m_impl->Release();
                m_impl = nullptr;
            }
        }

        // An independent enumerator at the same position.
        Enumerator Clone() const
        {
            const AutoRefCountPtr<IEnumeratorImpl<T>> clone(GetImpl()->Clone());
            return Enumerator(clone.Get());
        }

    private:
        IEnumeratorImpl<T>* GetImpl() const
        {
            if (m_impl == nullptr)
            {
                throw InvalidOperationException();
            }
            return m_impl;
        }

        IEnumeratorImpl<T>* m_impl;
    };
}
