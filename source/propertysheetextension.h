#pragma once

#include <windows.h>

#include <shellapi.h>
#include <shlobj.h>

#include "itestinitialize.h"
#include "tarncomobjectimpl.h"
#include "tarnstring.h"

// The COM object the shell creates for the Properties dialog. It accepts a selection of exactly one
// item (a file or a folder), keeps its path, and adds one digest page for it. The page keeps a copy
// of the path, so the shell may release this object while the page is still shown. Apartment
// threaded: the shell calls it on its UI thread.
class PropertySheetExtension : public Tarn::Com::ComObjectImpl,
                               public ITestInitialize,
                               public IShellExtInit,
                               public IShellPropSheetExt
{
public:
    // Hides the base class's, so that this class's trace lines name its own source.
    static constexpr const wchar_t TraceSource[] = L"propertysheetextension";

    PropertySheetExtension(Tarn::Com::IComModule* module, IUnknown* outer);

    TARN_COM_FORWARD_IUNKNOWN

    // S_OK when the data object holds exactly one item, whose path then replaces the selected one;
    // E_FAIL for any other count (the path stays) or when the data object has no file list;
    // E_INVALIDARG for a null data object. The folder and the program-id key are not used.
    HRESULT STDMETHODCALLTYPE Initialize(PCIDLIST_ABSOLUTE folder, IDataObject* dataObject, HKEY programIdKey) override;
    // Hands the digest page for the selected path to the callback; E_FAIL when it refuses the page.
    HRESULT STDMETHODCALLTYPE AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam) override;
    // E_NOTIMPL: the extension replaces no page.
    HRESULT STDMETHODCALLTYPE ReplacePage(EXPPS pageId, LPFNSVADDPROPSHEETPAGE replaceWith, LPARAM lParam) override;
    HRESULT STDMETHODCALLTYPE TestInitialize(PCWSTR path) override;

protected:
    ~PropertySheetExtension() override;

    void* InternalQueryInterface(REFIID iid) override;

private:
    // Copies the one selected item's name out of the locked file list; E_FAIL for any other count.
    HRESULT ReadSelectedPath(HDROP files);

    Tarn::String m_selectedPath;
};
