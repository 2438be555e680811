#pragma once

#include <windows.h>

namespace Tarn
{
    // An object whose lifetime is governed by an intrusive, thread-safe reference count.
    class IReferenceCountedObject
    {
    public:
        // The current count, read atomically.
        virtual LONG GetReferenceCount() const = 0;
        // Adds one reference; returns the new count.
        virtual LONG AddRef() = 0;
        // Drops one reference; returns the new count. The object deletes itself when it reaches 0.
        virtual LONG Release() = 0;

    protected:
        virtual ~IReferenceCountedObject() = default;
    };

    // The one implementation of the count. The creator holds the initial reference(s) and hands
    // them over or releases them explicitly.
    class ReferenceCountedObject : public IReferenceCountedObject
    {
    public:
        explicit ReferenceCountedObject(LONG initialCount = 1) noexcept : m_referenceCount(initialCount) {}
        ReferenceCountedObject(const ReferenceCountedObject&) = delete;
        ReferenceCountedObject& operator=(const ReferenceCountedObject&) = delete;

        LONG GetReferenceCount() const override
        {
            return ::InterlockedExchangeAdd(&m_referenceCount, 0);
        }

        LONG AddRef() override
        {
            return ::InterlockedIncrement(&m_referenceCount);
        }

        LONG Release() override
        {
            const LONG count = ::InterlockedDecrement(&m_referenceCount);
            if (count == 0)
            {
                delete this;
            }
            return count;
        }

    protected:
        ~ReferenceCountedObject() override = default;

    private:
        mutable volatile LONG m_referenceCount;
    };
}
