#include "Form.h"

#include "Application.h"
#include "Controls.h"

#include "base/Errors.h"

TForm::TForm(TComponent* owner, const TFormDesign& design) : TComponent(owner)
{
    font_.Reset(CreateFontA(design.fontHeight, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                            OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE,
                            design.fontName));

    WNDCLASSA windowClass{};
    windowClass.lpfnWndProc = StaticWndProc;
    windowClass.hInstance = GetModuleHandleA(nullptr);
    windowClass.hIcon = LoadIconA(GetModuleHandleA(nullptr), "MAINICON");
    windowClass.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = design.className;
    RegisterClassA(&windowClass); // already registered by an earlier window of this class is fine

    const HWND ownerWindow = Application != nullptr ? Application->Handle() : nullptr;
    handle_ = CreateWindowExA(WS_EX_CONTROLPARENT, design.className, design.caption.c_str(),
                              WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, design.left, design.top, design.width,
                              design.height, ownerWindow, nullptr, GetModuleHandleA(nullptr), this);
    if (handle_ == nullptr) {
        const DWORD error = GetLastError();
        throw EOSError(error, "Cannot create window: " + SystemErrorText(error) + ".");
    }
}

TForm::~TForm()
{
    if (IsMainForm())
        Application->SetMainForm(nullptr);
    if (handle_ != nullptr && IsWindow(handle_))
        DestroyWindow(handle_);
    handle_ = nullptr;
}

void TForm::Show()
{
    ShowWindow(handle_, SW_SHOWNORMAL);
    UpdateWindow(handle_);
}

void TForm::Close()
{
    SendMessageA(handle_, WM_CLOSE, 0, 0);
}

void TForm::SetTabOrder(const std::vector<TControl*>& order)
{
    // Keyboard navigation follows the z-order of the child windows.
    HWND previous = HWND_TOP;
    for (TControl* control : order) {
        SetWindowPos(control->Handle(), previous, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        previous = control->Handle();
    }
}

LRESULT TForm::WndProc(UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_COMMAND:
        if (lParam != 0) {
            if (TControl* control = TControl::FromHandle(reinterpret_cast<HWND>(lParam))) {
                control->Command(HIWORD(wParam));
                return 0;
            }
        }
        break;
    case WM_DRAWITEM: {
        const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item.CtlType != ODT_MENU) {
            if (TControl* control = TControl::FromHandle(item.hwndItem)) {
                control->DrawItem(item);
                return TRUE;
            }
        }
        break;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (TControl* control = TControl::FromHandle(header->hwndFrom))
            return control->Notify(*header);
        break;
    }
    case WM_SHOWWINDOW:
        // Shown or hidden by itself, not with its owner being minimised or restored.
        if (IsMainForm() && lParam == 0)
            Application->MainFormVisibilityChanged(wParam != 0);
        break;
    case WM_ACTIVATE:
        Activated(LOWORD(wParam));
        if (LOWORD(wParam) != WA_INACTIVE)
            return 0; // the focus is placed; the default would put it on the form
        break;
    case WM_SYSCOMMAND:
        // The minimise button: the application goes with its one taskbar entry.
        if ((wParam & 0xFFF0) == SC_MINIMIZE && IsMainForm()) {
            Application->Minimize();
            return 0;
        }
        break;
    case WM_QUERYENDSESSION:
        if (IsMainForm())
            return CanClose() ? TRUE : FALSE;
        break;
    case WM_CLOSE:
        if (IsMainForm()) {
            if (!CanClose())
                return 0;
            ShowWindow(handle_, SW_HIDE);
            Application->Terminate();
            return 0;
        }
        break;
    default:
        break;
    }
    return DefWindowProcA(handle_, message, wParam, lParam);
}

bool TForm::CanClose()
{
    bool canClose = true;
    OnCloseQuery(this, canClose);
    return canClose;
}

bool TForm::IsMainForm() const noexcept
{
    return Application != nullptr && Application->MainForm() == this;
}

void TForm::Activated(WORD state) noexcept
{
    if (state == WA_INACTIVE) {
        const HWND focus = GetFocus();
        if (focus != nullptr && IsChild(handle_, focus))
            lastFocus_ = focus;
        return;
    }
    if (IsIconic(handle_))
        return;
    HWND target = lastFocus_;
    if (target == nullptr || !IsWindow(target) || !IsChild(handle_, target) || !IsWindowVisible(target) ||
        !IsWindowEnabled(target))
        target = GetNextDlgTabItem(handle_, nullptr, FALSE);
    SetFocus(target != nullptr ? target : handle_);
}

LRESULT CALLBACK TForm::StaticWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    TForm* form = nullptr;
    if (message == WM_NCCREATE) {
        form = static_cast<TForm*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        SetWindowLongPtrA(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(form));
        form->handle_ = window;
    } else {
        form = reinterpret_cast<TForm*>(GetWindowLongPtrA(window, GWLP_USERDATA));
    }
    if (form == nullptr)
        return DefWindowProcA(window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        SetWindowLongPtrA(window, GWLP_USERDATA, 0);
        form->handle_ = nullptr;
        return DefWindowProcA(window, message, wParam, lParam);
    }
    return HandleInCallback([&] { return form->WndProc(message, wParam, lParam); });
}
