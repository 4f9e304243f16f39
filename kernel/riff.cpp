// RIFF chunk I/O: every function works at the handle's current position and leaves it at a defined place.
#include "riff.h"
#include "kvresult.h"
#include <algorithm>
#include <cstdint>
#include <memory>
#include <new>

namespace {

constexpr DWORD COPY_BLOCK = 4096;

uint64_t Rounded(uint32_t size) { return static_cast<uint64_t>(size) + (size & 1u); }

bool Tell(HANDLE file, uint64_t* position) {
    LARGE_INTEGER zero{}, now{};
    if (!SetFilePointerEx(file, zero, &now, FILE_CURRENT)) return false;
    *position = static_cast<uint64_t>(now.QuadPart);
    return true;
}

bool SeekTo(HANDLE file, uint64_t position) {
    LARGE_INTEGER to{};
    to.QuadPart = static_cast<LONGLONG>(position);
    return SetFilePointerEx(file, to, nullptr, FILE_BEGIN) != FALSE;
}

bool SeekBy(HANDLE file, uint64_t forward) {
    LARGE_INTEGER by{};
    by.QuadPart = static_cast<LONGLONG>(forward);
    return SetFilePointerEx(file, by, nullptr, FILE_CURRENT) != FALSE;
}

bool Length(HANDLE file, uint64_t* length) {
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file, &size)) return false;
    *length = static_cast<uint64_t>(size.QuadPart);
    return true;
}

bool ReadExact(HANDLE file, void* buffer, uint32_t count) {
    if (count == 0) return true;
    DWORD got = 0;
    return ReadFile(file, buffer, count, &got, nullptr) && got == count;
}

bool WriteExact(HANDLE file, const void* buffer, uint32_t count) {
    if (count == 0) return true;
    DWORD put = 0;
    return WriteFile(file, buffer, count, &put, nullptr) && put == count;
}

bool ReadU32(HANDLE file, uint32_t* value) {
    unsigned char b[4];
    if (!ReadExact(file, b, 4)) return false;
    *value = static_cast<uint32_t>(b[0]) | static_cast<uint32_t>(b[1]) << 8 |
             static_cast<uint32_t>(b[2]) << 16 | static_cast<uint32_t>(b[3]) << 24;
    return true;
}

bool WriteU32(HANDLE file, uint32_t value) {
    const unsigned char b[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return WriteExact(file, b, 4);
}

bool WriteHeader(HANDLE file, uint32_t id, uint32_t size) { return WriteU32(file, id) && WriteU32(file, size); }

// Moves to the end of the current chunk, of which dataRead bytes of data have already been consumed.
// A walk must make progress and stay in the file, so a size negative as signed 32 bits, an end before
// the current position or an end beyond the file is damage. One missing byte at the very end is
// tolerated: writers often leave out the final pad byte.
HRESULT PassOver(HANDLE file, uint32_t size, uint32_t dataRead) {
    uint64_t now = 0, length = 0;
    if (static_cast<int32_t>(size) < 0 || !Tell(file, &now) || !Length(file, &length) || now < dataRead)
        return KV_E_READ;
    const uint64_t end = now - dataRead + Rounded(size);
    if (end < now || end > length + 1) return KV_E_READ;
    return SeekTo(file, std::min(end, length)) ? S_OK : KV_E_READ;
}

void StoreRemaining(int32_t* remaining, int64_t left) {
    if (remaining) *remaining = static_cast<int32_t>(std::clamp<int64_t>(left, INT32_MIN, INT32_MAX));
}

} // namespace

HRESULT riff_SaveLocation(HANDLE file, uint32_t* position) {
    uint64_t now = 0;
    if (!position || !Tell(file, &now)) return KV_E_READ;
    *position = static_cast<uint32_t>(now);
    return S_OK;
}

HRESULT riff_RestoreLocation(HANDLE file, uint32_t position) {
    return SeekTo(file, position) ? S_OK : KV_E_READ;
}

HRESULT riff_SeekDataStart(HANDLE file) { return riff_RestoreLocation(file, 12); }

