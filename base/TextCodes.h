#pragma once
// Text between the 8-bit code pages (the system's, UTF-8) and UTF-16.
#include <windows.h>

#include <string>

// `text`, read in `codePage`, as UTF-16. Bytes that are no character there
// become the replacement character.
std::wstring ToWide(const std::string& text, UINT codePage);

// `text` written in `codePage`. Characters the code page lacks become its
// default character.
std::string FromWide(const std::wstring& text, UINT codePage);

// Whether `bytes` are valid UTF-8 (plain ASCII is).
bool IsUtf8(const std::string& bytes);
