// A small in-process server on the foundation's COM frame, built only for the tests: they load it,
// register it and create its objects through its exports, as the shell and regsvr32 would.

#include <windows.h>
#include <objbase.h>
#include <olectl.h>

#include <cwchar>

#include "tarnclassfactory.h"
#include "tarncoclassentry.h"
#include "tarncomobjectimpl.h"
#include "tarnexception.h"
#include "tarninprocserverimpl.h"
#include "tarntrace.h"
#include "testserver.h"
#include "testsupport.h"

namespace
{
    const wchar_t TraceSource[] = L"testserver";

    // Set by TestServerThrowUnexpected: the class table and the unavailable object then throw what
    // no code of the foundation throws.
    volatile LONG ThrowUnexpected = 0;

    // A plain object whose only interface tells its class.
    template <const CLSID& Clsid>
    class PersistObject : public Tarn::Com::ComObjectImpl, public IPersist
    {
    public:
        PersistObject(Tarn::Com::IComModule* module, IUnknown* outer)
            : ComObjectImpl(module, outer)
        {
        }

        TARN_COM_FORWARD_IUNKNOWN

        HRESULT STDMETHODCALLTYPE GetClassID(CLSID* clsid) override
        {
            if (clsid == nullptr)
            {
                return E_POINTER;
            }
            *clsid = Clsid;
            return S_OK;
        }

    protected:
        void* InternalQueryInterface(REFIID iid) override
        {
            if (::IsEqualIID(iid, IID_IPersist))
            {
                IPersist* persist = this;
                return persist;
            }
            return ComObjectImpl::InternalQueryInterface(iid);
        }
    };

    // An object whose construction fails, as one would whose resources cannot be had.
    class UnavailableObject : public Tarn::Com::ComObjectImpl
    {
    public:
        UnavailableObject(Tarn::Com::IComModule* module, IUnknown* outer)
            : ComObjectImpl(module, outer)
        {
            if (ThrowUnexpected != 0)
            {
                throw TarnTest::UnexpectedFailure();
            }
            throw Tarn::SystemException(TestServer::UnavailableObjectError);
        }
    };

    class Server : public Tarn::Com::InProcServerImpl
    {
    public:
        UINT32 GetClassCount() const override;
        const Tarn::Com::CoClassEntry& GetClassEntry(UINT32 index) const override;
    };

    Server TheServer;

    const Tarn::Com::CoClassEntry ClassTable[] = {
        Tarn::Com::CoClassEntry(TestServer::ApartmentObjectClsid, Tarn::Com::ThreadingModel::Apartment,
                                Tarn::String(TestServer::ApartmentObjectDescription, true),
                                Tarn::Com::ClassFactory<PersistObject<TestServer::ApartmentObjectClsid>>::CreateClassObject),
        Tarn::Com::CoClassEntry(TestServer::FreeObjectClsid, Tarn::Com::ThreadingModel::Free, Tarn::String::Empty,
                                Tarn::Com::ClassFactory<PersistObject<TestServer::FreeObjectClsid>>::CreateClassObject),
        Tarn::Com::CoClassEntry(TestServer::UnavailableObjectClsid, Tarn::Com::ThreadingModel::Both,
                                Tarn::String(TestServer::UnavailableObjectDescription, true),
                                Tarn::Com::ClassFactory<UnavailableObject>::CreateClassObject),
    };

    UINT32 Server::GetClassCount() const
    {
        return ARRAYSIZE(ClassTable);
    }

    const Tarn::Com::CoClassEntry& Server::GetClassEntry(UINT32 index) const
    {
        if (ThrowUnexpected != 0)
        {
            throw TarnTest::UnexpectedFailure();
        }
        return ClassTable[index];
    }
}

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason)
    {
    case DLL_PROCESS_ATTACH:
        // WARNING, so that a refused Windows version shows its reason.
        Tarn::SetTraceLevel(Tarn::TraceLevel::Warning);
        Tarn::SetTraceName(Tarn::String(L"TESTSERVER", true));
        return TheServer.OnProcessAttach(instance) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        TheServer.OnProcessDetach();
        // The tests cannot call into the DLL any more; this line tells them what detach left.
        TARN_TRACE(Tarn::TraceLevel::Warning, L"DllMain", L"Module instance after detach: {0}",
                   static_cast<const void*>(TheServer.GetModuleInstance()));
        return TRUE;
    case DLL_THREAD_ATTACH:
        TheServer.OnThreadAttach();
        return TRUE;
    case DLL_THREAD_DETACH:
        TheServer.OnThreadDetach();
        return TRUE;
    default:
        return TRUE;
    }
}

STDAPI DllRegisterServer()
{
    return TheServer.DllRegisterServer();
}

STDAPI DllUnregisterServer()
{
    return TheServer.DllUnregisterServer();
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object)
{
    return TheServer.DllGetClassObject(clsid, iid, object);
}

STDAPI DllCanUnloadNow()
{
    return TheServer.DllCanUnloadNow();
}

extern "C" DWORD WINAPI TestServerGetModuleFileName(PWSTR buffer, DWORD capacity)
{
    try
    {
        const Tarn::String path = TheServer.GetModuleFileNameW();
        const DWORD length = path.GetLength();
        if (capacity > 0)
        {
            const DWORD copied = length < capacity ? length : capacity - 1;
            std::wmemcpy(buffer, path.GetBuffer(), copied);
            buffer[copied] = L'\0';
        }
        return length;
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(L"TestServerGetModuleFileName", exception);
        return 0;
    }
}

extern "C" HINSTANCE WINAPI TestServerGetResourceInstance()
{
    return TheServer.GetResourceInstance();
}

extern "C" void WINAPI TestServerThrowUnexpected(BOOL enabled)
{
    ::InterlockedExchange(&ThrowUnexpected, enabled ? 1 : 0);
}
