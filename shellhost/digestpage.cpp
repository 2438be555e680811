#include "digestpage.h"

#include <sstream>
#include <utility>

#include "console.h"
#include "resource.h"
#include "windowmessages.h"

namespace ShellHost
{
    namespace
    {
        const DWORD PollMs = 5;

        HWND GetControl(HWND page, int id)
        {
            const HWND control = ::GetDlgItem(page, id);
            if (control == nullptr)
            {
                throw Failure(L"the Digestry page has no control " + std::to_wstring(id));
            }
            return control;
        }
    }

    DigestPage::DigestPage(HWND page, std::wstring computing)
        : m_combo(GetControl(page, IDC_ALGORITHM_COMBO)), m_digest(GetControl(page, IDC_DIGEST_EDIT)),
          m_compare(GetControl(page, IDC_COMPARE_EDIT)), m_result(GetControl(page, IDC_COMPARE_RESULT)),
          m_computing(std::move(computing))
    {
    }

    std::vector<std::wstring> DigestPage::GetAlgorithms() const
    {
        std::vector<std::wstring> names;
        const LRESULT count = SendWithTimeout(m_combo, CB_GETCOUNT, 0, 0);
        for (LRESULT index = 0; index < count; ++index)
        {
            std::wstring name(static_cast<size_t>(SendWithTimeout(m_combo, CB_GETLBTEXTLEN, index, 0)) + 1, L'\0');
            name.resize(static_cast<size_t>(
                SendWithTimeout(m_combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(&name[0]))));
            names.push_back(name);
        }
        return names;
    }

    int DigestPage::GetSelectedIndex() const
    {
        return static_cast<int>(SendWithTimeout(m_combo, CB_GETCURSEL, 0, 0));
    }

    void DigestPage::Select(int index)
    {
        for (int selected = GetSelectedIndex(); selected != index;)
        {
            PressKey(m_combo, index > selected ? VK_DOWN : VK_UP);
            const int now = GetSelectedIndex();
            if (now == selected)
            {
                throw Failure(L"the algorithm combo does not move from item " + std::to_wstring(selected) +
                              L" with the arrow keys");
            }
            selected = now;
        }
    }

    bool DigestPage::TryGetDigest(std::wstring& text) const
    {
        text = GetText(m_digest);
        return !text.empty() && text != m_computing;
    }

    std::wstring DigestPage::WaitForDigest(double timeoutSeconds, const ProgressCallback& progress) const
    {
        const double start = Seconds();
        double nextProgress = start + 1.0;
        for (;;)
        {
            std::wstring text;
            if (TryGetDigest(text))
            {
                return text;
            }
            const double now = Seconds();
            if (now - start > timeoutSeconds)
            {
                std::wostringstream limit;
                limit << timeoutSeconds;
                throw Failure(L"no digest within " + limit.str() + L" s; the page still shows \"" + text + L"\"");
            }
            if (now >= nextProgress && progress)
            {
                progress(now - start);
                nextProgress += 1.0;
            }
            ::Sleep(PollMs);
        }
    }

    std::wstring DigestPage::Compare(const std::wstring& expected)
    {
        SendWithTimeout(m_compare, EM_SETSEL, 0, -1);
        if (expected.empty())
        {
            PressKey(m_compare, VK_DELETE);
        }
        for (const wchar_t character : expected)
        {
            SendWithTimeout(m_compare, WM_CHAR, character, 1);
        }
        return GetText(m_result);
    }

    PageView DigestPage::Read() const
    {
        const int selected = GetSelectedIndex();
        const std::wstring algorithm = selected < 0 ? std::wstring() : GetAlgorithms().at(static_cast<size_t>(selected));
        return PageView{algorithm, GetText(m_digest), GetText(m_compare), GetText(m_result)};
    }
}
