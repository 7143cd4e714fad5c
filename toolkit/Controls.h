#pragma once
// Thin wrappers over the standard controls. The parent form reflects each
// control's notifications to it, and the control fires its typed event.
#include "Component.h"

#include <windows.h>

#include <string>
#include <vector>

class TForm;

struct TBounds {
    int left, top, width, height;
};

class TControl : public TComponent {
public:
    ~TControl() override;

    HWND Handle() const noexcept { return handle_; }
    static TControl* FromHandle(HWND window) noexcept;

    // The window text (caption of a button, text of an edit).
    std::string Text() const;

protected:
    TControl(TForm* parent, const char* windowClass, DWORD style, DWORD exStyle, const TBounds& bounds,
             const std::string& text);

    // For lists: adds `items` with `add` (LB_ADDSTRING, CB_ADDSTRING) after
    // reserving room with `reserve`, with one repaint at the end.
    void AddStrings(UINT reserve, UINT add, const std::vector<std::string>& items);
    // A list item's text, asked for with its length and text messages; empty
    // when there is no such item.
    std::string ItemText(UINT lengthMessage, UINT textMessage, int index) const;

    friend class TForm;
    // A WM_COMMAND notification code sent by this control.
    virtual void Command(WORD /*code*/) {}
    // A WM_NOTIFY notification sent by this control.
    virtual LRESULT Notify(const NMHDR& /*header*/) { return 0; }
    // WM_DRAWITEM for an owner-drawn control: draws the item.
    virtual void DrawItem(const DRAWITEMSTRUCT& /*item*/) {}

private:
    HWND handle_ = nullptr;
};

// A right-aligned label sized to its caption in the form's font: it keeps the
// designed right edge and top, and where the font is wider than the designed
// one it grows to the left instead of cutting the caption.
class TLabel : public TControl {
public:
    TLabel(TForm* parent, const TBounds& bounds, const std::string& caption);
};

// Single-line edit. OnChange fires on every actual change of the text, by
// typing or by SetText, and not when the same text is set again.
class TEdit : public TControl {
public:
    TEdit(TForm* parent, const TBounds& bounds);
    void SetText(const std::string& text);
    TNotifyEvent OnChange;

protected:
    void Command(WORD code) override;

private:
    std::string lastText_;
};

class TButton : public TControl {
public:
    TButton(TForm* parent, const TBounds& bounds, const std::string& caption);
    TNotifyEvent OnClick;

protected:
    void Command(WORD code) override;
};

class TCheckBox : public TControl {
public:
    TCheckBox(TForm* parent, const TBounds& bounds, const std::string& caption);
    bool Checked() const;
    void SetChecked(bool checked);
};

// Drop-down list whose text cannot be edited.
class TComboBox : public TControl {
public:
    TComboBox(TForm* parent, const TBounds& bounds);
    // Replaces every item, without a repaint per item.
    void SetItems(const std::vector<std::string>& items);
    int Count() const;
    std::string Item(int index) const;
    int ItemIndex() const;
    // -1 selects nothing.
    void SetItemIndex(int index);
    // Text of the selected item; empty when nothing is selected.
    std::string SelectedText() const;
    // Fires when the user selects another item (not on SetItemIndex).
    TNotifyEvent OnChange;

protected:
    void Command(WORD code) override;
};
