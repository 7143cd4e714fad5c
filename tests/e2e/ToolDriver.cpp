#include "ToolDriver.h"

#include "base/Errors.h"
#include "tests/shell/FolderDialogDriver.h"

#include <shlobj.h>

#include <algorithm>
#include <sstream>

namespace {

// A control of another process may be busy for a moment (the tool loads a
// plugin, or starts the compiler); none should stay busy longer than this.
constexpr UINT kReplyTimeoutMs = 5000;

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL, kReplyTimeoutMs, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

LRESULT AskWide(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_NORMAL, kReplyTimeoutMs, &result))
        return 0;
    return static_cast<LRESULT>(result);
}

std::string Narrow(const std::wstring& wide)
{
    const int bytes =
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(), bytes, nullptr, nullptr);
    return text;
}

std::string ClassOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

DWORD ProcessOf(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

struct WindowSearch {
    DWORD processId;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectProcessWindow(HWND window, LPARAM data)
{
    auto& search = *reinterpret_cast<WindowSearch*>(data);
    if (ProcessOf(window) == search.processId && IsWindowVisible(window))
        search.found.push_back(window);
    return TRUE;
}

BOOL CALLBACK CollectChild(HWND window, LPARAM data)
{
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
    return TRUE;
}

std::vector<HWND> TopLevelWindowsOf(DWORD processId)
{
    WindowSearch search{processId, {}};
    EnumWindows(CollectProcessWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

std::vector<HWND> ChildrenOf(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&children));
    return children;
}

int TopWithin(HWND parent, HWND child)
{
    RECT bounds{};
    GetWindowRect(child, &bounds);
    POINT corner{bounds.left, bounds.top};
    ScreenToClient(parent, &corner);
    return corner.y;
}

} // namespace

RemoteMemory::RemoteMemory(HANDLE process, std::size_t size)
    : process_(process), address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE))
{
    if (address_ == nullptr)
        throw EOSError(GetLastError(), "Cannot allocate memory in the tool's process");
}

RemoteMemory::~RemoteMemory() { VirtualFreeEx(process_, address_, 0, MEM_RELEASE); }

void RemoteMemory::Write(const void* data, std::size_t size, std::size_t offset)
{
    SIZE_T written = 0;
    if (!WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &written) || written != size)
        throw EOSError(GetLastError(), "Cannot write into the tool's process");
}

void RemoteMemory::Read(void* data, std::size_t size, std::size_t offset) const
{
    SIZE_T read = 0;
    if (!ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, &read) || read != size)
        throw EOSError(GetLastError(), "Cannot read from the tool's process");
}

ToolProcess::ToolProcess(const std::string& toolFolder)
{
    // Started from another working folder than its own, as a shortcut may
    // start it: the tool finds its files beside itself.
    char workingFolder[MAX_PATH + 1] = {};
    GetTempPathA(sizeof(workingFolder), workingFolder);
    std::string commandLine = "\"" + toolFolder + "SetupCreator.exe\"";
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, workingFolder, &startup,
                        &process))
        throw EOSError(GetLastError(), "Cannot start " + commandLine + ": " + SystemErrorText(GetLastError()));
    process_.Reset(process.hProcess);
    thread_.Reset(process.hThread);
    id_ = process.dwProcessId;
}

ToolProcess::~ToolProcess()
{
    if (WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT) {
        TerminateProcess(process_.Get(), 255);
        WaitForSingleObject(process_.Get(), 5000);
    }
}

