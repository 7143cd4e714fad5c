#include "Application.h"

#include "Dialogs.h"
#include "Form.h"

#include "base/Errors.h"
#include "base/Paths.h"
#include "base/TextCodes.h"

#include <commctrl.h>

TApplication* Application = nullptr;

namespace {

const char kApplicationWindowClass[] = "TApplication";
// Posted by the application window to itself when it has been activated: the
// activation goes on to the main window or its dialog once it has settled.
constexpr UINT kActivateTarget = WM_APP + 1;

bool CanBeActive(HWND window) noexcept
{
    return window != nullptr && IsWindowVisible(window) && IsWindowEnabled(window);
}

struct OwnedSearch {
    HWND owner;
    HWND found;
};

BOOL CALLBACK MatchActivatableOwned(HWND window, LPARAM data) noexcept
{
    auto& search = *reinterpret_cast<OwnedSearch*>(data);
    if (GetWindow(window, GW_OWNER) != search.owner || !CanBeActive(window))
        return TRUE;
    search.found = window;
    return FALSE;
}

} // namespace

std::string ApplicationTitleFromPath(const std::string& exePath)
{
    const std::size_t slash = exePath.find_last_of("\\/:");
    std::string title = slash == std::string::npos ? exePath : exePath.substr(slash + 1);
    const std::size_t dot = title.find('.');
    if (dot != std::string::npos)
        title.resize(dot);
    // The first character may take several bytes, or two UTF-16 units.
    std::wstring wide = ToWide(title, CP_ACP);
    const std::size_t first = wide.size() > 1 && IS_HIGH_SURROGATE(wide[0]) ? 2 : 1;
    if (wide.size() > first)
        CharLowerBuffW(wide.data() + first, static_cast<DWORD>(wide.size() - first));
    return FromWide(wide, CP_ACP);
}

TApplication::TApplication()
    : TComponent(nullptr),
      mainThreadId_(GetCurrentThreadId()),
      title_(ApplicationTitleFromPath(ModuleFileName())),
      pending_(std::make_shared<TPendingCalls>([this] { PostMessageA(handle_, WM_NULL, 0, 0); },
                                               [this](std::exception_ptr error) { HandleException(error); }))
{
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = WindowProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
    windowClass.lpszClassName = kApplicationWindowClass;
    RegisterClassA(&windowClass); // fails harmlessly when already registered

    // Zero size, at the centre of the screen: dialogs it owns open there.
    const int x = GetSystemMetrics(SM_CXSCREEN) / 2;
    const int y = GetSystemMetrics(SM_CYSCREEN) / 2;
    handle_ = CreateWindowExA(0, kApplicationWindowClass, title_.c_str(),
                              WS_POPUP | WS_CAPTION | WS_CLIPSIBLINGS | WS_SYSMENU | WS_MINIMIZEBOX, x, y, 0, 0,
                              nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (handle_ == nullptr) {
        const DWORD error = GetLastError();
        throw EOSError(error, "Cannot create the application window: " + SystemErrorText(error) + ".");
    }
    Application = this;
}

TApplication::~TApplication()
{
    // The launcher among the main window's components lets its runs go; their
    // wait threads then hand their ends to the queue, so it closes after them
    // and lets go of every thread still waiting in it.
    mainForm_ = nullptr;
    DestroyComponents();
    pending_->Close();
    if (handle_ != nullptr)
        DestroyWindow(handle_);
    if (Application == this)
        Application = nullptr;
}

LRESULT CALLBACK TApplication::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    if (Application == nullptr || Application->handle_ != window)
        return DefWindowProcA(window, message, wParam, lParam);
    return HandleInCallback([&] { return Application->WndProc(message, wParam, lParam); });
}

LRESULT TApplication::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NULL:
        // The wake-up of the pending-call queue; also served by modal loops,
        // which dispatch posted messages to every window of the thread.
        CheckSynchronize();
        return 0;
    case WM_CLOSE:
        // The taskbar's "Close window", or Alt+F4 while this window is
        // active: the same as "Exit". Never destroyed here: the main window
        // would go with it and the loop would wait for ever.
        CloseMainForm();
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            // Also while a dialog has disabled this window, where the default
            // handling would ignore it: the open dialogs end with the loop.
            CloseMainForm();
            return 0;
        case SC_MINIMIZE:
            Minimize();
            return 0;
        case SC_RESTORE:
            Restore();
            return 0;
        default:
            break;
        }
        break;
    case WM_ACTIVATE:
        // Activated by the taskbar or Alt+Tab, or as the owner of a dialog
        // that has just closed: this window has nothing to type into.
        if (LOWORD(wParam) != WA_INACTIVE && !IsIconic(handle_))
            PostMessageA(handle_, kActivateTarget, 0, 0);
        break;
    case kActivateTarget:
        // Only if nothing has taken the activation meanwhile (a closing
        // dialog gives it back to the window that was active before it).
        if (GetActiveWindow() == handle_ && !IsIconic(handle_))
            ActivateTarget();
        return 0;
    default:
        break;
    }
    return DefWindowProcA(handle_, message, wParam, lParam);
}

void TApplication::CloseMainForm()
{
    if (mainForm_ != nullptr && mainForm_->Handle() != nullptr)
        mainForm_->Close();
    else
        Terminate();
}

HWND TApplication::ActivationTarget() const noexcept
{
    const HWND popup = GetLastActivePopup(handle_);
    if (popup != handle_ && CanBeActive(popup))
        return popup;
    const HWND main = mainForm_ != nullptr ? mainForm_->Handle() : nullptr;
    if (CanBeActive(main))
        return main;
    // A dialog that came up while the tool was in the background never was
    // the last active one, but it is the only window that takes input now.
    OwnedSearch search{handle_, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), MatchActivatableOwned, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

void TApplication::ActivateTarget() noexcept
{
    if (const HWND target = ActivationTarget())
        SetActiveWindow(target);
}

void TApplication::Minimize() noexcept
{
    if (IsIconic(handle_))
        return;
    // The owned windows hide first, so that none of them is activated in
    // place of the minimised entry.
    ShowOwnedPopups(handle_, FALSE);
    ShowWindow(handle_, SW_MINIMIZE);
}

void TApplication::Restore() noexcept
{
    if (IsIconic(handle_)) {
        ShowWindow(handle_, SW_RESTORE);
        ShowOwnedPopups(handle_, TRUE);
    }
    ActivateTarget();
}

void TApplication::MainFormVisibilityChanged(bool visible) noexcept
{
    ShowWindow(handle_, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void TApplication::Terminate() noexcept
{
    closing_ = true;
    PostQuitMessage(0);
}

void TApplication::Dispatch(MSG& message)
{
    if (mainForm_ != nullptr && mainForm_->Handle() != nullptr && IsDialogMessageA(mainForm_->Handle(), &message))
        return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

void TApplication::ProcessMessages()
{
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            terminated_ = true;
            closing_ = false;
            return;
        }
        Dispatch(message);
    }
    CheckSynchronize();
}

void TApplication::Run()
{
    while (!terminated_) {
        ProcessMessages();
        if (terminated_)
            break;
        // Idle: nothing waits, so sleep until the next message arrives.
        if (pending_->Empty())
            WaitMessage();
    }
}

void TApplication::HandleException(std::exception_ptr error) noexcept
{
    try {
        ShowErrorBox(ExceptionDisplayText(ExceptionMessage(error)));
    } catch (...) {
        // Nothing more can be reported when even the message box fails.
    }
}
