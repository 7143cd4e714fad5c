// The name helper: asks one WFX plugin library for its default root name in
// a process of its own, so that nothing the plugin's code does (fault, hang,
// end the process, damage memory) can reach the setup creator. How it is
// started and how it answers: NameHelperProtocol.h.
#include "namehelper/NameHelperProtocol.h"

#include "base/Handles.h"

#include <windows.h>

#include <cstdint>

namespace {

using FsGetDefRootNameProc = void(__stdcall*)(char* defRootName, int maxlen);

// The longest path the system takes, with its terminating NUL. Kept free of
// the C++ library's strings, so that the helper starts as fast as an empty
// program does.
constexpr int kPathCapacity = 32768;

struct TRequest {
    HANDLE answer = nullptr;
    wchar_t library[kPathCapacity] = {};
};

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t'; }

// "<program>" <handle> "<library>": the program as the system wrote it, the
// handle's decimal value, then the library's path to the end of the line.
bool ParseCommandLine(const wchar_t* at, TRequest& request)
{
    if (*at == L'"') {
        do
            ++at;
        while (*at != L'\0' && *at != L'"');
        if (*at == L'"')
            ++at;
    } else {
        while (*at != L'\0' && !IsBlank(*at))
            ++at;
    }
    while (IsBlank(*at))
        ++at;
    std::uintptr_t handle = 0;
    const wchar_t* digits = at;
    for (; *at >= L'0' && *at <= L'9'; ++at)
        handle = handle * 10 + static_cast<std::uintptr_t>(*at - L'0');
    if (at == digits)
        return false;
    while (IsBlank(*at))
        ++at;
    int length = lstrlenW(at);
    if (length >= 2 && at[0] == L'"' && at[length - 1] == L'"') {
        ++at;
        length -= 2;
    }
    if (length <= 0 || length >= kPathCapacity)
        return false;
    lstrcpynW(request.library, at, length + 1);
    request.answer = reinterpret_cast<HANDLE>(handle);
    return true;
}

// As the file manager loads its plugins: the libraries a plugin needs are
// searched for in its own folder and in the system folders, and nowhere else
// (not beside this program, not in the current folder, not along PATH), also
// when the plugin loads one itself later.
HMODULE LoadPlugin(const wchar_t* library)
{
    using SetDefaultDllDirectoriesProc = BOOL(WINAPI*)(DWORD);
    using AddDllDirectoryProc = void*(WINAPI*)(PCWSTR);
    const HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    const auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesProc>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "SetDefaultDllDirectories")));
    const auto addFolder =
        reinterpret_cast<AddDllDirectoryProc>(reinterpret_cast<void*>(GetProcAddress(kernel, "AddDllDirectory")));
    if (setDefault != nullptr && addFolder != nullptr &&
        setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS)) {
        static wchar_t folder[kPathCapacity];
        lstrcpynW(folder, library, kPathCapacity);
        for (int i = lstrlenW(folder); i > 0 && folder[i - 1] != L'\\' && folder[i - 1] != L'/'; --i)
            folder[i - 1] = L'\0';
        addFolder(folder);
        return LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
    // A system without those calls: the library's folder first, the current
    // folder not at all.
    SetDllDirectoryW(L"");
    return LoadLibraryExW(library, nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}

// Whether a fault was raised while the plugin was unloaded: the loader
// swallows a fault of the plugin's clean-up code and reports success.
volatile bool faultWhileUnloading = false;

LONG CALLBACK NoticeFault(EXCEPTION_POINTERS* pointers)
{
    // The system's error codes: access violations, illegal instructions,
    // divisions by zero, stack overflow and the like.
    if ((pointers->ExceptionRecord->ExceptionCode & 0xF0000000u) == 0xC0000000u)
        faultWhileUnloading = true;
    return EXCEPTION_CONTINUE_SEARCH;
}

// Unloads the plugin, running its clean-up code; false when that faulted.
bool Unload(UniqueModule& plugin)
{
    void* const watch = AddVectoredExceptionHandler(1, NoticeFault);
    plugin.Reset();
    if (watch != nullptr)
        RemoveVectoredExceptionHandler(watch);
    return !faultWhileUnloading;
}

// A fault that the plugin leaves unhandled ends this program at once, with
// the fault's code: no error report, no debugger, no answer.
LONG WINAPI EndOnFault(EXCEPTION_POINTERS* pointers)
{
    TerminateProcess(GetCurrentProcess(), pointers->ExceptionRecord->ExceptionCode);
    return EXCEPTION_EXECUTE_HANDLER;
}

} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int)
{
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX | SEM_NOOPENFILEERRORBOX);
    SetUnhandledExceptionFilter(EndOnFault);

    static TRequest request;
    if (!ParseCommandLine(GetCommandLineW(), request))
        return kNameHelperBadCommandLine;
    const UniqueHandle answer(request.answer);

    char buffer[kRootNameCapacity] = {};
    UniqueModule plugin(LoadPlugin(request.library));
    if (!plugin)
        return kNameHelperNotLoaded;
    const auto entryPoint = reinterpret_cast<FsGetDefRootNameProc>(
        reinterpret_cast<void*>(GetProcAddress(plugin.Get(), "FsGetDefRootName")));
    if (entryPoint == nullptr)
        return kNameHelperNoEntryPoint;
    entryPoint(buffer, kRootNameCapacity);
    // Unloaded before it answers: a fault in its clean-up code leaves no answer.
    if (!Unload(plugin))
        return kNameHelperFaultOnUnload;

    DWORD written = 0;
    if (!WriteFile(answer.Get(), buffer, sizeof(buffer), &written, nullptr) || written != sizeof(buffer))
        return kNameHelperNotWritten;
    return kNameHelperNamed;
}
