// The hashing engine in a DLL of its own, driven the way a shell host drives the extension: the
// host creates a manager, asks for digests, shuts it down and frees the library at once.

#include <windows.h>

#include "hashmanager.h"
#include "tarnexception.h"

extern "C"
{
    // A manager bound to the file and window, or null when it cannot be made.
    HashManager* WINAPI EngineCreate(PCWSTR filePath, HWND notificationWindow)
    {
        try
        {
            HashManager* manager = new HashManager();
            try
            {
                manager->Initialize(Tarn::String(filePath, false), notificationWindow);
            }
            catch (const Tarn::Exception&)
            {
                delete manager;
                throw;
            }
            return manager;
        }
        catch (const Tarn::Exception&)
        {
            return nullptr;
        }
    }

    // ComputeHash's answer; false also when the request was refused.
    BOOL WINAPI EngineComputeHash(HashManager* manager, INT32 algorithm)
    {
        try
        {
            return manager->ComputeHash(static_cast<Crypto::HashAlgorithm>(algorithm)) ? TRUE : FALSE;
        }
        catch (const Tarn::Exception&)
        {
            return FALSE;
        }
    }

    // Shuts the manager down and destroys it.
    void WINAPI EngineShutdown(HashManager* manager)
    {
        manager->Shutdown();
        delete manager;
    }
}
