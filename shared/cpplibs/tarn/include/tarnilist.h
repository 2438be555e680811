#pragma once

#include <windows.h>

#include "tarnenumerable.h"

namespace Tarn
{
    namespace Containers
    {
        // An indexed sequence of element copies. Indices out of range throw ArgumentException.
        template <typename T>
        class IList : public IEnumerable<T>
        {
        public:
            virtual const T& GetAt(UINT32 index) const = 0;
            virtual T& GetAt(UINT32 index) = 0;
            virtual void SetAt(UINT32 index, const T& value) = 0;
            virtual void Clear() = 0;
            // Appends a copy; returns its index.
            virtual UINT32 Add(const T& value) = 0;
            // Appends copies of every element of the other collection.
            virtual void AddItems(IEnumerable<T>& items) = 0;
            virtual void RemoveAt(UINT32 index) = 0;
        };
    }
}
