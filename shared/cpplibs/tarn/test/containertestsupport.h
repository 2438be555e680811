#pragma once

// Helpers for the container tests: reading a container's elements through its enumerator, a
// scripted container that counts its enumeration states and can fail on demand, and an element
// whose destructor throws.

#include <windows.h>

#include <atomic>
#include <cstddef>
#include <vector>

#include "tarncontainerenumerator.h"
#include "tarnenumerable.h"
#include "tarnenumerablecontainer.h"
#include "tarnexception.h"

namespace TarnTest
{
    // The elements in enumeration order.
    template <typename T>
    std::vector<T> Enumerate(Tarn::IEnumerable<T>& items)
    {
        std::vector<T> values;
        Tarn::Enumerator<T> enumerator = items.GetEnumerator();
        while (enumerator.MoveNext())
        {
            values.push_back(*enumerator);
        }
        return values;
    }

    // The elements walked backwards from after the last one.
    template <typename T>
    std::vector<T> EnumerateBackwards(Tarn::IEnumerable<T>& items)
    {
        std::vector<T> values;
        Tarn::Enumerator<T> enumerator = items.GetEnumerator();
        while (enumerator.MoveNext())
        {
        }
        while (enumerator.MovePrevious())
        {
            values.push_back(*enumerator);
        }
        return values;
    }

    // A container over a vector whose states are allocated records, so that every state made and
    // given back is counted. MoveNext onto the element at FailAt throws.
    class ScriptedContainer : public Tarn::IEnumerable<int>, public Tarn::Containers::IEnumerableContainer<int>
    {
    public:
        static constexpr std::size_t NeverFail = ~static_cast<std::size_t>(0);
        static constexpr HRESULT FailureCode = E_FAIL;

        explicit ScriptedContainer(std::vector<int> values, std::size_t failAt = NeverFail)
            : m_values(std::move(values)), m_failAt(failAt)
        {
        }

        UINT32 GetCount() const override { return static_cast<UINT32>(m_values.size()); }

        Tarn::Enumerator<int> GetEnumerator() override
        {
            return Tarn::Containers::ContainerEnumerator<int>::Enumerate(*this);
        }

        Tarn::Containers::EnumeratorState CreateEnumeratorState() override { return NewState(0); }

        void DestroyEnumeratorState(Tarn::Containers::EnumeratorState state) override
        {
            ++m_statesDestroyed;
            delete ToPosition(state);
        }

        Tarn::Containers::EnumeratorState CloneEnumeratorState(Tarn::Containers::EnumeratorState state) override
        {
            return NewState(*ToPosition(state));
        }

        void ResetEnumeratorState(Tarn::Containers::EnumeratorState& state) override { *ToPosition(state) = 0; }

        bool MoveNext(Tarn::Containers::EnumeratorState& state) override
        {
            std::size_t& position = *ToPosition(state);
            if (position == m_failAt)
            {
                throw Tarn::SystemException(FailureCode);
            }
            if (position > m_values.size())
            {
                return false;
            }
            ++position;
            return position <= m_values.size();
        }

        bool MovePrevious(Tarn::Containers::EnumeratorState& state) override
        {
            std::size_t& position = *ToPosition(state);
            if (position == 0)
            {
                return false;
            }
            --position;
            return position != 0;
        }

        int* GetCurrentEnumeratorItem(Tarn::Containers::EnumeratorState state) override
        {
            const std::size_t position = *ToPosition(state);
            if (position == 0 || position > m_values.size())
            {
                throw Tarn::InvalidOperationException();
            }
            return &m_values[position - 1];
        }

        int GetStatesCreated() const { return m_statesCreated; }
        int GetStatesDestroyed() const { return m_statesDestroyed; }

    private:
        // The state is the 1-based position of the current element; 0 is before the first.
        Tarn::Containers::EnumeratorState NewState(std::size_t position)
        {
            ++m_statesCreated;
            return reinterpret_cast<Tarn::Containers::EnumeratorState>(new std::size_t(position));
        }

        static std::size_t* ToPosition(Tarn::Containers::EnumeratorState state)
        {
            return reinterpret_cast<std::size_t*>(state);
        }

        std::vector<int> m_values;
        std::size_t m_failAt;
        std::atomic<int> m_statesCreated{0};
        std::atomic<int> m_statesDestroyed{0};
    };

    // An element whose destructor throws once armed.
    class Grenade
    {
    public:
        explicit Grenade(int* destructions) : Armed(false), m_destructions(destructions) {}
        Grenade(const Grenade&) = default;
        Grenade& operator=(const Grenade&) = default;
        ~Grenade() noexcept(false)
        {
            ++*m_destructions;
            if (Armed)
            {
                throw Tarn::SystemException(E_UNEXPECTED);
            }
        }

        bool Armed;

    private:
        int* m_destructions;
    };

    // Destroys a list of three elements whose destructors all throw; returns how many of them ran.
    template <typename TList>
    int DestroyListOfArmedGrenades()
    {
        int destructions = 0;
        {
            TList list;
            for (int index = 0; index < 3; ++index)
            {
                list.Add(Grenade(&destructions));
            }
            destructions = 0;
            for (UINT32 index = 0; index < 3; ++index)
            {
                list.GetAt(index).Armed = true;
            }
        }
        return destructions;
    }
}
