#include "Folders.h"

#include "Programs.h"

#include "Polling.h"
#include "base/Errors.h"
#include "base/Handles.h"
#include "base/FolderTree.h"
#include "base/Paths.h"
#include "base/TextCodes.h"
#include "core/ToolFiles.h"

#include <windows.h>

#include <algorithm>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

namespace {

// Wine's folder chooser keeps each folder's last access time in the ids of
// the folders it lists, and looks a folder up by comparing ids: a folder that
// is read for the first time after a change gets a new access time, and the
// chooser then no longer finds it, nor anything below it. Reading each
// changed folder once, before any chooser opens, settles its access time.
void SettleAccessTime(const std::string& folder) { EntriesOf(folder + "*"); }

} // namespace

std::string TestProgramFolder() { return FolderOfPath(ModuleFileName()); }

std::string BuildFolder()
{
    const std::string tests = FolderOfPath(WithoutTrailingBackslash(TestProgramFolder()));
    return FolderOfPath(WithoutTrailingBackslash(tests));
}

std::string DistFolder() { return BuildFolder() + "dist\\"; }

std::string TestPlugin(const std::string& file) { return BuildFolder() + "testplugins\\" + file; }

std::string SpawnProbe() { return BuildFolder() + "tests\\spawnprobe.exe"; }

std::string PictureFolder()
{
    const std::string folder = BuildFolder() + "screenshots\\";
    CreateDirectoryA(folder.c_str(), nullptr);
    return folder;
}

namespace {

// Where the fresh folders of the tests go: this program's own folder under
// the system's temporary folder once UseTemporaryFolderOfItsOwn has run.
std::string freshFoldersRoot;

std::string FreshFoldersRoot()
{
    if (!freshFoldersRoot.empty())
        return freshFoldersRoot;
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    return base;
}

} // namespace

void UseTemporaryFolderOfItsOwn()
{
    char base[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, base);
    const std::string program = NameWithoutExtension(ModuleFileName().substr(TestProgramFolder().size()));
    const std::string folder = std::string(base) + program + "\\";
    // Kept from run to run, so that the shared temporary folder does not
    // change while the programs run; what an earlier run left in it goes.
    CreateDirectoryA(folder.c_str(), nullptr);
    EmptyFolder(folder, std::string());
    // The programs the tests start (the compiler stand-in makes and removes
    // a work folder for every run) use a subfolder, so that they never change
    // a folder on the way to the tests' own folders while a chooser is open.
    const std::string temporary = folder + "temp";
    CreateDirectoryA(temporary.c_str(), nullptr);
    SettleAccessTime(base);
    SettleAccessTime(folder);
    SetEnvironmentVariableA("TMP", temporary.c_str());
    SetEnvironmentVariableA("TEMP", temporary.c_str());
    freshFoldersRoot = folder;
}

TempFolder::TempFolder()
{
    static int counter = 0;
    const std::string base = FreshFoldersRoot();
    std::ostringstream name;
    name << base << "sctest_" << GetCurrentProcessId() << "_" << GetTickCount() << "_" << ++counter << "\\";
    path_ = name.str();
    CreateDirectoryA(path_.c_str(), nullptr);
    SettleAccessTime(base);
    SettleAccessTime(path_);
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
        const std::string parent = path;
        path += part + "\\";
        if (CreateDirectoryA(path.c_str(), nullptr)) {
            SettleAccessTime(parent);
            SettleAccessTime(path);
        }
    }
    return path;
}

std::string TempFolder::Write(const std::string& relative, const std::string& content) const
{
    const std::size_t slash = relative.find_last_of('\\');
    const std::string folder = slash == std::string::npos ? path_ : MakeFolder(relative.substr(0, slash));
    WriteWholeFile(path_ + relative, content);
    SettleAccessTime(folder);
    return path_ + relative;
}

std::string MakePluginFolder(const TempFolder& parent, const std::string& name,
                             const std::vector<std::string>& mainFiles)
{
    const std::string folder = parent.MakeFolder(name);
    const std::string inside = folder.substr(parent.Path().size());
    // Real plugin libraries of the main file's kind, so that whatever reads
    // them (the tool's checks, the compiler, a file manager) reads what a
    // real plugin holds.
    for (const std::string& mainFile : mainFiles) {
        std::string extension = mainFile.substr(mainFile.rfind('.') + 1);
        CharLowerA(extension.data());
        const std::string library = extension == "wlx"     ? "viewer.wlx"
                                    : extension == "wlx64" ? "viewer64.wlx64"
                                    : extension == "wfx64" ? "testfs64.wfx64"
                                                           : "testfs.wfx";
        CopyFileTo(TestPlugin(library), folder + mainFile);
    }
    parent.Write(inside + "readme.txt", "Read me\r\n");
    parent.Write(inside + "language\\de.lng", "[German]\r\n");
    parent.Write(inside + "language\\more\\fr.lng", "[French]\r\n");
    parent.MakeFolder(inside + "empty folder");
    return folder;
}

