#include "LazyLibrary.h"

#include "Errors.h"

#include <string>

FARPROC LazyProcAddress(const char* library, const char* name)
{
    HMODULE module = GetModuleHandleA(library);
    if (module == nullptr) {
        // From the system folder only, never from the working folder. Not
        // freed: the library serves the process until it ends.
        char folder[MAX_PATH] = {};
        const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
        if (length > 0 && length < MAX_PATH)
            module = LoadLibraryA((std::string(folder) + "\\" + library).c_str());
    }
    if (module == nullptr) {
        const DWORD error = GetLastError();
        throw EOSError(error, std::string("Cannot load the system library ") + library + ": " + SystemErrorText(error) +
                                  ".");
    }
    const FARPROC function = GetProcAddress(module, name);
    if (function == nullptr) {
        const DWORD error = GetLastError();
        throw EOSError(error, std::string("The system library ") + library + " lacks " + name + ": " +
                                  SystemErrorText(error) + ".");
    }
    return function;
}
