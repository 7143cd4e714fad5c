#pragma once
// What a folder holds, all the way down, walked once with one set of rules
// for everything that needs it: what a setup packs, what its uninstaller
// removes, and which names are refused.
//
// The tool takes every name through the ANSI entry points, in its own code
// page: UTF-8 where Windows honours the tool's declaration, else the system's
// code page, which lacks most scripts of the world. The walk lists with the
// wide entry points, which see every name, and finds the names that come out
// of the ANSI ones with "?" in place of such characters, or whose path is
// longer than those entry points reach: nothing built from them could work.
#include <string>
#include <vector>

// What names a folder whatever path leads to it: a link (a junction, a
// symbolic link) and its target give the same.
struct TFolderIdentity {
    unsigned long Volume = 0, IndexHigh = 0, IndexLow = 0;
    bool operator==(const TFolderIdentity&) const = default;
};

// False when `folder` cannot be opened.
bool FolderIdentityOf(const std::string& folder, TFolderIdentity& identity);

struct TFolderTree {
    // The files and subfolders as paths relative to the folder, a subfolder
    // ending with a backslash and followed by what it holds; each level in
    // the order the file system returns it. Hidden and system entries count;
    // "." and ".." do not. A link to a folder is followed, unless it leads
    // back to a folder on its way (a loop), and then left out; in a drive's
    // root the system's own folders ("$RECYCLE.BIN", "System Volume
    // Information") are left out. An entry out of reach is left out too.
    std::vector<std::string> Entries;
    // The newest last-write time of the files, as a count of 100-nanosecond
    // ticks since 1601 (a FILETIME's); 0 when there is none.
    unsigned long long NewestWrite = 0;
    // The first entry out of the tool's reach, in walk order, as this
    // program's code page gives it, and why; both empty when there is none.
    std::string Unreachable;
    std::string UnreachableReason;
};

// The tree below `folder` (with trailing backslash); empty when the folder is
// missing.
TFolderTree WalkFolderTree(const std::string& folder);

// WalkFolderTree's entries.
std::vector<std::string> ListFolderTree(const std::string& folder);

// Why this program cannot use `path` as the system gave it (with "?" in
// place of characters its code page lacks); empty when it can.
std::string LostCharactersReason(const std::string& path);
