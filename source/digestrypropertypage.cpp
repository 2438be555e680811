#include "digestrypropertypage.h"

#include <shellapi.h>

#include "digestryversion.h"
#include "resource.h"
#include "tarnautoptr.h"
#include "tarnerrormessage.h"
#include "tarnexception.h"
#include "tarnformatter.h"
#include "tarnlocale.h"
#include "tarnmoduleimpl.h"
#include "tarnrectangle.h"
#include "tarntrace.h"

namespace
{
    const wchar_t TraceSource[] = L"digestrypropertypage";

    const UINT32 VersionMajor = DIGESTRY_VERSION_MAJOR;
    const UINT32 VersionMinor = DIGESTRY_VERSION_MINOR;
    const UINT32 VersionBuild = DIGESTRY_VERSION_BUILD;

    struct AlgorithmItem
    {
        PCWSTR text;
        Crypto::HashAlgorithm algorithm;
    };

    const AlgorithmItem AlgorithmItems[] = {
        {L"MD5", Crypto::HashAlgorithm::Md5},
        {L"SHA-1", Crypto::HashAlgorithm::Sha1},
        {L"SHA-256", Crypto::HashAlgorithm::Sha256},
        {L"SHA-384", Crypto::HashAlgorithm::Sha384},
        {L"SHA-512", Crypto::HashAlgorithm::Sha512},
    };

    // The extended styles by which a box in a mirrored page lays out and reads right to left, as the
    // page does.
    const LONG_PTR RightToLeft = WS_EX_LAYOUTRTL | WS_EX_RTLREADING | WS_EX_RIGHT | WS_EX_LEFTSCROLLBAR;

    // Gives the box those of the styles given (none: left to right), keeping its place in the page.
    void SetDirection(Tarn::Window& box, LONG_PTR rightToLeft)
    {
        const LONG_PTR style = box.GetExtendedStyle();
        if ((style & RightToLeft) != rightToLeft)
        {
            box.SetExtendedStyle((style & ~RightToLeft) | rightToLeft);
        }
    }

    Tarn::String LoadString(UINT resourceId)
    {
        return Tarn::ModuleImpl::GetModule()->LoadResourceString(resourceId);
    }
}

DigestryPropertyPage::ModuleReference::ModuleReference(Tarn::Com::IComModule* module) : m_module(module)
{
    if (m_module != nullptr)
    {
        m_module->IncrementObjectCount();
    }
}

DigestryPropertyPage::ModuleReference::~ModuleReference()
{
    if (m_module == nullptr)
    {
        return;
    }
    try
    {
        m_module->DecrementObjectCount();
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(L"DigestryPropertyPage::ModuleReference::~ModuleReference", exception);
    }
}

DigestryPropertyPage::DigestryPropertyPage(Tarn::Com::IComModule* module, HINSTANCE moduleInstance,
                                           const Tarn::String& filePath)
    : PropertyPage(IDD_DIGESTRY_PAGE, moduleInstance), m_moduleReference(module), m_activated(false),
      m_filePath(filePath), m_digestBoxDirection(0)
{
    TARN_TRACE(Tarn::TraceLevel::Info, L"DigestryPropertyPage::DigestryPropertyPage", L"DigestryPropertyPage constructor");
}

DigestryPropertyPage::~DigestryPropertyPage()
{
    TARN_TRACE(Tarn::TraceLevel::Info, L"DigestryPropertyPage::~DigestryPropertyPage", L"DigestryPropertyPage destructor");
}

INT_PTR DigestryPropertyPage::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled)
{
    const INT_PTR result = PropertyPage::OnMessage(message, wParam, lParam, handled);
    if (!handled && message == HashManager::CompletionMessage)
    {
        return OnHashComputationCompleted(static_cast<HashManager::CompletionKind>(static_cast<UINT32>(wParam)),
                                          static_cast<UINT32>(lParam));
    }
    return result;
}

