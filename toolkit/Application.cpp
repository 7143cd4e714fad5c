#include "Application.h"

#include "Dialogs.h"
#include "Form.h"

#include "base/Errors.h"
#include "base/Paths.h"

#include <commctrl.h>

TApplication* Application = nullptr;

namespace {
const char kApplicationWindowClass[] = "TApplication";
}

std::string ApplicationTitleFromPath(const std::string& exePath)
{
    const std::size_t slash = exePath.find_last_of("\\/:");
    std::string title = slash == std::string::npos ? exePath : exePath.substr(slash + 1);
    const std::size_t dot = title.find('.');
    if (dot != std::string::npos)
        title.resize(dot);
    if (title.size() > 1)
        CharLowerBuffA(title.data() + 1, static_cast<DWORD>(title.size() - 1));
    return title;
}

TApplication::TApplication()
    : TComponent(nullptr),
      mainThreadId_(GetCurrentThreadId()),
      title_(ApplicationTitleFromPath(ModuleFileName())),
      pending_([this] { PostMessageA(handle_, WM_NULL, 0, 0); },
               [this](std::exception_ptr error) { HandleException(error); })
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
    if (handle_ == nullptr)
        throw EOSError(GetLastError(), "Cannot create the application window: " + SystemErrorText(GetLastError()));
    Application = this;
}

TApplication::~TApplication()
{
    if (handle_ != nullptr)
        DestroyWindow(handle_);
    if (Application == this)
        Application = nullptr;
}

LRESULT CALLBACK TApplication::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    // The wake-up of the pending-call queue; also served by modal loops,
    // which dispatch posted messages to every window of the thread.
    if (message == WM_NULL && Application != nullptr && Application->handle_ == window) {
        Application->CheckSynchronize();
        return 0;
    }
    return DefWindowProcA(window, message, wParam, lParam);
}

void TApplication::MainFormVisibilityChanged(bool visible) noexcept
{
    ShowWindow(handle_, visible ? SW_SHOWNOACTIVATE : SW_HIDE);
}

void TApplication::Terminate() noexcept
{
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
        if (pending_.Empty())
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
