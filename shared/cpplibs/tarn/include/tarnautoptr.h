#pragma once

#include "tarnexception.h"
#include "tarnfunctionname.h"
#include "tarntrace.h"

namespace Tarn
{
    // Common part of the owning pointers: holds one pointer and lends it out. Owns nothing itself.
    template <typename T>
    class AutoPtrBase
    {
    public:
        AutoPtrBase(const AutoPtrBase&) = delete;
        AutoPtrBase& operator=(const AutoPtrBase&) = delete;
        virtual ~AutoPtrBase() = default;

        virtual T* Get() const { return m_pointer; }
        virtual T* operator->() const { return m_pointer; }
        // The address of the stored pointer, for out-parameters; the pointer stored there is owned.
        virtual T** GetAddress() { return &m_pointer; }
        // Gives up ownership: returns the pointer and stores null.
        virtual T* Detach()
        {
            T* pointer = m_pointer;
            m_pointer = nullptr;
            return pointer;
        }

        T& operator*() const { return *m_pointer; }
        bool IsNull() const { return m_pointer == nullptr; }

    protected:
        explicit AutoPtrBase(T* pointer) noexcept : m_pointer(pointer) {}

        T* m_pointer;
    };

    // Owns a single object created with new; deletes it on destruction or reassignment.
    template <typename T>
    class AutoPtr : public AutoPtrBase<T>
    {
    public:
        static constexpr const wchar_t TraceSource[] = L"tarnautoptr";

        explicit AutoPtr(T* pointer = nullptr) noexcept : AutoPtrBase<T>(pointer) {}

        ~AutoPtr() override
        {
            try
            {
                delete this->m_pointer;
            }
            catch (const Exception& exception)
            {
                TARN_TRACE_EXCEPTION(TARN_TEMPLATE_FUNCTION, exception);
            }
            this->m_pointer = nullptr;
        }

        AutoPtr& operator=(T* pointer)
        {
            if (pointer != this->m_pointer)
            {
                T* previous = this->m_pointer;
                this->m_pointer = pointer;
                delete previous;
            }
            return *this;
        }
    };

    // Owns an array created with new[]; deletes it with delete[].
    template <typename T>
    class AutoArrayPtr : public AutoPtrBase<T>
    {
    public:
        explicit AutoArrayPtr(T* pointer = nullptr) noexcept : AutoPtrBase<T>(pointer) {}

        ~AutoArrayPtr() override
        {
            delete[] this->m_pointer;
            this->m_pointer = nullptr;
        }

        T& operator[](size_t index) const { return this->m_pointer[index]; }
    };

    // Owns one reference on a reference-counted object. It takes over a reference the caller
    // already holds; it never adds one.
    template <typename T>
    class AutoRefCountPtr : public AutoPtrBase<T>
    {
    public:
        explicit AutoRefCountPtr(T* pointer = nullptr) noexcept : AutoPtrBase<T>(pointer) {}

        ~AutoRefCountPtr() override
        {
            if (this->m_pointer != nullptr)
            {
                this->m_pointer->Release();
                this->m_pointer = nullptr;
            }
        }
    };
}
