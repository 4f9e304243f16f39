// tKVLIST: the library's ordered, growable array that holds every collection of the program.
#pragma once
#include <windows.h>
#include <cstdint>

constexpr uint32_t KVLIST_LOCKED       = 0x80000000u; // every operation runs inside the list's critical section
constexpr uint32_t KVLIST_ANY_THREAD   = 0x40000000u; // no owner-thread check; creation always adds it
constexpr uint32_t KVLIST_PRIVATE_HEAP = 0x10000000u; // with KVLIST_OWNS_ITEMS: item blocks come from a private heap
constexpr uint32_t KVLIST_IN_PLACE     = 0x00000008u; // header lives in caller storage
constexpr uint32_t KVLIST_FIXED_ITEMS  = 0x00000004u; // slots hold fixed-size records
constexpr uint32_t KVLIST_OWNS_ITEMS   = 0x00000002u; // slots hold blocks the list allocated and frees

constexpr uint32_t KVLIST_MAGIC = 0x4854534Cu; // "LSTH" in memory

// Header; callers read count and items directly. For pointer lists items[i] is the slot's pointer and itemSize
// is the size of a pointer; for KVLIST_FIXED_ITEMS lists the records start at items and are itemSize bytes apart.
// Owning lists without a private heap keep the process heap in heap (it is never destroyed with the list).
struct tKVLIST {
    int32_t count;
    uint32_t itemSize;
    void** items;
    CRITICAL_SECTION lock;
    uint32_t magic;
    uint32_t options;
    volatile LONG userData;
    uint32_t sortCriteria;
    uint32_t ownerThread;
    int32_t capacity;
    int32_t growBy;
    HANDLE heap;
    uint32_t heapAllocFlags;
    uint32_t heapFreeFlags;
    void* pendingItem;
};

// (sortCriteria, key or first item, second item): negative, zero or positive. An item argument is the slot's
// value for pointer lists and the record's address for fixed-size records.
typedef int (CALLBACK* KVLIST_COMPARE)(uint32_t criteria, const void* first, const void* second);

HRESULT KvList_CreateExZ(tKVLIST** list, uint32_t itemSize, int initialCapacity, int growBy, uint32_t options,
                         uint32_t reserved1 = 0, uint32_t reserved2 = 0, uint32_t reserved3 = 0);
HRESULT KvList_Destroy(tKVLIST* list);

HRESULT KvList_InsertList(tKVLIST* list, int index, const void* source, int n);
HRESULT KvList_DeleteList(tKVLIST* list, int start, int n, BOOL shrink);
HRESULT KvList_AllocAndInsertItem(tKVLIST* list, const void* data, uint32_t size, int index, int* insertedIndex);

HRESULT KvList_AllocItem(tKVLIST* list, uint32_t size, void** block);
HRESULT KvList_ReAllocItem(tKVLIST* list, int index, uint32_t size);
int KvList_AllocSize(tKVLIST* list, int index); // size of an owned item's block, -1 on failure

HRESULT KvList_GrowAllocated(tKVLIST* list, int n);
HRESULT KvList_ShrinkAllocated(tKVLIST* list, int n);
HRESULT KvList_ArrayForceItemCount(tKVLIST* list, int n, BOOL shrink);

HRESULT KvList_MoveRange(tKVLIST* list, int from, int to, int n);
HRESULT KvList_MoveItemsBetweenHeapLists(tKVLIST* destination, int index, tKVLIST* source, int start, int n);

int KvList_FindSpecificItemRange(tKVLIST* list, int start, int n, const void* value);
int KvList_FindItemRange(tKVLIST* list, int start, int n, const void* key, KVLIST_COMPARE compare);
int KvList_FindSortedItemRange(tKVLIST* list, const void* key, int start, int n, KVLIST_COMPARE compare);
int KvList_FindSortedInsertIndexRange(tKVLIST* list, const void* key, int start, int n, KVLIST_COMPARE compare);

HRESULT KvList_Sort(tKVLIST* list, uint32_t criteria, KVLIST_COMPARE compare);
HRESULT KvList_HeapSort(tKVLIST* list, uint32_t criteria, KVLIST_COMPARE compare);
HRESULT KvList_SortTo(tKVLIST* destination, tKVLIST* source, uint32_t criteria, KVLIST_COMPARE compare);

BOOL KvList_IsList(const void* pointer, size_t size);
BOOL KvList_IsListFast(const tKVLIST* list);
BOOL KvList_IsValidIndexSlow(tKVLIST* list, int index);
HRESULT KvList_ConvertToInPlace(tKVLIST** list, tKVLIST* storage);

LONG KvList_GetUserData(tKVLIST* list);
LONG KvList_SetUserData(tKVLIST* list, LONG value); // returns the previous value
uint32_t KvList_GetCreateOptions(tKVLIST* list);
uint32_t KvList_GetSortCriteria(tKVLIST* list);
DWORD KvList_GetThreadOwner(tKVLIST* list);
HRESULT KvList_SetThreadOwner(tKVLIST* list, DWORD thread); // 0 means the calling thread
int KvList_GetFileAndLine(tKVLIST* list, wchar_t* buffer, int size);

// Typed read of a pointer slot.
template <class T> inline T* KvList_Item(const tKVLIST* list, int index) { return static_cast<T*>(list->items[index]); }
