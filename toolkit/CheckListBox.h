#pragma once
// A list with a check box per item, painted by itself on an owner-drawn list
// box: under Wine a list view with check boxes costs several times as much to
// create and paint, and the window's start-up waits for it. It looks like that
// list view (check box, text, full-row selection that stays visible without
// the focus, the visual style's frame) and behaves like it: a click on an
// item's box and the space bar toggle the item between unchecked and checked.
#include "Controls.h"

#include "base/Handles.h"

#include <uxtheme.h>

#include <string>
#include <vector>

struct ThemeTraits {
    using Type = HTHEME;
    static Type Empty() noexcept { return nullptr; }
    static void Close(Type h) noexcept { CloseThemeData(h); }
};
// Visual-style data of a window class; null when no visual style is active.
using UniqueTheme = UniqueResource<ThemeTraits>;

class TCheckListBox : public TControl {
public:
    TCheckListBox(TForm* parent, const TBounds& bounds);

    // Items keep the order they are added in.
    void Add(const std::string& item);
    // Adds many items with one repaint at the end instead of one per item.
    void AddItems(const std::vector<std::string>& items);
    int Count() const;
    std::string Item(int index) const;
    // An item's check state is its item data (LB_GETITEMDATA): 1 checked, 0 not.
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);

protected:
    void DrawItem(const DRAWITEMSTRUCT& item) override;

private:
    static LRESULT CALLBACK SubclassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);
    void OpenThemes() noexcept;
    // Draws the frame in the visual style, as the list view does.
    void PaintFrame(HRGN region) noexcept;
    // The item whose box lies under a point of the client area; -1 for none.
    int CheckBoxAt(POINT point) const noexcept;
    void Toggle(int index);
    void RedrawItem(int index) noexcept;

    UniqueTheme checkBoxTheme_;
    UniqueTheme frameTheme_;
};
