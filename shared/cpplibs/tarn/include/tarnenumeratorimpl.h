#pragma once

#include "tarnreferencecounted.h"

namespace Tarn
{
    // The shared, reference-counted object behind an Enumerator: one position in one container.
    // Every operation throws InvalidOperationException when the object is no longer bound to a container.
    template <typename T>
    class IEnumeratorImpl : public IReferenceCountedObject
    {
    public:
        virtual void Reset() = 0;
        virtual bool MoveNext() = 0;
        virtual bool MovePrevious() = 0;
        virtual T* GetCurrent() = 0;
        // A new object at the same position with one reference, held by the caller.
        virtual IEnumeratorImpl* Clone() = 0;
    };
}
