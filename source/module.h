#pragma once

#include <windows.h>

#include "tarncoclassentry.h"
#include "tarninprocserverimpl.h"

// digestry.dll's module object: the in-process server of its one class, the property sheet
// extension, which it also registers as a property-sheet handler of every file type.
class Module : public Tarn::Com::InProcServerImpl
{
public:
    Module() = default;

    UINT32 GetClassCount() const override;
    const Tarn::Com::CoClassEntry& GetClassEntry(UINT32 index) const override;
    // Lists the class under *\shellex\PropertySheetHandlers, which must exist, and tells the shell.
    void OnServerRegister() override;
    // Removes that entry (a missing one is no failure) and tells the shell.
    void OnServerUnregister() override;
};
