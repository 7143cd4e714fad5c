#include "FolderChooser.h"

#include "base/Handles.h"
#include "base/LazyLibrary.h"
#include "base/Paths.h"
#include "base/TextCodes.h"
#include "toolkit/Application.h"
#include "toolkit/Dialogs.h"
#include "toolkit/TaskWindows.h"

#include <shlobj.h>

#include <cstring>

static_assert(sizeof(BROWSEINFOA) == 32, "the browse request is eight 32-bit fields");

namespace {

// The shell's and COM's functions, bound when the chooser first needs them.
template <typename Function>
Function Shell32(const char* name)
{
    return LazyFunction<Function>("shell32.dll", name);
}

template <typename Function>
Function Ole32(const char* name)
{
    return LazyFunction<Function>("ole32.dll", name);
}

// COM for the calling thread while the dialog is prepared and shown. The
// dialog and the desktop folder need it; a thread that has it already keeps
// it (the counts nest), and one in another apartment model goes on in that.
class ComApartment {
public:
    ComApartment() : initialized_(SUCCEEDED(Ole32<decltype(&CoInitialize)>("CoInitialize")(nullptr))) {}
    ~ComApartment()
    {
        if (initialized_)
            Ole32<decltype(&CoUninitialize)>("CoUninitialize")();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialized_;
};

// The folder an item list names, in this program's code page; empty when it
// names none. Taken in UTF-16 and converted as the ANSI call would, since in
// UTF-8 a path within MAX_PATH characters may take more bytes than that call
// holds, and it cuts such a path short.
std::string FolderOfItemList(LPCITEMIDLIST list)
{
    wchar_t folder[MAX_PATH + 1] = {};
    return Shell32<decltype(&SHGetPathFromIDListW)>("SHGetPathFromIDListW")(list, folder) ? FromWide(folder, CP_ACP)
                                                                                           : std::string();
}

HWND ApplicationWindow() noexcept
{
    return Application != nullptr ? Application->Handle() : nullptr;
}

} // namespace

bool BrowseForFolderDialog(const std::string& title, const std::string& initialFolder,
                           const std::wstring& rootDisplayName, std::string& path)
{
    bool result = false;
    path.clear();

    // Lives until we return, and so for every callback of the dialog.
    const std::string initial = WithoutTrailingBackslash(initialFolder);

    BROWSEINFOA request;
    std::memset(&request, 0, sizeof(request));

    ComApartment apartment;
    ComPtr<IMalloc> allocator;
    ComPtr<IShellFolder> desktop; // released after the item lists are freed
    if (Shell32<decltype(&SHGetMalloc)>("SHGetMalloc")(allocator.Put()) != S_OK || !allocator)
        return result;

    ShellAllocation displayName(allocator.Get(), allocator->Alloc(MAX_PATH));
    if (displayName.Get() == nullptr)
        return result; // as without an allocator: no dialog

    ShellAllocation root;
    if (SUCCEEDED(Shell32<decltype(&SHGetDesktopFolder)>("SHGetDesktopFolder")(desktop.Put())) && desktop) {
        // The parse's status is not needed: without an item list the root
        // stays empty, and the dialog offers the whole namespace.
        LPITEMIDLIST rootList = nullptr;
        std::wstring parsed = rootDisplayName; // the parser takes a writable text
        desktop->ParseDisplayName(ApplicationWindow(), nullptr, parsed.data(), nullptr, &rootList, nullptr);
        root = ShellAllocation(allocator.Get(), rootList);
    }

    request.hwndOwner = ApplicationWindow();
    request.pidlRoot = root.As<ITEMIDLIST>();
    request.pszDisplayName = displayName.As<char>();
    request.lpszTitle = title.c_str();
    request.ulFlags = BIF_RETURNONLYFSDIRS | BIF_STATUSTEXT;
    request.lpfn = BrowseCallback;
    request.lParam = reinterpret_cast<LPARAM>(initial.c_str());

    ShellAllocation chosen;
    {
        TTaskWindowsDisabled disabled(ApplicationWindow());
        chosen = ShellAllocation(allocator.Get(), Shell32<decltype(&SHBrowseForFolderA)>("SHBrowseForFolderA")(&request));
    }

    result = chosen.Get() != nullptr && !DialogEndedByQuit();
    if (result) {
        // The dialog wrote the folder's display name; its path replaces it.
        path = FolderOfItemList(chosen.As<ITEMIDLIST>());
        chosen.Reset();
        if (path.empty())
            path.assign(displayName.As<char>(), strnlen(displayName.As<char>(), MAX_PATH));
        path += '\\';
    }
    return result;
}

int CALLBACK BrowseCallback(HWND dialog, UINT message, LPARAM argument, LPARAM data) noexcept
{
    return static_cast<int>(HandleInCallback([&]() -> LRESULT {
        switch (message) {
        case BFFM_INITIALIZED:
            // The status line says what is selected, never what was asked
            // for: the dialog does not always take the selection (a folder
            // that is gone; under Wine at times one that is there), and OK
            // then returns the folder the tree shows.
            SendMessageA(dialog, BFFM_SETSELECTIONA, TRUE, data);
            break;
        case BFFM_SELCHANGED: {
            // A folder outside the file system (the computer, the network)
            // empties the line: OK gives no such folder.
            const std::string folder = FolderOfItemList(reinterpret_cast<LPCITEMIDLIST>(argument));
            SendMessageA(dialog, BFFM_SETSTATUSTEXTA, 0, reinterpret_cast<LPARAM>(folder.c_str()));
            break;
        }
        default:
            break;
        }
        return 0;
    }));
}
