#pragma once

#include <windows.h>
#include <oaidl.h>

#include "tarncoclassentry.h"
#include "tarncommodule.h"
#include "tarncriticalsection.h"
#include "tarndllimpl.h"

namespace Tarn
{
    namespace Com
    {
        // The module object of an in-process COM server. A derived server supplies its class table
        // (GetClassCount, GetClassEntry) and may add registry entries of its own in
        // OnServerRegister and OnServerUnregister; the DLL's four exported functions forward to
        // the operations of the same name. No exception leaves them: a failure is traced and
        // returned as its HRESULT.
        class InProcServerImpl : public DllImpl, public IComModule
        {
        public:
            // Writes, for every class in table order, HKEY_CLASSES_ROOT\CLSID\{clsid} with the
            // description as its default value (none when the description is empty) and its
            // InProcServer32 subkey with the module's path and the threading model; then runs
            // OnServerRegister. Only an elevated process may register: otherwise 0x800702E4 and
            // nothing is written. Entries written before a failure stay.
            virtual HRESULT DllRegisterServer();
            // Runs OnServerUnregister, then deletes every class's CLSID key with its subkeys; keys
            // that are missing already are no failure. Elevated processes only, as registration.
            virtual HRESULT DllUnregisterServer();
            // The class object of the class for the IID; CLASS_E_CLASSNOTAVAILABLE and a null out
            // pointer for a class the table does not have.
            virtual HRESULT DllGetClassObject(REFCLSID clsid, REFIID iid, void** object);
            // S_OK when no object of the module lives and no server lock is held, else S_FALSE.
            virtual HRESULT DllCanUnloadNow();

            // The server's type library, or null; the caller takes over its reference. A server
            // with one cannot register through this class: registration fails with E_NOTIMPL.
            virtual ITypeLib* GetTypeLibrary();
            virtual UINT32 GetClassCount() const = 0;
            // Callers pass only indexes below GetClassCount.
            virtual const CoClassEntry& GetClassEntry(UINT32 index) const = 0;
            // After the classes are registered; a failure fails the registration.
            virtual void OnServerRegister();
            // Before the classes are unregistered; a failure fails the unregistration.
            virtual void OnServerUnregister();

            void IncrementObjectCount() override;
            void DecrementObjectCount() override;
            HRESULT LockServer(bool lock) override;

        protected:
            // Both counts start at 0.
            InProcServerImpl();

        private:
            void RegisterClassEntry(const CoClassEntry& entry) const;
            static void UnregisterClassEntry(const CoClassEntry& entry);

            CriticalSection m_countLock;
            LONG m_objectCount;
            LONG m_lockCount;
        };
    }
}
