#pragma once

#include <windows.h>

#include "hashalgorithm.h"
#include "hashmanager.h"
#include "liveregion.h"
#include "propertypage.h"
#include "tarnbuffer.h"
#include "tarncommodule.h"
#include "tarncomboboxcontrol.h"
#include "tarncontrol.h"
#include "tarnstring.h"

// The page the extension adds for one file: an algorithm combo, the file's digest for the selected
// algorithm, a box for an expected value and the verdict of comparing the two. Digests come from
// the page's own HashManager, computed at most once per algorithm and kept for the page's life;
// nothing is computed before the page is first brought to the front. Everything runs on the
// sheet's thread.
//
// The page counts as a live object of its module from construction to destruction: the sheet runs
// its dialog procedure and its manager's workers run its code long after the extension object that
// made it may have gone, so the module must not be unloaded before the page is.
class DigestryPropertyPage : public PropertyPage
{
public:
    // The template and the strings are resources of the module instance; the module (may be null)
    // counts the page among its live objects. Count 1.
    DigestryPropertyPage(Tarn::Com::IComModule* module, HINSTANCE moduleInstance, const Tarn::String& filePath);

protected:
    // Shuts the hash manager down with the other members.
    ~DigestryPropertyPage() override;

    // Also routes the manager's completion message to OnHashComputationCompleted.
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;
    // Binds the manager and the controls, fills the combo with "MD5" selected and puts the version
    // into the link. Computes nothing.
    INT_PTR OnWmInitDialog() override;
    // Cancels the running computations and waits for them.
    INT_PTR OnWmDestroy() override;
    // Stretches the controls to the page's width and keeps the link at its bottom.
    INT_PTR OnWmSize(UINT32 sizeType, UINT16 width, UINT16 height) override;
    // Opens the link's address when it is clicked or Enter is pressed on it.
    INT_PTR OnWmNotify(const NMHDR* header) override;
    // The first activation shows (or starts computing) the selected algorithm's digest.
    void OnPageActivate() override;
    INT_PTR OnControlCommand(HWND control, UINT16 controlId, UINT16 notificationCode) override;
    // Shows the digest or the failure of the selected algorithm. Completions for an algorithm other
    // than the selected one stay cached and change nothing on screen.
    virtual INT_PTR OnHashComputationCompleted(HashManager::CompletionKind kind, UINT32 algorithm);

private:
    // Holds one count of the module's live objects for as long as it exists.
    class ModuleReference
    {
    public:
        explicit ModuleReference(Tarn::Com::IComModule* module);
        ModuleReference(const ModuleReference&) = delete;
        ModuleReference& operator=(const ModuleReference&) = delete;
        ~ModuleReference();

    private:
        Tarn::Com::IComModule* const m_module;
    };

    void OnAlgorithmComboSelectionChanged();
    Crypto::HashAlgorithm GetSelectedAlgorithm() const;
    void ShowComputing();
    void ShowDigest(const Tarn::IBuffer& digest);
    void ShowError(HRESULT errorCode);
    // Every text of the digest box goes through here: a digest reads left to right, the page's own
    // texts in the page's direction, and the scroll bar shows exactly while the text runs longer
    // than the box.
    void SetDigestBoxText(const Tarn::String& text, bool digest);
    void FitDigestBoxScrollBar();
    void UpdateCompareResult();
    void ShowCompareResult(const Tarn::String& verdict);

    // First, so that the count is given back only after every other member is gone.
    ModuleReference m_moduleReference;
    bool m_activated;
    HashManager m_hashManager;
    Tarn::String m_filePath;
    // The digest box's text while it shows a digest; empty while it shows anything else.
    Tarn::String m_shownDigest;
    // The right-to-left styles the digest box has from a mirrored page, for the page's own texts.
    LONG_PTR m_digestBoxDirection;
    Tarn::ComboBoxControl m_algorithmCombo;
    Tarn::EditControl m_digestBox;
    Tarn::EditControl m_compareBox;
    Tarn::StaticControl m_resultLabel;
    Tarn::SysLinkControl m_aboutLink;
    // Screen readers speak a digest or failure as it appears, and each new verdict.
    LiveRegion m_digestBoxRegion;
    LiveRegion m_resultLabelRegion;
};