void PlaceToolFiles(const std::string& folder, const std::vector<std::string>& languages)
{
    const std::string dist = DistFolder();
    for (const char* name : {"makensis.exe", kTemplateFileName, kTemplateIncludeFileName, "PluginNameHelper.exe",
                             "PluginNameHelper64.exe"})
        CopyFileTo(dist + name, folder + name);
    CreateDirectoryA((folder + "languages").c_str(), nullptr);
    const std::vector<std::string> names = languages.empty() ? ListFolderEntries(dist + "languages\\*.nlf") : languages;
    if (names.empty())
        throw Exception("No language files in " + dist);
    for (const std::string& name : names)
        CopyFileTo(dist + "languages\\" + name, folder + "languages\\" + name);
    CreateDirectoryA((folder + kTranslationsFolderName).c_str(), nullptr);
    for (const std::string& name : ListFolderEntries(dist + kTranslationsFolderName + "*.nsh"))
        CopyFileTo(dist + kTranslationsFolderName + name, folder + kTranslationsFolderName + name);
}

ToolFolder::ToolFolder(const std::string& subfolder)
    : path_(subfolder.empty() ? root_.Path() : root_.MakeFolder(subfolder))
{
    PlaceToolFiles(path_);
}

std::string ToolFolder::Write(const std::string& relative, const std::string& content) const
{
    return root_.Write(path_.substr(root_.Path().size()) + relative, content);
}

namespace {

// The host's path of a path of this process.
std::string HostPathOf(const std::wstring& path)
{
    using Convert = char*(__cdecl*)(const wchar_t*);
    const auto convert = reinterpret_cast<Convert>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32"), "wine_get_unix_file_name")));
    char* host = convert != nullptr ? convert(path.c_str()) : nullptr;
    if (host == nullptr)
        return std::string();
    std::string result = host;
    HeapFree(GetProcessHeap(), 0, host);
    return result;
}

// Runs a host program; it gives no handle to wait for, so the caller polls
// for its effect.
void RunOnHost(const std::string& commandLine) { const StartedProgram program(commandLine); }

} // namespace

HostLink::HostLink(const std::string& link, const std::string& target)
{
    const bool drive = link.size() == 2 && link[1] == ':';
    hostLink_ = HostPathOf(ToWide(drive ? std::string("C:") : link, CP_ACP));
    while (!hostLink_.empty() && hostLink_.back() == '/')
        hostLink_.pop_back();
    // A drive is a link in the prefix's folder of drives, beside "c:".
    if (drive)
        hostLink_ = hostLink_.substr(0, hostLink_.rfind('/') + 1) + char(link[0] | 0x20) + ":";
    reachedAs_ = drive ? link + "\\" : link;
    RunOnHost("/bin/ln -sfn \"" + HostPathOf(ToWide(target, CP_ACP)) + "\" \"" + hostLink_ + "\"");
    EXPECT_TRUE(Eventually([&] { return FolderExistsAt(reachedAs_); })) << "no link " << link;
}

HostLink::~HostLink()
{
    RunOnHost("/bin/rm -f \"" + hostLink_ + "\"");
    EXPECT_TRUE(Eventually([&] { return GetFileAttributesA(reachedAs_.c_str()) == INVALID_FILE_ATTRIBUTES; }));
}

namespace {

unsigned long long TotalBytesOf(const std::string& folder)
{
    ULARGE_INTEGER total{};
    return GetDiskFreeSpaceExA(folder.c_str(), nullptr, &total, nullptr) ? total.QuadPart : 0;
}

} // namespace

SmallDrive::SmallDrive(unsigned kilobytes)
    : path_(parent_.MakeFolder("drive")), hostPath_(HostPathOf(ToWide(path_, CP_ACP))), bytes_(kilobytes * 1024ull)
{
    RunOnHost("/bin/mount -t tmpfs -o size=" + std::to_string(kilobytes) + "k tmpfs \"" + hostPath_ + "\"");
    EXPECT_TRUE(Eventually([&] { return TotalBytesOf(path_) == bytes_; })) << "no small drive at " << path_;
}

SmallDrive::~SmallDrive()
{
    RunOnHost("/bin/umount -l \"" + hostPath_ + "\"");
    EXPECT_TRUE(Eventually([&] { return TotalBytesOf(path_) != bytes_; })) << "still mounted: " << path_;
}

std::string ReadWholeFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string WriteWholeFile(const std::string& path, const std::string& content)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    return path;
}

void CopyFileTo(const std::string& source, const std::string& target)
{
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) {
        const DWORD error = GetLastError();
        throw EOSError(error, "Cannot copy " + source + " to " + target + ": " + SystemErrorText(error));
    }
}

std::vector<std::string> EntriesOf(const std::string& pattern)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry{};
    UniqueFind find(FindFirstFileA(pattern.c_str(), &entry));
    if (find) {
        do {
            names.emplace_back(entry.cFileName);
        } while (FindNextFileA(find.Get(), &entry));
    }
    return names;
}

std::vector<std::string> TreeOf(const std::string& folder)
{
    std::vector<std::string> tree = ListFolderTree(folder);
    std::sort(tree.begin(), tree.end());
    return tree;
}

void DeleteTree(const std::string& folder)
{
    Eventually(
        [&] {
            EmptyFolder(WithTrailingBackslash(folder), std::string());
            RemoveDirectoryA(folder.c_str());
            return !FolderExistsAt(folder);
        },
        5000);
}

void EmptyFolder(const std::string& folder, const std::string& keep)
{
    const std::vector<std::string> tree = TreeOf(folder);
    // Deepest first: a folder's entries sort after it.
    for (auto entry = tree.rbegin(); entry != tree.rend(); ++entry) {
        const std::string path = folder + *entry;
        if (path.back() == '\\') {
            RemoveDirectoryA(path.c_str());
        } else if (lstrcmpiA(entry->c_str(), keep.c_str()) != 0) {
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileA(path.c_str());
        }
    }
}
