#pragma once
// The SHA-256 sum of a setup, and the file beside it that `sha256sum -c`
// checks it with, so that whoever downloads it can tell it arrived whole.
#include <cstdint>
#include <string>

// The SHA-256 sum of the file at `path`, in lower-case hex. Throws EOSError
// when the file cannot be read or the system computes no such sum.
std::string Sha256OfFile(const std::string& path);

// A file's size in bytes and its CRC-32 (as zip files and Windows'
// RtlComputeCrc32 give it), by which the installer's list of files tells a
// file the user changed since it was installed.
struct TFileCrc {
    unsigned long long Size = 0;
    std::uint32_t Crc = 0;
};

// Of the file at `path`, read piece by piece. Throws EFOpenError (UnitFiles.h)
// when it cannot be opened, EOSError when a read fails.
TFileCrc Crc32OfFile(const std::string& path);

// The line of a checksum file for `fileName` (a name, without a folder), as
// `sha256sum` writes and reads it: the sum, two blanks, the name, a line feed.
std::string ChecksumLine(const std::string& sum, const std::string& fileName);
