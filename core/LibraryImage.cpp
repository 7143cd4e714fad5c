#include "LibraryImage.h"

#include "base/Handles.h"

#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

namespace {

// A file read piece by piece, each piece checked against the file's size.
class TImageFile {
public:
    explicit TImageFile(const std::string& path)
        : file_(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr))
    {
        LARGE_INTEGER size{};
        if (file_ && GetFileSizeEx(file_.Get(), &size))
            size_ = static_cast<std::uint64_t>(size.QuadPart);
    }

    bool Opened() const { return file_.Valid(); }
    std::uint64_t Size() const { return size_; }

    // Reads `size` bytes at `offset`; false when they are not all in the file.
    bool Read(std::uint64_t offset, void* buffer, std::uint32_t size) const
    {
        if (offset > size_ || size > size_ - offset)
            return false;
        LARGE_INTEGER at{};
        at.QuadPart = static_cast<LONGLONG>(offset);
        DWORD read = 0;
        return SetFilePointerEx(file_.Get(), at, nullptr, FILE_BEGIN) &&
               ReadFile(file_.Get(), buffer, size, &read, nullptr) && read == size;
    }

    // The NUL-terminated name at `offset`, of at most `limit` characters;
    // false when it does not end within the file and the limit.
    bool ReadName(std::uint64_t offset, std::size_t limit, std::string& name) const
    {
        char buffer[512];
        const std::uint32_t want = static_cast<std::uint32_t>(
            std::min<std::uint64_t>({sizeof(buffer), limit + 1, offset < size_ ? size_ - offset : 0}));
        if (want == 0 || !Read(offset, buffer, want))
            return false;
        const void* end = std::memchr(buffer, '\0', want);
        if (end == nullptr)
            return false;
        name.assign(buffer, static_cast<std::size_t>(static_cast<const char*>(end) - buffer));
        return true;
    }

private:
    UniqueFile file_;
    std::uint64_t size_ = 0;
};

// Where a relative virtual address lies in the file, by the section that
// holds it; false when none does within its data in the file.
bool FileOffsetOf(const std::vector<IMAGE_SECTION_HEADER>& sections, std::uint32_t rva, std::uint64_t& offset)
{
    for (const IMAGE_SECTION_HEADER& section : sections) {
        const std::uint32_t start = section.VirtualAddress;
        const std::uint32_t size = section.SizeOfRawData;
        if (rva >= start && rva - start < size) {
            offset = static_cast<std::uint64_t>(section.PointerToRawData) + (rva - start);
            return true;
        }
    }
    return false;
}

// Reads the export names; false when the export directory points outside
// the file.
bool ReadExports(const TImageFile& file, const std::vector<IMAGE_SECTION_HEADER>& sections,
                 const IMAGE_DATA_DIRECTORY& directory, std::vector<std::string>& names)
{
    if (directory.VirtualAddress == 0 || directory.Size == 0)
        return true; // exports nothing
    std::uint64_t at = 0;
    IMAGE_EXPORT_DIRECTORY exports{};
    if (!FileOffsetOf(sections, directory.VirtualAddress, at) || !file.Read(at, &exports, sizeof(exports)))
        return false;
    // No library exports more names than its file has room for pointers to.
    if (exports.NumberOfNames > file.Size() / 4)
        return false;
    std::uint64_t table = 0;
    if (exports.NumberOfNames > 0 && !FileOffsetOf(sections, exports.AddressOfNames, table))
        return false;
    std::vector<std::uint32_t> nameAddresses(exports.NumberOfNames);
    if (!nameAddresses.empty() &&
        !file.Read(table, nameAddresses.data(), static_cast<std::uint32_t>(nameAddresses.size() * 4)))
        return false;
    for (const std::uint32_t address : nameAddresses) {
        std::uint64_t nameAt = 0;
        std::string name;
        if (!FileOffsetOf(sections, address, nameAt) || !file.ReadName(nameAt, 511, name))
            return false;
        names.push_back(std::move(name));
    }
    return true;
}

// Whether the resource directory lists icon groups, which the file manager's
// list of programs can show; false as well when it points outside the file.
bool HoldsIcons(const TImageFile& file, const std::vector<IMAGE_SECTION_HEADER>& sections,
                const IMAGE_DATA_DIRECTORY& directory)
{
    std::uint64_t at = 0;
    IMAGE_RESOURCE_DIRECTORY root{};
    if (directory.VirtualAddress == 0 || !FileOffsetOf(sections, directory.VirtualAddress, at) ||
        !file.Read(at, &root, sizeof(root)))
        return false;
    // The top level lists the resource types, those named by text first.
    const std::uint32_t count = std::uint32_t{root.NumberOfNamedEntries} + root.NumberOfIdEntries;
    std::vector<IMAGE_RESOURCE_DIRECTORY_ENTRY> types(count);
    if (count == 0 || !file.Read(at + sizeof(root), types.data(),
                                 static_cast<std::uint32_t>(count * sizeof(IMAGE_RESOURCE_DIRECTORY_ENTRY))))
        return false;
    return std::any_of(types.begin() + root.NumberOfNamedEntries, types.end(),
                       [](const IMAGE_RESOURCE_DIRECTORY_ENTRY& type) {
                           return !type.NameIsString && type.Id == reinterpret_cast<std::uintptr_t>(RT_GROUP_ICON);
                       });
}

