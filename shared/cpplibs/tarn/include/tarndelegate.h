#pragma once

#include <cstring>

#include "tarnexception.h"

namespace Tarn
{
    // A callback bound to one member function of one object, returning nothing and taking the
    // given arguments. It does not own the object: whoever binds it keeps the object alive for as
    // long as the delegate may be invoked. Delegates are plain values: copying one copies the binding.
    template <typename... Arguments>
    class Delegate
    {
    public:
        // An empty delegate: it holds no invoker, and invoking it throws.
        Delegate() noexcept : m_target(nullptr), m_invoker(nullptr), m_method() {}

        // Binds method to target. ArgumentException for a null method or a null target.
        template <typename Target>
        Delegate(Target* target, void (Target::*method)(Arguments...))
            : m_target(target), m_invoker(&InvokeMember<Target>), m_method()
        {
            static_assert(sizeof(method) <= sizeof(m_method), "member function pointer does not fit");
            if (target == nullptr || method == nullptr)
            {
                throw ArgumentException();
            }
            std::memcpy(m_method, &method, sizeof(method));
        }

        bool HasInvoker() const noexcept { return m_invoker != nullptr; }

        // Calls the bound member function. InvalidOperationException for an empty delegate.
        void Invoke(Arguments... arguments) const
        {
            if (m_invoker == nullptr)
            {
                throw InvalidOperationException();
            }
            m_invoker(*this, arguments...);
        }

    private:
        typedef void (*Invoker)(const Delegate& delegate, Arguments... arguments);

        // Recovers the member function pointer with its real type; the target's type is known here
        // and nowhere else, which is what lets one delegate type serve every class.
        template <typename Target>
        static void InvokeMember(const Delegate& delegate, Arguments... arguments)
        {
            void (Target::*method)(Arguments...);
            std::memcpy(&method, delegate.m_method, sizeof(method));
            (static_cast<Target*>(delegate.m_target)->*method)(arguments...);
        }

        // A pointer to a member of a class whose inheritance is unknown has the largest
        // representation a compiler uses, so its size is room enough for any member function.
        class UnknownClass;
        typedef void (UnknownClass::*LargestMethod)();

        void* m_target;
        Invoker m_invoker;
        alignas(LargestMethod) unsigned char m_method[sizeof(LargestMethod)];
    };
}
