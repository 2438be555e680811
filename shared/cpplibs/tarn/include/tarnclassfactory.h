#pragma once

#include <windows.h>
#include <unknwn.h>

#include "tarnboundary.h"
#include "tarncommodule.h"
#include "tarncomobjectimpl.h"
#include "tarnexception.h"

namespace Tarn
{
    namespace Com
    {
        // The class object of the COM class T. T derives from ComObjectImpl and is constructed
        // from (IComModule*, IUnknown* outer); it may be aggregated through IUnknown only.
        template <typename T>
        class ClassFactory : public ComObjectImpl, public IClassFactory
        {
        public:
            static constexpr const wchar_t TraceSource[] = L"tarnclassfactory";

            // The class-object creator of a CoClassEntry for T: a new factory, queried for the IID.
            static HRESULT CreateClassObject(IComModule* module, REFIID iid, void** object)
            {
                ClassFactory* factory = new ClassFactory(module, nullptr);
                const HRESULT result = factory->QueryInterface(iid, object);
                factory->Release();
                return result;
            }

            ClassFactory(IComModule* module, IUnknown* outer)
                : ComObjectImpl(module, outer)
            {
            }

            TARN_COM_FORWARD_IUNKNOWN

            // The new object's interface for the IID. With an outer object only IID_IUnknown is
            // accepted (E_NOINTERFACE otherwise), and the result is the new object's own
            // INonDelegatingUnknown. An object whose query fails is destroyed again.
            HRESULT STDMETHODCALLTYPE CreateInstance(IUnknown* outer, REFIID iid, void** object) override
            {
                if (object == nullptr)
                {
                    return E_INVALIDARG;
                }
                *object = nullptr;
                if (outer != nullptr && !::IsEqualIID(iid, IID_IUnknown))
                {
                    return E_NOINTERFACE;
                }
                // The caller hears of a Tarn::Exception (an allocation failure, an object that cannot
                // be made) through its code; there is nothing to trace.
                return CatchAll(
                    TARN_BOUNDARY(L"Tarn::Com::ClassFactory::CreateInstance"), E_UNEXPECTED,
                    [this, outer, &iid, object] {
                        T* instance = new T(GetComModule(), outer);
                        const HRESULT result = instance->NonDelegatingQueryInterface(iid, object);
                        instance->NonDelegatingRelease();
                        return result;
                    },
                    [](const Exception& exception) { return exception.GetErrorCode(); });
            }

            HRESULT STDMETHODCALLTYPE LockServer(BOOL lock) override
            {
                return CatchAllAsHResult(TARN_BOUNDARY(L"Tarn::Com::ClassFactory::LockServer"),
                                         [this, lock] { return GetComModule()->LockServer(lock != FALSE); });
            }

        protected:
            void* InternalQueryInterface(REFIID iid) override
            {
                if (::IsEqualIID(iid, IID_IClassFactory))
                {
                    IClassFactory* classFactory = this;
                    return classFactory;
                }
                return ComObjectImpl::InternalQueryInterface(iid);
            }
        };
    }
}
