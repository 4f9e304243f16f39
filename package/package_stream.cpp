// Buffered, bounds-checked reading and patchable buffered writing of package files.
#include "package_stream.h"
#include <algorithm>
#include <cstring>
#include <new>
#include "kvresult.h"
#include "package_save.h"

namespace {

constexpr uint64_t kBlockSize = 1024 * 1024;
constexpr uint64_t kLargestCall = 1u << 30; // ReadFile and WriteFile take 32-bit counts

OVERLAPPED At(uint64_t offset) {
    OVERLAPPED where = {};
    where.Offset = static_cast<DWORD>(offset);
    where.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return where;
}

} // namespace

PackageSource::PackageSource(HANDLE file, uint64_t fileSize)
    : file_(file), size_(fileSize), blockSize_(std::max<uint64_t>(1, std::min(fileSize, kBlockSize))),
      block_(new (std::nothrow) uint8_t[blockSize_]) {}

HRESULT PackageSource::ReadAt(void* target, uint64_t offset, uint64_t count) {
    auto* out = static_cast<uint8_t*>(target);
    while (count > 0) {
        DWORD want = static_cast<DWORD>(std::min(count, kLargestCall));
        DWORD got = 0;
        OVERLAPPED where = At(offset);
        if (!ReadFile(file_, out, want, &got, &where) || got != want) return KV_E_READ;
        out += got;
        offset += got;
        count -= got;
    }
    return S_OK;
}

HRESULT PackageSource::Read(void* target, uint64_t count) {
    if (count > BytesLeft()) return KV_E_READ;
    if (!block_) return KV_E_OUTOFMEMORY;
    auto* out = static_cast<uint8_t*>(target);
    while (count > 0) {
        if (position_ >= blockStart_ && position_ < blockStart_ + blockLength_) {
            uint64_t offset = position_ - blockStart_;
            uint64_t n = std::min(count, blockLength_ - offset);
            memcpy(out, block_.get() + offset, static_cast<size_t>(n));
            out += n;
            position_ += n;
            count -= n;
            continue;
        }
        if (count >= blockSize_) { // a large block goes straight to its target, not through the window
            HRESULT hr = ReadAt(out, position_, count);
            if (hr < 0) return hr;
            position_ += count;
            return S_OK;
        }
        uint64_t n = std::min(blockSize_, size_ - position_);
        blockLength_ = 0;
        HRESULT hr = ReadAt(block_.get(), position_, n);
        if (hr < 0) return hr;
        blockStart_ = position_;
        blockLength_ = n;
    }
    return S_OK;
}

HRESULT PackageSource::ReadU32(uint32_t* value) {
    uint8_t bytes[4];
    HRESULT hr = Read(bytes, 4);
    if (hr < 0) return hr;
    *value = static_cast<uint32_t>(bytes[0]) | static_cast<uint32_t>(bytes[1]) << 8 |
             static_cast<uint32_t>(bytes[2]) << 16 | static_cast<uint32_t>(bytes[3]) << 24;
    return S_OK;
}

PackageSink::PackageSink(HANDLE file) : file_(file), block_(new (std::nothrow) uint8_t[kBlockSize]) {}

HRESULT PackageSink::WriteAt(const void* data, uint64_t offset, uint64_t count) {
    const auto* in = static_cast<const uint8_t*>(data);
    while (count > 0) {
        if (CheckPackageSaveFault(SAVE_STEP_WRITE) < 0) return KV_E_WRITE;
        DWORD want = static_cast<DWORD>(std::min(count, kLargestCall));
        DWORD done = 0;
        OVERLAPPED where = At(offset);
        if (!WriteFile(file_, in, want, &done, &where) || done != want) return KV_E_WRITE;
        in += done;
        offset += done;
        count -= done;
    }
    return S_OK;
}

HRESULT PackageSink::Flush() {
    if (used_ == 0) return S_OK;
    HRESULT hr = WriteAt(block_.get(), flushed_, used_);
    if (hr < 0) return hr;
    flushed_ += used_;
    used_ = 0;
    return S_OK;
}

HRESULT PackageSink::Put(const void* data, uint64_t count) {
    if (!block_) return KV_E_OUTOFMEMORY;
    const auto* in = static_cast<const uint8_t*>(data);
    if (count > kBlockSize - used_) {
        HRESULT hr = Flush();
        if (hr < 0) return hr;
        if (count >= kBlockSize) { // large data goes straight to the file
            hr = WriteAt(in, flushed_, count);
            if (hr < 0) return hr;
            flushed_ += count;
            return S_OK;
        }
    }
    memcpy(block_.get() + used_, in, static_cast<size_t>(count));
    used_ += count;
    return S_OK;
}

HRESULT PackageSink::PutU32(uint32_t value) {
    uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                        static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    return Put(bytes, 4);
}

HRESULT PackageSink::PutZeros(uint64_t count) {
    static const uint8_t zeros[16] = {};
    while (count > 0) {
        uint64_t n = std::min<uint64_t>(count, sizeof zeros);
        HRESULT hr = Put(zeros, n);
        if (hr < 0) return hr;
        count -= n;
    }
    return S_OK;
}

HRESULT PackageSink::PatchU32(uint64_t offset, uint32_t value) {
    uint8_t bytes[4] = {static_cast<uint8_t>(value), static_cast<uint8_t>(value >> 8),
                        static_cast<uint8_t>(value >> 16), static_cast<uint8_t>(value >> 24)};
    if (offset + 4 > Position()) return KV_E_INVALIDARG;
    // The four bytes may lie in the file, in the buffer, or straddle the two.
    uint64_t inFile = offset < flushed_ ? std::min<uint64_t>(4, flushed_ - offset) : 0;
    if (inFile > 0) {
        HRESULT hr = WriteAt(bytes, offset, inFile);
        if (hr < 0) return hr;
    }
    for (uint64_t i = inFile; i < 4; ++i) block_[offset + i - flushed_] = bytes[i];
    return S_OK;
}
