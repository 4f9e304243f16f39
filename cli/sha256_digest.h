// SHA-256 of data blobs through the platform's hash provider, as lower-case hexadecimal text.
#pragma once
#include <windows.h>
#include <bcrypt.h>
#include <cstdint>
#include <vector>

// Opens the provider once; many blobs are hashed with it.
class Sha256Digest {
public:
    Sha256Digest() = default;
    ~Sha256Digest();
    Sha256Digest(const Sha256Digest&) = delete;
    Sha256Digest& operator=(const Sha256Digest&) = delete;

    HRESULT Open();
    // hex receives 64 digits and a terminator. data may be null when size is 0.
    HRESULT Hex(const uint8_t* data, uint32_t size, char (&hex)[65]);

private:
    BCRYPT_ALG_HANDLE algorithm_ = nullptr;
    std::vector<UCHAR> hashObject_; // working memory of one hash, reused
};
