#pragma once

#include <windows.h>

#include <unknwn.h>

// Lets a test or a host hand the extension a path directly, without a shell data object; AddPages
// then adds the page for that path.
class ITestInitialize : public IUnknown
{
public:
    // S_OK, or E_POINTER for a null path. The path is taken as it is: not checked, not opened.
    virtual HRESULT STDMETHODCALLTYPE TestInitialize(PCWSTR path) = 0;

protected:
    // COM objects are released, never deleted through an interface; and a virtual destructor would
    // take a slot of the interface's vtable.
    ~ITestInitialize() = default;
};

// {3C6F2B71-95E4-4D0A-8B2F-61A7C4E9D053}
const IID IID_ITestInitialize = {0x3C6F2B71, 0x95E4, 0x4D0A, {0x8B, 0x2F, 0x61, 0xA7, 0xC4, 0xE9, 0xD0, 0x53}};
