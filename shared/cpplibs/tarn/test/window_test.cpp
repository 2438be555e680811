#include <gtest/gtest.h>

#include <windows.h>

#include <string>
#include <vector>

#include "tarncomboboxcontrol.h"
#include "tarncontrol.h"
#include "tarnexception.h"
#include "tarnformatter.h"
#include "tarnlocale.h"
#include "tarnrectangle.h"
#include "tarntrace.h"
#include "tarnwindow.h"
#include "testsupport.h"

using TarnTest::ThrownCode;

namespace
{
    HWND CreateTopLevel(int x, int y)
    {
        return ::CreateWindowExW(0, L"STATIC", L"", WS_POPUP, x, y, 200, 150, nullptr, nullptr, nullptr, nullptr);
    }

    // Records the item-data messages a combo box receives; a test may make it refuse them.
    struct ComboSpy
    {
        static WNDPROC original;
        static std::vector<LPARAM> itemData;
        static bool refuseItemData;

        static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
        {
            if (message == CB_SETITEMDATA)
            {
                itemData.push_back(lParam);
                if (refuseItemData)
                {
                    return CB_ERR;
                }
            }
            return ::CallWindowProcW(original, window, message, wParam, lParam);
        }

        static void Attach(HWND combo)
        {
            itemData.clear();
            refuseItemData = false;
            original = reinterpret_cast<WNDPROC>(
                ::SetWindowLongPtrW(combo, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&WindowProc)));
        }
    };

    WNDPROC ComboSpy::original = nullptr;
    std::vector<LPARAM> ComboSpy::itemData;
    bool ComboSpy::refuseItemData = false;
}

class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        Tarn::SetTraceLevel(Tarn::TraceLevel::Error);
        m_topLevel = CreateTopLevel(100, 100);
        ASSERT_NE(nullptr, m_topLevel);
        m_window.Attach(m_topLevel);
    }

    void TearDown() override { ::DestroyWindow(m_topLevel); }

    LRESULT ItemCount(const Tarn::ComboBoxControl& combo) const { return combo.SendMessage(CB_GETCOUNT, 0, 0); }

    HWND m_topLevel = nullptr;
    Tarn::Window m_window;
};

TEST_F(WindowTest, CaptionOfAWindowWithoutTextIsEmptyAndNotNullEvenAfterAnEarlierError)
{
    ::SetLastError(ERROR_ACCESS_DENIED);
    const Tarn::String empty = m_window.GetCaption();
    EXPECT_FALSE(empty.IsNull());
    EXPECT_TRUE(empty.IsEmpty());

    m_window.SetCaption(Tarn::String(L"Digestry", true));
    EXPECT_STREQ(L"Digestry", m_window.GetCaption().GetBuffer());
}

TEST_F(WindowTest, SortedComboReturnsTheSortedPositionAndStoresOnlyNonZeroData)
{
    Tarn::ComboBoxControl combo;
    combo.Create(m_topLevel, 1001, 0, 0, 100, 200, WS_CHILD | CBS_DROPDOWNLIST | CBS_SORT, 0);
    ComboSpy::Attach(combo.GetHandle());

    EXPECT_EQ(0, combo.AddItem(Tarn::String(L"SHA-1", true), 2));
    EXPECT_EQ(0, combo.AddItem(L"MD5", 0));
    EXPECT_EQ(2, combo.AddItem(L"SHA-512", 5));

    EXPECT_EQ((std::vector<LPARAM>{2, 5}), ComboSpy::itemData) << "data 0 is not sent";
    EXPECT_EQ(0u, combo.GetItemData(0));
    EXPECT_EQ(2u, combo.GetItemData(1));
    combo.SetSelectedIndex(2);
    EXPECT_EQ(2, combo.GetSelectedIndex());
}

