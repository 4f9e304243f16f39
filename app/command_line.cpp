// Command line of the program: splitting, interpretation into arguments and "@" response files.
#include "command_line.h"
#include "app_context.h"
#include "kvlist.h"
#include "kvresult.h"
#include "kvhandles.h"
#include <cwctype>
#include <cwchar>
#include <string>

namespace {

struct SwitchRow {
    const wchar_t* name;
    uint32_t kind;
    uint32_t valueCount;
};

// Both switches are accepted and change nothing; the empty row ends the table.
const SwitchRow kSwitchTable[] = {
    {L"HELP", ARG_SWITCH, 0},
    {L"?", ARG_SWITCH, 0},
    {nullptr, 0, 0},
};

const SwitchRow* FindSwitch(const wchar_t* name, size_t length) {
    for (const SwitchRow* row = kSwitchTable; row->name; ++row) {
        if (wcslen(row->name) == length && CompareStringOrdinal(row->name, static_cast<int>(length), name,
                                                                static_cast<int>(length), TRUE) == CSTR_EQUAL)
            return row;
    }
    return nullptr;
}

AppArgumentAllocator g_allocator = LocalAlloc;

bool IsSpace(wchar_t c) { return c != 0 && iswspace(c); }

wchar_t* SkipSpace(wchar_t* p) {
    while (IsSpace(*p)) ++p;
    return p;
}

// Removes the character at p by moving the rest of the text, terminator included, one place left.
void RemoveChar(wchar_t* p) { memmove(p, p + 1, (wcslen(p + 1) + 1) * sizeof(wchar_t)); }

// Cuts one argument in place starting at p; returns where scanning goes on.
wchar_t* CutArgument(wchar_t* p) {
    bool quoted = false;
    for (;;) {
        while (*p && *p != L'"' && !IsSpace(*p)) ++p;
        if (!*p) return p;
        if (*p == L'"') {
            RemoveChar(p);
            if (!quoted) {
                quoted = true;
            } else if (*p == L'"') {
                ++p; // a doubled quote inside a quoted stretch stays as one literal quote
            } else {
                quoted = false;
            }
            continue;
        }
        if (quoted) {
            while (IsSpace(*p)) ++p;
            continue;
        }
        *p = 0;
        return p + 1;
    }
}

// The path against the current folder, or as it is when the system cannot say.
std::wstring FullPath(const wchar_t* path) {
    DWORD needed = GetFullPathNameW(path, 0, nullptr, nullptr);
    if (needed == 0) return path;
    std::wstring full(needed, L'\0');
    DWORD length = GetFullPathNameW(path, needed, full.data(), nullptr);
    if (length == 0 || length >= needed) return path;
    full.resize(length);
    return full;
}

void SetDocumentPath(DocumentRecord* document, const wchar_t* path) {
    if (!*path) return; // an empty argument names no package
    // Made absolute now: a file dialog may change the current folder before the package is saved, and the recent
    // files keep the path for the next start.
    std::wstring full = FullPath(path);
    size_t length = wcsnlen(full.c_str(), DOC_PATH_CHARS - 1);
    wmemcpy(document->path, full.c_str(), length);
    document->path[length] = 0;
    document->flags &= ~DOC_UNTITLED;
}

HRESULT ReadResponseFile(const wchar_t* path, DocumentRecord* document, int depth);

// Turns one argument (and possibly the next) into a record; returns how many arguments it consumed, or 0 on failure.
int InterpretOne(wchar_t** argv, int index, int end, CommandArgument* record) {
    wchar_t* arg = argv[index];
    *record = CommandArgument{};
    if (arg[0] == L'@') {
        record->kind = ARG_RESPONSE_FILE;
        record->valueCount = 1;
        if (arg[1]) {
            record->value = arg + 1;
            return 1;
        }
        if (index + 1 >= end || !argv[index + 1]) return 0;
        const wchar_t* next = argv[index + 1];
        if (next[0] == L'-' || next[0] == L'/') return 0;
        record->value = next;
        return 2;
    }
    if (arg[0] == L'-' || arg[0] == L'/') {
        const wchar_t* name = arg + 1;
        if (!*name) return 0;
        const wchar_t* colon = wcschr(name, L':');
        size_t nameLength = colon ? static_cast<size_t>(colon - name) : wcslen(name);
        const SwitchRow* row = FindSwitch(name, nameLength);
        if (!row) return 0;
        if (colon && row->valueCount == 0) return 0;
        record->kind = row->kind;
        record->valueCount = row->valueCount;
        record->value = colon ? colon + 1 : nullptr;
        return 1;
    }
    record->kind = ARG_PACKAGE_PATH;
    record->valueCount = 1;
    record->value = arg;
    return 1;
}

// Owns a list for the length of one interpretation.
struct ListOwner {
    tKVLIST* list = nullptr;
    ~ListOwner() { KvList_Destroy(list); }
};

HRESULT InterpretArguments(wchar_t** argv, int first, int count, DocumentRecord* document, int depth) {
    ListOwner records;
    HRESULT hr = KvList_CreateExZ(&records.list, sizeof(CommandArgument), count, -1, KVLIST_FIXED_ITEMS);
    if (hr < 0) return hr;

    for (int i = first; i < count && argv[i];) {
        CommandArgument record;
        int used = InterpretOne(argv, i, count, &record);
        if (used == 0) return KV_E_INVALIDARG;
        hr = KvList_InsertList(records.list, -1, &record, 1);
        if (hr < 0) return hr;
        i += used;
    }

    HRESULT result = 0;
    const auto* items = reinterpret_cast<const CommandArgument*>(records.list->items);
    for (int i = 0; i < records.list->count; ++i) {
        const CommandArgument& record = items[i];
        if (record.kind == ARG_RESPONSE_FILE) {
            result = ReadResponseFile(record.value, document, depth + 1);
            // A failed response file ends start-up; a later success must not hide it.
            if (result < 0) return result;
        } else if (record.kind == ARG_PACKAGE_PATH) {
            SetDocumentPath(document, record.value);
        }
    }
    return result;
}

HRESULT ReadResponseFile(const wchar_t* path, DocumentRecord* document, int depth) {
    if (!path || !*path) return KV_E_INVALIDARG;
    // Also stops a file that names itself, directly or through others.
    if (depth > APP_MAX_RESPONSE_DEPTH) return KV_E_INVALIDARG;

    KvFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL,
                                  nullptr));
    if (!file.valid()) return KV_E_FILE_OPEN;

    LARGE_INTEGER size{};
    if (!GetFileSizeEx(file.get(), &size)) size.QuadPart = 0;
    if (size.QuadPart > 0x7FFFFFF0) return KV_E_OUTOFMEMORY;
    DWORD bytes = static_cast<DWORD>(size.QuadPart);
    HLOCAL buffer = g_allocator(LPTR, bytes + 2 + 1); // two terminating bytes, one more for an odd size
    if (!buffer) return KV_E_OUTOFMEMORY;
    auto* text = static_cast<wchar_t*>(buffer);
    DWORD got = 0;
    if (!ReadFile(file.get(), text, bytes, &got, nullptr) || got != bytes) memset(text, 0, bytes);
    file.reset();

    const wchar_t* start = (text[0] == 0xFEFF) ? text + 1 : text; // editors write a byte-order mark
    wchar_t** argv = nullptr;
    int count = 0;
    HRESULT hr = AppSplitArguments(start, &argv, &count);
    LocalFree(buffer);
    if (hr != S_OK) return hr; // nothing in it, or no memory for its arguments
    hr = InterpretArguments(argv, 0, count, document, depth);
    LocalFree(argv);
    return hr;
}

} // namespace

