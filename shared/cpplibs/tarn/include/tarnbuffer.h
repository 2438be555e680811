#pragma once

#include <windows.h>

#include "tarnreferencecounted.h"

namespace Tarn
{
    // A reference-counted block of bytes with a fixed capacity and a length in use. Its content is
    // written once, before it is shared, and only read afterwards.
    class IBuffer : public IReferenceCountedObject
    {
    public:
        virtual UINT32 GetCapacity() const = 0;
        virtual UINT32 GetLength() const = 0;
        // ArgumentException for a length above the capacity.
        virtual void SetLength(UINT32 length) = 0;
        virtual const BYTE* GetData() const = 0;
        virtual BYTE* GetData() = 0;
    };

    class Buffer : public ReferenceCountedObject, public IBuffer
    {
    public:
        // Allocates capacity bytes (not initialised), length 0, reference count 1.
        // ArgumentException for a capacity of 0.
        explicit Buffer(UINT32 capacity);

        LONG GetReferenceCount() const override { return ReferenceCountedObject::GetReferenceCount(); }
        LONG AddRef() override { return ReferenceCountedObject::AddRef(); }
        LONG Release() override { return ReferenceCountedObject::Release(); }

        UINT32 GetCapacity() const override { return m_capacity; }
        UINT32 GetLength() const override { return m_length; }
        void SetLength(UINT32 length) override;
        const BYTE* GetData() const override { return m_data; }
        BYTE* GetData() override { return m_data; }

    protected:
        ~Buffer() override;

    private:
        const UINT32 m_capacity;
        UINT32 m_length;
        BYTE* m_data;
    };
}
