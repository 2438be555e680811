#pragma once

#include <windows.h>

namespace Tarn
{
    namespace Containers
    {
        // An opaque position in one container, meaningful only to the container that made it.
        using EnumeratorState = UINT_PTR;

        // The position operations a container offers to the enumerators over it. An enumerator
        // holds one state and hands it back through these calls; it never looks inside.
        template <typename T>
        class IEnumerableContainer
        {
        public:
            // A new state before the first element.
            virtual EnumeratorState CreateEnumeratorState() = 0;
            // Frees whatever the state holds; the state is not used afterwards.
            virtual void DestroyEnumeratorState(EnumeratorState state) = 0;
            // An independent state at the same position.
            virtual EnumeratorState CloneEnumeratorState(EnumeratorState state) = 0;
            // Moves the state back before the first element.
            virtual void ResetEnumeratorState(EnumeratorState& state) = 0;
            // Steps forward; false when there is no element there.
            virtual bool MoveNext(EnumeratorState& state) = 0;
            // Steps backward; false when there is no element there.
            virtual bool MovePrevious(EnumeratorState& state) = 0;
            // The element at the position; InvalidOperationException when the position holds none.
            virtual T* GetCurrentEnumeratorItem(EnumeratorState state) = 0;

        protected:
            virtual ~IEnumerableContainer() = default;
        };
    }
}
