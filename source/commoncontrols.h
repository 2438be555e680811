#pragma once

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

// comctl32 as this module needs it: Common Controls 6.0, whatever the host process binds. The
// library is not linked at load time; it is loaded at first use and each function is resolved once,
// with the module's own activation context active, and every call runs under that context too. The
// context is the one the loader built from the module's manifest; a module without one gets a
// context made from its manifest resource 3; where neither exists, or the platform has no
// activation contexts, the calls run without one. Safe to use from several threads.
//
// The functions return comctl32's own answers, with the last-error value it left. Only when the
// library cannot be loaded or a function is missing do they throw: traced, as SystemException.
namespace CommonControls
{
    // CreatePropertySheetPageW. The descriptor may be of any layout its dwSize names; one large
    // enough to carry a context (dwSize at least 96) that does not name one itself is given
    // PSP_USEFUSIONCONTEXT and the module's context, so that the page's dialog and controls are
    // made from Common Controls 6.0.
    HPROPSHEETPAGE CreatePage(PROPSHEETPAGEW_V3& page);
    BOOL DestroyPage(HPROPSHEETPAGE page);
    BOOL InitCommonControlsEx(const INITCOMMONCONTROLSEX& controls);
}
