#pragma once
// The folders the tests work in: those of the build tree, fresh temporary
// ones, and tool folders like the one users unpack.
#include <string>
#include <vector>

// Folders of the build tree, each with its trailing backslash. Every test
// program lies in a folder of its own, <build>\tests\<program>\, which is
// the tool folder of the main windows it creates.
std::string TestProgramFolder();
std::string BuildFolder();
std::string DistFolder();
// A plugin library the build makes for the tests: <build>\testplugins\<file>.
std::string TestPlugin(const std::string& file);
// The program the launcher's tests start, which records how it was started:
// <build>\tests\spawnprobe.exe.
std::string SpawnProbe();
// <build>\screenshots\, for the pictures a test run saves.
std::string PictureFolder();

// Gives this program a folder of its own under the system's temporary
// folder, emptied of what an earlier run left: the fresh folders of its tests
// go there, and a subfolder of it is the temporary folder of the program and
// of the programs it starts. Programs running at once then share no
// temporary files, and no started program changes a folder on the way to a
// test's folders: Wine's folder chooser compares a folder's time stamp as
// well as its name when it looks for a path, and fails to find a folder that
// changed since it listed it.
void UseTemporaryFolderOfItsOwn();

// A fresh, empty folder in this program's own folder (see above), deleted
// with its contents at the end of the test.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;
    // Path with trailing backslash.
    const std::string& Path() const { return path_; }
    // Writes a file (creating subfolders) relative to the folder; returns its path.
    std::string Write(const std::string& relative, const std::string& content = std::string()) const;
    // Creates a subfolder (and those above it); returns its path with trailing backslash.
    std::string MakeFolder(const std::string& relative) const;

private:
    std::string path_;
};

// A plugin folder as an author has it, "<name>\" in `parent` (`parent`
// itself when `name` is empty): the main files (copies of the test plugin
// libraries of their kind by their extension: .wfx, .wlx, .wfx64, .wlx64;
// any other a WFX plugin), a text file, language files in a subfolder that
// has one of its own, and an empty subfolder; its path.
std::string MakePluginFolder(const TempFolder& parent, const std::string& name,
                             const std::vector<std::string>& mainFiles);

// The compiler, the template, the name helpers and the language files of the
// dist folder (every one, or those named, as "English.nlf"), copied into
// `folder`, as a user's tool folder holds them.
void PlaceToolFiles(const std::string& folder, const std::vector<std::string>& languages = {});

// A tool folder in `subfolder` of a fresh temporary folder (or in the
// temporary folder itself).
class ToolFolder {
public:
    explicit ToolFolder(const std::string& subfolder = std::string());
    // With trailing backslash.
    const std::string& Path() const { return path_; }
    // Writes a file relative to the tool folder; returns its path.
    std::string Write(const std::string& relative, const std::string& content) const;

private:
    TempFolder root_;
    std::string path_;
};

// A symbolic link on the host's file system, which Wine shows as a link to a
// folder, as Windows shows a junction: `link` (a path, or a drive such as
// "R:", which then has `target` as its root) leads to `target`. Removed at the
// end of the test.
class HostLink {
public:
    HostLink(const std::string& link, const std::string& target);
    ~HostLink();
    HostLink(const HostLink&) = delete;
    HostLink& operator=(const HostLink&) = delete;

private:
    std::string hostLink_, reachedAs_;
};

// A folder that is a small file system of its own (a tmpfs of `kilobytes`
// mounted on the host, which takes root): a full disk on demand. Unmounted at
// the end of the test.
class SmallDrive {
public:
    explicit SmallDrive(unsigned kilobytes);
    ~SmallDrive();
    SmallDrive(const SmallDrive&) = delete;
    SmallDrive& operator=(const SmallDrive&) = delete;
    // With trailing backslash.
    const std::string& Path() const { return path_; }

private:
    TempFolder parent_;
    std::string path_, hostPath_;
    unsigned long long bytes_;
};

std::string ReadWholeFile(const std::string& path);
// Writes `content` as the whole file, replacing it; returns the path.
std::string WriteWholeFile(const std::string& path, const std::string& content);
// Copies a file, replacing `target`; a failure ends the test with both paths.
void CopyFileTo(const std::string& source, const std::string& target);
// The names matching `pattern` in the order the file system returns them,
// read with the system's own search: what the tool's listings must match.
std::vector<std::string> EntriesOf(const std::string& pattern);
// Every file and folder below `folder` (with trailing backslash), as relative
// paths, folders ending with a backslash, sorted.
std::vector<std::string> TreeOf(const std::string& folder);
// Removes a folder with everything in it; nothing happens when it is missing.
// A program the test started may hold the folder for a moment after it has
// ended (its console host, as its working folder): then it tries again.
void DeleteTree(const std::string& folder);
// Removes everything in `folder` (with trailing backslash) but `keep`.
void EmptyFolder(const std::string& folder, const std::string& keep);
