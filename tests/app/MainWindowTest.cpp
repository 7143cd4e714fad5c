// The real main window: its controls as designed (names, kinds, places, tab
// order, captions, initial state), the application window beside it, the
// check list driven by keyboard and mouse, and Exit ending the loop.
#include "base/Paths.h"
#include "tests/support/MainWindowFixture.h"
#include "toolkit/Application.h"

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace {

enum class Kind { Label, Edit, DropDownList, Button, CheckList, CheckBox };

struct DesignedControl {
    const char* name;
    Kind kind;
    int left, top, width, height;
    const char* text; // caption or initial text
};

// Creation order.
const DesignedControl kDesign[] = {
    {"Label1", Kind::Label, 120, 81, 61, 13, "Plugin name:"},
    {"Label2", Kind::Label, 108, 113, 73, 13, "Plugin main file:"},
    {"Label3", Kind::Label, 32, 14, 149, 13, "Folder containing all plugin files:"},
    {"Label4", Kind::Label, 126, 145, 55, 13, "Plugin type:"},
    {"Label5", Kind::Label, 125, 178, 56, 13, "Languages:"},
    {"Label6", Kind::Label, 95, 50, 86, 13, "License (optional):"},
    {"EditName", Kind::Edit, 200, 76, 281, 21, ""},
    {"EditFolder", Kind::Edit, 200, 8, 249, 21, ""},
    {"ComboBoxType", Kind::DropDownList, 200, 140, 97, 21, "WFX"},
    {"Button2", Kind::Button, 453, 8, 28, 21, "..."},
    {"ComboBoxMainFile", Kind::DropDownList, 200, 108, 281, 21, ""},
    {"ButtonCreate", Kind::Button, 112, 330, 137, 25, "Create setup"},
    {"ButtonExit", Kind::Button, 256, 330, 129, 25, "Exit"},
    {"ListLanguages", Kind::CheckList, 200, 176, 281, 133, ""},
    {"CheckBoxUninstall", Kind::CheckBox, 312, 142, 165, 17, "Create uninstaller"},
    {"ButtonLoadLicense", Kind::Button, 453, 44, 28, 21, "..."},
    {"EditLicense", Kind::Edit, 200, 44, 249, 21, ""},
};

void PressKey(HWND window, WPARAM key)
{
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyA(static_cast<UINT>(key), 0)) << 16;
    PostMessageA(window, WM_KEYDOWN, key, scan | 1);
    PostMessageA(window, WM_KEYUP, key, scan | 1 | (1u << 30) | (1u << 31));
}

