#pragma once

// The page's template, one for every language. A language chooses its texts, the width of the
// algorithm's label (the combo takes the rest of the row) and whether the page is mirrored; the
// controls, their identifiers, order, classes and styles are the same in all.
//
// Each label's text carries the access key of the input that follows it in the tab order, so
// that the dialog manager moves the focus there on Alt and that key.

#define DIGESTRY_PAGE_LABEL_STYLE WS_CHILD | WS_VISIBLE | WS_GROUP | SS_LEFT

// The digest is left-to-right text in every language: in a mirrored page the compare box, and the
// digest box while it shows a digest, read and lay out left to right (the page turns them at run
// time). The digest box has a vertical scroll bar for a failure's text, which may run longer than
// the box; the page hides the bar while the text fits.
#define DIGESTRY_PAGE_TEMPLATE(extendedStyle, algorithmLabelWidth, algorithmLabel, fileLabel, compareLabel, about) \
    IDD_DIGESTRY_PAGE DIALOGEX 0, 0, 235, 218                                                                      \
    STYLE WS_CHILD | WS_DISABLED | WS_CAPTION | DS_SETFONT | DS_FIXEDSYS                                           \
    EXSTYLE extendedStyle                                                                                          \
    CAPTION "Digestry"                                                                                             \
    FONT 8, "MS Shell Dlg", 400, 0, 0x1                                                                            \
    BEGIN                                                                                                          \
        CONTROL algorithmLabel, -1, "Static", DIGESTRY_PAGE_LABEL_STYLE, 7, 9, algorithmLabelWidth, 10            \
        CONTROL "", IDC_ALGORITHM_COMBO, "ComboBox",                                                               \
                WS_CHILD | WS_VISIBLE | WS_VSCROLL | WS_TABSTOP | CBS_SORT | CBS_DROPDOWNLIST,                      \
                10 + algorithmLabelWidth, 7, 218 - algorithmLabelWidth, 200                                        \
        CONTROL fileLabel, -1, "Static", DIGESTRY_PAGE_LABEL_STYLE, 7, 29, 221, 10                                 \
        CONTROL "", IDC_DIGEST_EDIT, "Edit",                                                                       \
                WS_CHILD | WS_VISIBLE | WS_BORDER | WS_VSCROLL | WS_TABSTOP | ES_READONLY | ES_MULTILINE, 7, 40, 221, 42 \
        CONTROL compareLabel, -1, "Static", DIGESTRY_PAGE_LABEL_STYLE, 7, 93, 221, 8                               \
        CONTROL "", IDC_COMPARE_EDIT, "Edit",                                                                      \
                WS_CHILD | WS_VISIBLE | WS_BORDER | WS_TABSTOP | ES_WANTRETURN | ES_MULTILINE, 7, 104, 221, 42      \
        CONTROL "<Compare result>", IDC_COMPARE_RESULT, "Static", DIGESTRY_PAGE_LABEL_STYLE, 7, 153, 221, 14       \
        CONTROL about DIGESTRY_WEBSITE_LINK, IDC_ABOUT_LINK, "SysLink",                                            \
                WS_CHILD | WS_VISIBLE | WS_TABSTOP | LWS_RIGHT, 7, 198, 221, 13                                    \
    END

// The texts the page shows in its digest box and result label.
#define DIGESTRY_PAGE_STRINGS(computing, computeError, match, mismatch) \
    STRINGTABLE                                                          \
    BEGIN                                                                \
        IDS_COMPUTING computing                                          \
        IDS_COMPUTE_ERROR computeError                                   \
        IDS_CHECKSUM_MATCH match                                         \
        IDS_CHECKSUM_MISMATCH mismatch                                   \
    END
