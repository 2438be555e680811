#pragma once

// The test in-process server's classes and the exports beside the four of every server, shared by
// the server DLL and the tests that load it.

#include <windows.h>

namespace TestServer
{
    // Registered as Apartment with a description; its objects answer IPersist with this CLSID.
    // {C32AA069-FC7B-48BC-8904-74A25611BDBF}
    const CLSID ApartmentObjectClsid = {0xC32AA069, 0xFC7B, 0x48BC, {0x89, 0x04, 0x74, 0xA2, 0x56, 0x11, 0xBD, 0xBF}};
    // Registered as Free without a description; its objects answer IPersist with this CLSID.
    // {F0E2870A-9241-4065-B806-EC6433FB2DC9}
    const CLSID FreeObjectClsid = {0xF0E2870A, 0x9241, 0x4065, {0xB8, 0x06, 0xEC, 0x64, 0x33, 0xFB, 0x2D, 0xC9}};
    // Registered as Both; constructing one of its objects fails with UnavailableObjectError.
    // {AFEC715D-C32E-4459-8B4F-60296A5F8405}
    const CLSID UnavailableObjectClsid = {0xAFEC715D, 0xC32E, 0x4459, {0x8B, 0x4F, 0x60, 0x29, 0x6A, 0x5F, 0x84, 0x05}};
    const HRESULT UnavailableObjectError = HRESULT_FROM_WIN32(ERROR_NOT_READY);

    const wchar_t ApartmentObjectDescription[] = L"Tarn test apartment object";
    const wchar_t UnavailableObjectDescription[] = L"Tarn test object that cannot be created";

    // The module's file name as the module object gives it, copied into the buffer (cut to fit);
    // returns its full length, or 0 when it could not be read.
    typedef DWORD(WINAPI* GetModuleFileNameFunction)(PWSTR buffer, DWORD capacity);
    // The module object's resource instance.
    typedef HINSTANCE(WINAPI* GetResourceInstanceFunction)();
    // While enabled, the class table and the constructor of the unavailable object throw something
    // that is not a Tarn::Exception.
    typedef void(WINAPI* ThrowUnexpectedFunction)(BOOL enabled);
}
