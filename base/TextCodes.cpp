#include "TextCodes.h"

#include <algorithm>

namespace {

bool StartsWith(const std::string& bytes, const char* mark) { return bytes.rfind(mark, 0) == 0; }

// UTF-16 text from `start` on, in either byte order.
std::wstring Utf16Of(const std::string& bytes, std::size_t start, bool bigEndian)
{
    std::wstring wide((bytes.size() - start) / 2, L'\0');
    for (std::size_t i = 0; i < wide.size(); ++i) {
        const auto first = static_cast<unsigned char>(bytes[start + 2 * i]);
        const auto second = static_cast<unsigned char>(bytes[start + 1 + 2 * i]);
        wide[i] = static_cast<wchar_t>(bigEndian ? first << 8 | second : second << 8 | first);
    }
    return wide;
}

} // namespace

std::wstring ToWide(const std::string& text, UINT codePage)
{
    const int size = static_cast<int>(text.size());
    const int length = size == 0 ? 0 : MultiByteToWideChar(codePage, 0, text.data(), size, nullptr, 0);
    std::wstring wide(static_cast<std::size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0)
        MultiByteToWideChar(codePage, 0, text.data(), size, wide.data(), length);
    return wide;
}

std::string FromWide(const std::wstring& text, UINT codePage)
{
    const int size = static_cast<int>(text.size());
    const int length =
        size == 0 ? 0 : WideCharToMultiByte(codePage, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(length > 0 ? length : 0), '\0');
    if (length > 0)
        WideCharToMultiByte(codePage, 0, text.data(), size, narrow.data(), length, nullptr, nullptr);
    return narrow;
}

bool IsUtf8(const std::string& bytes)
{
    return bytes.empty() || MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(),
                                                static_cast<int>(bytes.size()), nullptr, 0) > 0;
}

bool IsAscii(const std::string& bytes)
{
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

UINT LegacyCodePage()
{
    const UINT own = GetACP();
    if (own != CP_UTF8)
        return own;
    // The code page the system's locale gives programs, whatever this one
    // declared; a locale without one (only Unicode) falls back to Windows'
    // Western code page.
    DWORD system = 0;
    if (GetLocaleInfoA(LOCALE_SYSTEM_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE | LOCALE_RETURN_NUMBER,
                       reinterpret_cast<LPSTR>(&system), sizeof(system) / sizeof(char)) == 0 ||
        system == 0 || !IsValidCodePage(system))
        system = 1252;
    return system;
}

std::string Utf8FromAnsi(const std::string& text)
{
    return GetACP() == CP_UTF8 || IsAscii(text) ? text : FromWide(ToWide(text, CP_ACP), CP_UTF8);
}

std::string AnsiFromUtf8(const std::string& text)
{
    return GetACP() == CP_UTF8 || IsAscii(text) ? text : FromWide(ToWide(text, CP_UTF8), CP_ACP);
}

std::string Utf8OfTextFile(const std::string& bytes)
{
    if (StartsWith(bytes, kUtf8Mark))
        return bytes.substr(3);
    if (StartsWith(bytes, "\xFF\xFE") || StartsWith(bytes, "\xFE\xFF"))
        return FromWide(Utf16Of(bytes, 2, bytes[0] == '\xFE'), CP_UTF8);
    bool bigEndian = false;
    if (IsUtf16WithoutMark(bytes, bigEndian))
        return FromWide(Utf16Of(bytes, 0, bigEndian), CP_UTF8);
    return IsUtf8(bytes) ? bytes : FromWide(ToWide(bytes, LegacyCodePage()), CP_UTF8);
}

bool IsUtf16WithoutMark(const std::string& bytes, bool& bigEndian)
{
    // Text in an 8-bit code page holds no NUL; UTF-16 holds one in every
    // character of the Latin alphabets, in its high byte.
    if (bytes.size() < 2 || bytes.size() % 2 != 0 || bytes.find('\0') == std::string::npos)
        return false;
    std::size_t evenNuls = 0, oddNuls = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i)
        if (bytes[i] == '\0')
            ++(i % 2 == 0 ? evenNuls : oddNuls);
    bigEndian = evenNuls > oddNuls;
    return true;
}
