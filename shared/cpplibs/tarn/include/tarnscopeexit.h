#pragma once

namespace Tarn
{
    // Runs an action when the scope that holds it ends, on every path out of it, an exception
    // included: state that a scope changes is restored in one place. Dismiss keeps it from running,
    // for work that is to stand only when the scope fails. The action runs in a destructor, so it
    // must not throw: a failure inside it is traced there, not passed on.
    //
    //     m_busy = true;
    //     const Tarn::ScopeExit idle([this]() noexcept { m_busy = false; });
    template <typename Action>
    class ScopeExit
    {
    public:
        explicit ScopeExit(const Action& action) noexcept : m_action(action), m_armed(true) {}
        ScopeExit(const ScopeExit&) = delete;
        ScopeExit& operator=(const ScopeExit&) = delete;

        ~ScopeExit()
        {
            if (m_armed)
            {
                m_action();
            }
        }

        void Dismiss() noexcept { m_armed = false; }

    private:
        Action m_action;
        bool m_armed;
    };
}
