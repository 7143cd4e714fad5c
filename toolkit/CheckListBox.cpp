#include "CheckListBox.h"

#include "Application.h"
#include "Form.h"

#include <vsstyle.h>

#include <algorithm>

namespace {

// The list view's layout: rows one pixel taller than the text or the box,
// the box near the left edge, the text after it; a click left of the text
// hits the box.
constexpr int kCheckBoxSize = 13;
constexpr int kCheckBoxLeft = 2;
constexpr int kTextLeft = 20;
constexpr int kCheckBoxHitWidth = kCheckBoxLeft + kCheckBoxSize;

// The list box class's own window procedure, which every list box shares.
WNDPROC listBoxProc = nullptr;

int RowHeight(HFONT font)
{
    HDC screen = GetDC(nullptr);
    const HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen, &metrics);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    return std::max<int>(metrics.tmHeight, kCheckBoxSize) + 1;
}

RECT CheckBoxOf(const RECT& row)
{
    const int top = row.top + (row.bottom - row.top - kCheckBoxSize) / 2;
    return RECT{row.left + kCheckBoxLeft, top, row.left + kCheckBoxLeft + kCheckBoxSize, top + kCheckBoxSize};
}

bool ShowsFocus(const DRAWITEMSTRUCT& item)
{
    return (item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT);
}

} // namespace

TCheckListBox::TCheckListBox(TForm* parent, const TBounds& bounds)
    : TControl(parent, "LISTBOX", WS_TABSTOP | WS_VSCROLL | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT,
               WS_EX_CLIENTEDGE, bounds, "")
{
    SendMessageA(Handle(), LB_SETITEMHEIGHT, 0, RowHeight(parent->Font()));
    OpenThemes();
    listBoxProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SubclassProc)));
}

