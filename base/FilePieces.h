#pragma once
// Reading a file piece by piece, so that a file of any size costs no more
// memory than one piece.
#include <windows.h>

#include <string>

// Hands the bytes of `file` from where it stands to its end to `take`
// (bool take(const BYTE* bytes, DWORD count)), 64 KB at a time. False when a
// read fails or `take` refuses a piece; GetLastError then says why.
template <typename Take>
bool ReadInPieces(HANDLE file, Take take)
{
    std::string buffer(1 << 16, '\0');
    for (DWORD read = 0;;) {
        if (!ReadFile(file, buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            return false;
        if (read == 0)
            return true;
        if (!take(reinterpret_cast<const BYTE*>(buffer.data()), read))
            return false;
    }
}
