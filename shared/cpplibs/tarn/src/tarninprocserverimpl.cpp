#include "tarninprocserverimpl.h"

#include "tarnboundary.h"
#include "tarncomautoptr.h"
#include "tarnexception.h"
#include "tarnregistrykey.h"
#include "tarnsynch.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"src\\tarninprocserverimpl";

    // What deleting a key tree below CLSID needs: delete, read, list children.
    const REGSAM ClsidDeleteAccess = DELETE | KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS;

    // ERROR_ELEVATION_REQUIRED, which not every SDK's headers define.
    const DWORD ElevationRequiredError = 740;
    const HRESULT ElevationRequired = Tarn::HResultFromWin32(ElevationRequiredError);

    Tarn::String ClsidKeyName(const Tarn::Guid& clsid)
    {
        return Tarn::String(Tarn::String(L"CLSID\\", true), clsid.ToString());
    }

    Tarn::String ThreadingModelText(Tarn::Com::ThreadingModel model)
    {
        switch (model)
        {
        case Tarn::Com::ThreadingModel::Free:
            return Tarn::String(L"Free", true);
        case Tarn::Com::ThreadingModel::Both:
            return Tarn::String(L"Both", true);
        default:
            return Tarn::String(L"Apartment", true);
        }
    }
}

namespace Tarn
{
    namespace Com
    {
        InProcServerImpl::InProcServerImpl()
            : m_objectCount(0), m_lockCount(0)
        {
        }

        HRESULT InProcServerImpl::DllRegisterServer()
        {
            return CatchAllAsHResult(TARN_BOUNDARY(L"Tarn::Com::InProcServerImpl::DllRegisterServer"), [this] {
                if (!IsProcessElevated())
                {
                    TARN_TRACE(TraceLevel::Error, L"Tarn::Com::InProcServerImpl::DllRegisterServer",
                               L"COM server registration can only be performed by an elevated process");
                    return ElevationRequired;
                }
                ComAutoPtr<ITypeLib> typeLibrary(GetTypeLibrary());
                if (!typeLibrary.IsNull())
                {
                    throw NotImplementedException();
                }
                const UINT32 count = GetClassCount();
                for (UINT32 index = 0; index < count; ++index)
                {
                    RegisterClassEntry(GetClassEntry(index));
                }
                OnServerRegister();
                return S_OK;
            });
        }

        HRESULT InProcServerImpl::DllUnregisterServer()
        {
            return CatchAllAsHResult(TARN_BOUNDARY(L"Tarn::Com::InProcServerImpl::DllUnregisterServer"), [this] {
                if (!IsProcessElevated())
                {
                    TARN_TRACE(TraceLevel::Error, L"Tarn::Com::InProcServerImpl::DllUnregisterServer",
                               L"COM server unregistration can only be performed by an elevated process");
                    return ElevationRequired;
                }
                OnServerUnregister();
                const UINT32 count = GetClassCount();
                for (UINT32 index = 0; index < count; ++index)
                {
                    UnregisterClassEntry(GetClassEntry(index));
                }
                ComAutoPtr<ITypeLib> typeLibrary(GetTypeLibrary());
                if (!typeLibrary.IsNull())
                {
                    throw NotImplementedException();
                }
                return S_OK;
            });
        }

        HRESULT InProcServerImpl::DllGetClassObject(REFCLSID clsid, REFIID iid, void** object)
        {
            if (object == nullptr)
            {
                return E_INVALIDARG;
            }
            *object = nullptr;
            return CatchAllAsHResult(TARN_BOUNDARY(L"Tarn::Com::InProcServerImpl::DllGetClassObject"), [&] {
                const Guid requested(clsid);
                const UINT32 count = GetClassCount();
                for (UINT32 index = 0; index < count; ++index)
                {
                    const CoClassEntry& entry = GetClassEntry(index);
                    if (entry.GetClsid() == requested)
                    {
                        return entry.CreateClassObject(this, iid, object);
                    }
                }
                return CLASS_E_CLASSNOTAVAILABLE;
            });
        }

        HRESULT InProcServerImpl::DllCanUnloadNow()
        {
            // Any failure answers "not now": unloading code that is still in use would be fatal.
            return CatchAllAs(TARN_BOUNDARY(L"Tarn::Com::InProcServerImpl::DllCanUnloadNow"), S_FALSE, [this] {
                AutoSynchronizer guard(&m_countLock);
                return m_objectCount != 0 || m_lockCount != 0 ? S_FALSE : S_OK;
            });
        }

        ITypeLib* InProcServerImpl::GetTypeLibrary()
        {
            return nullptr;
        }

        void InProcServerImpl::OnServerRegister()
        {
        }

        void InProcServerImpl::OnServerUnregister()
        {
        }

        void InProcServerImpl::IncrementObjectCount()
        {
            AutoSynchronizer guard(&m_countLock);
            ++m_objectCount;
        }

        void InProcServerImpl::DecrementObjectCount()
        {
            AutoSynchronizer guard(&m_countLock);
            --m_objectCount;
        }

        HRESULT InProcServerImpl::LockServer(bool lock)
        {
            AutoSynchronizer guard(&m_countLock);
            if (lock)
            {
                ++m_lockCount;
            }
            else
            {
                --m_lockCount;
            }
            return S_OK;
        }

        void InProcServerImpl::RegisterClassEntry(const CoClassEntry& entry) const
        {
            RegistryKey classKey = RegistryKey::ClassesRoot.CreateSubkey(ClsidKeyName(entry.GetClsid()), KEY_ALL_ACCESS);
            if (!entry.GetDescription().IsNullOrEmpty())
            {
                classKey.SetStringValue(String::Empty, entry.GetDescription(), REG_SZ);
            }

            RegistryKey serverKey = classKey.CreateSubkey(String(L"InProcServer32", true), KEY_ALL_ACCESS);
            serverKey.SetStringValue(String::Empty, GetModuleFileNameW(), REG_SZ);
            serverKey.SetStringValue(String(L"ThreadingModel", true), ThreadingModelText(entry.GetThreadingModel()),
                                     REG_SZ);
            serverKey.Close();
            classKey.Close();
        }

        void InProcServerImpl::UnregisterClassEntry(const CoClassEntry& entry)
        {
            RegistryKey clsidKey = RegistryKey::ClassesRoot.OpenSubkey(String(L"CLSID", true), ClsidDeleteAccess);
            clsidKey.DeleteSubkey(entry.GetClsid().ToString());
            clsidKey.Close();
        }
    }
}
