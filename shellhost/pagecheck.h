#pragma once

// Checks of the Digestry page as a user of its language meets it, beyond the digests: its texts, the
// room they have, its access keys and the reading order of its digests. Each throws Failure with
// what it found.

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "pagetexts.h"

namespace ShellHost
{
    // The labels show the texts' labels and the link its text around the version.
    void CheckTexts(HWND page, const PageTexts& texts);
    // Every label's text, the link's and both verdicts are no wider than their controls, measured in
    // the controls' own fonts.
    void CheckTextsFit(HWND page, const PageTexts& texts);
    // Alt and each label's access key moves the focus to the input that follows the label, and no
    // key is taken twice on the page or by one of the sheet's buttons.
    void CheckAccessKeys(HWND sheet, HWND page);
    // The digest box shows every line of what it holds: the text fits and the box has no scroll bar,
    // or it runs longer and a scroll bar brings its last line into view. Returns what was measured,
    // for the report.
    std::wstring CheckDigestBoxReadable(HWND page);
    // The page's failure text with descriptions in Windows' words, which are longer than Wine's: two
    // for a file that cannot be read and one that runs longer than the box. Each is put into the
    // digest box as the page puts it and the page laid out again as at any resize; the box must show
    // every line of each. Returns the measurement of each, after the failure's name.
    std::vector<std::pair<std::wstring, std::wstring>> CheckWindowsFailuresReadable(HWND page, const PageTexts& texts);
    // Whether the page is mirrored. The compare box reads left to right either way, and so does the
    // digest box while it shows a digest; its other texts read in the page's direction.
    bool CheckReadingOrder(HWND page, bool digestShown);
}