uint32_t riff_SkipChunk(HANDLE file, uint32_t size) {
    const uint64_t rounded = Rounded(size);
    SeekBy(file, rounded);
    return static_cast<uint32_t>(std::min<uint64_t>(rounded, UINT32_MAX));
}

HRESULT riff_SetRIFFSize(HANDLE file, uint32_t size) {
    uint64_t previous = 0;
    if (!Tell(file, &previous)) return KV_E_WRITE;
    const bool written = SeekTo(file, 4) && WriteU32(file, size);
    return SeekTo(file, previous) && written ? S_OK : KV_E_WRITE;
}

HRESULT riff_UpdateRIFFSize(HANDLE file, int32_t delta) {
    uint64_t previous = 0;
    if (!Tell(file, &previous)) return KV_E_READ;
    HRESULT hr = S_OK;
    uint32_t size = 0;
    if (!SeekTo(file, 4) || !ReadU32(file, &size))
        hr = KV_E_READ;
    else if (!SeekTo(file, 4) || !WriteU32(file, size + static_cast<uint32_t>(delta)))
        hr = KV_E_WRITE;
    if (!SeekTo(file, previous) && SUCCEEDED(hr)) hr = KV_E_READ;
    return hr;
}

HRESULT riff_GetFileSize(HANDLE file, uint32_t* totalSize) {
    uint32_t bodySize = 0, formType = 0;
    if (!SeekTo(file, 0)) return KV_E_READ;
    HRESULT hr = riff_ReadFileID(file, &bodySize, &formType);
    if (FAILED(hr)) return hr;
    if (totalSize) *totalSize = bodySize + 4 + 8; // the form type, then the header itself
    return S_OK;
}

HRESULT riff_ValidateChunkHeader(HANDLE /*file*/, int32_t size) {
    if (size < 0) return KV_E_RIFF_NEG_LENGTH;
    if (size == 0) return KV_E_RIFF_ZERO_LENGTH;
    return S_OK;
}

HRESULT riff_WriteFileID(HANDLE file, uint32_t formType, uint32_t size) {
    return WriteHeader(file, RIFF_ID_RIFF, size) && WriteU32(file, formType) ? S_OK : KV_E_WRITE;
}

HRESULT riff_WriteListHeader(HANDLE file, uint32_t listType, uint32_t size) {
    return WriteHeader(file, RIFF_ID_LIST, size) && WriteU32(file, listType) ? S_OK : KV_E_WRITE;
}

HRESULT riff_WriteChunkHeader(HANDLE file, uint32_t id, uint32_t size) {
    return WriteHeader(file, id, size) ? S_OK : KV_E_WRITE;
}

HRESULT riff_WriteChunk(HANDLE file, uint32_t id, const void* data, uint32_t size, uint32_t* bytesWritten) {
    if (bytesWritten) *bytesWritten = 0;
    if (!data && size > 0) return KV_E_INVALIDARG;
    const unsigned char pad = 0;
    if (!WriteHeader(file, id, size) || !WriteExact(file, data, size) || ((size & 1) && !WriteExact(file, &pad, 1)))
        return KV_E_WRITE;
    if (bytesWritten) *bytesWritten = static_cast<uint32_t>(8 + Rounded(size));
    return S_OK;
}

HRESULT riff_WriteANSIString(HANDLE file, const wchar_t* text, uint32_t* bytesWritten) {
    if (bytesWritten) *bytesWritten = 0;
    if (!text) text = L"";
    // Sized by the real conversion, so a double-byte code page gets the whole text rather than a cut one.
    const int needed = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (needed <= 0) return KV_E_INVALIDARG;
    std::unique_ptr<char[]> bytes(new (std::nothrow) char[static_cast<size_t>(needed) + 1]);
    if (!bytes) return KV_E_OUTOFMEMORY;
    if (WideCharToMultiByte(CP_ACP, 0, text, -1, bytes.get(), needed, nullptr, nullptr) != needed)
        return KV_E_INVALIDARG;
    uint32_t count = static_cast<uint32_t>(needed);
    if (count & 1) bytes[count++] = 0;
    if (!WriteExact(file, bytes.get(), count)) return KV_E_WRITE;
    if (bytesWritten) *bytesWritten = count;
    return S_OK;
}

