#include "Checksum.h"

#include "base/Errors.h"
#include "base/Handles.h"

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
    std::string buffer(1 << 16, '\0');
    for (DWORD read = 0;;) {
        if (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
            Fail(path);
        if (read == 0)
            break;
        if (!CryptHashData(hash, reinterpret_cast<const BYTE*>(buffer.data()), read, 0))
            Fail(path);
    }
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

std::string ChecksumLine(const std::string& sum, const std::string& fileName) { return sum + "  " + fileName + "\n"; }
