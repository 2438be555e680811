#pragma once

#include <windows.h>

#include "tarnenumerator.h"

namespace Tarn
{
    // A collection that can be walked element by element.
    template <typename T>
    class IEnumerable
    {
    public:
        virtual UINT32 GetCount() const = 0;
        // A new enumerator before the first element. The collection must outlive it and must not
        // change while it is in use.
        virtual Enumerator<T> GetEnumerator() = 0;
        virtual ~IEnumerable() = default;
    };
}