RECT ClientRectOf(HWND control)
{
    RECT rect{};
    GetWindowRect(control, &rect);
    MapWindowPoints(nullptr, GetParent(control), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class MainWindow : public MainWindowTest {
protected:
    TControl* Control(const std::string& name) const
    {
        for (TComponent* component : form_->Components())
            if (component->Name == name)
                return dynamic_cast<TControl*>(component);
        return nullptr;
    }
};

} // namespace

TEST_F(MainWindow, ControlsHaveTheirNamesKindsPlacesAndCaptions)
{
    std::vector<TControl*> controls;
    for (TComponent* component : form_->Components())
        if (auto* control = dynamic_cast<TControl*>(component))
            controls.push_back(control);
    ASSERT_EQ(controls.size(), std::size(kDesign));

    for (std::size_t i = 0; i < controls.size(); ++i) {
        const DesignedControl& design = kDesign[i];
        SCOPED_TRACE(design.name);
        TControl* control = controls[i];
        const HWND window = control->Handle();
        EXPECT_EQ(control->Name, design.name);
        EXPECT_EQ(GetParent(window), form_->Handle());
        EXPECT_TRUE(IsWindowVisible(window));
        EXPECT_TRUE(IsWindowEnabled(window));

        const LONG style = GetWindowLongA(window, GWL_STYLE);
        const std::string windowClass = ClassOf(window);
        switch (design.kind) {
        case Kind::Label:
            EXPECT_STRCASEEQ(windowClass.c_str(), "Static");
            EXPECT_EQ(style & SS_TYPEMASK, SS_LEFTNOWORDWRAP); // one line, as designed
            EXPECT_FALSE(style & WS_TABSTOP);
            break;
        case Kind::Edit:
            EXPECT_STRCASEEQ(windowClass.c_str(), "Edit");
            EXPECT_FALSE(style & ES_MULTILINE);
            EXPECT_FALSE(style & ES_READONLY);
            EXPECT_TRUE(style & ES_AUTOHSCROLL);
            break;
        case Kind::DropDownList:
            EXPECT_STRCASEEQ(windowClass.c_str(), "ComboBox");
            EXPECT_EQ(style & 3, CBS_DROPDOWNLIST);
            EXPECT_FALSE(style & CBS_SORT);
            break;
        case Kind::Button:
            EXPECT_STRCASEEQ(windowClass.c_str(), "Button");
            EXPECT_TRUE((style & BS_TYPEMASK) == BS_PUSHBUTTON || (style & BS_TYPEMASK) == BS_DEFPUSHBUTTON);
            break;
        case Kind::CheckBox:
            EXPECT_STRCASEEQ(windowClass.c_str(), "Button");
            EXPECT_EQ(style & BS_TYPEMASK, BS_AUTOCHECKBOX); // two states only
            break;
        case Kind::CheckList:
            // A list box that draws a check box on each of its items.
            EXPECT_STRCASEEQ(windowClass.c_str(), "ListBox");
            EXPECT_TRUE(style & LBS_OWNERDRAWFIXED);
            EXPECT_TRUE(style & LBS_HASSTRINGS);
            EXPECT_FALSE(style & (LBS_SORT | LBS_MULTIPLESEL | LBS_EXTENDEDSEL));
            break;
        }

        const RECT rect = ClientRectOf(window);
        EXPECT_EQ(rect.left, design.left);
        EXPECT_EQ(rect.top, design.top);
        EXPECT_EQ(rect.right - rect.left, design.width);
        if (design.kind == Kind::DropDownList) {
            // The platform gives a closed drop-down list the height of its font.
            EXPECT_GE(rect.bottom - rect.top, 17);
            EXPECT_LE(rect.bottom - rect.top, 25);
        } else {
            EXPECT_EQ(rect.bottom - rect.top, design.height);
        }

        if (design.kind != Kind::CheckList) {
            EXPECT_EQ(WindowTextOf(window), design.text);
        }

        // Every control draws with the form's font.
        LOGFONTA font{};
        GetObjectA(reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)), sizeof(font), &font);
        EXPECT_EQ(font.lfHeight, -11);
        EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    }

    // The members point at the controls of the same names.
    EXPECT_EQ(form_->EditFolder, Control("EditFolder"));
    EXPECT_EQ(form_->EditLicense, Control("EditLicense"));
    EXPECT_EQ(form_->EditName, Control("EditName"));
    EXPECT_EQ(form_->ComboBoxType, Control("ComboBoxType"));
    EXPECT_EQ(form_->ComboBoxMainFile, Control("ComboBoxMainFile"));
    EXPECT_EQ(form_->ListLanguages, Control("ListLanguages"));
    EXPECT_EQ(form_->CheckBoxUninstall, Control("CheckBoxUninstall"));
    EXPECT_EQ(form_->Button2, Control("Button2"));
    EXPECT_EQ(form_->ButtonCreate, Control("ButtonCreate"));
    EXPECT_EQ(form_->ButtonExit, Control("ButtonExit"));
    EXPECT_EQ(form_->ButtonLoadLicense, Control("ButtonLoadLicense"));
    EXPECT_EQ(form_->Label3, Control("Label3"));
}