void TCheckListBox::Add(const std::string& item)
{
    SendMessageA(Handle(), LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void TCheckListBox::AddItems(const std::vector<std::string>& items)
{
    AddStrings(LB_INITSTORAGE, LB_ADDSTRING, items);
}

int TCheckListBox::Count() const
{
    return static_cast<int>(SendMessageA(Handle(), LB_GETCOUNT, 0, 0));
}

std::string TCheckListBox::Item(int index) const
{
    return ItemText(LB_GETTEXTLEN, LB_GETTEXT, index);
}

bool TCheckListBox::Checked(int index) const
{
    const LRESULT data = SendMessageA(Handle(), LB_GETITEMDATA, index, 0);
    return data != LB_ERR && data != 0;
}

void TCheckListBox::SetChecked(int index, bool checked)
{
    SendMessageA(Handle(), LB_SETITEMDATA, index, checked ? 1 : 0);
    RedrawItem(index);
}

void TCheckListBox::Toggle(int index)
{
    SetChecked(index, !Checked(index));
}

int TCheckListBox::CheckBoxAt(POINT point) const noexcept
{
    const LRESULT hit = SendMessageA(Handle(), LB_ITEMFROMPOINT, 0, MAKELPARAM(point.x, point.y));
    RECT row{};
    if (HIWORD(hit) != 0 ||
        SendMessageA(Handle(), LB_GETITEMRECT, LOWORD(hit), reinterpret_cast<LPARAM>(&row)) == LB_ERR ||
        !PtInRect(&row, point) || point.x >= row.left + kCheckBoxHitWidth)
        return -1;
    return LOWORD(hit);
}

void TCheckListBox::RedrawItem(int index) noexcept
{
    RECT row{};
    if (index >= 0 && SendMessageA(Handle(), LB_GETITEMRECT, index, reinterpret_cast<LPARAM>(&row)) != LB_ERR)
        InvalidateRect(Handle(), &row, FALSE);
}

void TCheckListBox::OpenThemes() noexcept
{
    checkBoxTheme_.Reset(OpenThemeData(Handle(), L"BUTTON"));
    frameTheme_.Reset(OpenThemeData(Handle(), L"LISTVIEW"));
}

void TCheckListBox::DrawItem(const DRAWITEMSTRUCT& item)
{
    if (item.itemID == static_cast<UINT>(-1)) {
        // An empty list with the focus.
        if (ShowsFocus(item))
            DrawFocusRect(item.hDC, &item.rcItem);
        return;
    }
    // The selection stays visible without the focus, in the face colour.
    const bool selected = item.itemState & ODS_SELECTED;
    const bool focused = GetFocus() == Handle();
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(!selected ? COLOR_WINDOW : focused ? COLOR_HIGHLIGHT : COLOR_BTNFACE));

    const bool checked = item.itemData != 0;
    RECT box = CheckBoxOf(item.rcItem);
    if (checkBoxTheme_)
        DrawThemeBackground(checkBoxTheme_.Get(), item.hDC, BP_CHECKBOX,
                            checked ? CBS_CHECKEDNORMAL : CBS_UNCHECKEDNORMAL, &box, nullptr);
    else
        DrawFrameControl(item.hDC, &box, DFC_BUTTON, DFCS_BUTTONCHECK | DFCS_FLAT | (checked ? DFCS_CHECKED : 0));

    const std::string text = Item(static_cast<int>(item.itemID));
    RECT label = item.rcItem;
    label.left += kTextLeft;
    const int saved = SaveDC(item.hDC);
    SelectObject(item.hDC, reinterpret_cast<HFONT>(SendMessageA(Handle(), WM_GETFONT, 0, 0)));
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(selected && focused ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
    DrawTextA(item.hDC, text.c_str(), static_cast<int>(text.size()), &label,
              DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_END_ELLIPSIS);
    RestoreDC(item.hDC, saved);
    if (ShowsFocus(item))
        DrawFocusRect(item.hDC, &item.rcItem);
}

void TCheckListBox::PaintFrame(HRGN region) noexcept
{
    RECT frame{};
    GetWindowRect(Handle(), &frame);
    const int edgeX = GetSystemMetrics(SM_CXEDGE);
    const int edgeY = GetSystemMetrics(SM_CYEDGE);
    // What lies inside the frame (the scroll bar) is painted as usual.
    UniqueGdiObject inside(
        CreateRectRgn(frame.left + edgeX, frame.top + edgeY, frame.right - edgeX, frame.bottom - edgeY));
    if (region != reinterpret_cast<HRGN>(1))
        CombineRgn(static_cast<HRGN>(inside.Get()), static_cast<HRGN>(inside.Get()), region, RGN_AND);
    OffsetRect(&frame, -frame.left, -frame.top);
    HDC dc = GetWindowDC(Handle());
    ExcludeClipRect(dc, edgeX, edgeY, frame.right - edgeX, frame.bottom - edgeY);
    DrawThemeBackground(frameTheme_.Get(), dc, 0, 0, &frame, nullptr);
    ReleaseDC(Handle(), dc);
    CallWindowProcA(listBoxProc, Handle(), WM_NCPAINT, reinterpret_cast<WPARAM>(inside.Get()), 0);
}

LRESULT TCheckListBox::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        // A click on a box toggles it and takes the focus, but leaves the
        // selection alone; elsewhere the list box selects the row.
        const int box = CheckBoxAt(POINT{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))});
        if (box < 0)
            break;
        SetFocus(Handle());
        Toggle(box);
        return 0;
    }
    case WM_KEYDOWN:
        // The space bar toggles the item with the focus rectangle.
        if (wParam == VK_SPACE) {
            const int caret = static_cast<int>(SendMessageA(Handle(), LB_GETCARETINDEX, 0, 0));
            if (caret >= 0 && caret < Count())
                Toggle(caret);
            return 0;
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: {
        // The selected row changes its colours with the focus.
        const LRESULT result = CallWindowProcA(listBoxProc, Handle(), message, wParam, lParam);
        RedrawItem(static_cast<int>(SendMessageA(Handle(), LB_GETCURSEL, 0, 0)));
        return result;
    }
    case WM_NCPAINT:
        if (frameTheme_) {
            PaintFrame(reinterpret_cast<HRGN>(wParam));
            return 0;
        }
        break;
    case WM_THEMECHANGED:
        OpenThemes();
        break;
    default:
        break;
    }
    return CallWindowProcA(listBoxProc, Handle(), message, wParam, lParam);
}

LRESULT CALLBACK TCheckListBox::SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    // Only check lists are subclassed with this procedure.
    auto* list = static_cast<TCheckListBox*>(FromHandle(window));
    if (list == nullptr)
        return CallWindowProcA(listBoxProc, window, message, wParam, lParam);
    return HandleInCallback([&] { return list->WndProc(message, wParam, lParam); });
}
