#pragma once

// The Digestry page's texts in one language, read from digestry.dll's own resources: what the page
// must show, to compare with what it does show.

#include <windows.h>

#include <string>
#include <vector>

namespace ShellHost
{
    struct PageTexts
    {
        // The labels of the template (its static texts without an identifier), in tab order, with
        // their access-key markers.
        std::vector<std::wstring> labels;
        // The link's template text, "{0}" standing for the version.
        std::wstring about;
        std::wstring computing;
        // What a failed computation shows, "{0}" standing for the system's description.
        std::wstring failure;
        std::wstring match;
        std::wstring mismatch;

        // The texts of that language; LANG_NEUTRAL gives those that Windows picks for the calling
        // thread, as it does for the page. Throws Failure when the DLL has no such template.
        static PageTexts Load(HMODULE dll, LANGID language);

        bool operator==(const PageTexts& other) const
        {
            return labels == other.labels && about == other.about && computing == other.computing &&
                   failure == other.failure && match == other.match && mismatch == other.mismatch;
        }
        bool operator!=(const PageTexts& other) const { return !(*this == other); }
    };
}
