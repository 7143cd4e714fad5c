#include "Controls.h"

#include "Form.h"

#include "base/Errors.h"

#include <commctrl.h>

namespace {
int nextControlId = 100;
}

TControl::TControl(TForm* parent, const char* windowClass, DWORD style, DWORD exStyle, const TBounds& bounds,
                   const std::string& text)
    : TComponent(parent)
{
    handle_ = CreateWindowExA(exStyle, windowClass, text.c_str(), WS_CHILD | WS_VISIBLE | style, bounds.left,
                              bounds.top, bounds.width, bounds.height, parent->Handle(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextControlId++)),
                              GetModuleHandleA(nullptr), nullptr);
    if (handle_ == nullptr) {
        const DWORD error = GetLastError();
        throw EOSError(error,
                       std::string("Cannot create control ") + windowClass + ": " + SystemErrorText(error) + ".");
    }
    SetWindowLongPtrA(handle_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SendMessageA(handle_, WM_SETFONT, reinterpret_cast<WPARAM>(parent->Font()), FALSE);
}

TControl::~TControl()
{
    // The form may have destroyed the window already, together with itself.
    if (handle_ != nullptr && IsWindow(handle_) && FromHandle(handle_) == this) {
        SetWindowLongPtrA(handle_, GWLP_USERDATA, 0);
        DestroyWindow(handle_);
    }
}

TControl* TControl::FromHandle(HWND window) noexcept
{
    return reinterpret_cast<TControl*>(GetWindowLongPtrA(window, GWLP_USERDATA));
}

std::string TControl::Text() const
{
    std::string text(static_cast<std::size_t>(GetWindowTextLengthA(handle_)) + 1, '\0');
    const int length = GetWindowTextA(handle_, text.data(), static_cast<int>(text.size()));
    text.resize(length > 0 ? static_cast<std::size_t>(length) : 0);
    return text;
}

void TControl::AddStrings(UINT reserve, UINT add, const std::vector<std::string>& items)
{
    SendMessageA(handle_, WM_SETREDRAW, FALSE, 0);
    std::size_t bytes = 0;
    for (const std::string& item : items)
        bytes += item.size() + 1;
    SendMessageA(handle_, reserve, items.size(), bytes);
    for (const std::string& item : items)
        SendMessageA(handle_, add, 0, reinterpret_cast<LPARAM>(item.c_str()));
    SendMessageA(handle_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(handle_, nullptr, TRUE);
}

std::string TControl::ItemText(UINT lengthMessage, UINT textMessage, int index) const
{
    // LB_ERR and CB_ERR are both -1.
    const LRESULT length = SendMessageA(handle_, lengthMessage, index, 0);
    if (length < 0)
        return std::string();
    std::string text(static_cast<std::size_t>(length) + 1, '\0');
    const LRESULT copied = SendMessageA(handle_, textMessage, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied < 0 ? 0 : static_cast<std::size_t>(copied));
    return text;
}

namespace {

// The place of a right-aligned label sized to its caption in `font`: the
// designed right edge and top stay, width and height are the caption's.
TBounds AutoSizedBounds(HFONT font, const TBounds& designed, const std::string& caption)
{
    HDC screen = GetDC(nullptr);
    const HGDIOBJ old = SelectObject(screen, font);
    RECT text{0, 0, 0, 0};
    DrawTextA(screen, caption.c_str(), static_cast<int>(caption.size()), &text,
              DT_CALCRECT | DT_SINGLELINE | DT_EXPANDTABS);
    SelectObject(screen, old);
    ReleaseDC(nullptr, screen);
    const int right = designed.left + designed.width;
    return TBounds{right - text.right, designed.top, text.right, text.bottom};
}

} // namespace

// One line that never wraps, as wide as its caption.
TLabel::TLabel(TForm* parent, const TBounds& bounds, const std::string& caption)
    : TControl(parent, "STATIC", SS_LEFTNOWORDWRAP, 0, AutoSizedBounds(parent->Font(), bounds, caption), caption)
{
}

TEdit::TEdit(TForm* parent, const TBounds& bounds)
    : TControl(parent, "EDIT", WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE, bounds, "")
{
}

void TEdit::SetText(const std::string& text)
{
    if (text != Text())
        SetWindowTextA(Handle(), text.c_str()); // EN_CHANGE follows, synchronously
}

void TEdit::Command(WORD code)
{
    if (code != EN_CHANGE)
        return;
    std::string text = Text();
    if (text == lastText_)
        return;
    lastText_ = std::move(text);
    OnChange(this);
}

TButton::TButton(TForm* parent, const TBounds& bounds, const std::string& caption)
    : TControl(parent, "BUTTON", WS_TABSTOP | BS_PUSHBUTTON, 0, bounds, caption)
{
}

void TButton::Command(WORD code)
{
    if (code == BN_CLICKED)
        OnClick(this);
}

TCheckBox::TCheckBox(TForm* parent, const TBounds& bounds, const std::string& caption)
    : TControl(parent, "BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, 0, bounds, caption)
{
}

bool TCheckBox::Checked() const
{
    return SendMessageA(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void TCheckBox::SetChecked(bool checked)
{
    SendMessageA(Handle(), BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

TComboBox::TComboBox(TForm* parent, const TBounds& bounds)
    // The height given to a drop-down list is that of its open list; the
    // closed box takes the height of its font.
    : TControl(parent, "COMBOBOX", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST,
               0, TBounds{bounds.left, bounds.top, bounds.width, bounds.height + 8 * 16}, "")
{
}

void TComboBox::SetItems(const std::vector<std::string>& items)
{
    SendMessageA(Handle(), CB_RESETCONTENT, 0, 0);
    AddStrings(CB_INITSTORAGE, CB_ADDSTRING, items);
}

int TComboBox::Count() const
{
    return static_cast<int>(SendMessageA(Handle(), CB_GETCOUNT, 0, 0));
}

std::string TComboBox::Item(int index) const
{
    return ItemText(CB_GETLBTEXTLEN, CB_GETLBTEXT, index);
}

int TComboBox::ItemIndex() const
{
    return static_cast<int>(SendMessageA(Handle(), CB_GETCURSEL, 0, 0));
}

void TComboBox::SetItemIndex(int index)
{
    SendMessageA(Handle(), CB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

std::string TComboBox::SelectedText() const
{
    const int index = ItemIndex();
    return index < 0 ? std::string() : Item(index);
}

void TComboBox::Command(WORD code)
{
    if (code == CBN_SELCHANGE)
        OnChange(this);
}
