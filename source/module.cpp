#include "module.h"

#include <shlobj.h>

#include "propertysheetextension.h"
#include "tarnboundary.h"
#include "tarnclassfactory.h"
#include "tarnguid.h"
#include "tarnregistrykey.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"module";

    // The process-wide objects, built in this order at load and destroyed in reverse at unload.
    // They run under the loader lock, before DllMain: nothing here may call what can fail. The
    // strings and the class identifier are constants the compiler builds; the class entry only
    // copies them.
    Module TheModule;
    const Tarn::String HandlerListKey(L"*\\shellex\\PropertySheetHandlers", true);
    // Where the policy "allow only approved shell extensions" looks: a value named by the class
    // identifier, with the friendly name as data. Every Windows has the key; a missing one is made.
    const Tarn::String ApprovedListKey(L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Shell Extensions\\Approved",
                                       true);
    const Tarn::String FriendlyName(L"Digestry shell property sheet extension", true);
    // {5E1A9C3B-7D24-4F8E-A6B1-0C93D2E4F517}
    const Tarn::Guid ExtensionClassId(GUID{0x5E1A9C3B, 0x7D24, 0x4F8E, {0xA6, 0xB1, 0x0C, 0x93, 0xD2, 0xE4, 0xF5, 0x17}});
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
    const Tarn::RegistryKey approved = Tarn::RegistryKey::LocalMachine.CreateSubkey(ApprovedListKey, KEY_SET_VALUE);
    approved.SetStringValue(ExtensionClassId.ToString(), FriendlyName, REG_SZ);
    NotifyAssociationsChanged();
    TARN_TRACE(Tarn::TraceLevel::Info, L"Module::OnServerRegister", L"Module was successfully registered.");
}

void Module::OnServerUnregister()
{
    const Tarn::RegistryKey handlers = Tarn::RegistryKey::ClassesRoot.OpenSubkey(HandlerListKey, WriteAccess);
    handlers.DeleteSubkey(ExtensionClassId.ToString());
    // The list itself is the system's: only our value goes.
    Tarn::RegistryKey::LocalMachine.DeleteValue(ApprovedListKey, ExtensionClassId.ToString());
    NotifyAssociationsChanged();
    TARN_TRACE(Tarn::TraceLevel::Info, L"Module::OnServerUnregister", L"Module was successfully unregistered.");
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID)
{
    return Tarn::CatchAllAs(TARN_BOUNDARY(L"DllMain"), FALSE, [instance, reason] {
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
    });
}

STDAPI DllRegisterServer()
{
    return Tarn::CatchAllAsHResult(TARN_BOUNDARY(L"DllRegisterServer"), [] {
        Module* const server = GetServer();
        return server != nullptr ? server->DllRegisterServer() : E_UNEXPECTED;
    });
}

STDAPI DllUnregisterServer()
{
    return Tarn::CatchAllAsHResult(TARN_BOUNDARY(L"DllUnregisterServer"), [] {
        Module* const server = GetServer();
        return server != nullptr ? server->DllUnregisterServer() : E_UNEXPECTED;
    });
}

STDAPI DllGetClassObject(REFCLSID clsid, REFIID iid, LPVOID* object)
{
    return Tarn::CatchAllAsHResult(TARN_BOUNDARY(L"DllGetClassObject"), [&clsid, &iid, object] {
        Module* const server = GetServer();
        return server != nullptr ? server->DllGetClassObject(clsid, iid, object) : E_UNEXPECTED;
    });
}

STDAPI DllCanUnloadNow()
{
    // Any failure answers "not now", as the server itself does.
    return Tarn::CatchAllAs(TARN_BOUNDARY(L"DllCanUnloadNow"), S_FALSE, [] {
        Module* const server = GetServer();
        return server != nullptr ? server->DllCanUnloadNow() : S_FALSE;
    });
}