INT_PTR DigestryPropertyPage::OnWmInitDialog()
{
    m_hashManager.Initialize(m_filePath, GetWindowHandle());

    m_algorithmCombo.Attach(GetDialogItemHandle(IDC_ALGORITHM_COMBO));
    m_digestBox.Attach(GetDialogItemHandle(IDC_DIGEST_EDIT));
    m_compareBox.Attach(GetDialogItemHandle(IDC_COMPARE_EDIT));
    m_resultLabel.Attach(GetDialogItemHandle(IDC_COMPARE_RESULT));
    m_aboutLink.Attach(GetDialogItemHandle(IDC_ABOUT_LINK));
    m_digestBoxRegion.Attach(m_digestBox.GetHandle());
    m_resultLabelRegion.Attach(m_resultLabel.GetHandle());

    // A digest is left-to-right text in every language: in a mirrored page's direction a digest that
    // begins with digits is drawn with its runs reordered. The compare box holds nothing else; the
    // digest box also the page's own texts, which read in the page's direction.
    m_digestBoxDirection = m_digestBox.GetExtendedStyle() & RightToLeft;
    SetDirection(m_compareBox, 0);
    FitDigestBoxScrollBar();
    m_resultLabel.SetCaption(Tarn::String::Empty);
    for (const AlgorithmItem& item : AlgorithmItems)
    {
        m_algorithmCombo.AddItem(item.text, static_cast<ULONG_PTR>(item.algorithm));
    }
    m_algorithmCombo.SetSelectedIndex(0);

    const Tarn::String version = Tarn::Formatter::Format(Tarn::String(L"{0}.{1}.{2}", true), VersionMajor, VersionMinor,
                                                         VersionBuild, Tarn::Locale::Invariant);
    m_aboutLink.SetCaption(Tarn::Formatter::Format(m_aboutLink.GetCaption(), version, Tarn::Locale::Invariant));
    return Processed;
}

INT_PTR DigestryPropertyPage::OnWmDestroy()
{
    try
    {
        m_hashManager.Shutdown();
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(L"DigestryPropertyPage::OnWmDestroy", exception);
    }
    m_digestBoxRegion.Detach();
    m_resultLabelRegion.Detach();
    return NotProcessed;
}

INT_PTR DigestryPropertyPage::OnWmSize(UINT32, UINT16, UINT16)
{
    const Tarn::Rectangle client = GetClientRectangle();
    // The template's left margin (where the digest box starts) and top margin (where the combo
    // starts), mirrored on the right and at the bottom.
    const LONG right = client.GetRect().right - m_digestBox.GetRectangleInParent().left;
    const LONG bottom = client.GetRect().bottom - m_algorithmCombo.GetRectangleInParent().top;

    Tarn::Window* const stretched[] = {&m_algorithmCombo, &m_digestBox, &m_compareBox, &m_resultLabel};
    for (Tarn::Window* const control : stretched)
    {
        RECT rectangle = control->GetRectangleInParent();
        if (rectangle.right != right)
        {
            rectangle.right = right;
            control->MoveWindow(rectangle, true);
        }
    }
    RECT link = m_aboutLink.GetRectangleInParent();
    if (link.right != right || link.bottom != bottom)
    {
        link.right = right;
        const LONG shift = bottom - link.bottom;
        link.top += shift;
        link.bottom += shift;
        m_aboutLink.MoveWindow(link, true);
    }
    FitDigestBoxScrollBar();
    return NotProcessed;
}

INT_PTR DigestryPropertyPage::OnWmNotify(const NMHDR* header)
{
    const INT_PTR result = PropertyPage::OnWmNotify(header);
    if (header != nullptr && header->hwndFrom == m_aboutLink.GetHandle() && (header->code == NM_CLICK || header->code == NM_RETURN))
    {
        const NMLINK* const link = reinterpret_cast<const NMLINK*>(header);
        if (link->item.szUrl[0] != L'\0')
        {
            ::ShellExecuteW(nullptr, L"open", link->item.szUrl, nullptr, nullptr, SW_SHOW);
        }
    }
    return result;
}

void DigestryPropertyPage::OnPageActivate()
{
    if (m_activated)
    {
        return;
    }
    try
    {
        TARN_TRACE(Tarn::TraceLevel::Info, L"DigestryPropertyPage::OnPageActivate", L"Page is being activated for the first time");
        m_activated = true;
        OnAlgorithmComboSelectionChanged();
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(L"DigestryPropertyPage::OnPageActivate", exception);
    }
}

INT_PTR DigestryPropertyPage::OnControlCommand(HWND, UINT16 controlId, UINT16 notificationCode)
{
    if (controlId == IDC_ALGORITHM_COMBO && notificationCode == CBN_SELCHANGE)
    {
        OnAlgorithmComboSelectionChanged();
    }
    else if (controlId == IDC_COMPARE_EDIT && notificationCode == EN_CHANGE)
    {
        UpdateCompareResult();
    }
    return NotProcessed;
}

