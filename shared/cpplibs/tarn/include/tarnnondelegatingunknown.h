#pragma once

#include <windows.h>
#include <unknwn.h>

namespace Tarn
{
    namespace Com
    {
        // The object's own IUnknown when it is aggregated: the outer object holds the inner one
        // through this interface, while the inner object's other interfaces delegate to the outer
        // one. Its layout matches IUnknown's, so a pointer to it is handed out as the inner
        // object's IUnknown.
        class INonDelegatingUnknown
        {
        public:
            virtual HRESULT STDMETHODCALLTYPE NonDelegatingQueryInterface(REFIID iid, void** object) = 0;
            virtual ULONG STDMETHODCALLTYPE NonDelegatingAddRef() = 0;
            virtual ULONG STDMETHODCALLTYPE NonDelegatingRelease() = 0;

        protected:
            // Not virtual: a destructor slot would break the match with IUnknown.
            ~INonDelegatingUnknown() = default;
        };
    }
}
