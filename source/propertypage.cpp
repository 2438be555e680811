#include "propertypage.h"

#include "commoncontrols.h"
#include "tarnboundary.h"
#include "tarnexception.h"
#include "tarnfailure.h"
#include "tarntrace.h"
#include "tarnwindow.h"

namespace
{
    const wchar_t TraceSource[] = L"propertypage";

    // Holds the PropertyPage pointer on the page's dialog window. A literal-mode string is
    // constant-initialised, so it is ready before any page can exist.
    const Tarn::String ObjectPropertyName(L"_PropertyPageObjectPtr", true);

    const Tarn::String UnhandledExceptionMessage(L"Unhandled exception. Error message: {0}", true);

    // The page descriptor in its current layout (104 bytes on 64-bit Windows): the version 3 layout,
    // the newest that every SDK's headers know, followed by the header bitmap.
    struct PageDescriptor
    {
        PROPSHEETPAGEW_V3 fields;
        HBITMAP headerBitmap;
    };
    static_assert(sizeof(void*) != 8 || sizeof(PageDescriptor) == 104, "the 64-bit descriptor has 104 bytes");

    // The page callback's answer to PSPCB_CREATE that lets the sheet create the page's window.
    const UINT AllowPageCreation = 1;

    // The page frame's own words for a Tarn::Exception that reached one of its callbacks.
    void TraceUnhandledException(const Tarn::BoundarySite& site, const Tarn::Exception& exception) noexcept
    {
        if (Tarn::IsTraceEnabled(Tarn::TraceLevel::Error))
        {
            Tarn::Trace(Tarn::TraceLevel::Error, site.sourceFile, site.line, site.function, UnhandledExceptionMessage,
                        exception.GetDescription());
        }
    }
}

PropertyPage::PropertyPage(WORD templateId, HINSTANCE moduleInstance) noexcept
    : m_templateId(templateId), m_moduleInstance(moduleInstance), m_pageHandle(nullptr), m_windowHandle(nullptr)
{
}

void PropertyPage::Create()
{
    if (m_pageHandle != nullptr)
    {
        throw Tarn::InvalidOperationException();
    }

    PageDescriptor descriptor = {};
    PROPSHEETPAGEW_V3& page = descriptor.fields;
    page.dwSize = sizeof(descriptor);
    page.dwFlags = PSP_USECALLBACK;
    page.hInstance = m_moduleInstance;
    page.pszTemplate = MAKEINTRESOURCEW(m_templateId);
    page.pfnDlgProc = &PropertyPage::StaticDialogProc;
    page.lParam = reinterpret_cast<LPARAM>(this);
    page.pfnCallback = &PropertyPage::StaticCallbackProc;
    const HPROPSHEETPAGE handle = CommonControls::CreatePage(page);
    if (handle == nullptr)
    {
        TARN_THROW_WIN32(L"PropertyPage::Create", L"CreatePropertySheetPage() failed, error code 0x{0:X}",
                         ::GetLastError());
    }
    m_pageHandle = handle;
}

void PropertyPage::Destroy()
{
    if (m_pageHandle == nullptr)
    {
        throw Tarn::InvalidOperationException();
    }
    // The release this causes may delete the object: no member is touched afterwards.
    if (!CommonControls::DestroyPage(m_pageHandle))
    {
        TARN_TRACE(Tarn::TraceLevel::Error, L"PropertyPage::Destroy", L"DestroyPropertySheetPage() failed");
    }
}

HWND PropertyPage::GetDialogItemHandle(int controlId) const
{
    const HWND item = ::GetDlgItem(m_windowHandle, static_cast<UINT16>(controlId));
    if (item == nullptr)
    {
        TARN_THROW_WIN32(L"PropertyPage::GetDialogItemHandle", L"GetDlgItem() failed, error code 0x{0:X}",
                         ::GetLastError());
    }
    return item;
}

Tarn::Rectangle PropertyPage::GetClientRectangle() const
{
    Tarn::Window window;
    window.Attach(m_windowHandle);
    return Tarn::Rectangle(window.GetClientRectangle());
}

UINT CALLBACK PropertyPage::StaticCallbackProc(HWND, UINT message, LPPROPSHEETPAGEW page)
{
    const Tarn::BoundarySite site = TARN_BOUNDARY(L"PropertyPage::StaticCallbackProc");
    return Tarn::CatchAll(
        site, 0u,
        [&site, message, page]() -> UINT {
            PropertyPage* const self = page != nullptr ? reinterpret_cast<PropertyPage*>(page->lParam) : nullptr;
            if (self == nullptr)
            {
                return 0;
            }
            switch (message)
            {
            case PSPCB_ADDREF:
                TARN_TRACE(Tarn::TraceLevel::Info, site.function, L"message == PSPCB_ADDREF");
                self->AddRef();
                return 0;
            case PSPCB_CREATE:
                TARN_TRACE(Tarn::TraceLevel::Info, site.function, L"message == PSPCB_CREATE");
                return AllowPageCreation;
            case PSPCB_RELEASE:
                TARN_TRACE(Tarn::TraceLevel::Info, site.function, L"message == PSPCB_RELEASE");
                self->m_pageHandle = nullptr;
                self->Release();
                return 0;
            default:
                TARN_TRACE(Tarn::TraceLevel::Info, site.function, L"message == 0x{0:X}", message);
                return 0;
            }
        },
        [&site](const Tarn::Exception& exception) {
            TraceUnhandledException(site, exception);
            return 0u;
        });
}