HRESULT riff_ReadChunkHeader(HANDLE file, uint32_t* id, uint32_t* size) {
    uint32_t chunkId = 0, chunkSize = 0;
    if (!ReadU32(file, &chunkId) || !ReadU32(file, &chunkSize)) return KV_E_READ;
    if (id) *id = chunkId;
    if (size) *size = chunkSize;
    return S_OK;
}

HRESULT riff_ReadListHeader(HANDLE file, uint32_t* listType, uint32_t* size) {
    uint32_t id = 0, listSize = 0, type = 0;
    HRESULT hr = riff_ReadChunkHeader(file, &id, &listSize);
    if (FAILED(hr)) return hr;
    if (id != RIFF_ID_LIST) return KV_E_RIFF_NOT_LIST;
    if (listSize < 4) return KV_E_READ; // too small to hold its own type: damage
    if (!ReadU32(file, &type)) return KV_E_READ;
    if (listType) *listType = type;
    if (size) *size = listSize - 4;
    return S_OK;
}

HRESULT riff_ReadFileID(HANDLE file, uint32_t* size, uint32_t* formType) {
    uint32_t id = 0, riffSize = 0, form = 0;
    if (FAILED(riff_ReadChunkHeader(file, &id, &riffSize)) || id != RIFF_ID_RIFF) return KV_E_RIFF_NOT_RIFF;
    if (!ReadU32(file, &form)) return KV_E_READ;
    if (size) *size = riffSize - 4;
    if (formType) *formType = form;
    return S_OK;
}

HRESULT riff_ReadData(HANDLE file, void* buffer, uint32_t count) {
    if (!buffer && count > 0) return KV_E_INVALIDARG;
    if (!ReadExact(file, buffer, count)) return KV_E_READ;
    if ((count & 1) && !SeekBy(file, 1)) return KV_E_READ;
    return S_OK;
}

HRESULT riff_ReadDataBounded(HANDLE file, void* buffer, uint32_t capacity, uint32_t chunkSize) {
    const uint32_t count = std::min(capacity, chunkSize);
    if (!buffer && count > 0) return KV_E_INVALIDARG;
    if (!ReadExact(file, buffer, count)) return KV_E_READ;
    // A chunk read whole ends at its end, pad byte included; a longer one leaves the position right
    // after the bytes read, inside the chunk, so the caller can read on.
    if (chunkSize <= capacity && (chunkSize & 1) && !SeekBy(file, 1)) return KV_E_READ;
    return S_OK;
}

HRESULT riff_ReadDataAlloc(HANDLE file, RIFF_DATABLOCK* block) {
    if (!block) return KV_E_INVALIDARG;
    block->memory = nullptr;
    block->data = nullptr;
    if (block->size == 0) return S_OK;
    // A damaged size must not make us allocate what the file cannot hold.
    uint64_t now = 0, length = 0;
    if (!Tell(file, &now) || !Length(file, &length) || now > length || block->size > length - now)
        return KV_E_READ;
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, block->size);
    if (!memory) return KV_E_OUTOFMEMORY;
    void* data = GlobalLock(memory);
    if (!data) {
        GlobalFree(memory);
        return KV_E_OUTOFMEMORY;
    }
    block->memory = memory;
    block->data = data;
    HRESULT hr = riff_ReadData(file, data, block->size);
    if (FAILED(hr)) riff_FreeDataBlock(block);
    return hr;
}

void riff_FreeDataBlock(RIFF_DATABLOCK* block) {
    if (!block || !block->memory) return;
    GlobalUnlock(block->memory);
    GlobalFree(block->memory);
    block->memory = nullptr;
    block->data = nullptr;
}