AppArgumentAllocator AppSetArgumentAllocator(AppArgumentAllocator allocator) {
    AppArgumentAllocator previous = g_allocator;
    g_allocator = allocator ? allocator : LocalAlloc;
    return previous;
}

HRESULT AppSplitArguments(const wchar_t* text, wchar_t*** argv, int* count) {
    *argv = nullptr;
    *count = 0;
    if (!text) return 1;
    size_t length = wcslen(text);
    const wchar_t* first = text;
    while (IsSpace(*first)) ++first;
    if (!*first) return 1;

    size_t vectorBytes = (length + 1) * sizeof(wchar_t*);
    HLOCAL block = g_allocator(LPTR, vectorBytes + (length + 1) * sizeof(wchar_t));
    if (!block) return KV_E_OUTOFMEMORY;
    auto** vector = static_cast<wchar_t**>(block);
    auto* copy = reinterpret_cast<wchar_t*>(static_cast<char*>(block) + vectorBytes);
    wmemcpy(copy, text, length + 1);

    int n = 0;
    wchar_t* p = SkipSpace(copy);
    while (*p) {
        vector[n++] = p;
        p = SkipSpace(CutArgument(p));
    }
    vector[n] = nullptr;
    *argv = vector;
    *count = n;
    return S_OK;
}

HRESULT AppParseCommandLine(const wchar_t* text, BOOL skipFirst, DocumentRecord* document) {
    wchar_t** argv = nullptr;
    int count = 0;
    HRESULT hr = AppSplitArguments(text, &argv, &count);
    if (hr < 0) return hr;
    int first = skipFirst ? 1 : 0;
    if (!argv || count <= first) {
        if (argv) LocalFree(argv);
        return 1;
    }
    hr = InterpretArguments(argv, first, count, document, 0);
    LocalFree(argv);
    return hr;
}

HRESULT AppReadResponseFile(const wchar_t* path, DocumentRecord* document) {
    return ReadResponseFile(path, document, 1);
}