HWND ToolProcess::WaitForMainWindow(DWORD timeoutMs)
{
    Eventually(
        [&] {
            for (HWND window : TopLevelWindowsOf(id_)) {
                if (ControlText(window) == "Quillon Plugin - Setup creator") {
                    main_ = window;
                    return true;
                }
            }
            return WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0;
        },
        timeoutMs);
    if (main_ == nullptr)
        return nullptr;

    std::vector<HWND> edits, combos, browsers;
    for (HWND child : ChildrenOf(main_)) {
        const std::string kind = ClassOf(child);
        if (kind == "Edit")
            edits.push_back(child);
        else if (kind == "ComboBox")
            combos.push_back(child);
        else if (kind == "ListBox")
            controls_.Languages = child;
        else if (kind == "Button") {
            const std::string caption = ControlText(child);
            if (caption == "Create setup")
                controls_.Create = child;
            else if (caption == "Exit")
                controls_.Exit = child;
            else if (caption == "Create uninstaller")
                controls_.Uninstall = child;
            else if (caption == "...")
                browsers.push_back(child);
        }
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

HWND ToolProcess::FindDialog(HWND except) const
{
    for (HWND window : TopLevelWindowsOf(id_)) {
        if (window != except && ClassOf(window) == "#32770")
            return window;
    }
    return nullptr;
}

HWND ToolProcess::WaitForDialog(DWORD timeoutMs, HWND except) const
{
    HWND found = nullptr;
    Eventually(
        [&] {
            found = FindDialog(except);
            return found != nullptr || WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0;
        },
        timeoutMs);
    return found;
}

bool ToolProcess::WaitForExit(DWORD timeoutMs, DWORD& exitCode) const
{
    const bool ended = Eventually([&] { return WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0; }, timeoutMs);
    exitCode = 0;
    GetExitCodeProcess(process_.Get(), &exitCode);
    return ended;
}

std::string ToolProcess::Describe() const
{
    std::ostringstream out;
    if (WaitForSingleObject(process_.Get(), 0) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(process_.Get(), &code);
        out << "The tool has ended with exit code " << code << ".\n";
        return out.str();
    }
    out << "The tool shows:\n";
    for (HWND window : TopLevelWindowsOf(id_)) {
        RECT bounds{};
        GetWindowRect(window, &bounds);
        out << "  window " << ClassOf(window) << " \"" << ControlText(window) << "\" "
            << bounds.right - bounds.left << "x" << bounds.bottom - bounds.top
            << (IsWindowEnabled(window) ? "" : " (disabled)") << "\n";
        for (HWND child : ChildrenOf(window)) {
            const std::string kind = ClassOf(child);
            std::string text = kind == "ComboBox" ? ComboSelection(child) : ControlText(child);
            if (kind == "Button" && (GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK) == BS_AUTOCHECKBOX)
                text += ButtonChecked(child) ? " [checked]" : " [unchecked]";
            if (kind == "ListBox") {
                text = "checked:";
                const std::vector<std::string> items = CheckListItems(child);
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

std::string ControlText(HWND window)
{
    const auto length = static_cast<std::size_t>(AskWide(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 1, L'\0');
    const auto copied = static_cast<std::size_t>(
        AskWide(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data())));
    text.resize(std::min(copied, length));
    return Narrow(text);
}

void SetControlText(HWND window, const std::string& text)
{
    Ask(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

std::string ComboSelection(HWND combo)
{
    const LRESULT index = Ask(combo, CB_GETCURSEL, 0, 0);
    if (index < 0)
        return std::string();
    return ComboItems(combo).at(static_cast<std::size_t>(index));
}

std::vector<std::string> ComboItems(HWND combo)
{
    std::vector<std::string> items;
    const LRESULT count = Ask(combo, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        // Wine hands another process's item text over in wide characters.
        const LRESULT length = AskWide(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        const LRESULT copied = AskWide(combo, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(copied, 0, length)));
        items.push_back(Narrow(text));
    }
    return items;
}

std::string DialogText(HWND dialog)
{
    std::string text;
    for (HWND child : ChildrenOf(dialog)) {
        if (ClassOf(child) != "Static")
            continue;
        const std::string part = ControlText(child);
        if (!part.empty())
            text += (text.empty() ? "" : "\n") + part;
    }
    return text;
}

std::vector<std::string> CheckListItems(HWND list)
{
    std::vector<std::string> items;
    const LRESULT count = Ask(list, LB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        // Wine hands another process's item text over in wide characters.
        const LRESULT length = AskWide(list, LB_GETTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring text(static_cast<std::size_t>(std::max<LRESULT>(length, 0)) + 1, L'\0');
        const LRESULT copied = AskWide(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(text.data()));
        text.resize(static_cast<std::size_t>(std::clamp<LRESULT>(copied, 0, length)));
        items.push_back(Narrow(text));
    }
    return items;
}

bool CheckListChecked(HWND list, int item)
{
    return Ask(list, LB_GETITEMDATA, static_cast<WPARAM>(item), 0) == 1;
}

bool ClickCheckListBox(HWND list, int item)
{
    const LRESULT top = Ask(list, LB_GETTOPINDEX, 0, 0);
    RECT client{};
    GetClientRect(list, &client);
    const LRESULT height = std::max<LRESULT>(Ask(list, LB_GETITEMHEIGHT, 0, 0), 1);
    if (item < top || item >= top + client.bottom / height)
        Ask(list, LB_SETTOPINDEX, static_cast<WPARAM>(item), 0);
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

bool ButtonChecked(HWND button) { return Ask(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::string ChooserTitleText(HWND chooser) { return ControlText(GetDlgItem(chooser, kChooserTitleLine)); }

std::string ChooserStatusText(HWND chooser) { return ControlText(GetDlgItem(chooser, kChooserStatusLine)); }

bool SelectFolderInChooser(HANDLE process, HWND chooser, const std::string& folder)
{
    RemoteMemory path(process, folder.size() + 1);
    path.Write(folder.c_str(), folder.size() + 1);
    // The dialog loses requests sent while it is still starting, and under
    // Wine sometimes the first one after that too.
    Sleep(1000);
    for (int attempt = 0; attempt < 10; ++attempt) {
        Ask(chooser, BFFM_SETSELECTIONA, TRUE, path.Address());
        if (Eventually([&] { return lstrcmpiA(ChooserStatusText(chooser).c_str(), folder.c_str()) == 0; }, 500))
            return true;
    }
    return false;
}

bool Eventually(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (done())
            return true;
        if (GetTickCount() - start > timeoutMs)
            return false;
        // This program's own windows stay responsive to anything the tool
        // sends to every window.
        MSG message;
        while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageA(&message);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
}
