#include "propertysheetextension.h"

#include <commctrl.h>
#include <shellapi.h>

#include "commoncontrols.h"
#include "digestrypropertypage.h"
#include "tarnautoptr.h"
#include "tarnboundary.h"
#include "tarnexception.h"
#include "tarnmoduleimpl.h"
#include "tarntrace.h"

namespace
{
    // Asks every class bit, SysLink's among them, of the comctl32 the page will use.
    const DWORD AllControlClasses = 0xFFFF;
    const UINT CountFiles = 0xFFFFFFFF;

    // Releases a medium that the data object has filled when the scope ends. One that GetData
    // failed to fill is not ours to release.
    class StorageMediumRelease
    {
    public:
        explicit StorageMediumRelease(STGMEDIUM& medium) noexcept : m_medium(medium) {}
        StorageMediumRelease(const StorageMediumRelease&) = delete;
        StorageMediumRelease& operator=(const StorageMediumRelease&) = delete;
        ~StorageMediumRelease() { ::ReleaseStgMedium(&m_medium); }

    private:
        STGMEDIUM& m_medium;
    };
}

PropertySheetExtension::PropertySheetExtension(Tarn::Com::IComModule* module, IUnknown* outer)
    : Tarn::Com::ComObjectImpl(module, outer)
{
    TARN_TRACE(Tarn::TraceLevel::Info, L"PropertySheetExtension::PropertySheetExtension",
               L"PropertySheetExtension constructor");
}

PropertySheetExtension::~PropertySheetExtension()
{
    TARN_TRACE(Tarn::TraceLevel::Info, L"PropertySheetExtension::~PropertySheetExtension",
               L"PropertySheetExtension destructor");
}

void* PropertySheetExtension::InternalQueryInterface(REFIID iid)
{
    if (::IsEqualIID(iid, IID_IShellExtInit))
    {
        return static_cast<IShellExtInit*>(this);
    }
    if (::IsEqualIID(iid, IID_IShellPropSheetExt))
    {
        return static_cast<IShellPropSheetExt*>(this);
    }
    if (::IsEqualIID(iid, IID_ITestInitialize))
    {
        return static_cast<ITestInitialize*>(this);
    }
    return ComObjectImpl::InternalQueryInterface(iid);
}

HRESULT STDMETHODCALLTYPE PropertySheetExtension::Initialize(PCIDLIST_ABSOLUTE, IDataObject* dataObject, HKEY)
{
    return Tarn::CatchAllAsHResult(TARN_BOUNDARY(L"PropertySheetExtension::Initialize"), [this, dataObject] {
        if (dataObject == nullptr)
        {
            TARN_TRACE(Tarn::TraceLevel::Error, L"PropertySheetExtension::Initialize", L"pDataObject is NULL");
            return E_INVALIDARG;
        }

        INITCOMMONCONTROLSEX controls = {};
        controls.dwSize = sizeof(controls);
        controls.dwICC = AllControlClasses;
        if (!CommonControls::InitCommonControlsEx(controls))
        {
            TARN_TRACE(Tarn::TraceLevel::Error, L"PropertySheetExtension::Initialize",
                       L"InitCommonControlsEx() failed, GetLastError returns 0x{0:X8}", ::GetLastError());
            return E_FAIL;
        }

        FORMATETC format = {CF_HDROP, nullptr, DVASPECT_CONTENT, -1, TYMED_HGLOBAL};
        STGMEDIUM medium = {};
        const HRESULT dataResult = dataObject->GetData(&format, &medium);
        if (FAILED(dataResult))
        {
            TARN_TRACE(Tarn::TraceLevel::Error, L"PropertySheetExtension::Initialize",
                       L"IDataObject::GetData() failed, error code 0x{0:X8}", dataResult);
            return E_FAIL;
        }
        const StorageMediumRelease release(medium);

        const HDROP files = static_cast<HDROP>(::GlobalLock(medium.hGlobal));
        if (files == nullptr)
        {
            const DWORD error = ::GetLastError();
            TARN_TRACE(Tarn::TraceLevel::Error, L"PropertySheetExtension::Initialize",
                       L"GlobalLock() failed, error code 0x{0:X8}", error);
            return Tarn::FailedCallCode(error);
        }
        const HRESULT result = ReadSelectedPath(files);
        ::GlobalUnlock(medium.hGlobal);
        return result;
    });
}

HRESULT PropertySheetExtension::ReadSelectedPath(HDROP files)
{
    const UINT count = ::DragQueryFileW(files, CountFiles, nullptr, 0);
    TARN_TRACE(Tarn::TraceLevel::Info, L"PropertySheetExtension::Initialize", L"fileCount: {0}", count);
    // No item or several: no page. A single folder is taken like a file.
    if (count != 1)
    {
        return E_FAIL;
    }
    try
    {
        const UINT length = ::DragQueryFileW(files, 0, nullptr, 0);
        Tarn::String path;
        path.Reserve(length + 1);
        const UINT copied = ::DragQueryFileW(files, 0, path.GetBuffer(), path.GetCapacity());
        TARN_TRACE(Tarn::TraceLevel::Info, L"PropertySheetExtension::Initialize", L"Selected file name: \"{0}\"", path);
        // A name cut short would open another file, or none: keep the path we had.
        if (copied != length)
        {
            return E_FAIL;
        }
        m_selectedPath = path;
        return S_OK;
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(L"PropertySheetExtension::Initialize", exception);
        return E_FAIL;
    }
}

HRESULT STDMETHODCALLTYPE PropertySheetExtension::AddPages(LPFNSVADDPROPSHEETPAGE addPage, LPARAM lParam)
{
    return Tarn::CatchAllAsHResult(TARN_BOUNDARY(L"PropertySheetExtension::AddPages"), [this, addPage, lParam] {
        TARN_TRACE(Tarn::TraceLevel::Info, L"PropertySheetExtension::AddPages", L"Instantiating property page object...");
        Tarn::AutoRefCountPtr<DigestryPropertyPage> page(new DigestryPropertyPage(
            GetComModule(), Tarn::ModuleImpl::GetModule()->GetResourceInstance(), m_selectedPath));

        TARN_TRACE(Tarn::TraceLevel::Info, L"PropertySheetExtension::AddPages", L"Calling property page Create() method...");
        page->Create();
        if (addPage(page->GetPageHandle(), lParam))
        {
            TARN_TRACE(Tarn::TraceLevel::Info, L"PropertySheetExtension::AddPages", L"Property page was created successfully");
            return S_OK;
        }
        TARN_TRACE(Tarn::TraceLevel::Error, L"PropertySheetExtension::AddPages", L"Failed to add property page");
        // Gives back the sheet-side reference; ours goes with the owning pointer, and the page with it.
        page->Destroy();
        return E_FAIL;
    });
}

HRESULT STDMETHODCALLTYPE PropertySheetExtension::ReplacePage(EXPPS, LPFNSVADDPROPSHEETPAGE, LPARAM)
{
    return E_NOTIMPL;
}

HRESULT STDMETHODCALLTYPE PropertySheetExtension::TestInitialize(PCWSTR path)
{
    return Tarn::CatchAllAsHResult(TARN_BOUNDARY(L"PropertySheetExtension::TestInitialize"), [this, path] {
        if (path == nullptr)
        {
            return E_POINTER;
        }
        m_selectedPath = Tarn::String(path, false);
        return S_OK;
    });
}
