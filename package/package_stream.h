// Buffered file access for packages: one system call per block rather than one per chunk header.
#pragma once
#include <windows.h>
#include <cstdint>
#include <memory>

// Reads from a file of known size. Nothing is ever read beyond its end: a read that the file cannot satisfy
// in full fails before touching the file or the target.
class PackageSource {
public:
    PackageSource(HANDLE file, uint64_t fileSize);

    uint64_t Position() const { return position_; }
    uint64_t Size() const { return size_; }
    uint64_t BytesLeft() const { return position_ < size_ ? size_ - position_ : 0; }
    void Seek(uint64_t position) { position_ = position; }

    HRESULT Read(void* target, uint64_t count); // KV_E_READ when fewer than count bytes are left
    HRESULT ReadU32(uint32_t* value);

private:
    HRESULT ReadAt(void* target, uint64_t offset, uint64_t count);

    HANDLE file_;                  // not owned
    uint64_t size_;                // the file's length when the read began
    uint64_t position_ = 0;        // offset of the next byte a Read returns
    uint64_t blockSize_;           // the window's capacity: no larger than the file
    std::unique_ptr<uint8_t[]> block_; // a window onto the file
    uint64_t blockStart_ = 0;      // file offset of block_[0]
    uint64_t blockLength_ = 0;     // valid bytes in block_
};

// Writes through a block buffer; values written earlier can be patched in place (list sizes).
class PackageSink {
public:
    explicit PackageSink(HANDLE file);

    uint64_t Position() const { return flushed_ + used_; }
    HRESULT Put(const void* data, uint64_t count);
    HRESULT PutU32(uint32_t value);
    HRESULT PutZeros(uint64_t count);
    HRESULT PatchU32(uint64_t offset, uint32_t value); // overwrites 4 bytes already put at offset
    HRESULT Flush();

private:
    HRESULT WriteAt(const void* data, uint64_t offset, uint64_t count);

    HANDLE file_;                  // not owned
    std::unique_ptr<uint8_t[]> block_;
    uint64_t used_ = 0;            // bytes in block_ not yet written
    uint64_t flushed_ = 0;         // bytes already in the file; block_ continues from there
};