TLibraryMachine MachineOf(WORD machine)
{
    switch (machine) {
    case IMAGE_FILE_MACHINE_I386: return TLibraryMachine::X86;
    case IMAGE_FILE_MACHINE_AMD64: return TLibraryMachine::X64;
    default: return TLibraryMachine::Unknown;
    }
}

} // namespace

bool TLibraryImage::HasExport(const char* name) const
{
    return std::find(Exports.begin(), Exports.end(), name) != Exports.end();
}

TLibraryImage ReadLibraryImage(const std::string& path)
{
    TLibraryImage image;
    const TImageFile file(path);
    char magic[2] = {};
    if (!file.Opened() || !file.Read(0, magic, 2) || std::memcmp(magic, "MZ", 2) != 0)
        return image;
    // From here on it starts as a Windows program file: what does not add up is damage.
    image.Kind = TLibraryKind::Damaged;
    IMAGE_DOS_HEADER dos{};
    std::uint32_t signature = 0;
    IMAGE_FILE_HEADER header{};
    if (!file.Read(0, &dos, sizeof(dos)) || dos.e_lfanew < 0 ||
        !file.Read(static_cast<std::uint32_t>(dos.e_lfanew), &signature, 4))
        return image;
    if (signature != IMAGE_NT_SIGNATURE) {
        image.Kind = TLibraryKind::NotALibrary; // a program for DOS
        return image;
    }
    const std::uint64_t headerAt = static_cast<std::uint32_t>(dos.e_lfanew) + 4u;
    if (!file.Read(headerAt, &header, sizeof(header)))
        return image;
    image.Machine = MachineOf(header.Machine);

    // The optional header: its magic tells 32 from 64 bits and where the data
    // directories start.
    const std::uint64_t optionalAt = headerAt + sizeof(header);
    WORD optionalMagic = 0;
    // The export directory is the first, the resource directory the third.
    IMAGE_DATA_DIRECTORY directories[3] = {};
    DWORD directoryCount = 0;
    std::size_t countOffset = 0, directoryOffset = 0;
    if (!file.Read(optionalAt, &optionalMagic, 2))
        return image;
    if (optionalMagic == IMAGE_NT_OPTIONAL_HDR32_MAGIC) {
        countOffset = offsetof(IMAGE_OPTIONAL_HEADER32, NumberOfRvaAndSizes);
        directoryOffset = offsetof(IMAGE_OPTIONAL_HEADER32, DataDirectory);
    } else if (optionalMagic == IMAGE_NT_OPTIONAL_HDR64_MAGIC) {
        countOffset = offsetof(IMAGE_OPTIONAL_HEADER64, NumberOfRvaAndSizes);
        directoryOffset = offsetof(IMAGE_OPTIONAL_HEADER64, DataDirectory);
    } else {
        return image;
    }
    if (header.SizeOfOptionalHeader < directoryOffset ||
        !file.Read(optionalAt + countOffset, &directoryCount, sizeof(directoryCount)))
        return image;
    const DWORD read = std::min<DWORD>(directoryCount, 3);
    if (read > 0 && (header.SizeOfOptionalHeader < directoryOffset + read * sizeof(IMAGE_DATA_DIRECTORY) ||
                     !file.Read(optionalAt + directoryOffset, directories, read * sizeof(IMAGE_DATA_DIRECTORY))))
        return image;

    // Every section's data lies within the file: one that does not was cut short.
    std::vector<IMAGE_SECTION_HEADER> sections(header.NumberOfSections);
    const std::uint64_t sectionsAt = optionalAt + header.SizeOfOptionalHeader;
    if (!sections.empty() && !file.Read(sectionsAt, sections.data(),
                                        static_cast<std::uint32_t>(sections.size() * sizeof(IMAGE_SECTION_HEADER))))
        return image;
    for (const IMAGE_SECTION_HEADER& section : sections)
        if (static_cast<std::uint64_t>(section.PointerToRawData) + section.SizeOfRawData > file.Size())
            return image;
    if (!ReadExports(file, sections, directories[0], image.Exports))
        return image;
    image.HasIcon = HoldsIcons(file, sections, directories[2]);

    image.Kind = (header.Characteristics & IMAGE_FILE_DLL) != 0 ? TLibraryKind::Library : TLibraryKind::NotALibrary;
    return image;
}