TEST_F(MainWindow, LabelCaptionsFitOnOneLine)
{
    // In whatever font the system has in place of the designed one.
    for (TLabel* label : {form_->Label1, form_->Label2, form_->Label3, form_->Label4, form_->Label5, form_->Label6}) {
        SCOPED_TRACE(label->Name);
        const HWND window = label->Handle();
        HDC dc = GetDC(window);
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)));
        const std::string caption = label->Text();
        SIZE extent{};
        GetTextExtentPoint32A(dc, caption.c_str(), static_cast<int>(caption.size()), &extent);
        SelectObject(dc, old);
        ReleaseDC(window, dc);
        RECT client{};
        GetClientRect(window, &client);
        EXPECT_LE(extent.cx, client.right) << caption;
        EXPECT_LE(extent.cy, client.bottom) << caption;
    }
}

TEST_F(MainWindow, TabOrderFollowsTheDesign)
{
    const char* expected[] = {"Button2",      "EditName",         "ComboBoxMainFile",  "ComboBoxType",
                              "ButtonCreate", "ButtonExit",       "ListLanguages",     "CheckBoxUninstall",
                              "ButtonLoadLicense", "EditLicense", "EditFolder"};
    HWND current = form_->EditFolder->Handle();
    for (const char* name : expected) {
        current = GetNextDlgTabItem(form_->Handle(), current, FALSE);
        TControl* control = TControl::FromHandle(current);
        ASSERT_NE(control, nullptr) << "after the control before " << name;
        EXPECT_EQ(control->Name, name);
    }
    // Backwards from the folder field is the licence field.
    EXPECT_EQ(GetNextDlgTabItem(form_->Handle(), form_->EditFolder->Handle(), TRUE), form_->EditLicense->Handle());

    // The Tab key, through the loop, walks the same order.
    SetForegroundWindow(form_->Handle());
    SetFocus(form_->EditFolder->Handle());
    PumpFor(50);
    ASSERT_EQ(GetFocus(), form_->EditFolder->Handle());
    for (HWND next : {form_->Button2->Handle(), form_->EditName->Handle(), form_->ComboBoxMainFile->Handle()}) {
        PressKey(GetFocus(), VK_TAB);
        PumpFor(50);
        EXPECT_EQ(GetFocus(), next);
    }
}

TEST_F(MainWindow, InitialStateAndLanguages)
{
    ASSERT_EQ(form_->ComboBoxType->Count(), 2);
    EXPECT_EQ(form_->ComboBoxType->Item(0), "WFX");
    EXPECT_EQ(form_->ComboBoxType->Item(1), "WLX");
    EXPECT_EQ(form_->ComboBoxType->ItemIndex(), 0);
    EXPECT_EQ(form_->ComboBoxMainFile->Count(), 0);
    EXPECT_EQ(form_->ComboBoxMainFile->ItemIndex(), -1);
    EXPECT_FALSE(form_->CheckBoxUninstall->Checked());
    EXPECT_EQ(form_->EditFolder->Text(), "");
    EXPECT_EQ(form_->EditName->Text(), "");
    EXPECT_EQ(form_->EditLicense->Text(), "");

    EXPECT_EQ(AppFolder, TestProgramFolder());

    // The languages, in the order the file system gives them, last extension
    // off, among them one with a dot in its name; other files are no languages.
    WriteWholeFile(tool_ + "languages\\Simp.Chinese.nlf", "");
    WriteWholeFile(tool_ + "languages\\Readme.txt", "");
    CloseWindow();
    OpenWindow();
    std::vector<std::string> expected;
    for (const std::string& file : EntriesOf(tool_ + "languages\\*.nlf"))
        expected.push_back(file.substr(0, file.rfind('.')));
    ASSERT_EQ(expected.size(), 4u);
    ASSERT_EQ(form_->ListLanguages->Count(), 4);
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(form_->ListLanguages->Item(i), expected[static_cast<std::size_t>(i)]);
        EXPECT_FALSE(form_->ListLanguages->Checked(i));
    }
    EXPECT_NE(std::find(expected.begin(), expected.end(), "Simp.Chinese"), expected.end());

    // The controls are wired to their handlers.
    EXPECT_TRUE(form_->EditFolder->OnChange.Assigned());
    EXPECT_FALSE(form_->EditLicense->OnChange.Assigned());
    EXPECT_TRUE(form_->EditName->OnChange.Assigned());
    EXPECT_TRUE(form_->ButtonExit->OnClick.Assigned());
    EXPECT_TRUE(form_->ButtonLoadLicense->OnClick.Assigned());
    EXPECT_EQ(form_->OpenDialog1->DefaultExt, "txt");
    EXPECT_EQ(form_->OpenDialog1->Filter, "License (txt, rtf)|*.txt;*.rtf");

    SaveWindowPicture(form_->Handle(), "main-window.bmp");
}

