#pragma once

// Checks of the Digestry page as a user of its language meets it, beyond the digests: its texts, the
// room they have, its access keys and the reading order of its digests. Each throws Failure with
// what it found.

#include <windows.h>

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
    // Whether the page is mirrored; the boxes that hold digests read left to right either way.
    bool CheckReadingOrder(HWND page);
}
