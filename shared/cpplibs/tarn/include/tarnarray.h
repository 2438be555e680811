#pragma once

#include <windows.h>

#include "tarnautoptr.h"
#include "tarncontainerenumerator.h"
#include "tarnenumerablecontainer.h"
#include "tarnexception.h"

namespace Tarn
{
    namespace Containers
    {
        // A fixed-size block of value-initialised elements. Unlike the lists it notices a change
        // of its size under an open enumeration: every position operation then throws
        // InvalidOperationException.
        template <typename T>
        class Array : public IEnumerableContainer<T>
        {
        public:
            // No storage at all for a count of 0.
            explicit Array(UINT32 count) : m_data(count != 0 ? new T[count]() : nullptr), m_count(count) {}
            Array(const Array&) = delete;
            Array& operator=(const Array&) = delete;

            ~Array() override { delete[] m_data; }

            UINT32 GetCount() const { return m_count; }
            // The elements in one contiguous block, for platform calls; null when the count is 0.
            T* GetData() { return m_data; }
            const T* GetData() const { return m_data; }

            // ArgumentException when the index is not below the count.
            T& GetAt(UINT32 index) { return m_data[CheckIndex(index)]; }
            const T& GetAt(UINT32 index) const { return m_data[CheckIndex(index)]; }

            // New storage of the given count; the leading elements keep their values, new ones are
            // value-initialised. A failed allocation or copy changes nothing.
            void Resize(UINT32 count)
            {
                AutoArrayPtr<T> data(count != 0 ? new T[count]() : nullptr);
                for (UINT32 index = 0; index < count && index < m_count; ++index)
                {
                    data[index] = m_data[index];
                }
                delete[] m_data;
                m_data = data.Detach();
                m_count = count;
            }

            Enumerator<T> GetEnumerator() { return ContainerEnumerator<T>::Enumerate(*this); }

            EnumeratorState CreateEnumeratorState() override
            {
                return reinterpret_cast<EnumeratorState>(new _ENUMERATION_STATE{m_count, BeforeFirst});
            }

            void DestroyEnumeratorState(EnumeratorState state) override { delete ToRecord(state); }

            EnumeratorState CloneEnumeratorState(EnumeratorState state) override
            {
                return reinterpret_cast<EnumeratorState>(new _ENUMERATION_STATE(*ToRecord(state)));
            }

            void ResetEnumeratorState(EnumeratorState& state) override
            {
                _ENUMERATION_STATE* record = ToRecord(state);
                record->Count = m_count;
                record->Index = BeforeFirst;
            }

            bool MoveNext(EnumeratorState& state) override
            {
                _ENUMERATION_STATE* record = GetUnchangedRecord(state);
                if (record->Index == record->Count)
                {
                    return false;
                }
                ++record->Index;
                return record->Index != record->Count;
            }

            bool MovePrevious(EnumeratorState& state) override
            {
                _ENUMERATION_STATE* record = GetUnchangedRecord(state);
                if (record->Index == BeforeFirst)
                {
                    return false;
                }
                --record->Index;
                return record->Index != BeforeFirst;
            }

            T* GetCurrentEnumeratorItem(EnumeratorState state) override
            {
                const _ENUMERATION_STATE* record = GetUnchangedRecord(state);
                if (record->Index == BeforeFirst || record->Index == record->Count)
                {
                    throw InvalidOperationException();
                }
                return &m_data[record->Index];
            }

        private:
            // The count the position belongs to and the index, BeforeFirst before the first element.
            struct _ENUMERATION_STATE
            {
                INT64 Count;
                INT64 Index;
            };

            static constexpr INT64 BeforeFirst = -1;

            static _ENUMERATION_STATE* ToRecord(EnumeratorState state)
            {
                return reinterpret_cast<_ENUMERATION_STATE*>(state);
            }

            // InvalidOperationException when the array was resized since the position was made or reset.
            _ENUMERATION_STATE* GetUnchangedRecord(EnumeratorState state) const
            {
                _ENUMERATION_STATE* record = ToRecord(state);
                if (record->Count != m_count)
                {
                    throw InvalidOperationException();
                }
                return record;
            }

            UINT32 CheckIndex(UINT32 index) const
            {
                if (index >= m_count)
                {
                    throw ArgumentException();
                }
                return index;
            }

            T* m_data;
            UINT32 m_count;
        };
    }
}
