#include "Dialogs.h"

#include "Folders.h"
#include "Polling.h"
#include "base/Errors.h"
#include "base/Handles.h"
#include "base/TextCodes.h"
#include "toolkit/Application.h"

#include <shlobj.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <fstream>

namespace {

// A window of another process may be busy for a moment (the tool loads a
// plugin, or starts the compiler); none should stay busy longer than this.
constexpr UINT kReplyTimeoutMs = 5000;

DWORD ProcessOf(HWND window)
{
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

BOOL CALLBACK CollectWindow(HWND window, LPARAM data)
{
    reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
    return TRUE;
}

// Text put into the memory of the process that owns `window`, for a message
// whose pointer the window reads in its own process.
class TextInProcessOf {
public:
    TextInProcessOf(HWND window, const std::string& text)
        : process_(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_WRITE, FALSE, ProcessOf(window)))
    {
        if (!process_)
            throw EOSError(GetLastError(), "Cannot open the process of a window");
        address_ = VirtualAllocEx(process_.Get(), nullptr, text.size() + 1, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
        if (address_ == nullptr)
            throw EOSError(GetLastError(), "Cannot allocate memory in the process of a window");
        SIZE_T written = 0;
        WriteProcessMemory(process_.Get(), address_, text.c_str(), text.size() + 1, &written);
    }
    ~TextInProcessOf() { VirtualFreeEx(process_.Get(), address_, 0, MEM_RELEASE); }
    TextInProcessOf(const TextInProcessOf&) = delete;
    TextInProcessOf& operator=(const TextInProcessOf&) = delete;
    LPARAM Address() const { return reinterpret_cast<LPARAM>(address_); }

private:
    UniqueHandle process_;
    void* address_ = nullptr;
};

template <typename Send>
LRESULT AskWith(Send send, HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD_PTR result = 0;
    return send(window, message, wParam, lParam, SMTO_NORMAL, kReplyTimeoutMs, &result) ? static_cast<LRESULT>(result)
                                                                                         : 0;
}

} // namespace

LRESULT Ask(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return AskWith(SendMessageTimeoutA, window, message, wParam, lParam);
}

LRESULT AskWide(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return AskWith(SendMessageTimeoutW, window, message, wParam, lParam);
}

std::string WindowTextOf(HWND window)
{
    const auto length = static_cast<std::size_t>(AskWide(window, WM_GETTEXTLENGTH, 0, 0));
    std::wstring text(length + 1, L'\0');
    const auto copied =
        static_cast<std::size_t>(AskWide(window, WM_GETTEXT, length + 1, reinterpret_cast<LPARAM>(text.data())));
    text.resize(std::min(copied, length));
    return FromWide(text, CP_ACP);
}

std::string ClassOf(HWND window)
{
    char name[64] = {};
    GetClassNameA(window, name, sizeof(name));
    return name;
}

std::vector<HWND> WindowsOfProcess(DWORD processId)
{
    std::vector<HWND> all, found;
    EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&all));
    for (HWND window : all) {
        if (ProcessOf(window) == processId && IsWindowVisible(window))
            found.push_back(window);
    }
    return found;
}

std::vector<HWND> ChildrenOf(HWND parent)
{
    std::vector<HWND> children;
    EnumChildWindows(parent, CollectWindow, reinterpret_cast<LPARAM>(&children));
    return children;
}

HWND FindChild(HWND parent, const std::string& className, const std::string& text)
{
    for (HWND child : ChildrenOf(parent))
        if (lstrcmpiA(ClassOf(child).c_str(), className.c_str()) == 0 && (text.empty() || WindowTextOf(child) == text))
            return child;
    return nullptr;
}

HWND FindDialog(HWND except, DWORD processId)
{
    for (HWND window : WindowsOfProcess(processId)) {
        if (window != except && ClassOf(window) == "#32770")
            return window;
    }
    return nullptr;
}

HWND NextDialog(HWND except, DWORD timeoutMs, DWORD processId)
{
    HWND dialog = nullptr;
    if (!Eventually([&] { return (dialog = FindDialog(except, processId)) != nullptr; }, timeoutMs))
        return nullptr;
    Sleep(300);
    return dialog;
}

bool Gone(HWND dialog, DWORD timeoutMs)
{
    return Eventually([&] { return !IsWindow(dialog) || !IsWindowVisible(dialog); }, timeoutMs);
}

DialogView ReadDialog(HWND dialog)
{
    DialogView view;
    view.Caption = WindowTextOf(dialog);
    view.Owner = GetWindow(dialog, GW_OWNER);
    for (HWND child : ChildrenOf(dialog)) {
        if (lstrcmpiA(ClassOf(child).c_str(), "Static") != 0)
            continue;
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON) {
            if (IsWindowVisible(child))
                view.Icon = reinterpret_cast<HICON>(AskWide(child, STM_GETICON, 0, 0));
            continue;
        }
        const std::string line = WindowTextOf(child);
        if (!line.empty())
            view.Text += (view.Text.empty() ? "" : "\n") + line;
    }
    return view;
}

void PressDialogButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

