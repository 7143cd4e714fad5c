#include "PluginBuilds.h"

#include "PluginScan.h"

#include "base/Handles.h"

#include <windows.h>

#include <cstdint>
#include <cstring>

namespace {

// Reads `size` bytes at `offset`; false when the file is shorter.
bool ReadAt(HANDLE file, DWORD offset, void* buffer, DWORD size)
{
    DWORD read = 0;
    return SetFilePointer(file, static_cast<LONG>(offset), nullptr, FILE_BEGIN) != INVALID_SET_FILE_POINTER &&
           ReadFile(file, buffer, size, &read, nullptr) && read == size;
}

} // namespace

TLibraryMachine LibraryMachineOf(const std::string& path)
{
    const UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    IMAGE_DOS_HEADER dos{};
    if (!file || !ReadAt(file.Get(), 0, &dos, sizeof(dos)) || dos.e_magic != IMAGE_DOS_SIGNATURE || dos.e_lfanew < 0)
        return TLibraryMachine::Unknown;
    // The PE signature, then the file header, whose first field is the machine.
    unsigned char header[6] = {};
    if (!ReadAt(file.Get(), static_cast<DWORD>(dos.e_lfanew), header, sizeof(header)) ||
        std::memcmp(header, "PE\0\0", 4) != 0)
        return TLibraryMachine::Unknown;
    switch (header[4] | header[5] << 8) {
    case IMAGE_FILE_MACHINE_I386:
        return TLibraryMachine::X86;
    case IMAGE_FILE_MACHINE_AMD64:
        return TLibraryMachine::X64;
    default:
        return TLibraryMachine::Unknown;
    }
}

bool SystemRuns64BitPrograms()
{
    BOOL wow64 = FALSE;
    return IsWow64Process(GetCurrentProcess(), &wow64) && wow64;
}

bool Only64BitPlugins(const std::string& folder, const std::vector<std::string>& tree)
{
    bool any = false;
    for (const std::string& entry : tree) {
        // Subfolders end in a backslash, and what they hold has one.
        if (PluginTypeOf(entry) < 0 || entry.find('\\') != std::string::npos)
            continue;
        if (LibraryMachineOf(folder + entry) != TLibraryMachine::X64)
            return false;
        any = true;
    }
    return any;
}
