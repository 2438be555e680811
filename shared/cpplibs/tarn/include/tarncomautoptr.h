#pragma once

namespace Tarn
{
    namespace Com
    {
        // Owns one reference on a COM interface and releases it when destroyed or reset. It takes
        // over a reference the caller already holds; it never adds one.
        template <typename T>
        class ComLiteAutoPtr
        {
        public:
            explicit ComLiteAutoPtr(T* pointer = nullptr) noexcept : m_pointer(pointer) {}
            ComLiteAutoPtr(const ComLiteAutoPtr&) = delete;
            ComLiteAutoPtr& operator=(const ComLiteAutoPtr&) = delete;

            virtual ~ComLiteAutoPtr()
            {
                Reset();
            }

            T* Get() const noexcept { return m_pointer; }
            T* operator->() const noexcept { return m_pointer; }
            bool IsNull() const noexcept { return m_pointer == nullptr; }

            // For an out-parameter: releases the held reference and lends the emptied slot.
            T** GetAddress()
            {
                Reset();
                return &m_pointer;
            }

            // Releases the held reference and takes over the new one.
            void Reset(T* pointer = nullptr)
            {
                T* previous = m_pointer;
                m_pointer = pointer;
                if (previous != nullptr)
                {
                    previous->Release();
                }
            }

            // Gives up ownership: returns the pointer and stores null.
            T* Detach() noexcept
            {
                T* pointer = m_pointer;
                m_pointer = nullptr;
                return pointer;
            }

        private:
            T* m_pointer;
        };

        // The owning COM pointer for general use; owns exactly as ComLiteAutoPtr does.
        template <typename T>
        class ComAutoPtr : public ComLiteAutoPtr<T>
        {
        public:
            explicit ComAutoPtr(T* pointer = nullptr) noexcept : ComLiteAutoPtr<T>(pointer) {}
        };
    }
}