TEST_F(WindowTest, ComboFailuresAreThrownWithAFailureCodeAndLeaveNoHalfAddedItem)
{
    Tarn::ComboBoxControl combo;
    combo.Create(m_topLevel, 1001, 0, 0, 100, 200, WS_CHILD | CBS_DROPDOWNLIST | CBS_SORT, 0);
    combo.AddItem(L"MD5", 1);
    ComboSpy::Attach(combo.GetHandle());
    ComboSpy::refuseItemData = true;
    TarnTest::DebugOutputListener listener;

    // The combo sets no error when it refuses: the code must still read as a failure.
    EXPECT_EQ(E_FAIL, ThrownCode([&combo] { combo.AddItem(L"SHA-256", 3); }));
    EXPECT_EQ(1, ItemCount(combo));
    EXPECT_EQ(1u, listener.GetLinesContaining("SendMessage(CB_SETITEMDATA) to ComboBox 0x").size());

    // -1 clears the selection, and the combo answers it like a failure.
    EXPECT_EQ(E_FAIL, ThrownCode([&combo] { combo.SetSelectedIndex(-1); }));
    EXPECT_EQ(-1, combo.GetSelectedIndex());
    EXPECT_EQ(1u, listener.GetLinesContaining("SendMessage(CB_SETCURSEL) to ComboBox 0x").size());
}

TEST_F(WindowTest, ControlCreationChecksItsWrapperStyleAndClass)
{
    Tarn::EditControl edit;
    const HWND handle =
        edit.Create(m_topLevel, 1002, 0, 0, 50, 20, Tarn::String(L"text", true), WS_CHILD | ES_MULTILINE, 0);
    ASSERT_NE(nullptr, handle);
    EXPECT_TRUE(edit.IsMultiline());
    EXPECT_STREQ(L"text", edit.GetText().GetBuffer());

    TarnTest::DebugOutputListener listener;
    EXPECT_EQ(Tarn::InvalidOperationException::Code,
              ThrownCode([&] { edit.Create(m_topLevel, 1003, 0, 0, 50, 20, Tarn::String::Empty, WS_CHILD, 0); }));
    EXPECT_EQ(handle, edit.GetHandle());
    EXPECT_EQ(1u, TarnTest::CountErrorLines(listener, "src\\tarncontrol", "Tarn::Control::Create",
                                            "Cannot call Create() on an already created object"));

    Tarn::EditControl popupEdit;
    EXPECT_EQ(E_INVALIDARG,
              ThrownCode([&] { popupEdit.Create(m_topLevel, 1004, 0, 0, 50, 20, Tarn::String::Empty, WS_POPUP, 0); }));
    EXPECT_FALSE(popupEdit.IsAttached());

    // The tooltip class comes from comctl32; a tooltip is the one window allowed without WS_CHILD.
    ASSERT_NE(nullptr, ::LoadLibraryW(L"comctl32.dll"));
    Tarn::Control tooltip;
    const HWND tooltipHandle = tooltip.Create(Tarn::String(L"tooltips_class32", true), m_topLevel, 0, 0, 0, 0, 0,
                                              Tarn::String::Empty, WS_POPUP, 0);
    EXPECT_NE(nullptr, tooltipHandle);
    ::DestroyWindow(tooltipHandle);
}

TEST_F(WindowTest, AMultilineEditsTextFitsWhileEveryLineWithTextIsInViewAndItsScrollBarComesAndGoes)
{
    Tarn::EditControl edit;
    edit.Create(m_topLevel, 1002, 0, 0, 150, 60, Tarn::String::Empty, WS_CHILD | WS_VSCROLL | ES_MULTILINE, 0);
    const auto fits = [&edit](const wchar_t* text) {
        edit.SetText(Tarn::String(text, true));
        return edit.TextFits();
    };
    EXPECT_TRUE(fits(L""));
    EXPECT_TRUE(fits(L"one line"));
    EXPECT_TRUE(fits(L"a line\r\n\r\n\r\n\r\n\r\n\r\n\r\n\r\n")) << "blank lines at the end";
    EXPECT_FALSE(fits(L"1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n8"));
    EXPECT_FALSE(fits(L"words that wrap, words that wrap, words that wrap, words that wrap, words that wrap, "
                      L"words that wrap, words that wrap, words that wrap, words that wrap, words that wrap"));
    ::SendMessageW(edit.GetHandle(), WM_VSCROLL, SB_BOTTOM, 0);
    EXPECT_FALSE(edit.TextFits()) << "wherever it is scrolled";

    SCROLLBARINFO bar = {};
    bar.cbSize = sizeof(bar);
    edit.ShowScrollBar(SB_VERT, false);
    ::GetScrollBarInfo(edit.GetHandle(), static_cast<LONG>(OBJID_VSCROLL), &bar);
    EXPECT_NE(0u, bar.rgstate[0] & STATE_SYSTEM_INVISIBLE);
    edit.ShowScrollBar(SB_VERT, true);
    ::GetScrollBarInfo(edit.GetHandle(), static_cast<LONG>(OBJID_VSCROLL), &bar);
    EXPECT_EQ(0u, bar.rgstate[0] & STATE_SYSTEM_INVISIBLE);
}

