#pragma once
// Functions of system libraries that only some actions need (the shell's
// folder dialog and process start, the file-open dialog, COM, version
// resources), bound when first called instead of when the program starts:
// under Wine loading those libraries is a good part of the start-up.
#include <windows.h>

// The function `name` of the system library `library` ("shell32.dll"), which
// is loaded from the system folder when it is not loaded yet and then stays
// for the life of the process, as an imported library would. Throws EOSError
// when the library or the function cannot be found.
FARPROC LazyProcAddress(const char* library, const char* name);

// LazyProcAddress as a typed pointer: LazyFunction<decltype(&SHGetMalloc)>(...).
template <typename Function>
Function LazyFunction(const char* library, const char* name)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(LazyProcAddress(library, name)));
}
