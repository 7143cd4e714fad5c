#include "Dialogs.h"

#include "Application.h"
#include "TaskWindows.h"

#include "base/Errors.h"
#include "base/LazyLibrary.h"
#include "base/TextCodes.h"

#include <commctrl.h>
#include <commdlg.h>

#include <algorithm>
#include <vector>

namespace {

int ShowBox(const std::string& text, UINT type)
{
    const HWND owner = Application != nullptr ? Application->Handle() : nullptr;
    const std::string caption = Application != nullptr ? Application->Title() : std::string();
    TTaskWindowsDisabled disabled(nullptr);
    return MessageBoxA(owner, WrappedForMessageBox(text).c_str(), caption.c_str(), type);
}

} // namespace

std::string WrappedForMessageBox(const std::string& text, std::size_t maxWord)
{
    // In characters, not bytes: a break never falls inside one.
    const std::wstring wide = ToWide(text, CP_ACP);
    std::wstring wrapped;
    wrapped.reserve(wide.size() + wide.size() / maxWord * 2);
    std::size_t word = 0; // characters since the last blank or line break
    std::size_t lastBreak = std::wstring::npos; // in `wrapped`, just after a separator of the word
    for (const wchar_t c : wide) {
        if (c == L' ' || c == L'\t' || c == L'\r' || c == L'\n') {
            word = 0;
            lastBreak = std::wstring::npos;
            wrapped += c;
            continue;
        }
        if (word == maxWord) {
            // Break after the word's last separator in its second half, or here.
            const std::size_t at =
                lastBreak != std::wstring::npos && wrapped.size() - lastBreak < maxWord / 2 ? lastBreak : wrapped.size();
            wrapped.insert(at, L"\r\n");
            word = wrapped.size() - (at + 2);
            lastBreak = std::wstring::npos;
        }
        wrapped += c;
        ++word;
        if (c == L'\\' || c == L'/')
            lastBreak = wrapped.size();
    }
    return FromWide(wrapped, CP_ACP);
}

bool DialogEndedByQuit() noexcept
{
    if (Application != nullptr && Application->Closing())
        return true;
    MSG quit;
    return PeekMessageA(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

void ShowMessage(const std::string& text)
{
    ShowBox(text, MB_OK);
}

void ShowErrorBox(const std::string& text)
{
    ShowBox(text, MB_OK | MB_ICONERROR);
}

bool AskYesNo(const std::string& text)
{
    return ShowBox(text, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

namespace {

// A dialog template built in memory: the header, then each item aligned to a
// DWORD, every text empty (they are set when the dialog opens).
class TDialogTemplate {
public:
    TDialogTemplate(DWORD style, short width, short height, const char* fontName, WORD pointSize)
    {
        const DLGTEMPLATE header{style | DS_SETFONT, 0, 0, 0, 0, width, height};
        Append(&header, sizeof(header));
        Word(0); // no menu
        Word(0); // the standard dialog class
        Word(0); // no caption yet
        Word(pointSize);
        for (const char* c = fontName; *c != '\0'; ++c)
            Word(static_cast<unsigned char>(*c));
        Word(0);
    }

    // `kind` is a predefined class: 0x80 button, 0x81 edit, 0x82 static.
    void Add(WORD kind, DWORD style, DWORD exStyle, short x, short y, short width, short height, WORD id)
    {
        while (bytes_.size() % sizeof(DWORD) != 0)
            bytes_.push_back(0);
        const DLGITEMTEMPLATE item{style | WS_CHILD | WS_VISIBLE, exStyle, x, y, width, height, id};
        Append(&item, sizeof(item));
        Word(0xFFFF);
        Word(kind);
        Word(0); // no text yet
        Word(0); // no creation data
        ++reinterpret_cast<DLGTEMPLATE*>(bytes_.data())->cdit;
    }

    const DLGTEMPLATE* Get() const { return reinterpret_cast<const DLGTEMPLATE*>(bytes_.data()); }

private:
    void Append(const void* data, std::size_t size)
    {
        const auto* first = static_cast<const BYTE*>(data);
        bytes_.insert(bytes_.end(), first, first + size);
    }
    void Word(WORD value) { Append(&value, sizeof(value)); }

    // Its storage comes from operator new, aligned for any type: the header
    // starts on a DWORD, as the system wants it.
    std::vector<BYTE> bytes_;
};

constexpr WORD kButtonClass = 0x80, kEditClass = 0x81, kStaticClass = 0x82;
constexpr WORD kTextBoxMessageId = 100, kTextBoxTextId = 101;

struct TTextBoxContent {
    std::string caption;
    std::string message;
    std::string text;
};

// A multi-line edit would take Tab, Enter and Escape for itself; here they
// belong to the dialog. Ctrl+A selects the whole text.
LRESULT CALLBACK TextBoxTextProc(HWND edit, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                 DWORD_PTR /*data*/) noexcept
{
    switch (message) {
    case WM_GETDLGCODE:
        return DefSubclassProc(edit, message, wParam, lParam) & ~DLGC_WANTALLKEYS;
    case WM_CHAR:
        if (wParam == 1) { // Ctrl+A
            SendMessageA(edit, EM_SETSEL, 0, -1);
            return 0;
        }
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(edit, TextBoxTextProc, id);
        break;
    default:
        break;
    }
    return DefSubclassProc(edit, message, wParam, lParam);
}

// The message on top, as high as its text needs at the present width; the
// button at the bottom; the text between them.
void LayOutTextBox(HWND dialog)
{
    RECT units{7, 0, 50, 14}; // margin, -, button width and height
    MapDialogRect(dialog, &units);
    const int margin = units.left, buttonWidth = units.right, buttonHeight = units.bottom;
    RECT client{};
    GetClientRect(dialog, &client);
    const int width = std::max(0, static_cast<int>(client.right) - 2 * margin);

    const HWND message = GetDlgItem(dialog, kTextBoxMessageId);
    std::vector<char> text(static_cast<std::size_t>(GetWindowTextLengthA(message)) + 1, '\0');
    GetWindowTextA(message, text.data(), static_cast<int>(text.size()));
    RECT needed{0, 0, width, 0};
    if (HDC dc = GetDC(message)) {
        const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(dialog, WM_GETFONT, 0, 0)));
        DrawTextA(dc, text.data(), -1, &needed, DT_CALCRECT | DT_WORDBREAK | DT_EDITCONTROL | DT_NOPREFIX);
        SelectObject(dc, old);
        ReleaseDC(message, dc);
    }
    const int messageHeight = needed.bottom - needed.top;
    const int textTop = 2 * margin + messageHeight;
    const int buttonTop = static_cast<int>(client.bottom) - margin - buttonHeight;
    MoveWindow(message, margin, margin, width, messageHeight, TRUE);
    MoveWindow(GetDlgItem(dialog, kTextBoxTextId), margin, textTop, width, std::max(0, buttonTop - margin - textTop),
               TRUE);
    MoveWindow(GetDlgItem(dialog, IDOK), (static_cast<int>(client.right) - buttonWidth) / 2, buttonTop, buttonWidth,
               buttonHeight, TRUE);
}

INT_PTR CALLBACK TextBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    return static_cast<INT_PTR>(HandleInCallback([&]() -> LRESULT {
        switch (message) {
        case WM_INITDIALOG: {
            const auto& content = *reinterpret_cast<const TTextBoxContent*>(lParam);
            SetWindowTextA(dialog, content.caption.c_str());
            SetDlgItemTextA(dialog, kTextBoxMessageId, content.message.c_str());
            SetDlgItemTextA(dialog, IDOK, "OK");
            const HWND text = GetDlgItem(dialog, kTextBoxTextId);
            SendMessageA(text, EM_SETLIMITTEXT, 0, 0); // no limit below the system's
            SetWindowTextA(text, content.text.c_str());
            SetWindowSubclass(text, TextBoxTextProc, 1, 0);
            LayOutTextBox(dialog);
            // The end first: that is where a long report says what went wrong.
            SendMessageA(text, EM_LINESCROLL, 0, SendMessageA(text, EM_GETLINECOUNT, 0, 0));
            SetFocus(GetDlgItem(dialog, IDOK));
            return FALSE; // the focus is set
        }
        case WM_SIZE:
            LayOutTextBox(dialog);
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                EndDialog(dialog, IDOK);
                return TRUE;
            }
            break;
        default:
            break;
        }
        return FALSE;
    }));
}

} // namespace