INT_PTR DigestryPropertyPage::OnHashComputationCompleted(HashManager::CompletionKind kind, UINT32 algorithm)
{
    const Crypto::HashAlgorithm completed = static_cast<Crypto::HashAlgorithm>(algorithm);
    if (completed != GetSelectedAlgorithm())
    {
        return NotProcessed;
    }
    if (kind == HashManager::CompletionKind::Completed)
    {
        Tarn::AutoRefCountPtr<Tarn::IBuffer> digest(m_hashManager.GetHash(completed));
        if (digest.Get() != nullptr)
        {
            ShowDigest(*digest.Get());
        }
    }
    else if (kind == HashManager::CompletionKind::Failed)
    {
        ShowError(m_hashManager.GetErrorCode(completed));
    }
    return NotProcessed;
}

void DigestryPropertyPage::OnAlgorithmComboSelectionChanged()
{
    try
    {
        const Crypto::HashAlgorithm algorithm = GetSelectedAlgorithm();
        Tarn::AutoRefCountPtr<Tarn::IBuffer> digest(m_hashManager.GetHash(algorithm));
        if (digest.Get() != nullptr)
        {
            ShowDigest(*digest.Get());
        }
        else if (m_hashManager.ComputeHash(algorithm))
        {
            ShowComputing();
        }
        else
        {
            ShowError(m_hashManager.GetErrorCode(algorithm));
        }
    }
    catch (const Tarn::Exception& exception)
    {
        TARN_TRACE_EXCEPTION(L"DigestryPropertyPage::OnAlgorithmComboSelectionChanged", exception);
        ShowError(exception.GetErrorCode());
    }
}

Crypto::HashAlgorithm DigestryPropertyPage::GetSelectedAlgorithm() const
{
    return static_cast<Crypto::HashAlgorithm>(m_algorithmCombo.GetItemData(m_algorithmCombo.GetSelectedIndex()));
}

void DigestryPropertyPage::ShowComputing()
{
    SetDigestBoxText(LoadString(IDS_COMPUTING), false);
    m_shownDigest.Clear();
    UpdateCompareResult();
}

void DigestryPropertyPage::ShowDigest(const Tarn::IBuffer& digest)
{
    const Tarn::String text = Tarn::Formatter::FormatHexBytes(digest.GetData(), digest.GetLength(), false);
    SetDigestBoxText(text, true);
    m_digestBoxRegion.Announce();
    m_shownDigest = text;
    UpdateCompareResult();
}

void DigestryPropertyPage::ShowError(HRESULT errorCode)
{
    SetDigestBoxText(
        Tarn::Formatter::Format(LoadString(IDS_COMPUTE_ERROR), Tarn::GetErrorMessage(errorCode), Tarn::Locale::Invariant),
        false);
    m_digestBoxRegion.Announce();
    m_shownDigest.Clear();
    UpdateCompareResult();
}

void DigestryPropertyPage::SetDigestBoxText(const Tarn::String& text, bool digest)
{
    SetDirection(m_digestBox, digest ? 0 : m_digestBoxDirection);
    m_digestBox.SetCaption(text);
    FitDigestBoxScrollBar();
}

void DigestryPropertyPage::FitDigestBoxScrollBar()
{
    // Measured at the box's full width: the bar would only narrow it and wrap the text further.
    m_digestBox.ShowScrollBar(SB_VERT, false);
    if (!m_digestBox.TextFits())
    {
        m_digestBox.ShowScrollBar(SB_VERT, true);
    }
}

void DigestryPropertyPage::UpdateCompareResult()
{
    const Tarn::String expected = m_compareBox.GetCaption();
    if (expected.IsNullOrEmpty() || m_shownDigest.IsNullOrEmpty())
    {
        ShowCompareResult(Tarn::String::Empty);
        return;
    }
    // As pasted: a trailing line break or space is a mismatch; only letter case is forgiven.
    const UINT resourceId = expected.Compare(m_shownDigest, Tarn::String::CompareMode::IgnoreCase) == 0
        ? IDS_CHECKSUM_MATCH
        : IDS_CHECKSUM_MISMATCH;
    ShowCompareResult(LoadString(resourceId));
}

void DigestryPropertyPage::ShowCompareResult(const Tarn::String& verdict)
{
    // The compare box reports every keystroke: a reader that repeated an unchanged verdict at each
    // one would talk over the typing.
    if (m_resultLabel.GetCaption() == verdict)
    {
        return;
    }
    m_resultLabel.SetCaption(verdict);
    m_resultLabelRegion.Announce();
}
