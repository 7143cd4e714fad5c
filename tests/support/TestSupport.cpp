#include "TestSupport.h"

#include "base/Handles.h"
#include "base/Paths.h"
#include "../../toolkit/Application.h"

#include <chrono>
#include <fstream>
#include <sstream>
#include <vector>

bool PumpUntil(const std::function<bool()>& done, DWORD timeoutMs)
{
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Application->ProcessMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void PumpFor(DWORD ms)
{
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

namespace {

struct DialogSearch {
    HWND except;
    HWND found;
};

BOOL CALLBACK MatchDialog(HWND window, LPARAM data)
{
    auto& search = *reinterpret_cast<DialogSearch*>(data);
    DWORD pid = 0;
    GetWindowThreadProcessId(window, &pid);
    if (pid != GetCurrentProcessId() || window == search.except || !IsWindowVisible(window))
        return TRUE;
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof(cls));
    if (std::string(cls) == "#32770") {
        search.found = window;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectStatic(HWND window, LPARAM data)
{
    char cls[64] = {};
    GetClassNameA(window, cls, sizeof(cls));
    if (std::string(cls) == "Static") {
        auto& text = *reinterpret_cast<std::string*>(data);
        const std::string part = WindowTextOf(window);
        if (!part.empty())
            text += (text.empty() ? "" : "\n") + part;
    }
    return TRUE;
}

} // namespace

HWND FindProcessDialog(HWND except)
{
    DialogSearch search{except, nullptr};
    EnumWindows(MatchDialog, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForProcessDialog(DWORD timeoutMs, HWND except)
{
    const DWORD start = GetTickCount();
    for (;;) {
        if (HWND dialog = FindProcessDialog(except))
            return dialog;
        if (GetTickCount() - start > timeoutMs)
            return nullptr;
        Sleep(20);
    }
}

std::string WindowTextOf(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring wide(static_cast<std::size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(window, wide.data(), length + 1);
    wide.resize(copied > 0 ? static_cast<std::size_t>(copied) : 0);
    const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string text(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, wide.c_str(), static_cast<int>(wide.size()), text.data(), bytes, nullptr, nullptr);
    return text;
}

DialogAnswerer::DialogAnswerer(std::function<void(HWND)> answer, DWORD timeoutMs)
{
    thread_ = std::thread([this, answer, timeoutMs] {
        HWND dialog = WaitForProcessDialog(timeoutMs);
        if (dialog == nullptr)
            return;
        Sleep(300); // let the dialog finish its initialisation
        EnumChildWindows(dialog, CollectStatic, reinterpret_cast<LPARAM>(&text_));
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

void PressDialogButton(HWND dialog, int id)
{
    PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(GetDlgItem(dialog, id)));
}

namespace {

void DeleteTree(const std::string& folder)
{
    WIN32_FIND_DATAA entry{};
    UniqueFind find(FindFirstFileA((folder + "*").c_str(), &entry));
    if (find) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + name;
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                DeleteTree(path + "\\");
            } else {
                SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                DeleteFileA(path.c_str());
            }
        } while (FindNextFileA(find.Get(), &entry));
    }
    find.Reset();
    RemoveDirectoryA(folder.c_str());
}

} // namespace

TempFolder::TempFolder()
{
    static int counter = 0;
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    std::ostringstream name;
    name << base << "sctest_" << GetCurrentProcessId() << "_" << GetTickCount() << "_" << ++counter << "\\";
    path_ = name.str();
    CreateDirectoryA(path_.c_str(), nullptr);
}

TempFolder::~TempFolder() { DeleteTree(path_); }

std::string TempFolder::MakeFolder(const std::string& relative) const
{
    std::string path = path_;
    std::stringstream parts(relative);
    std::string part;
    while (std::getline(parts, part, '\\')) {
        if (part.empty())
            continue;
        path += part + "\\";
        CreateDirectoryA(path.c_str(), nullptr);
    }
    return path;
}

std::string TempFolder::Write(const std::string& relative, const std::string& content) const
{
    const std::size_t slash = relative.find_last_of('\\');
    if (slash != std::string::npos)
        MakeFolder(relative.substr(0, slash));
    const std::string path = path_ + relative;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return path;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

bool FileExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FolderExists(const std::string& path)
{
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string TestProgramFolder()
{
    const std::string path = ModuleFileName();
    return path.substr(0, path.find_last_of('\\') + 1);
}

std::string PictureFolder()
{
    // Test programs live in <build>\tests\.
    std::string folder = TestProgramFolder();
    folder.pop_back();
    folder = folder.substr(0, folder.find_last_of('\\') + 1) + "screenshots\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

bool SaveWindowPicture(HWND window, const std::string& bmpPath, int margin)
{
    RECT rect{};
    if (!GetWindowRect(window, &rect))
        return false;
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
    std::ofstream out(bmpPath, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(&file), sizeof(file));
    out.write(reinterpret_cast<const char*>(&header), sizeof(header));
    out.write(pixels.data(), static_cast<std::streamsize>(pixels.size()));
    return static_cast<bool>(out);
}
