#include "pagecheck.h"

#include <map>
#include <vector>

#include "console.h"
#include "resource.h"
#include "windowmessages.h"

namespace ShellHost
{
    namespace
    {
        const WORD NoIdentifier = 0xFFFF;
        const double FocusTimeoutSeconds = 5.0;

        std::vector<HWND> GetChildren(HWND parent)
        {
            std::vector<HWND> children;
            for (HWND child = ::GetWindow(parent, GW_CHILD); child != nullptr; child = ::GetWindow(child, GW_HWNDNEXT))
            {
                children.push_back(child);
            }
            return children;
        }

        bool IsLabel(HWND control)
        {
            return static_cast<WORD>(::GetDlgCtrlID(control)) == NoIdentifier;
        }

        // The letter after the access-key marker, upper case; none when the text has no marker.
        wchar_t GetAccessKey(const std::wstring& text)
        {
            for (size_t index = 0; index + 1 < text.size(); ++index)
            {
                if (text[index] == L'&')
                {
                    if (text[index + 1] != L'&')
                    {
                        return static_cast<wchar_t>(reinterpret_cast<ULONG_PTR>(
                            ::CharUpperW(reinterpret_cast<LPWSTR>(static_cast<ULONG_PTR>(text[index + 1])))));
                    }
                    ++index;
                }
            }
            return L'\0';
        }

        // The link's text as it is drawn: without its markup.
        std::wstring WithoutMarkup(const std::wstring& text)
        {
            std::wstring shown;
            bool inTag = false;
            for (const wchar_t character : text)
            {
                if (character == L'<' || character == L'>')
                {
                    inTag = character == L'<';
                }
                else if (!inTag)
                {
                    shown += character;
                }
            }
            return shown;
        }

        // The width of the text on one line in the control's font, with the access-key marker
        // drawn as an underline when the control draws it so.
        LONG MeasureText(HWND control, const std::wstring& text, UINT format)
        {
            const HDC context = ::GetDC(control);
            const HGDIOBJ previous = ::SelectObject(context, reinterpret_cast<HFONT>(SendWithTimeout(control, WM_GETFONT, 0, 0)));
            RECT extent = {};
            ::DrawTextW(context, text.c_str(), static_cast<int>(text.size()), &extent,
                        DT_CALCRECT | DT_SINGLELINE | format);
            ::SelectObject(context, previous);
            ::ReleaseDC(control, context);
            return extent.right - extent.left;
        }

        void CheckFits(HWND control, const std::wstring& text, UINT format)
        {
            RECT client = {};
            ::GetClientRect(control, &client);
            const LONG width = MeasureText(control, text, format);
            if (width > client.right)
            {
                throw Failure(L"the text \"" + text + L"\" is " + std::to_wstring(width) +
                              L" pixels wide in a control of " + std::to_wstring(client.right));
            }
        }

        HWND GetFocus(HWND window)
        {
            GUITHREADINFO info = {};
            info.cbSize = sizeof(info);
            ::GetGUIThreadInfo(::GetWindowThreadProcessId(window, nullptr), &info);
            return info.hwndFocus;
        }

        // The control the dialog manager moves the focus to for a label: the next one that takes it.
        HWND GetInputAfter(const std::vector<HWND>& children, size_t label)
        {
            for (size_t index = label + 1; index < children.size(); ++index)
            {
                if ((::GetWindowLongW(children[index], GWL_STYLE) & WS_TABSTOP) != 0)
                {
                    return children[index];
                }
            }
            return nullptr;
        }
    }

    void CheckTexts(HWND page, const PageTexts& texts)
    {
        std::vector<std::wstring> labels;
        for (const HWND child : GetChildren(page))
        {
            if (IsLabel(child))
            {
                labels.push_back(GetText(child));
            }
        }
        if (labels != texts.labels)
        {
            throw Failure(L"the page's labels read " + Join(labels) + L" where its resources say " + Join(texts.labels));
        }
        const std::wstring link = GetText(::GetDlgItem(page, IDC_ABOUT_LINK));
        const size_t version = texts.about.find(L"{0}");
        const std::wstring before = texts.about.substr(0, version);
        const std::wstring after = texts.about.substr(version + 3);
        if (link.size() < texts.about.size() || link.compare(0, before.size(), before) != 0 ||
            link.compare(link.size() - after.size(), after.size(), after) != 0)
        {
            throw Failure(L"the page's link reads \"" + link + L"\" where its resources say \"" + texts.about + L"\"");
        }
    }