HRESULT riff_ReadANSIString(HANDLE file, wchar_t* buffer, uint32_t length, uint32_t* chunkSize) {
    if (!buffer || length == 0 || !chunkSize) return KV_E_INVALIDARG;
    const uint32_t size = *chunkSize;
    buffer[0] = 0;
    if (size == 0) return S_OK;
    const uint32_t count = std::min(size, length);
    std::unique_ptr<char[]> bytes(new (std::nothrow) char[count]);
    if (!bytes) return KV_E_OUTOFMEMORY;
    if (!ReadExact(file, bytes.get(), count)) return KV_E_READ;
    bytes[count - 1] = 0;
    if (MultiByteToWideChar(CP_ACP, 0, bytes.get(), static_cast<int>(count), buffer, static_cast<int>(length)) == 0)
        buffer[0] = 0;
    buffer[length - 1] = 0;
    HRESULT hr = PassOver(file, size, count);
    if (FAILED(hr)) return hr;
    *chunkSize = static_cast<uint32_t>(std::min<uint64_t>(Rounded(size), UINT32_MAX));
    return S_OK;
}

HRESULT riff_FindChunkHeader(HANDLE file, uint32_t id, uint32_t* size, int32_t* remaining) {
    int64_t left = remaining ? *remaining : 0;
    HRESULT hr = S_OK;
    for (;;) {
        if (remaining && left < 8) {
            hr = KV_E_NOT_FOUND;
            break;
        }
        uint32_t chunkId = 0, chunkSize = 0;
        hr = riff_ReadChunkHeader(file, &chunkId, &chunkSize);
        if (FAILED(hr)) break;
        left -= 8;
        if (chunkId == id) {
            if (size) *size = chunkSize;
            break;
        }
        hr = PassOver(file, chunkSize, 0);
        if (FAILED(hr)) break;
        left -= static_cast<int64_t>(Rounded(chunkSize));
    }
    StoreRemaining(remaining, left);
    return hr;
}

HRESULT riff_FindChunkHeaderInRIFF(HANDLE file, uint32_t id, uint32_t* size, int32_t* remaining) {
    StoreRemaining(remaining, 0);
    uint32_t bodySize = 0, formType = 0;
    if (!SeekTo(file, 0)) return KV_E_READ;
    HRESULT hr = riff_ReadFileID(file, &bodySize, &formType);
    if (FAILED(hr)) return hr;
    int32_t left = static_cast<int32_t>(bodySize);
    hr = riff_FindChunkHeader(file, id, size, &left);
    StoreRemaining(remaining, left);
    return hr;
}

HRESULT riff_FindListChunk(HANDLE file, uint32_t listType, uint32_t* size, int32_t* remaining) {
    for (;;) {
        uint32_t listSize = 0, type = 0;
        HRESULT hr = riff_FindChunkHeader(file, RIFF_ID_LIST, &listSize, remaining);
        if (FAILED(hr)) return hr;
        if (remaining && *remaining < 4) return KV_E_NOT_FOUND;
        if (!ReadU32(file, &type)) return KV_E_READ;
        if (remaining) *remaining -= 4;
        if (listSize < 4) return KV_E_READ; // too small to hold its own type: damage
        if (type == listType) {
            if (size) *size = listSize - 4;
            return S_OK;
        }
        hr = PassOver(file, listSize, 4);
        if (FAILED(hr)) return hr;
        if (remaining) StoreRemaining(remaining, *remaining - static_cast<int64_t>(Rounded(listSize) - 4));
    }
}

HRESULT riff_FindListChunkFromStart(HANDLE file, uint32_t listType, uint32_t* size) {
    uint32_t bodySize = 0, formType = 0;
    if (!SeekTo(file, 0)) return KV_E_READ;
    HRESULT hr = riff_ReadFileID(file, &bodySize, &formType);
    if (FAILED(hr)) return hr;
    int32_t left = static_cast<int32_t>(bodySize);
    return riff_FindListChunk(file, listType, size, &left);
}

