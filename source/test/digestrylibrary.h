#pragma once

// digestry.dll as the shell uses it: the DLL built beside the tests, its class, and the pages its
// extension objects add, shown in a sheet of the calling thread and driven through their controls.

#include <windows.h>

#include <objbase.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "extensionclass.h"
#include "tarncomautoptr.h"
#include "testsheet.h"
#include "testsupport.h"

namespace DigestryTest
{
    std::wstring GetDigestryPath();

    // digestry.dll, loaded for the object's lifetime.
    class DigestryLibrary : public TarnTest::ServerLibrary
    {
    public:
        DigestryLibrary() : ServerLibrary(GetDigestryPath()) {}

        // A new extension object from the DLL's class factory; null when it cannot be made.
        IUnknown* CreateExtension() const;
    };

    // Creates HKEY_CLASSES_ROOT\*\shellex\PropertySheetHandlers, which every Windows has and a fresh
    // prefix lacks; false when it can be neither opened nor created.
    bool CreateHandlerList();

    // The pages an extension object adds to a sheet that takes them all.
    std::vector<HPROPSHEETPAGE> AddPages(IUnknown* extension);
    // The same after TestInitialize with the path.
    std::vector<HPROPSHEETPAGE> AddPages(IUnknown* extension, const std::wstring& path);

    // A sheet of digest pages; the first one is shown.
    class DigestSheet
    {
    public:
        static const wchar_t Computing[];

        explicit DigestSheet(const std::vector<HPROPSHEETPAGE>& pages);
        // The digest pages of the files, each from an extension object of its own that is released
        // at once, as the shell may do.
        DigestSheet(const DigestryLibrary& library, const std::vector<std::wstring>& paths);

        TestSheet& GetSheet() { return m_sheet; }
        // The page shown now.
        HWND GetPage() const { return m_sheet.GetCurrentPage(); }
        std::wstring GetText(int controlId) const;
        // As the user picks the algorithm ("MD5", "SHA-1", ...) in the combo.
        void SelectAlgorithm(const std::wstring& name);
        // As the user pastes the text over the compare box's content.
        void PasteExpected(const std::wstring& text);
        // Runs the messages of this thread until the digest box no longer shows "Computing..." (a
        // minute at most) and returns its text.
        std::wstring WaitForDigest();

    private:
        TestSheet m_sheet;
    };
}