TEST_F(MainWindow, NoLanguagesFolderLeavesTheListEmpty)
{
    // No folder at all, silently.
    CloseWindow();
    DeleteTree(tool_ + "languages");
    ASSERT_FALSE(FolderExistsAt(tool_ + "languages\\"));
    OpenWindow(false);
    EXPECT_EQ(form_->ListLanguages->Count(), 0);
    EXPECT_EQ(FindDialog(), nullptr);
    // The application window stays hidden until the main window is shown.
    EXPECT_FALSE(IsWindowVisible(Application->Handle()));
    // A folder without language files.
    CloseWindow();
    CreateDirectoryA((tool_ + "languages").c_str(), nullptr);
    WriteWholeFile(tool_ + "languages\\notes.txt", "");
    OpenWindow(false);
    EXPECT_EQ(form_->ListLanguages->Count(), 0);
}

TEST_F(MainWindow, WindowFrameAndApplicationWindow)
{
    const HWND app = Application->Handle();
    RECT outer{};
    GetWindowRect(form_->Handle(), &outer);
    EXPECT_EQ(outer.left, 475);
    EXPECT_EQ(outer.top, 323);
    EXPECT_EQ(outer.right - outer.left, 505);
    EXPECT_EQ(outer.bottom - outer.top, 405);
    EXPECT_EQ(WindowTextOf(form_->Handle()), "Quillon Plugin - Setup creator");
    const LONG style = GetWindowLongA(form_->Handle(), GWL_STYLE);
    EXPECT_TRUE(style & WS_THICKFRAME); // resizable
    EXPECT_TRUE(style & WS_CAPTION);
    EXPECT_EQ(GetClassLongPtrA(form_->Handle(), GCLP_HBRBACKGROUND), COLOR_BTNFACE + 1);

    // The application window: zero size, top-level, separate, titled.
    ASSERT_TRUE(IsWindow(app));
    EXPECT_NE(app, form_->Handle());
    EXPECT_EQ(GetParent(app), nullptr);
    EXPECT_FALSE(GetWindowLongA(app, GWL_STYLE) & WS_CHILD);
    EXPECT_EQ(GetAncestor(form_->Handle(), GA_ROOT), form_->Handle()); // the main window is no child of it
    RECT appRect{};
    GetWindowRect(app, &appRect);
    EXPECT_EQ(appRect.right - appRect.left, 0);
    EXPECT_EQ(appRect.bottom - appRect.top, 0);
    EXPECT_EQ(WindowTextOf(app), Application->Title());
    EXPECT_EQ(Application->Title(), ApplicationTitleFromPath(ModuleFileName()));
    EXPECT_TRUE(IsWindowVisible(app));

    // Resizing keeps the controls in their places.
    SetWindowPos(form_->Handle(), nullptr, 0, 0, 700, 600, SWP_NOMOVE | SWP_NOZORDER);
    PumpFor(100);
    const RECT list = ClientRectOf(form_->ListLanguages->Handle());
    EXPECT_EQ(list.left, 200);
    EXPECT_EQ(list.top, 176);
    EXPECT_EQ(list.right - list.left, 281);
    EXPECT_EQ(list.bottom - list.top, 133);
    const RECT exit = ClientRectOf(form_->ButtonExit->Handle());
    EXPECT_EQ(exit.left, 256);
    EXPECT_EQ(exit.top, 330);

    ShowWindow(form_->Handle(), SW_HIDE);
    PumpFor(50);
    EXPECT_FALSE(IsWindowVisible(app)); // hidden with the main window
}

