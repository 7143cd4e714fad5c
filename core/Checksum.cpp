#include "Checksum.h"

#include "UnitFiles.h"

#include "base/Errors.h"
#include "base/FilePieces.h"
#include "base/Handles.h"

#include <array>

namespace {

// The SHA-256 algorithm of the system's AES provider (Windows XP SP3 and
// later): a hash of sub-identifier 12, which the headers name only for
// builds aimed at those versions.
constexpr ALG_ID kSha256 = ALG_CLASS_HASH | ALG_TYPE_ANY | 12;

[[noreturn]] void Fail(const std::string& path)
{
    const DWORD error = GetLastError();
    throw EOSError(error, "The SHA-256 sum of \"" + path + "\" could not be computed: " + SystemErrorText(error));
}

} // namespace

std::string Sha256OfFile(const std::string& path)
{
    HCRYPTPROV provider = 0;
    if (!CryptAcquireContextA(&provider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
        Fail(path);
    const UniqueCryptProvider ownProvider(provider);
    HCRYPTHASH hash = 0;
    if (!CryptCreateHash(provider, kSha256, 0, 0, &hash))
        Fail(path);
    const UniqueCryptHash ownHash(hash);
    const UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                      FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file)
        Fail(path);
    const auto hashPiece = [&](const BYTE* bytes, DWORD count) { return CryptHashData(hash, bytes, count, 0) != 0; };
    if (!ReadInPieces(file.Get(), hashPiece))
        Fail(path);
    BYTE sum[32];
    DWORD size = sizeof(sum);
    if (!CryptGetHashParam(hash, HP_HASHVAL, sum, &size, 0) || size != sizeof(sum))
        Fail(path);
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (const BYTE byte : sum) {
        hex += digits[byte >> 4];
        hex += digits[byte & 15];
    }
    return hex;
}

TFileCrc Crc32OfFile(const std::string& path)
{
    static const std::array<std::uint32_t, 256> table = [] {
        std::array<std::uint32_t, 256> entries{};
        for (std::uint32_t i = 0; i < entries.size(); ++i) {
            std::uint32_t crc = i;
            for (int bit = 0; bit < 8; ++bit)
                crc = (crc & 1) ? 0xEDB88320u ^ (crc >> 1) : crc >> 1;
            entries[i] = crc;
        }
        return entries;
    }();
    const UniqueFile file = OpenFileToRead(path);
    TFileCrc sum;
    std::uint32_t crc = 0xFFFFFFFFu;
    const bool read = ReadInPieces(file.Get(), [&](const BYTE* bytes, DWORD count) {
        for (DWORD i = 0; i < count; ++i)
            crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
        sum.Size += count;
        return true;
    });
    if (!read) {
        const DWORD error = GetLastError();
        throw EOSError(error, "\"" + path + "\" could not be read: " + SystemErrorText(error));
    }
    sum.Crc = crc ^ 0xFFFFFFFFu;
    return sum;
}

std::string ChecksumLine(const std::string& sum, const std::string& fileName) { return sum + "  " + fileName + "\n"; }