HRESULT riff_GetNumListEntries(HANDLE file, uint32_t* count, int32_t* remaining) {
    if (count) *count = 0;
    uint64_t start = 0, length = 0;
    if (!Tell(file, &start) || !Length(file, &length)) return KV_E_READ;
    int64_t left = remaining ? *remaining : 0;
    uint32_t entries = 0;
    HRESULT hr = S_OK;
    for (;;) {
        uint64_t now = 0;
        if (remaining ? left < 8 : (!Tell(file, &now) || now >= length)) break; // unbounded: up to the end
        uint32_t chunkSize = 0;
        hr = riff_ReadChunkHeader(file, nullptr, &chunkSize);
        if (SUCCEEDED(hr)) hr = PassOver(file, chunkSize, 0);
        if (FAILED(hr)) break;
        left -= 8 + static_cast<int64_t>(Rounded(chunkSize));
        ++entries;
    }
    if (!SeekTo(file, start) && SUCCEEDED(hr)) hr = KV_E_READ;
    if (SUCCEEDED(hr) && count) *count = entries;
    return hr;
}

HRESULT riff_SeekListEntry(HANDLE file, uint32_t index, int32_t* remaining) {
    int64_t left = remaining ? *remaining : 0;
    HRESULT hr = S_OK;
    for (uint32_t passed = 0; passed < index; ++passed) {
        if (remaining && left < 8) {
            hr = KV_E_NOT_FOUND;
            break;
        }
        uint32_t chunkSize = 0;
        hr = riff_ReadChunkHeader(file, nullptr, &chunkSize);
        if (SUCCEEDED(hr)) hr = PassOver(file, chunkSize, 0);
        if (FAILED(hr)) break;
        left -= 8 + static_cast<int64_t>(Rounded(chunkSize));
    }
    if (index > 0) StoreRemaining(remaining, left);
    return hr;
}

HRESULT riff_DeleteChunk(HANDLE file, uint32_t id, uint32_t* bytesRemoved, bool isList) {
    if (bytesRemoved) *bytesRemoved = 0;
    uint32_t bodySize = 0, formType = 0, size = 0;
    if (!SeekTo(file, 0)) return KV_E_READ;
    HRESULT hr = riff_ReadFileID(file, &bodySize, &formType);
    if (FAILED(hr)) return hr;
    int32_t left = static_cast<int32_t>(bodySize);
    hr = isList ? riff_FindListChunk(file, id, &size, &left) : riff_FindChunkHeader(file, id, &size, &left);
    if (FAILED(hr)) return hr;

    // For a list, size counts the bytes after its type; the type is part of what goes.
    const uint64_t headerBytes = isList ? 12 : 8;
    uint64_t now = 0, length = 0;
    if (static_cast<int32_t>(size) < 0 || !Tell(file, &now) || !Length(file, &length) || now < headerBytes)
        return KV_E_READ;
    const uint64_t removed = headerBytes + Rounded(size);
    const uint64_t start = now - headerBytes;
    if (start + removed > length + 1) return KV_E_READ;

    std::unique_ptr<unsigned char[]> block(new (std::nothrow) unsigned char[COPY_BLOCK]);
    if (!block) return KV_E_OUTOFMEMORY;
    uint64_t readAt = std::min(start + removed, length), writeAt = start;
    for (;;) {
        DWORD got = 0;
        if (!SeekTo(file, readAt) || !ReadFile(file, block.get(), COPY_BLOCK, &got, nullptr)) return KV_E_READ;
        if (!SeekTo(file, writeAt) || !WriteExact(file, block.get(), got)) return KV_E_WRITE;
        readAt += got;
        writeAt += got;
        if (got < COPY_BLOCK) break;
    }
    if (!SeekTo(file, writeAt) || !SetEndOfFile(file)) return KV_E_WRITE;
    hr = riff_UpdateRIFFSize(file, static_cast<int32_t>(0u - static_cast<uint32_t>(removed)));
    if (FAILED(hr)) return hr;
    if (bytesRemoved) *bytesRemoved = static_cast<uint32_t>(removed);
    return S_OK;
}
