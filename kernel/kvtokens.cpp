// The process-wide token table behind "$(Name)" in formats: sorted by name without regard to case.
#include "kvlang_internal.h"
#include "kvlist.h"
#include <cwchar>

namespace {

// One allocation: this header, the name with its terminator, then the value (4-byte aligned) with its terminator.
struct TokenRecord {
    int valueLength;
    int valueOffset; // in bytes from the start of the record
    wchar_t name[1];
};

const wchar_t* ValueOf(const TokenRecord* record) {
    return reinterpret_cast<const wchar_t*>(reinterpret_cast<const BYTE*>(record) + record->valueOffset);
}

class TokenTable {
public:
    TokenTable() { InitializeCriticalSection(&lock_); }
    // The table lives as long as the process; its list is left to the end of the process.
    CRITICAL_SECTION lock_;
    tKVLIST* list_ = nullptr;
};

TokenTable& Table() {
    static TokenTable table;
    return table;
}

class TableLock {
public:
    TableLock() { EnterCriticalSection(&Table().lock_); }
    ~TableLock() { LeaveCriticalSection(&Table().lock_); }
    TableLock(const TableLock&) = delete;
    TableLock& operator=(const TableLock&) = delete;
};

// The key of a search is a name; the items are records.
int CALLBACK CompareTokens(uint32_t, const void* key, const void* item) {
    const wchar_t* name = static_cast<const wchar_t*>(key);
    return CompareStringOrdinal(name, -1, static_cast<const TokenRecord*>(item)->name, -1, TRUE) - CSTR_EQUAL;
}

int FindToken(tKVLIST* list, const wchar_t* name) {
    if (!list || list->count == 0) return -1;
    return KvList_FindSortedItemRange(list, name, 0, list->count, CompareTokens);
}

} // namespace

int KvPrintF_AddToken(const wchar_t* name, const wchar_t* value) {
    if (!name) name = L"";
    if (!value) value = L"";
    size_t nameLength = wcslen(name), valueLength = wcslen(value);

    TableLock hold;
    TokenTable& table = Table();
    if (!table.list_ && FAILED(KvList_CreateExZ(&table.list_, 0, -1, -1, KVLIST_ANY_THREAD | KVLIST_OWNS_ITEMS))) {
        table.list_ = nullptr;
        return 0;
    }
    int existing = FindToken(table.list_, name);
    if (existing >= 0) KvList_DeleteList(table.list_, existing, 1, FALSE);

    int index = KvList_FindSortedInsertIndexRange(table.list_, name, 0, table.list_->count, CompareTokens);
    size_t valueOffset = (offsetof(TokenRecord, name) + (nameLength + 1) * sizeof(wchar_t) + 3) & ~size_t(3);
    size_t bytes = valueOffset + (valueLength + 1) * sizeof(wchar_t);
    int inserted = -1;
    // index == count appends; the list reads any index outside the items as "append".
    if (FAILED(KvList_AllocAndInsertItem(table.list_, nullptr, static_cast<uint32_t>(bytes), index, &inserted)) ||
        inserted < 0) {
        return 0;
    }
    auto* record = KvList_Item<TokenRecord>(table.list_, inserted);
    record->valueLength = static_cast<int>(valueLength);
    record->valueOffset = static_cast<int>(valueOffset);
    wmemcpy(record->name, name, nameLength + 1);
    wmemcpy(const_cast<wchar_t*>(ValueOf(record)), value, valueLength + 1);
    return 1;
}

int KvPrintF_DeleteToken(const wchar_t* name) {
    if (!name) name = L"";
    TableLock hold;
    int index = FindToken(Table().list_, name);
    if (index < 0) return 0;
    return SUCCEEDED(KvList_DeleteList(Table().list_, index, 1, FALSE)) ? 1 : 0;
}

bool KvPrintF_AppendToken(const wchar_t* name, KvTextSink& sink) {
    if (!name) return false;
    TableLock hold;
    int index = FindToken(Table().list_, name);
    if (index < 0) return false;
    const auto* record = KvList_Item<TokenRecord>(Table().list_, index);
    sink.Put(ValueOf(record), static_cast<size_t>(record->valueLength));
    return true;
}
