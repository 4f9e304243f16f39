// The built-in error message table and the context table of the error handler.
#include "kverror_tables.h"
#include "resource.h"

namespace {

// Registry and file statuses appear here in their HRESULT form; positive statuses are looked up as that form.
const tKVERRORPAIR kBuiltInErrors[] = {
    {static_cast<HRESULT>(0x80004005), IDS_KV_ERR_UNKNOWN},          // general failure
    {static_cast<HRESULT>(0x8000FFFF), IDS_KV_ERR_UNKNOWN},          // unexpected failure
    {static_cast<HRESULT>(0x80070057), IDS_KV_ERR_INVALID_ARGUMENT},
    {static_cast<HRESULT>(0x80004003), IDS_KV_ERR_INVALID_ARGUMENT}, // invalid pointer
    {static_cast<HRESULT>(0x80070006), IDS_KV_ERR_INVALID_ARGUMENT}, // invalid handle
    {static_cast<HRESULT>(0x8007007B), IDS_KV_ERR_INVALID_ARGUMENT}, // invalid name
    {static_cast<HRESULT>(0x800700A1), IDS_KV_ERR_INVALID_ARGUMENT}, // bad path name
    {static_cast<HRESULT>(0x8007000E), IDS_KV_ERR_OUT_OF_MEMORY},
    {static_cast<HRESULT>(0x80070008), IDS_KV_ERR_OUT_OF_MEMORY},    // not enough memory
    {static_cast<HRESULT>(0x80070005), IDS_KV_ERR_ACCESS_DENIED},
    {static_cast<HRESULT>(0x80070013), IDS_KV_ERR_ACCESS_DENIED},    // write protected
    {static_cast<HRESULT>(0x80070002), IDS_KV_ERR_NOT_FOUND},        // file or value not found
    {static_cast<HRESULT>(0x80070003), IDS_KV_ERR_NOT_FOUND},        // path not found
    {static_cast<HRESULT>(0x80070103), IDS_KV_ERR_NOT_FOUND},        // no more items
    {static_cast<HRESULT>(0x8007000D), IDS_KV_ERR_INVALID_DATA},
    {static_cast<HRESULT>(0x800700EA), IDS_KV_ERR_BUFFER_TOO_SMALL}, // more data
    {static_cast<HRESULT>(0x80070020), IDS_KV_ERR_IN_USE},           // sharing violation
    {static_cast<HRESULT>(0x80070021), IDS_KV_ERR_IN_USE},           // lock violation
    {static_cast<HRESULT>(0x80070027), IDS_KV_ERR_WRITE},            // disk full while writing
    {static_cast<HRESULT>(0x80070070), IDS_KV_ERR_WRITE},            // disk full
    {static_cast<HRESULT>(0x80070050), IDS_KV_ERR_FILE_EXISTS},
    {static_cast<HRESULT>(0x800700B7), IDS_KV_ERR_FILE_EXISTS},      // already exists
    {static_cast<HRESULT>(0x800703F1), IDS_KV_ERR_REGISTRY},         // bad registry database
    {static_cast<HRESULT>(0x800703F2), IDS_KV_ERR_REGISTRY},         // bad key
    {static_cast<HRESULT>(0x800703F3), IDS_KV_ERR_REGISTRY},         // key cannot be opened
    {static_cast<HRESULT>(0x800703F4), IDS_KV_ERR_REGISTRY},         // key cannot be read
    {static_cast<HRESULT>(0x800703F5), IDS_KV_ERR_REGISTRY},         // key cannot be written
    {static_cast<HRESULT>(0x800703F7), IDS_KV_ERR_REGISTRY},         // registry corrupt
    {static_cast<HRESULT>(0x800703F8), IDS_KV_ERR_REGISTRY},         // registry I/O failed
    {static_cast<HRESULT>(0x800703FA), IDS_KV_ERR_KEY_DELETED},
    {static_cast<HRESULT>(0x80070483), IDS_KV_ERR_NO_ASSOCIATION},   // no program opens this kind of file
    {static_cast<HRESULT>(0x8004E006), IDS_KV_ERR_FILE_CREATE},
    {static_cast<HRESULT>(0x8004E007), IDS_KV_ERR_FILE_OPEN},
    {static_cast<HRESULT>(0x8004E008), IDS_KV_ERR_READ},
    {static_cast<HRESULT>(0x8004E009), IDS_KV_ERR_WRITE},
    {static_cast<HRESULT>(0x8004E00A), IDS_KV_ERR_NOT_FOUND},
    {static_cast<HRESULT>(0x8004E00B), IDS_KV_ERR_UNSUPPORTED},
    {static_cast<HRESULT>(0x8004E00C), IDS_KV_ERR_CANCELLED},
    {static_cast<HRESULT>(0x8004E00F), IDS_KV_ERR_WINDOW_CREATE},
    {static_cast<HRESULT>(0x8004E032), IDS_KV_ERR_FILE_EXISTS},
    {static_cast<HRESULT>(0x8004E03C), IDS_KV_ERR_BUFFER_TOO_SMALL}, // buffer too small
    {static_cast<HRESULT>(0x8004E080), IDS_KV_ERR_RIFF_NOT_RIFF},
    {static_cast<HRESULT>(0x8004E081), IDS_KV_ERR_RIFF_NOT_LIST},
    {static_cast<HRESULT>(0x8004E082), IDS_KV_ERR_RIFF_ZERO_LENGTH},
    {static_cast<HRESULT>(0x8004E083), IDS_KV_ERR_NEWER_VERSION},
};

struct ContextPair {
    UINT_PTR context;
    UINT message;
};

// The contexts this program reports; any other number reads as context 0.
const ContextPair kContexts[] = {
    {0x00, IDS_KV_CTX_GENERAL},
    {0x1A, IDS_KV_CTX_STARTUP},
};

} // namespace

const tKVERRORPAIR* KvErrorHandler_BuiltInTable(int* count) {
    *count = static_cast<int>(sizeof(kBuiltInErrors) / sizeof(kBuiltInErrors[0]));
    return kBuiltInErrors;
}

UINT KvErrorHandler_ContextStringId(UINT_PTR context) {
    for (const ContextPair& pair : kContexts)
        if (pair.context == context) return pair.message;
    return IDS_KV_CTX_GENERAL;
}
