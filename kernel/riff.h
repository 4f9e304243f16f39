// RIFF chunk I/O over an open Win32 file handle: headers, walking, size patching, data reads, deletion.
#pragma once
#include <windows.h>
#include <cstdint>

// A chunk identifier: the four characters in file order are the value's little-endian bytes.
constexpr uint32_t RIFF_ID(char a, char b, char c, char d) {
    return static_cast<uint32_t>(static_cast<unsigned char>(a)) |
           static_cast<uint32_t>(static_cast<unsigned char>(b)) << 8 |
           static_cast<uint32_t>(static_cast<unsigned char>(c)) << 16 |
           static_cast<uint32_t>(static_cast<unsigned char>(d)) << 24;
}

constexpr uint32_t RIFF_ID_RIFF = RIFF_ID('R', 'I', 'F', 'F');
constexpr uint32_t RIFF_ID_LIST = RIFF_ID('L', 'I', 'S', 'T');

// Chunk data read by riff_ReadDataAlloc. Set size before the call; afterwards memory is a movable
// global block (null for size 0) and data its locked address. Release with riff_FreeDataBlock.
struct RIFF_DATABLOCK {
    uint32_t size;
    HGLOBAL memory;
    void* data;
};

// Positions are the low 32 bits of the file pointer. Remaining counts (int32_t*) are optional:
// walking functions lower them by every byte read or passed over and stop at them; null means unbounded.

HRESULT riff_SaveLocation(HANDLE file, uint32_t* position);
HRESULT riff_RestoreLocation(HANDLE file, uint32_t position);
HRESULT riff_SeekDataStart(HANDLE file);
uint32_t riff_SkipChunk(HANDLE file, uint32_t size); // returns the bytes moved: size rounded up to even
HRESULT riff_SetRIFFSize(HANDLE file, uint32_t size);
HRESULT riff_UpdateRIFFSize(HANDLE file, int32_t delta);
HRESULT riff_GetFileSize(HANDLE file, uint32_t* totalSize);
HRESULT riff_ValidateChunkHeader(HANDLE file, int32_t size);

HRESULT riff_WriteFileID(HANDLE file, uint32_t formType, uint32_t size);
HRESULT riff_WriteListHeader(HANDLE file, uint32_t listType, uint32_t size);
HRESULT riff_WriteChunkHeader(HANDLE file, uint32_t id, uint32_t size);
HRESULT riff_WriteChunk(HANDLE file, uint32_t id, const void* data, uint32_t size, uint32_t* bytesWritten);
HRESULT riff_WriteANSIString(HANDLE file, const wchar_t* text, uint32_t* bytesWritten);

HRESULT riff_ReadChunkHeader(HANDLE file, uint32_t* id, uint32_t* size);
HRESULT riff_ReadListHeader(HANDLE file, uint32_t* listType, uint32_t* size);
HRESULT riff_ReadFileID(HANDLE file, uint32_t* size, uint32_t* formType);

HRESULT riff_ReadData(HANDLE file, void* buffer, uint32_t count);
HRESULT riff_ReadDataBounded(HANDLE file, void* buffer, uint32_t capacity, uint32_t chunkSize);
HRESULT riff_ReadDataAlloc(HANDLE file, RIFF_DATABLOCK* block);
void riff_FreeDataBlock(RIFF_DATABLOCK* block);
// chunkSize: in, the chunk's data size; out, the bytes moved over (rounded up to even).
HRESULT riff_ReadANSIString(HANDLE file, wchar_t* buffer, uint32_t length, uint32_t* chunkSize);

HRESULT riff_FindChunkHeader(HANDLE file, uint32_t id, uint32_t* size, int32_t* remaining);
HRESULT riff_FindChunkHeaderInRIFF(HANDLE file, uint32_t id, uint32_t* size, int32_t* remaining);
HRESULT riff_FindListChunk(HANDLE file, uint32_t listType, uint32_t* size, int32_t* remaining);
HRESULT riff_FindListChunkFromStart(HANDLE file, uint32_t listType, uint32_t* size);
// Counting returns to where it started, so the remaining count is only read, never lowered.
HRESULT riff_GetNumListEntries(HANDLE file, uint32_t* count, int32_t* remaining);
HRESULT riff_SeekListEntry(HANDLE file, uint32_t index, int32_t* remaining);
HRESULT riff_DeleteChunk(HANDLE file, uint32_t id, uint32_t* bytesRemoved, bool isList);