TEST_F(WindowTest, RectangleInParentIsWhereTheParentPlacedTheWindowEvenInAMirroredParentAndNeedsAParent)
{
    // Right-to-left, as the shell mirrors its windows on Arabic and Hebrew Windows.
    const HWND mirrored =
        ::CreateWindowExW(WS_EX_LAYOUTRTL, L"STATIC", L"", WS_POPUP, 100, 100, 200, 150, nullptr, nullptr, nullptr, nullptr);
    for (const HWND parent : {m_topLevel, mirrored})
    {
        SCOPED_TRACE(parent == mirrored ? "mirrored" : "left to right");
        Tarn::StaticControl label;
        label.Create(parent, 1007, 10, 20, 30, 40, Tarn::String::Empty, WS_CHILD, 0);
        RECT placed;
        ::GetWindowRect(label.GetHandle(), &placed);

        const RECT inParent = label.GetRectangleInParent();
        EXPECT_EQ(10, inParent.left);
        EXPECT_EQ(20, inParent.top);
        EXPECT_EQ(40, inParent.right);
        EXPECT_EQ(60, inParent.bottom);
        label.MoveWindow(inParent, false);
        RECT moved;
        ::GetWindowRect(label.GetHandle(), &moved);
        EXPECT_TRUE(::EqualRect(&placed, &moved)) << "moved to its own rectangle, it stays where it was";
    }
    ::DestroyWindow(mirrored);

    EXPECT_EQ(Tarn::InvalidOperationException::Code, ThrownCode([this] { m_window.GetRectangleInParent(); }));
}

TEST_F(WindowTest, RectangleFormatsItsFourEdges)
{
    const Tarn::Rectangle rectangle(RECT{1, 2, 3, 4});
    EXPECT_STREQ(L"[left: 1, top: 2, right: 3, bottom: 4]",
                 Tarn::Formatter::Format(Tarn::String(L"[{0}]", true), rectangle, Tarn::Locale::Invariant).GetBuffer());
}

TEST_F(WindowTest, MappingMovesByTheOffsetBetweenTheClientOrigins)
{
    // A borderless child at (0, 0) shares its parent's client origin: nothing to move, no failure.
    Tarn::StaticControl child;
    child.Create(m_topLevel, 1, 0, 0, 50, 50, Tarn::String::Empty, WS_CHILD, 0);
    const POINT same = child.MapPoint(m_topLevel, 7, 9);
    EXPECT_EQ(7, same.x);
    EXPECT_EQ(9, same.y);

    const HWND other = CreateTopLevel(300, 250);
    const POINT moved = m_window.MapPoint(other, 5, 6);
    EXPECT_EQ(5 + 100 - 300, moved.x);
    EXPECT_EQ(6 + 100 - 250, moved.y);
    const RECT rectangle = m_window.MapRectangle(other, 0, 0, 10, 10);
    EXPECT_EQ(-200, rectangle.left);
    EXPECT_EQ(-140, rectangle.bottom);
    const POINT onScreen = m_window.ClientToScreen(1, 2);
    EXPECT_EQ(101, onScreen.x);
    EXPECT_EQ(102, onScreen.y);
    ::DestroyWindow(other);

    EXPECT_EQ(E_INVALIDARG, ThrownCode([this] { m_window.ScreenToClient(static_cast<const POINT*>(nullptr)); }));
}
