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

// Whether every byte is a 7-bit ASCII character, the same in every code page.
bool IsAscii(const std::string& bytes);

// The ANSI code page of the system, in which programs that declare no code
// page of their own (the compiler among them) read and write 8-bit text. It
// stays the same while this program runs with UTF-8 as its own code page.
UINT LegacyCodePage();

// Text of this program's own code page (UTF-8 where the system honours the
// program's declaration) as UTF-8, and UTF-8 text in this program's code page.
std::string Utf8FromAnsi(const std::string& text);
std::string AnsiFromUtf8(const std::string& text);

// Whether `bytes` without a byte order mark are UTF-16 text, and in which
// byte order: they hold NUL bytes, which no 8-bit text does, and are of an
// even length.
bool IsUtf16WithoutMark(const std::string& bytes, bool& bigEndian);

// The characters of a text file, as UTF-8. A byte order mark (UTF-8, UTF-16
// little or big endian) tells its encoding; without one, UTF-16 is told by its
// NUL bytes, text that is valid UTF-8 is taken as such and any other is read
// in the system's ANSI code page.
std::string Utf8OfTextFile(const std::string& bytes);

// The byte order mark of UTF-8.
inline constexpr char kUtf8Mark[] = "\xEF\xBB\xBF";