    void CheckTextsFit(HWND page, const PageTexts& texts)
    {
        for (const HWND child : GetChildren(page))
        {
            if (IsLabel(child))
            {
                CheckFits(child, GetText(child), 0);
            }
        }
        const HWND result = ::GetDlgItem(page, IDC_COMPARE_RESULT);
        CheckFits(result, texts.match, DT_NOPREFIX);
        CheckFits(result, texts.mismatch, DT_NOPREFIX);
        const HWND link = ::GetDlgItem(page, IDC_ABOUT_LINK);
        CheckFits(link, WithoutMarkup(GetText(link)), DT_NOPREFIX);
    }

    void CheckAccessKeys(HWND sheet, HWND page)
    {
        // The sheet's buttons and the labels of its other pages, whose keys the dialog manager looks
        // for too (Wine's even while such a page is hidden); they may share keys among themselves.
        std::map<wchar_t, std::wstring> taken;
        for (const HWND child : GetChildren(sheet))
        {
            wchar_t className[16] = L"";
            ::GetClassNameW(child, className, 16);
            std::vector<HWND> controls;
            if (std::wstring(className) == L"#32770" && child != page)
            {
                controls = GetChildren(child);
            }
            else if (std::wstring(className) == L"Button" && ::IsWindowVisible(child))
            {
                controls.push_back(child);
            }
            for (const HWND control : controls)
            {
                const std::wstring text = GetText(control);
                taken.emplace(GetAccessKey(text), text);
            }
        }
        taken.erase(L'\0');

        const std::vector<HWND> children = GetChildren(page);
        // From the last label to the first, so that each key moves the focus somewhere new.
        for (size_t label = children.size(); label-- > 0;)
        {
            const std::wstring text = GetText(children[label]);
            if (!IsLabel(children[label]) || GetInputAfter(children, label) == nullptr ||
                ::GetDlgCtrlID(GetInputAfter(children, label)) == IDC_ABOUT_LINK)
            {
                continue;
            }
            const wchar_t key = GetAccessKey(text);
            if (key == L'\0')
            {
                throw Failure(L"the label \"" + text + L"\" has no access key");
            }
            if (!taken.emplace(key, text).second)
            {
                throw Failure(L"the access key " + std::wstring(1, key) + L" of \"" + text + L"\" is taken by \"" +
                              taken[key] + L"\" too");
            }
            // Alt and the key as the label shows it, delivered to the control with the focus. (Wine
            // matches letters beyond ASCII in their case only.)
            const wchar_t typed = text[text.find(L'&') + 1];
            ::PostMessageW(GetFocus(sheet), WM_SYSCHAR, typed, 1 | (1 << 29));
            const HWND input = GetInputAfter(children, label);
            const double deadline = Seconds() + FocusTimeoutSeconds;
            while (GetFocus(sheet) != input && Seconds() < deadline)
            {
                ::Sleep(5);
            }
            if (GetFocus(sheet) != input)
            {
                throw Failure(L"Alt+" + std::wstring(1, key) + L" does not move the focus to the input of \"" + text +
                              L"\"");
            }
        }
    }

    bool CheckReadingOrder(HWND page)
    {
        for (const int box : {IDC_DIGEST_EDIT, IDC_COMPARE_EDIT})
        {
            if ((::GetWindowLongW(::GetDlgItem(page, box), GWL_EXSTYLE) & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING)) != 0)
            {
                throw Failure(L"the page's box " + std::to_wstring(box) + L" reads digests right to left");
            }
        }
        return (::GetWindowLongW(page, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
    }
}
