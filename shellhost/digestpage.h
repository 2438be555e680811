#pragma once

// The Digestry page of a Properties dialog, driven through its controls as a user would: the
// algorithm combo by keystrokes, the compare box by typing.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace ShellHost
{
    // What the page shows at one moment, read from its controls.
    struct PageView
    {
        std::wstring algorithm;
        std::wstring digest;
        std::wstring compareTo;
        std::wstring verdict;

        bool operator==(const PageView& other) const
        {
            return algorithm == other.algorithm && digest == other.digest && compareTo == other.compareTo &&
                   verdict == other.verdict;
        }
        bool operator!=(const PageView& other) const { return !(*this == other); }
    };

    class DigestPage
    {
    public:
        // Called about once a second while a digest is awaited, with the seconds waited so far.
        using ProgressCallback = std::function<void(double)>;

        // The page shows "Computing..." in its own language: the text given.
        DigestPage(HWND page, std::wstring computing);

        // The combo's items, in the order the list shows them.
        std::vector<std::wstring> GetAlgorithms() const;
        int GetSelectedIndex() const;
        // Moves the selection with the arrow keys, so that the page hears of each step as it would
        // from a user. Throws Failure when the combo does not follow.
        void Select(int index);
        // False while the digest box is empty or shows the "Computing..." text; otherwise
        // true with what it shows.
        bool TryGetDigest(std::wstring& text) const;
        // Waits until the digest box no longer shows the page's "Computing..." text and returns what
        // it shows then, with its line breaks as they are. Throws Failure after the time limit.
        std::wstring WaitForDigest(double timeoutSeconds, const ProgressCallback& progress) const;
        // Types the text into "Compare to:" (replacing what is there) and returns the verdict shown.
        std::wstring Compare(const std::wstring& expected);
        // What the controls show now.
        PageView Read() const;

    private:
        HWND m_combo;
        HWND m_digest;
        HWND m_compare;
        HWND m_result;
        std::wstring m_computing;
    };
}
