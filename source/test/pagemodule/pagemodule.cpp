// A DLL that holds a page and its template, with a manifest of its own: the page frame as the shell
// would load it, for hosts with and without a manifest.

#include <windows.h>

#include "propertypage.h"
#include "tarnexception.h"
#include "testpageresources.h"
#include "testsheet.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace
{
    class ProbePage : public PropertyPage
    {
    public:
        ProbePage() : PropertyPage(IDD_TEST_PAGE, reinterpret_cast<HINSTANCE>(&__ImageBase)) {}
    };
}

// Shows the page in a sheet and copies the file name of the module that runs its link control into
// the buffer. S_OK, or the code of what failed.
extern "C" HRESULT WINAPI ShowProbePage(PWSTR linkModuleFile, DWORD capacity)
{
    try
    {
        ProbePage* const page = new ProbePage();
        page->Create();
        DigestryTest::TestSheet sheet({page->GetPageHandle()});
        page->Release();
        const HWND link = ::GetDlgItem(sheet.GetCurrentPage(), IDC_TEST_LINK);
        if (link == nullptr)
        {
            return E_FAIL;
        }
        return ::lstrcpynW(linkModuleFile, DigestryTest::GetWindowProcedureFile(link).c_str(), static_cast<int>(capacity))
            ? S_OK
            : E_FAIL;
    }
    catch (const Tarn::Exception& exception)
    {
        return exception.GetErrorCode();
    }
    catch (...)
    {
        return E_UNEXPECTED;
    }
}
