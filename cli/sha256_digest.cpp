// SHA-256 of data blobs through the platform's hash provider, as lower-case hexadecimal text.
#include "sha256_digest.h"

namespace {

constexpr ULONG kDigestBytes = 32;

HRESULT FromStatus(NTSTATUS status) {
    return status >= 0 ? S_OK : static_cast<HRESULT>(static_cast<ULONG>(status) | 0x10000000); // HRESULT_FROM_NT
}

// Destroys a hash handle on every path out.
class HashHandle {
public:
    ~HashHandle() {
        if (handle) BCryptDestroyHash(handle);
    }
    BCRYPT_HASH_HANDLE handle = nullptr;
};

} // namespace

Sha256Digest::~Sha256Digest() {
    if (algorithm_) BCryptCloseAlgorithmProvider(algorithm_, 0);
}

HRESULT Sha256Digest::Open() {
    if (algorithm_) return S_OK;
    HRESULT hr = FromStatus(BCryptOpenAlgorithmProvider(&algorithm_, BCRYPT_SHA256_ALGORITHM, nullptr, 0));
    if (hr < 0) {
        algorithm_ = nullptr;
        return hr;
    }
    DWORD objectLength = 0;
    ULONG written = 0;
    hr = FromStatus(BCryptGetProperty(algorithm_, BCRYPT_OBJECT_LENGTH, reinterpret_cast<PUCHAR>(&objectLength),
                                      sizeof(objectLength), &written, 0));
    if (hr < 0) return hr;
    hashObject_.assign(objectLength ? objectLength : 1, 0);
    return S_OK;
}

HRESULT Sha256Digest::Hex(const uint8_t* data, uint32_t size, char (&hex)[65]) {
    hex[0] = 0;
    HRESULT hr = Open();
    if (hr < 0) return hr;
    HashHandle hash;
    hr = FromStatus(BCryptCreateHash(algorithm_, &hash.handle, hashObject_.data(),
                                     static_cast<ULONG>(hashObject_.size()), nullptr, 0, 0));
    if (hr < 0) return hr;
    if (size) {
        hr = FromStatus(BCryptHashData(hash.handle, const_cast<PUCHAR>(data), size, 0));
        if (hr < 0) return hr;
    }
    UCHAR digest[kDigestBytes];
    hr = FromStatus(BCryptFinishHash(hash.handle, digest, kDigestBytes, 0));
    if (hr < 0) return hr;
    static const char kHexDigits[] = "0123456789abcdef";
    for (ULONG i = 0; i < kDigestBytes; ++i) {
        hex[2 * i] = kHexDigits[digest[i] >> 4];
        hex[2 * i + 1] = kHexDigits[digest[i] & 0xF];
    }
    hex[64] = 0;
    return S_OK;
}
