#pragma once

// Holds one reference to a COM object and releases it when the scope ends.

namespace ShellHost
{
    template <typename Interface>
    class ComPointer
    {
    public:
        ComPointer() : m_object(nullptr) {}
        ComPointer(const ComPointer&) = delete;
        ComPointer& operator=(const ComPointer&) = delete;
        ~ComPointer()
        {
            if (m_object != nullptr)
            {
                m_object->Release();
            }
        }

        Interface* operator->() const { return m_object; }
        Interface* Get() const { return m_object; }
        // For the out parameter of a call that hands over a reference.
        Interface** Receive() { return &m_object; }
        void** ReceiveVoid() { return reinterpret_cast<void**>(&m_object); }

    private:
        Interface* m_object;
    };
}
