#pragma once
// A Windows library file read as data, never loaded: whether it is one, for
// which processor, and the names it exports. Every offset the file gives is
// checked against the file before it is followed, so a file cut short or
// with a broken header is told apart from a library, and never read beyond.
#include <string>
#include <vector>

enum class TLibraryMachine { Unknown, X86, X64 };

enum class TLibraryKind {
    NotALibrary, // no Windows program file, or a program rather than a library
    Damaged,     // a Windows program file whose headers point outside it
    Library,
};

struct TLibraryImage {
    TLibraryKind Kind = TLibraryKind::NotALibrary;
    // By the header's machine field; Unknown for another processor.
    TLibraryMachine Machine = TLibraryMachine::Unknown;
    // The names of the exported functions, as the file lists them.
    std::vector<std::string> Exports;
    // It carries an icon among its resources.
    bool HasIcon = false;

    bool HasExport(const char* name) const;
};

// Reads the library at `path`; NotALibrary when it cannot be read at all.
TLibraryImage ReadLibraryImage(const std::string& path);
