// A host process for the page module: prints the file of the module that made the page's link
// control, as the shell would show the page. Exit code 0 on success.

#include <windows.h>

#include <cstdio>

int main()
{
    const HMODULE module = ::LoadLibraryW(L"digestry_pagemodule.dll");
    using ShowFunction = HRESULT(WINAPI*)(PWSTR, DWORD);
    const ShowFunction show = module != nullptr
        ? reinterpret_cast<ShowFunction>(reinterpret_cast<void*>(::GetProcAddress(module, "ShowProbePage")))
        : nullptr;
    if (show == nullptr)
    {
        std::printf("the page module cannot be loaded\n");
        return 1;
    }
    wchar_t linkModuleFile[MAX_PATH];
    const HRESULT result = show(linkModuleFile, MAX_PATH);
    if (FAILED(result))
    {
        std::printf("ShowProbePage failed: 0x%08lX\n", static_cast<unsigned long>(result));
        return 1;
    }
    std::printf("%ls\n", linkModuleFile);
    return 0;
}
