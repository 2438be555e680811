#pragma once

#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include "tarnrectangle.h"
#include "tarnreferencecounted.h"

// One page of a property sheet, made from a dialog template. Derived pages override the message
// and notification operations they need; the frame ties the dialog window to the object for the
// window's life and dispatches to them.
//
// Lifetime: the creator holds the first reference. Create makes the page handle, and the sheet
// takes a reference of its own (PSPCB_ADDREF) that it drops when it lets the page go
// (PSPCB_RELEASE), after the window is gone; the creator then releases its own. A page handle that
// no sheet takes is given back with Destroy. Everything runs on the sheet's thread.
class PropertyPage : public Tarn::ReferenceCountedObject
{
public:
    // The template is a resource of the module instance. Count 1, no page handle, no window.
    PropertyPage(WORD templateId, HINSTANCE moduleInstance) noexcept;

    // Makes the page handle through comctl32, under the module's activation context.
    // InvalidOperationException when the page has one already; a failure is traced and thrown as
    // SystemException.
    void Create();
    // Gives back a page handle that no sheet has taken; the system then releases the sheet's
    // reference, which may delete this object. InvalidOperationException without a page handle.
    // A refusal by the system is traced, not thrown.
    void Destroy();

    // A control of the page's dialog; a failure is traced and thrown as SystemException.
    HWND GetDialogItemHandle(int controlId) const;
    // The page window's client area.
    Tarn::Rectangle GetClientRectangle() const;
    // Null before Create and once the sheet has let the page go.
    HPROPSHEETPAGE GetPageHandle() const noexcept { return m_pageHandle; }
    // The dialog window, from WM_INITDIALOG until WM_NCDESTROY; null otherwise.
    HWND GetWindowHandle() const noexcept { return m_windowHandle; }

    // The page callback and the dialog procedure every page shares. Neither lets an exception pass.
    static UINT CALLBACK StaticCallbackProc(HWND window, UINT message, LPPROPSHEETPAGEW page);
    static INT_PTR CALLBACK StaticDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    // What the dialog procedure answers for a message. Processed: handled here (for WM_INITDIALOG the
    // dialog manager then sets the initial focus; for a notification the answer is in the message
    // result). NotProcessed: left to the dialog manager's default processing.
    static constexpr INT_PTR Processed = TRUE;
    static constexpr INT_PTR NotProcessed = FALSE;

    ~PropertyPage() override = default;

    // Every message of the bound window: OnMessage's result when it handled the message, else
    // NotProcessed.
    virtual INT_PTR DialogProc(UINT message, WPARAM wParam, LPARAM lParam);
    // Dispatches WM_INITDIALOG, WM_DESTROY, WM_SIZE, WM_NOTIFY and WM_COMMAND and sets handled for
    // them; leaves it false for every other message.
    virtual INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled);
    // Processed: the dialog manager sets the initial focus.
    virtual INT_PTR OnWmInitDialog();
    virtual INT_PTR OnWmDestroy();
    virtual INT_PTR OnWmSize(UINT32 sizeType, UINT16 width, UINT16 height);
    // Only the sheet's own notifications are handled; each sets the page's message result.
    // Overrides call this first and keep its result.
    virtual INT_PTR OnWmNotify(const NMHDR* header);
    // Commands from child controls go to OnControlCommand; menu and accelerator commands are ignored.
    virtual INT_PTR OnWmCommand(WPARAM wParam, LPARAM lParam);
    virtual void OnPageActivate();
    // True lets the page lose activation.
    virtual bool OnPageDeactivate();
    virtual void OnPageApply();
    // After OnPageApply when the sheet closes with OK.
    virtual void OnPageClose();
    // True lets the sheet be cancelled.
    virtual bool OnPageQueryCancel();
    virtual void OnPageHelp();
    virtual INT_PTR OnControlCommand(HWND control, UINT16 controlId, UINT16 notificationCode);

private:
    void SetMessageResult(LONG_PTR result);

    WORD m_templateId;
    HINSTANCE m_moduleInstance;
    HPROPSHEETPAGE m_pageHandle;
    HWND m_windowHandle;
};