void ShowTextBox(const std::string& message, const std::string& text)
{
    const TTextBoxContent content{Application != nullptr ? Application->Title() : std::string(), message, text};
    TDialogTemplate dialog(WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | DS_CENTER, 320, 200,
                           "MS Sans Serif", 8);
    dialog.Add(kStaticClass, SS_LEFT | SS_EDITCONTROL | SS_NOPREFIX, 0, 7, 7, 306, 40, kTextBoxMessageId);
    dialog.Add(kEditClass, WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL, WS_EX_CLIENTEDGE,
               7, 54, 306, 118, kTextBoxTextId);
    dialog.Add(kButtonClass, WS_TABSTOP | BS_DEFPUSHBUTTON, 0, 135, 179, 50, 14, IDOK);

    const HWND owner = Application != nullptr ? Application->Handle() : nullptr;
    TTaskWindowsDisabled disabled(nullptr);
    if (DialogBoxIndirectParamA(GetModuleHandleA(nullptr), dialog.Get(), owner, TextBoxProc,
                                reinterpret_cast<LPARAM>(&content)) == -1)
        throw EOSError(GetLastError(), "Cannot show the text window: " + SystemErrorText(GetLastError()));
}

bool TOpenDialog::Execute()
{
    // The filter's '|' separators become the NULs the dialog expects.
    std::string filter = Filter;
    for (char& c : filter)
        if (c == '|')
            c = '\0';
    filter.append(2, '\0');

    std::vector<char> name(4096, '\0');
    FileName.copy(name.data(), name.size() - 1);

    OPENFILENAMEA request{};
    request.lStructSize = sizeof(request);
    request.hwndOwner = Application != nullptr ? Application->Handle() : nullptr;
    request.lpstrFilter = filter.c_str();
    request.nFilterIndex = 1;
    request.lpstrFile = name.data();
    request.nMaxFile = static_cast<DWORD>(name.size());
    request.lpstrDefExt = DefaultExt.empty() ? nullptr : DefaultExt.c_str();
    // The current folder stays: a folder typed as a relative path keeps its meaning.
    request.Flags = OFN_EXPLORER | OFN_HIDEREADONLY | OFN_ENABLESIZING | OFN_NOCHANGEDIR;

    bool confirmed = false;
    {
        TTaskWindowsDisabled disabled(nullptr);
        confirmed = LazyFunction<decltype(&GetOpenFileNameA)>("comdlg32.dll", "GetOpenFileNameA")(&request) != FALSE && !DialogEndedByQuit();
    }
    if (confirmed)
        FileName = name.data();
    return confirmed;
}
