#include "propertiesdialog.h"

#include <commctrl.h>
#include <prsht.h>

#include <algorithm>

#include "console.h"
#include "windowmessages.h"

namespace ShellHost
{
    namespace
    {
        const DWORD PollMs = 10;
        // A dialog thread that does not answer within this is hung for our purposes.
        const UINT AnswerTimeoutMs = 10000;
        const DWORD CloseTimeoutMs = 10000;
        const double ShowAfterReturnSeconds = 2.0;

        // Property sheets of this process: top-level dialogs that own a sheet's tab control.
        BOOL CALLBACK FindSheet(HWND window, LPARAM found)
        {
            DWORD process = 0;
            ::GetWindowThreadProcessId(window, &process);
            wchar_t className[16] = L"";
            ::GetClassNameW(window, className, 16);
            if (process != ::GetCurrentProcessId() || std::wstring(className) != L"#32770" || !::IsWindowVisible(window))
            {
                return TRUE;
            }
            DWORD_PTR tabs = 0;
            if (::SendMessageTimeoutW(window, PSM_GETTABCONTROL, 0, 0, SMTO_NORMAL, AnswerTimeoutMs, &tabs) && tabs != 0)
            {
                *reinterpret_cast<HWND*>(found) = window;
                return FALSE;
            }
            return TRUE;
        }
    }

    PropertiesDialog::PropertiesDialog(ShellThread& shell, std::vector<std::wstring> paths, DWORD timeoutMs)
        : m_request(shell.OpenProperties(std::move(paths))), m_sheet(nullptr)
    {
        double deadline = Seconds() + timeoutMs / 1000.0;
        bool returned = false;
        for (;;)
        {
            ::EnumWindows(&FindSheet, reinterpret_cast<LPARAM>(&m_sheet));
            if (m_sheet != nullptr)
            {
                return;
            }
            if (!returned && m_request->IsDone())
            {
                if (FAILED(m_request->GetResult()))
                {
                    throw Failure(L"the shell could not open the Properties dialog of " + Describe() + L": " +
                                  m_request->GetFailedCall() + L" failed with " + FormatCode(m_request->GetResult()));
                }
                // Under Wine the verb returns only when its dialog has closed; on Windows it returns
                // at once and the dialog follows on a thread of the shell's.
                returned = true;
                deadline = std::min(deadline, Seconds() + ShowAfterReturnSeconds);
            }
            if (Seconds() > deadline)
            {
                throw Failure(L"the Properties dialog of " + Describe() + L" did not open within " +
                              std::to_wstring(timeoutMs / 1000) + L" s");
            }
            ::Sleep(PollMs);
        }
    }

    PropertiesDialog::~PropertiesDialog()
    {
        if (IsClosed())
        {
            return;
        }
        try
        {
            Cancel(CloseTimeoutMs);
        }
        catch (const Failure& failure)
        {
            PrintFailure(failure.GetMessage());
        }
    }

    std::vector<std::wstring> PropertiesDialog::GetPageTitles() const
    {
        const HWND tabs = GetTabControl();
        const LRESULT count = SendWithTimeout(tabs, TCM_GETITEMCOUNT, 0, 0);
        std::vector<std::wstring> titles;
        for (LRESULT index = 0; index < count; ++index)
        {
            wchar_t title[256] = L"";
            TCITEMW item = {};
            item.mask = TCIF_TEXT;
            item.pszText = title;
            item.cchTextMax = 256;
            SendWithTimeout(tabs, TCM_GETITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
            titles.push_back(item.pszText);
        }
        return titles;
    }

    HWND PropertiesDialog::BringPageForward(const std::wstring& title)
    {
        const std::vector<std::wstring> titles = GetPageTitles();
        for (size_t index = 0; index < titles.size(); ++index)
        {
            if (titles[index] == title)
            {
                // What a click on the tab does: the tab control notifies the sheet, which switches.
                SendWithTimeout(GetTabControl(), TCM_SETCURFOCUS, index, 0);
                return reinterpret_cast<HWND>(SendWithTimeout(m_sheet, PSM_GETCURRENTPAGEHWND, 0, 0));
            }
        }
        throw Failure(L"the Properties dialog of " + Describe() + L" has no " + title + L" page (it shows: " +
                      Join(titles) + L")");
    }

    void PropertiesDialog::Repaint()
    {
        // A dialog that has stopped answering would hold the synchronous paint forever.
        SendWithTimeout(m_sheet, WM_NULL, 0, 0);
        ::RedrawWindow(m_sheet, nullptr, nullptr,
                       RDW_INVALIDATE | RDW_ERASE | RDW_FRAME | RDW_ALLCHILDREN | RDW_UPDATENOW);
        // The first answer comes from the thread's message loop after the paint; before it waits for
        // the second, the thread is idle once.
        SendWithTimeout(m_sheet, WM_NULL, 0, 0);
        SendWithTimeout(m_sheet, WM_NULL, 0, 0);
    }

    void PropertiesDialog::Cancel(DWORD timeoutMs)
    {
        if (!IsClosed())
        {
            ::PostMessageW(::GetDlgItem(m_sheet, IDCANCEL), BM_CLICK, 0, 0);
        }
        const double deadline = Seconds() + timeoutMs / 1000.0;
        while (!IsClosed())
        {
            if (Seconds() > deadline)
            {
                throw Failure(L"the Properties dialog of " + Describe() + L" did not close within " +
                              std::to_wstring(timeoutMs / 1000) + L" s of Cancel");
            }
            ::Sleep(PollMs);
        }
    }

    HWND PropertiesDialog::GetTabControl() const
    {
        return reinterpret_cast<HWND>(SendWithTimeout(m_sheet, PSM_GETTABCONTROL, 0, 0));
    }

    bool PropertiesDialog::IsClosed() const
    {
        return (m_sheet == nullptr || !::IsWindow(m_sheet)) && m_request->IsDone();
    }

    std::wstring PropertiesDialog::Describe() const
    {
        return Join(m_request->GetPaths());
    }
}