INT_PTR CALLBACK PropertyPage::StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const Tarn::BoundarySite site = TARN_BOUNDARY(L"PropertyPage::StaticDialogProc");
    // What a failure answers: the result obtained so far, NotProcessed if none.
    INT_PTR result = NotProcessed;
    return Tarn::CatchAll<INT_PTR>(
        [&]() -> INT_PTR {
            Tarn::Window wrapper;
            wrapper.Attach(window);
            PropertyPage* page =
                window != nullptr ? static_cast<PropertyPage*>(wrapper.GetProperty(ObjectPropertyName)) : nullptr;
            if (page == nullptr && message == WM_INITDIALOG)
            {
                TARN_TRACE(Tarn::TraceLevel::Info, site.function, L"Received WM_INITDIALOG");
                const PROPSHEETPAGEW* const descriptor = reinterpret_cast<const PROPSHEETPAGEW*>(lParam);
                page = descriptor != nullptr ? reinterpret_cast<PropertyPage*>(descriptor->lParam) : nullptr;
                if (page != nullptr)
                {
                    wrapper.SetProperty(ObjectPropertyName, page);
                    page->m_windowHandle = window;
                }
            }
            if (page == nullptr)
            {
                TARN_TRACE(Tarn::TraceLevel::Info, site.function,
                           L"Message 0x{0:X} to window 0x{1:X} was not dispatched to C++ object", message,
                           static_cast<const void*>(window));
                return NotProcessed;
            }

            result = Tarn::CatchAll(
                site, NotProcessed,
                [page, message, wParam, lParam] { return page->DialogProc(message, wParam, lParam); },
                [&site](const Tarn::Exception& exception) {
                    TraceUnhandledException(site, exception);
                    return NotProcessed;
                });

            // The window is going whatever the handler did: no later message may reach the object.
            if (message == WM_NCDESTROY)
            {
                TARN_TRACE(Tarn::TraceLevel::Info, site.function, L"Received WM_NCDESTROY");
                wrapper.RemoveProperty(ObjectPropertyName);
                page->m_windowHandle = nullptr;
            }
            return result;
        },
        [&site, &result](const Tarn::Exception& exception) {
            TraceUnhandledException(site, exception);
            return result;
        },
        [&site, &result] {
            Tarn::TraceUnexpectedException(site.sourceFile, site.line, site.function);
            return result;
        });
}

INT_PTR PropertyPage::DialogProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    bool handled = false;
    const INT_PTR result = OnMessage(message, wParam, lParam, handled);
    return handled ? result : NotProcessed;
}

INT_PTR PropertyPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    handled = true;
    switch (message)
    {
    case WM_INITDIALOG:
        return OnWmInitDialog();
    case WM_DESTROY:
        return OnWmDestroy();
    case WM_SIZE:
        return OnWmSize(static_cast<UINT32>(wParam), LOWORD(lParam), HIWORD(lParam));
    case WM_NOTIFY:
        return OnWmNotify(reinterpret_cast<const NMHDR*>(lParam));
    case WM_COMMAND:
        return OnWmCommand(wParam, lParam);
    default:
        handled = false;
        return NotProcessed;
    }
}

INT_PTR PropertyPage::OnWmInitDialog()
{
    return Processed;
}

INT_PTR PropertyPage::OnWmDestroy()
{
    return NotProcessed;
}

INT_PTR PropertyPage::OnWmSize(UINT32, UINT16, UINT16)
{
    return NotProcessed;
}

INT_PTR PropertyPage::OnWmNotify(const NMHDR* header)
{
    if (header == nullptr || header->hwndFrom != ::GetParent(m_windowHandle))
    {
        return NotProcessed;
    }
    switch (header->code)
    {
    case PSN_SETACTIVE:
        OnPageActivate();
        SetMessageResult(0);
        return Processed;
    case PSN_KILLACTIVE:
        SetMessageResult(OnPageDeactivate() ? FALSE : TRUE);
        return Processed;
    case PSN_APPLY:
        OnPageApply();
        if (reinterpret_cast<const PSHNOTIFY*>(header)->lParam == TRUE)
        {
            OnPageClose();
        }
        SetMessageResult(PSNRET_NOERROR);
        return Processed;
    case PSN_HELP:
        OnPageHelp();
        return NotProcessed;
    case PSN_QUERYCANCEL:
        SetMessageResult(OnPageQueryCancel() ? FALSE : TRUE);
        return Processed;
    default:
        return NotProcessed;
    }
}

INT_PTR PropertyPage::OnWmCommand(WPARAM wParam, LPARAM lParam)
{
    if (lParam == 0)
    {
        return NotProcessed;
    }
    return OnControlCommand(reinterpret_cast<HWND>(lParam), LOWORD(wParam), HIWORD(wParam));
}

void PropertyPage::OnPageActivate()
{
}

bool PropertyPage::OnPageDeactivate()
{
    return true;
}

void PropertyPage::OnPageApply()
{
}

void PropertyPage::OnPageClose()
{
}

bool PropertyPage::OnPageQueryCancel()
{
    return true;
}

void PropertyPage::OnPageHelp()
{
}

INT_PTR PropertyPage::OnControlCommand(HWND, UINT16, UINT16)
{
    return NotProcessed;
}

void PropertyPage::SetMessageResult(LONG_PTR result)
{
    Tarn::Window window;
    window.Attach(m_windowHandle);
    window.SetWindowLongPtrW(DWLP_MSGRESULT, result);
}