DialogAnswerer::DialogAnswerer(std::function<void(HWND)> answer, DWORD timeoutMs)
{
    thread_ = std::thread([this, answer, timeoutMs] {
        HWND dialog = NextDialog(nullptr, timeoutMs);
        if (dialog == nullptr)
            return;
        seen_ = ReadDialog(dialog);
        answer(dialog);
        answered_ = true;
    });
}

DialogAnswerer::~DialogAnswerer() { Join(); }

void DialogAnswerer::Join()
{
    if (thread_.joinable())
        thread_.join();
}

std::string FailureBoxOf(const std::function<void()>& action, DWORD timeoutMs)
{
    DialogAnswerer answerer([](HWND box) { PressDialogButton(box, IDOK); }, timeoutMs);
    action();
    Eventually([&] { return answerer.Answered(); }, timeoutMs);
    answerer.Join();
    return answerer.Answered() ? answerer.Seen().Text : std::string();
}

void ExpectQueuedCallRunsInside(const std::function<void()>& openDialog, int closeButton)
{
    std::atomic<bool> ran{false}, dialogOpen{false}, ranBeforeClose{false};
    std::atomic<DWORD> ranOn{0};
    std::thread worker;
    DialogAnswerer answerer([&](HWND dialog) {
        worker = std::thread([&, dialog] {
            Application->Synchronize([&, dialog] {
                ranOn = GetCurrentThreadId();
                dialogOpen = IsWindow(dialog) && IsWindowVisible(dialog);
                ran = true;
            });
        });
        ranBeforeClose = Eventually([&] { return ran.load(); });
        PressDialogButton(dialog, closeButton);
    });
    openDialog();
    answerer.Join();
    if (worker.joinable()) {
        // Should it not have run, it runs now, so that the worker ends.
        Eventually([&] { return ran.load(); });
        worker.join();
    }
    ASSERT_TRUE(answerer.Answered()) << "no dialog appeared";
    EXPECT_TRUE(ranBeforeClose);
    EXPECT_TRUE(dialogOpen);
    EXPECT_EQ(ranOn, GetCurrentThreadId());
}

// Control identifiers of the shell's folder chooser.
constexpr int kChooserTitleLine = 0x3742;
constexpr int kChooserStatusLine = 0x3743;

std::string ChooserTitle(HWND chooser) { return WindowTextOf(GetDlgItem(chooser, kChooserTitleLine)); }

std::string ChooserStatusLine(HWND chooser) { return WindowTextOf(GetDlgItem(chooser, kChooserStatusLine)); }

void LetChooserSettle() { Sleep(1000); }

bool SelectChooserFolder(HWND chooser, const std::string& folder)
{
    const TextInProcessOf path(chooser, folder), root(chooser, folder.substr(0, 3));
    // Under Wine the first request after a start can be lost, and the
    // chooser sometimes keeps the old selection; moving it to the drive's
    // root first and then to the folder has been seen to help.
    for (int attempt = 0; attempt < 10; ++attempt) {
        if (attempt % 2 == 1) {
            AskWide(chooser, BFFM_SETSELECTIONA, TRUE, root.Address());
            Sleep(200);
        }
        AskWide(chooser, BFFM_SETSELECTIONA, TRUE, path.Address());
        if (Eventually([&] { return lstrcmpiA(ChooserStatusLine(chooser).c_str(), folder.c_str()) == 0; }, 500))
            return true;
    }
    return false;
}

bool SaveWindowPicture(HWND window, const std::string& fileName, int margin)
{
    RECT rect{};
    if (!GetWindowRect(window, &rect))
        return false;
    // A window of another process may not have painted everything yet: the
    // window first, then its controls.
    std::vector<HWND> windows = ChildrenOf(window);
    windows.insert(windows.begin(), window);
    for (HWND part : windows) {
        InvalidateRect(part, nullptr, TRUE);
        Ask(part, WM_PAINT);
    }
    const int left = rect.left - margin, top = rect.top - margin;
    const int width = rect.right - rect.left + 2 * margin, height = rect.bottom - rect.top + 2 * margin;
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    UniqueGdiObject bitmap(CreateCompatibleBitmap(screen, width, height));
    HGDIOBJ old = SelectObject(memory, bitmap.Get());
    BitBlt(memory, 0, 0, width, height, screen, left, top, SRCCOPY);
    SelectObject(memory, old);

    BITMAPINFOHEADER header{};
    header.biSize = sizeof(header);
    header.biWidth = width;
    header.biHeight = height;
    header.biPlanes = 1;
    header.biBitCount = 24;
    header.biCompression = BI_RGB;
    const DWORD stride = ((width * 3 + 3) / 4) * 4;
    std::vector<char> pixels(static_cast<std::size_t>(stride) * height);
    GetDIBits(memory, static_cast<HBITMAP>(bitmap.Get()), 0, height, pixels.data(),
              reinterpret_cast<BITMAPINFO*>(&header), DIB_RGB_COLORS);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);

    BITMAPFILEHEADER file{};
    file.bfType = 0x4D42;
    file.bfOffBits = sizeof(file) + sizeof(header);
    file.bfSize = file.bfOffBits + static_cast<DWORD>(pixels.size());
    std::ofstream out(PictureFolder() + fileName, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}

std::string WithoutLineBreaks(std::string text)
{
    text.erase(std::remove_if(text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }), text.end());
    return text;
}
