#include "liveregion.h"

#include "tarnexception.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"liveregion";

    // Live regions came with Windows 8: a build for Windows 7 (_WIN32_WINNT 0x0601) finds neither the
    // event nor the property in its headers. Windows 7 ignores both.
    const DWORD LiveRegionChangedEvent = 0x8019; // EVENT_OBJECT_LIVEREGIONCHANGED
    const GUID LiveSettingProperty = {0xC12BCD8E, 0x2A8E, 0x4950, {0x8A, 0xE7, 0x36, 0x25, 0x11, 0x1D, 0x58, 0xEB}};
    // The reader finishes what it is saying first, as for any change the user asked for.
    const LONG PoliteLiveSetting = 1;

    // oleacc.h only declares these; their definitions come with oleacc's own library in some SDKs,
    // and the DLL must not bind oleacc.dll.
    const CLSID AccPropServicesClass = {0xB5F8350B, 0x0548, 0x48B1, {0xA6, 0xEE, 0x88, 0xBD, 0x00, 0xB4, 0xA5, 0xE7}};
    const IID AccPropServicesInterface = {0x6E26E776, 0x04F0, 0x495D, {0x80, 0xE4, 0x33, 0x30, 0x35, 0x2E, 0x31, 0x69}};
}

LiveRegion::LiveRegion() noexcept : m_control(nullptr)
{
}

LiveRegion::~LiveRegion()
{
    Detach();
}

void LiveRegion::Attach(HWND control) noexcept
{
    Detach();
    m_control = control;
    // Announcements must never cost the user what the control shows. Controls are attached while their
    // window is set up, where an exception would stop the set-up half-way (the digest page's
    // initialisation has no handler of its own), so a failure of the server ends here.
    try
    {
        Mark();
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(L"LiveRegion::Attach", exception);
    }
}

void LiveRegion::Announce() const noexcept
{
    if (m_control != nullptr)
    {
        ::NotifyWinEvent(LiveRegionChangedEvent, m_control, OBJID_CLIENT, CHILDID_SELF);
    }
}

void LiveRegion::Detach() noexcept
{
    if (!m_annotations.IsNull())
    {
        const HRESULT result = m_annotations->ClearHwndProps(m_control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                                             &LiveSettingProperty, 1);
        if (FAILED(result))
        {
            TARN_TRACE(Tarn::TraceLevel::Error, L"LiveRegion::Detach",
                       L"IAccPropServices::ClearHwndProps() failed, error code 0x{0:X8}", result);
        }
        m_annotations.Reset();
    }
    m_control = nullptr;
}

void LiveRegion::Mark()
{
    Tarn::Com::ComAutoPtr<IAccPropServices> annotations;
    HRESULT result = ::CoCreateInstance(AccPropServicesClass, nullptr, CLSCTX_INPROC_SERVER, AccPropServicesInterface,
                                        reinterpret_cast<void**>(annotations.GetAddress()));
    // No COM on the thread, or no annotation class: the platform does not offer the mark.
    if (result == CO_E_NOTINITIALIZED || result == REGDB_E_CLASSNOTREG)
    {
        return;
    }
    if (FAILED(result))
    {
        TARN_TRACE(Tarn::TraceLevel::Error, L"LiveRegion::Mark",
                   L"CoCreateInstance(CLSID_AccPropServices) failed, error code 0x{0:X8}", result);
        throw Tarn::SystemException(result);
    }

    VARIANT polite = {};
    polite.vt = VT_I4;
    polite.lVal = PoliteLiveSetting;
    result =
        annotations->SetHwndProp(m_control, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF, LiveSettingProperty, polite);
    // A server without annotations (Wine's) does not offer the mark either.
    if (result == E_NOTIMPL)
    {
        return;
    }
    if (FAILED(result))
    {
        TARN_TRACE(Tarn::TraceLevel::Error, L"LiveRegion::Mark",
                   L"IAccPropServices::SetHwndProp() failed, error code 0x{0:X8}", result);
        throw Tarn::SystemException(result);
    }
    m_annotations.Reset(annotations.Detach());
}
