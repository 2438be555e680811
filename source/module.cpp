#include "module.h"

#include <shlobj.h>

#include "propertysheetextension.h"
#include "tarnclassfactory.h"
#include "tarnguid.h"
#include "tarnregistrykey.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"module";

    // The process-wide objects, built in this order at load and destroyed in reverse at unload.
    Module TheModule;
    const Tarn::String HandlerListKey(L"*\\shellex\\PropertySheetHandlers", true);
    const Tarn::String FriendlyName(L"Digestry shell property sheet extension", true);
    const Tarn::Guid ExtensionClassId(Tarn::String(L"{5E1A9C3B-7D24-4F8E-A6B1-0C93D2E4F517}", true));
    const Tarn::Com::CoClassEntry ExtensionClass(ExtensionClassId, Tarn::Com::ThreadingModel::Apartment, FriendlyName,
                                                 &Tarn::Com::ClassFactory<PropertySheetExtension>::CreateClassObject);

    const REGSAM WriteAccess = KEY_WRITE;

    void NotifyAssociationsChanged()
    {
        ::SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    }

    // The exports may be called on any thread while the DLL is loaded, and the module object lives
    // exactly that long.
    Module* GetServer()
    {
        return dynamic_cast<Module*>(Tarn::ModuleImpl::GetModule());
    }
}

UINT32 Module::GetClassCount() const
{
    return 1;
}

const Tarn::Com::CoClassEntry& Module::GetClassEntry(UINT32) const
{
    return ExtensionClass;
}

void Module::OnServerRegister()
{
    const Tarn::RegistryKey handlers = Tarn::RegistryKey::ClassesRoot.OpenSubkey(HandlerListKey, WriteAccess);
    const Tarn::RegistryKey handler = handlers.CreateSubkey(ExtensionClassId.ToString(), KEY_ALL_ACCESS);
    handler.SetStringValue(Tarn::String::Empty, FriendlyName, REG_SZ);
    NotifyAssociationsChanged();
    TARN_TRACE(Tarn::TraceLevel::Info, L"Module::OnServerRegister", L"Module was successfully registered.");
}

void Module::OnServerUnregister()
{
    const Tarn::RegistryKey handlers = Tarn::RegistryKey::ClassesRoot.OpenSubkey(HandlerListKey, WriteAccess);
    handlers.DeleteSubkey(ExtensionClassId.ToString());
    NotifyAssociationsChanged();
    TARN_TRACE(Tarn::TraceLevel::Info, L"Module::OnServerUnregister", L"Module was successfully unregistered.");
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    switch (reason)
    {
    case DLL_PROCESS_ATTACH:
        Tarn::SetTraceLevel(Tarn::TraceLevel::Error);
        Tarn::SetTraceName(Tarn::String(L"DIGESTRY", true));
        return TheModule.OnProcessAttach(instance) ? TRUE : FALSE;
    case DLL_PROCESS_DETACH:
        TheModule.OnProcessDetach();
        return TRUE;
    case DLL_THREAD_ATTACH:
        TheModule.OnThreadAttach();
        return TRUE;
    case DLL_THREAD_DETACH:
        TheModule.OnThreadDetach();
        return TRUE;
    default:
        return TRUE;
    }
}

STDAPI DllRegisterServer()
{
    Module* const server = GetServer();
    return server != nullptr ? server->DllRegisterServer() : E_UNEXPECTED;
}

STDAPI DllUnregisterServer()
{
    Module* const server = GetServer();
    return server != nullptr ? server->DllUnregisterServer() : E_UNEXPECTED;
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object)
{
    Module* const server = GetServer();
    return server != nullptr ? server->DllGetClassObject(clsid, iid, object) : E_UNEXPECTED;
}

STDAPI DllCanUnloadNow()
{
    Module* const server = GetServer();
    return server != nullptr ? server->DllCanUnloadNow() : S_FALSE;
}
