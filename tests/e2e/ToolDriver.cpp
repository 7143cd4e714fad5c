#include "ToolDriver.h"

#include "base/Errors.h"
#include "base/TextCodes.h"
#include "tests/support/Dialogs.h"
#include "tests/support/Polling.h"

#include <algorithm>
#include <sstream>

namespace {

int TopWithin(HWND parent, HWND child)
{
    RECT bounds{};
    GetWindowRect(child, &bounds);
    POINT corner{bounds.left, bounds.top};
    ScreenToClient(parent, &corner);
    return corner.y;
}

bool Ended(HANDLE process) { return WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

} // namespace

namespace {

// Started from another working folder than its own, as a shortcut may start
// it: the tool finds its files beside itself.
std::string AnotherWorkingFolder()
{
    char folder[MAX_PATH + 1] = {};
    GetTempPathA(sizeof(folder), folder);
    return folder;
}

} // namespace

ToolProcess::ToolProcess(const std::string& toolFolder)
    : program_("\"" + toolFolder + "SetupCreator.exe\"", AnotherWorkingFolder()), id_(program_.Id())
{
}

HWND ToolProcess::WaitForMainWindow(DWORD timeoutMs)
{
    Eventually(
        [&] {
            for (HWND window : WindowsOfProcess(id_)) {
                if (WindowTextOf(window) == "Quillon Plugin - Setup creator") {
                    main_ = window;
                    return true;
                }
            }
            return Ended(program_.Handle());
        },
        timeoutMs);
    if (main_ == nullptr)
        return nullptr;

    const std::pair<const char*, HWND MainControls::*> buttons[] = {{"Create setup", &MainControls::Create},
                                                                    {"Exit", &MainControls::Exit},
                                                                    {"Create uninstaller", &MainControls::Uninstall}};
    std::vector<HWND> edits, combos, browsers;
    for (HWND child : ChildrenOf(main_)) {
        const std::string kind = ClassOf(child), caption = WindowTextOf(child);
        if (kind == "Edit")
            edits.push_back(child);
        if (kind == "ComboBox")
            combos.push_back(child);
        if (kind == "ListBox")
            controls_.Languages = child;
        if (kind == "Button" && caption == "...")
            browsers.push_back(child);
        for (const auto& [text, control] : buttons)
            if (kind == "Button" && caption == text)
                controls_.*control = child;
    }
    // From top to bottom: folder, licence, name; main file, type.
    const auto byTop = [this](HWND a, HWND b) { return TopWithin(main_, a) < TopWithin(main_, b); };
    std::sort(edits.begin(), edits.end(), byTop);
    std::sort(combos.begin(), combos.end(), byTop);
    std::sort(browsers.begin(), browsers.end(), byTop);
    if (browsers.size() == 2) {
        controls_.Browse = browsers[0];
        controls_.LoadLicense = browsers[1];
    }
    if (edits.size() == 3) {
        controls_.Folder = edits[0];
        controls_.License = edits[1];
        controls_.Name = edits[2];
    }
    if (combos.size() == 2) {
        controls_.MainFile = combos[0];
        controls_.Type = combos[1];
    }
    return main_;
}

HWND ToolProcess::WaitForDialog(DWORD timeoutMs, HWND except) const { return NextDialog(except, timeoutMs, id_); }

bool ToolProcess::WaitForExit(DWORD timeoutMs, DWORD& exitCode) const
{
    const bool ended = Eventually([&] { return Ended(program_.Handle()); }, timeoutMs);
    exitCode = 0;
    GetExitCodeProcess(program_.Handle(), &exitCode);
    return ended;
}

std::string ToolProcess::Describe() const
{
    std::ostringstream out;
    if (Ended(program_.Handle())) {
        DWORD code = 0;
        GetExitCodeProcess(program_.Handle(), &code);
        out << "The tool has ended with exit code " << code << ".\n";
        return out.str();
    }
    out << "The tool shows:\n";
    for (HWND window : WindowsOfProcess(id_)) {
        RECT bounds{};
        GetWindowRect(window, &bounds);
        out << "  window " << ClassOf(window) << " \"" << WindowTextOf(window) << "\" "
            << bounds.right - bounds.left << "x" << bounds.bottom - bounds.top
            << (IsWindowEnabled(window) ? "" : " (disabled)") << "\n";
        for (HWND child : ChildrenOf(window)) {
            const std::string kind = ClassOf(child);
            std::string text = kind == "ComboBox" ? ComboSelection(child) : WindowTextOf(child);
            if (kind == "Button" && (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
                text += ButtonChecked(child) ? " [checked]" : " [unchecked]";
            if (kind == "ListBox") {
                text = "checked:";
                const std::vector<std::string> items = ItemsOf(child);
                for (int i = 0; i < static_cast<int>(items.size()); ++i) {
                    if (CheckListChecked(child, i))
                        text += " " + items[static_cast<std::size_t>(i)];
                }
            }
            if (!text.empty())
                out << "    " << kind << ": " << text << "\n";
        }
    }
    return out.str();
}

void SetControlText(HWND window, const std::string& text)
{
    Ask(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::vector<std::string> ItemsOf(HWND list)
{
    const bool combo = ClassOf(list) == "ComboBox";
    const UINT count = combo ? CB_GETCOUNT : LB_GETCOUNT;
    const UINT length = combo ? CB_GETLBTEXTLEN : LB_GETTEXTLEN;
    const UINT text = combo ? CB_GETLBTEXT : LB_GETTEXT;
    std::vector<std::string> items;
    for (LRESULT i = 0, n = Ask(list, count); i < n; ++i) {
        const LRESULT size = std::max<LRESULT>(AskWide(list, length, static_cast<WPARAM>(i)), 0);
        std::wstring item(static_cast<std::size_t>(size) + 1, L'\0');
        const LRESULT copied = AskWide(list, text, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item.data()));
        item.resize(static_cast<std::size_t>(std::clamp<LRESULT>(copied, 0, size)));
        items.push_back(FromWide(item, CP_ACP));
    }
    return items;
}

std::string ComboSelection(HWND combo)
{
    const LRESULT index = Ask(combo, CB_GETCURSEL);
    return index < 0 ? std::string() : ItemsOf(combo).at(static_cast<std::size_t>(index));
}

bool CheckListChecked(HWND list, int item) { return Ask(list, LB_GETITEMDATA, static_cast<WPARAM>(item)) == 1; }

bool ClickCheckListBox(HWND list, int item)
{
    const LRESULT top = Ask(list, LB_GETTOPINDEX);
    RECT client{};
    GetClientRect(list, &client);
    const LRESULT height = std::max<LRESULT>(Ask(list, LB_GETITEMHEIGHT), 1);
    if (item < top || item >= top + client.bottom / height)
        Ask(list, LB_SETTOPINDEX, static_cast<WPARAM>(item));
    RECT row{};
    if (Ask(list, LB_GETITEMRECT, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&row)) == LB_ERR ||
        row.bottom <= row.top)
        return false;
    // The check box lies at the row's left end.
    const LPARAM point = MAKELPARAM(row.left + 8, (row.top + row.bottom) / 2);
    PostMessageA(list, WM_MOUSEMOVE, 0, point);
    PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, point);
    PostMessageA(list, WM_LBUTTONUP, 0, point);
    return true;
}

void ClickButton(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

bool ButtonChecked(HWND button) { return Ask(button, BM_GETCHECK) == BST_CHECKED; }
