#include "pagecheck.h"

#include <algorithm>
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

        // The lines of the box's wrapped text up to the last that holds any: a system message ends with
        // a line break.
        LONG CountTextLines(HWND box)
        {
            const auto lineStart = [box](LONG line) {
                return static_cast<WPARAM>(SendWithTimeout(box, EM_LINEINDEX, static_cast<WPARAM>(line), 0));
            };
            LONG lines = static_cast<LONG>(SendWithTimeout(box, EM_GETLINECOUNT, 0, 0));
            while (lines > 1 && SendWithTimeout(box, EM_LINELENGTH, lineStart(lines - 1), 0) == 0)
            {
                --lines;
            }
            return lines;
        }

        // The whole lines the box's formatting rectangle holds in its font.
        LONG CountLinesInView(HWND box)
        {
            RECT format = {};
            SendWithTimeout(box, EM_GETRECT, 0, reinterpret_cast<LPARAM>(&format));
            const HDC context = ::GetDC(box);
            const HFONT font = reinterpret_cast<HFONT>(SendWithTimeout(box, WM_GETFONT, 0, 0));
            const HGDIOBJ previous = ::SelectObject(context, font);
            TEXTMETRICW metrics = {};
            ::GetTextMetricsW(context, &metrics);
            ::SelectObject(context, previous);
            ::ReleaseDC(box, context);
            return (format.bottom - format.top) / std::max<LONG>(metrics.tmHeight, 1);
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

    std::wstring CheckDigestBoxReadable(HWND page)
    {
        const HWND box = ::GetDlgItem(page, IDC_DIGEST_EDIT);
        SCROLLBARINFO bar = {};
        bar.cbSize = sizeof(bar);
        ::GetScrollBarInfo(box, static_cast<LONG>(OBJID_VSCROLL), &bar);
        const bool shown = (bar.rgstate[0] & STATE_SYSTEM_INVISIBLE) == 0;
        const bool usable = shown && (bar.rgstate[0] & STATE_SYSTEM_UNAVAILABLE) == 0;
        const LONG lines = CountTextLines(box);
        const LONG inView = CountLinesInView(box);
        std::wstring measured = std::to_wstring(lines) + L" lines, " + std::to_wstring(inView) + L" in view" +
                                      (shown ? L", scroll bar" : L"");
        if (lines <= inView && shown)
        {
            throw Failure(L"the digest box has a scroll bar for a text that fits it (" + measured + L")");
        }
        if (lines > inView)
        {
            if (!usable)
            {
                throw Failure(L"the digest box hides lines of its text without a scroll bar to reach them (" +
                              measured + L")");
            }
            SendWithTimeout(box, WM_VSCROLL, SB_BOTTOM, 0);
            const LONG first = static_cast<LONG>(SendWithTimeout(box, EM_GETFIRSTVISIBLELINE, 0, 0));
            SendWithTimeout(box, WM_VSCROLL, SB_TOP, 0);
            if (first + inView < lines)
            {
                throw Failure(L"the digest box's scroll bar stops " + std::to_wstring(lines - first - inView) +
                              L" lines short of the text's end (" + measured + L")");
            }
        }
        return measured;
    }

    std::vector<std::pair<std::wstring, std::wstring>> CheckWindowsFailuresReadable(HWND page, const PageTexts& texts)
    {
        const std::pair<const wchar_t*, const wchar_t*> descriptions[] = {
            {L"sharing violation",
             L"The process cannot access the file because it is being used by another process.\r\n"},
            {L"virus found", L"Operation did not complete successfully because the file contains a virus or "
                             L"potentially unwanted software.\r\n"},
            // Longer than the box in most languages: its scroll bar at work in the real dialog.
            {L"unverified signature",
             L"Windows cannot verify the digital signature for this file. A recent hardware or software change might "
             L"have installed a file that is signed incorrectly or damaged, or that might be malicious software from "
             L"an unknown source.\r\n"},
        };
        const size_t argument = texts.failure.find(L"{0}");
        const HWND box = ::GetDlgItem(page, IDC_DIGEST_EDIT);
        RECT client = {};
        ::GetClientRect(page, &client);
        std::vector<std::pair<std::wstring, std::wstring>> measured;
        for (const auto& description : descriptions)
        {
            const std::wstring text =
                texts.failure.substr(0, argument) + description.second + texts.failure.substr(argument + 3);
            SendWithTimeout(box, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
            SendWithTimeout(page, WM_SIZE, SIZE_RESTORED, MAKELPARAM(client.right, client.bottom));
            measured.emplace_back(description.first, CheckDigestBoxReadable(page));
        }
        return measured;
    }

    bool CheckReadingOrder(HWND page, bool digestShown)
    {
        const auto isRightToLeft = [](HWND window) {
            return (::GetWindowLongW(window, GWL_EXSTYLE) & (WS_EX_LAYOUTRTL | WS_EX_RTLREADING)) != 0;
        };
        const bool mirrored = (::GetWindowLongW(page, GWL_EXSTYLE) & WS_EX_LAYOUTRTL) != 0;
        if (isRightToLeft(::GetDlgItem(page, IDC_COMPARE_EDIT)))
        {
            throw Failure(L"the page's compare box reads digests right to left");
        }
        if (isRightToLeft(::GetDlgItem(page, IDC_DIGEST_EDIT)) != (mirrored && !digestShown))
        {
            throw Failure(digestShown ? L"the page's digest box reads its digest right to left"
                                      : L"the page's digest box does not read the page's text in the page's direction");
        }
        return mirrored;
    }
}
