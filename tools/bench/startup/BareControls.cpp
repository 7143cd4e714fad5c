// The second baseline of the start-up benchmark: the main window's 17
// controls, each made by one bare CreateWindowEx call with the window's
// classes, styles, places, captions and font, in a window of the same class
// styles and place, with the tool's manifest (themed controls). What the
// tool takes beyond this is its own cost. It ends when the window is closed.
#include "BaselineWindow.h"

#include "base/Handles.h"

namespace {

struct TControlDesign {
    const char* ClassName;
    DWORD Style;
    DWORD ExStyle;
    int Left, Top, Width, Height;
    const char* Text;
};

constexpr DWORD kLabel = SS_LEFTNOWORDWRAP;
constexpr DWORD kEdit = WS_TABSTOP | ES_AUTOHSCROLL;
constexpr DWORD kButton = WS_TABSTOP | BS_PUSHBUTTON;
constexpr DWORD kDropDownList = WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST;
// A drop-down list's height is that of its open list.
constexpr int kListHeight = 8 * 16;

const TControlDesign kControls[] = {
    {"STATIC", kLabel, 0, 120, 81, 61, 13, "Plugin name:"},
    {"STATIC", kLabel, 0, 108, 113, 73, 13, "Plugin main file:"},
    {"STATIC", kLabel, 0, 32, 14, 149, 13, "Folder containing all plugin files:"},
    {"STATIC", kLabel, 0, 126, 145, 55, 13, "Plugin type:"},
    {"STATIC", kLabel, 0, 125, 178, 56, 13, "Languages:"},
    {"STATIC", kLabel, 0, 95, 50, 86, 13, "License (optional):"},
    {"EDIT", kEdit, WS_EX_CLIENTEDGE, 200, 76, 281, 21, ""},
    {"EDIT", kEdit, WS_EX_CLIENTEDGE, 200, 8, 249, 21, ""},
    {"COMBOBOX", kDropDownList, 0, 200, 140, 97, 21 + kListHeight, ""},
    {"BUTTON", kButton, 0, 453, 8, 28, 21, "..."},
    {"COMBOBOX", kDropDownList, 0, 200, 108, 281, 21 + kListHeight, ""},
    {"BUTTON", kButton, 0, 112, 330, 137, 25, "Create setup"},
    {"BUTTON", kButton, 0, 256, 330, 129, 25, "Exit"},
    {"LISTBOX", WS_TABSTOP | WS_VSCROLL | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT, WS_EX_CLIENTEDGE, 200, 176, 281,
     133, ""},
    {"BUTTON", WS_TABSTOP | BS_AUTOCHECKBOX, 0, 312, 142, 165, 17, "Create uninstaller"},
    {"BUTTON", kButton, 0, 453, 44, 28, 21, "..."},
    {"EDIT", kEdit, WS_EX_CLIENTEDGE, 200, 44, 249, 21, ""},
};

} // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    const HWND window = CreateBaselineWindow(instance, "TBareControls", "Bare controls", WS_EX_CONTROLPARENT,
                                             WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN);
    if (window == nullptr)
        return 1;
    const UniqueGdiObject font(CreateFontA(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                                           OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                           DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif"));
    int id = 100;
    for (const TControlDesign& control : kControls) {
        const HWND handle = CreateWindowExA(control.ExStyle, control.ClassName, control.Text,
                                            WS_CHILD | WS_VISIBLE | control.Style, control.Left, control.Top,
                                            control.Width, control.Height, window,
                                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id++)), instance, nullptr);
        if (handle == nullptr)
            return 1;
        SendMessageA(handle, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), FALSE);
    }
    return RunBaselineWindow(window, true);
}
