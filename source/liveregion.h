#pragma once

#include <windows.h>

#include <oleacc.h>

#include "tarncomautoptr.h"

// A control whose new content a screen reader speaks without the user moving to it. The control is
// marked as a polite live region in the accessibility server's annotations (IAccPropServices),
// which Windows 8 and later read, and each change is signalled by the live-region event. The mark
// is an extra that not every thread or platform offers: without COM on the thread, without the
// annotation class, or with a server that does not implement annotations, the control goes
// unmarked and its changes are signalled all the same. Used on the thread that owns the control.
class LiveRegion
{
public:
    LiveRegion() noexcept;
    LiveRegion(const LiveRegion&) = delete;
    LiveRegion& operator=(const LiveRegion&) = delete;
    // Detaches.
    ~LiveRegion();

    // Marks the control, which the caller keeps owning. Never throws: a failure of the server is
    // traced and leaves the control unmarked but still announced.
    void Attach(HWND control) noexcept;
    // Tells screen readers that the control's content changed. Nothing without a control.
    void Announce() const noexcept;
    // Removes the mark while the control still exists, so that the server keeps nothing about a
    // window that is gone; a refusal is traced. The control is no longer announced.
    void Detach() noexcept;

private:
    void Mark();

    HWND m_control;
    // Held from Attach to Detach only where the control is marked.
    Tarn::Com::ComAutoPtr<IAccPropServices> m_annotations;
};
