#pragma once
// A top-level window that hosts controls: it reflects their notifications to
// them, carries the font they all use, and ends the message loop when it is
// the main window and is closed. Like a dialog, it gives the keyboard focus
// back to the control that had it when it is activated again, and to the first
// control of the tab order when it is activated the first time.
#include "Component.h"

#include "base/Handles.h"

#include <windows.h>

#include <string>
#include <vector>

class TControl;

// CanClose starts true; a handler that sets it false keeps the window open.
using TCloseQueryEvent = TEvent<TObject*, bool&>;

struct TFormDesign {
    const char* className;
    std::string caption;
    int left, top, width, height; // outer size, in pixels
    const char* fontName;
    int fontHeight;
};

class TForm : public TComponent {
public:
    TForm(TComponent* owner, const TFormDesign& design);
    ~TForm() override;

    HWND Handle() const noexcept { return handle_; }
    HFONT Font() const noexcept { return static_cast<HFONT>(font_.Get()); }

    void Show();
    // Closes the window; closing the main window ends the message loop,
    // unless OnCloseQuery keeps it open.
    void Close();

    // Asked before the main window closes, and before the session ends.
    TCloseQueryEvent OnCloseQuery;

    // Puts the controls into this keyboard (tab) order.
    void SetTabOrder(const std::vector<TControl*>& order);

protected:
    virtual LRESULT WndProc(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    void Activated(WORD state) noexcept;
    bool IsMainForm() const noexcept;
    bool CanClose();

    HWND handle_ = nullptr;
    UniqueGdiObject font_;
    // The control that had the focus when the form was last deactivated.
    HWND lastFocus_ = nullptr;
};