namespace {

// A point on the check box of an item: the row's left end.
bool CheckBoxPoint(HWND list, int item, POINT& point)
{
    RECT row{};
    if (SendMessageA(list, LB_GETITEMRECT, item, reinterpret_cast<LPARAM>(&row)) == LB_ERR)
        return false;
    point = {row.left + 8, (row.top + row.bottom) / 2};
    return true;
}

void Click(HWND window, POINT point)
{
    PostMessageA(window, WM_MOUSEMOVE, 0, MAKELPARAM(point.x, point.y));
    PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(point.x, point.y));
    PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(point.x, point.y));
}

} // namespace

TEST_F(MainWindow, CheckListTogglesWithSpaceAndMouse)
{
    TCheckListBox* list = form_->ListLanguages;
    ASSERT_EQ(list->Count(), 3);

    // Space toggles the focused item, between unchecked and checked only.
    SetForegroundWindow(form_->Handle());
    SetFocus(list->Handle());
    SendMessageA(list->Handle(), LB_SETCURSEL, 1, 0);
    PumpFor(50);
    ASSERT_EQ(GetFocus(), list->Handle());

    for (const bool checked : {true, false, true}) {
        PressKey(list->Handle(), VK_SPACE);
        PumpFor(100);
        EXPECT_EQ(list->Checked(1), checked);
        EXPECT_FALSE(list->Checked(0));
        EXPECT_FALSE(list->Checked(2));
    }

    // A click on an item's check box toggles that item.
    POINT point{};
    ASSERT_TRUE(CheckBoxPoint(list->Handle(), 2, point));
    Click(list->Handle(), point);
    PumpFor(200);
    EXPECT_TRUE(list->Checked(2));
    EXPECT_TRUE(list->Checked(1));
    Click(list->Handle(), point);
    PumpFor(200);
    EXPECT_FALSE(list->Checked(2));
    EXPECT_FALSE(list->Checked(0));
    EXPECT_EQ(SendMessageA(list->Handle(), LB_GETCURSEL, 0, 0), 1); // the box, not the row
    // A click on its text selects the item and leaves its box alone.
    Click(list->Handle(), POINT{point.x + 40, point.y});
    PumpFor(200);
    EXPECT_FALSE(list->Checked(2));
    EXPECT_EQ(SendMessageA(list->Handle(), LB_GETCURSEL, 0, 0), 2);

    // The state reads back as plain checked or unchecked, also from outside.
    EXPECT_EQ(SendMessageA(list->Handle(), LB_GETITEMDATA, 1, 0), 1);
    list->SetChecked(1, false);
    EXPECT_FALSE(list->Checked(1));
}

// Runs the loop to its end, which cannot be undone: no other test of this
// program runs the loop.
TEST_F(MainWindow, ExitClosesTheWindowAndEndsTheLoop)
{
    ASSERT_TRUE(IsWindowVisible(Application->Handle()));
    std::atomic<bool> loopEnded{false};
    std::atomic<bool> forced{false};
    std::thread guard([&] {
        if (!Eventually([&] { return loopEnded.load(); })) {
            forced = true;
            PostThreadMessageA(Application->MainThreadId(), WM_QUIT, 0, 0);
        }
    });
    PostMessageA(form_->ButtonExit->Handle(), BM_CLICK, 0, 0);
    Application->Run();
    loopEnded = true;
    guard.join();
    EXPECT_FALSE(forced);
    EXPECT_TRUE(Application->Terminated());
    EXPECT_FALSE(IsWindowVisible(form_->Handle()));
    EXPECT_FALSE(IsWindowVisible(Application->Handle()));
}
