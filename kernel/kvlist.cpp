// The ordered, growable list container: equal-sized slots in one contiguous block of the process heap.
#include "kvlist.h"
#include "kvresult.h"
#include <climits>
#include <cstdint>
#include <cstring>

namespace {

constexpr int kDefaultStep = 16;
constexpr int kMinStep = 4;
constexpr int kMaxStep = 0x10400;
constexpr int kMinInitialCapacity = 4;
constexpr SIZE_T kPrivateHeapInitialSize = 4096;
constexpr size_t kMoveStackBytes = 512; // longer runs are parked in a temporary block while the gap is shifted

bool IsLive(const tKVLIST* list) { return list != nullptr && list->magic == KVLIST_MAGIC; }

bool ThreadAllowed(const tKVLIST* list)
{
    return (list->options & (KVLIST_LOCKED | KVLIST_ANY_THREAD)) != 0 || GetCurrentThreadId() == list->ownerThread;
}

// Holds the list's lock (when it has one) for the lifetime of the object and says whether the caller may use
// the list at all: the header must be live and, for single-thread lists, the caller must be the owner.
class ListAccess {
public:
    explicit ListAccess(tKVLIST* list) : list_(IsLive(list) ? list : nullptr)
    {
        if (list_ != nullptr && (list_->options & KVLIST_LOCKED) != 0) {
            EnterCriticalSection(&list_->lock);
            locked_ = true;
        }
    }
    ~ListAccess() { Leave(); }
    ListAccess(const ListAccess&) = delete;
    ListAccess& operator=(const ListAccess&) = delete;

    HRESULT Status() const
    {
        if (list_ == nullptr)
            return KV_E_INVALIDARG;
        return ThreadAllowed(list_) ? S_OK : KV_E_FAIL;
    }
    bool Ok() const { return Status() == S_OK; }
    void Leave()
    {
        if (locked_)
            LeaveCriticalSection(&list_->lock);
        locked_ = false;
    }

private:
    tKVLIST* list_;
    bool locked_ = false;
};

int64_t RoundUp(int64_t value, int64_t step) { return (value + step - 1) / step * step; }

BYTE* Slots(const tKVLIST* list) { return reinterpret_cast<BYTE*>(list->items); }
BYTE* SlotAt(const tKVLIST* list, int index) { return Slots(list) + static_cast<size_t>(index) * list->itemSize; }
size_t SlotBytes(const tKVLIST* list, int64_t n) { return static_cast<size_t>(n) * list->itemSize; }

// What a comparison sees of an item: the slot's value for pointer lists, the record's address for records.
const void* ItemArg(const tKVLIST* list, int index)
{
    if ((list->options & KVLIST_FIXED_ITEMS) != 0)
        return SlotAt(list, index);
    return list->items[index];
}

bool OwnsItems(const tKVLIST* list) { return (list->options & KVLIST_OWNS_ITEMS) != 0; }

bool FitsInMemory(int64_t capacity, uint32_t itemSize)
{
    return capacity <= INT_MAX && static_cast<uint64_t>(capacity) * itemSize <= static_cast<uint64_t>(SIZE_MAX);
}

// The slots live in a process-heap block rather than in movable global memory: the system's table of movable
// blocks is limited (to 65,536 under some systems), and every plug-in, preset list and recorded action owns a list,
// so a library of 100,000 presets ran out of them.
HRESULT AllocStorage(tKVLIST* list, int capacity)
{
    void* data = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, SlotBytes(list, capacity));
    if (data == nullptr)
        return KV_E_OUTOFMEMORY;
    list->items = static_cast<void**>(data);
    list->capacity = capacity;
    return S_OK;
}

// A header the list allocates itself carries the first slots in the same block: most lists (a plug-in's presets,
// an undo step's actions) never outgrow them, and one block costs half the heap calls of two.
constexpr size_t kInlineSlotsOffset = (sizeof(tKVLIST) + 15) & ~size_t{15};

BYTE* InlineSlots(tKVLIST* list) { return reinterpret_cast<BYTE*>(list) + kInlineSlotsOffset; }
bool SlotsInline(tKVLIST* list)
{
    return (list->options & KVLIST_IN_PLACE) == 0 && reinterpret_cast<BYTE*>(list->items) == InlineSlots(list);
}

void FreeStorage(tKVLIST* list)
{
    if (list->items == nullptr)
        return;
    if (!SlotsInline(list))
        HeapFree(GetProcessHeap(), 0, list->items);
    list->items = nullptr;
    list->capacity = 0;
}

// Inline slots give way to a block of their own when the list outgrows them; they are never taken back.
HRESULT ResizeInlineStorage(tKVLIST* list, int newCapacity)
{
    const size_t oldBytes = SlotBytes(list, list->capacity);
    const size_t newBytes = SlotBytes(list, newCapacity);
    const SIZE_T block = HeapSize(GetProcessHeap(), 0, list);
    if (block == static_cast<SIZE_T>(-1) || block < kInlineSlotsOffset)
        return KV_E_FAIL;
    BYTE* data = InlineSlots(list);
    if (newBytes > block - kInlineSlotsOffset) {
        void* moved = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, newBytes);
        if (moved == nullptr)
            return KV_E_OUTOFMEMORY;
        memcpy(moved, data, oldBytes < newBytes ? oldBytes : newBytes);
        data = static_cast<BYTE*>(moved);
    } else if (newBytes > oldBytes) {
        memset(data + oldBytes, 0, newBytes - oldBytes);
    }
    list->items = reinterpret_cast<void**>(data);
    list->capacity = newCapacity;
    return S_OK;
}

// Reallocates the slot storage to newCapacity slots; on failure the old storage stays in place, unchanged.
// capacity grows in steps of growBy, but the block behind it grows by half at a time, so that appending n items
// one by one moves each of them a bounded number of times rather than n / growBy times.
HRESULT ResizeStorage(tKVLIST* list, int newCapacity)
{
    if (SlotsInline(list))
        return ResizeInlineStorage(list, newCapacity);
    const size_t oldBytes = SlotBytes(list, list->capacity);
    const size_t newBytes = SlotBytes(list, newCapacity);
    const SIZE_T held = HeapSize(GetProcessHeap(), 0, list->items);
    if (held == static_cast<SIZE_T>(-1))
        return KV_E_FAIL;
    BYTE* data = reinterpret_cast<BYTE*>(list->items);
    if (newBytes > held) {
        const size_t roomy = held + held / 2;
        void* moved = nullptr;
        if (roomy > newBytes)
            moved = HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, data, roomy);
        if (moved == nullptr)
            moved = HeapReAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, data, newBytes);
        if (moved == nullptr)
            return KV_E_OUTOFMEMORY;
        data = static_cast<BYTE*>(moved);
    } else if (newBytes < oldBytes) {
        void* moved = HeapReAlloc(GetProcessHeap(), 0, data, newBytes > 0 ? newBytes : 1);
        if (moved == nullptr)
            return KV_E_OUTOFMEMORY;
        data = static_cast<BYTE*>(moved);
    }
    // Slots past count are always zero; the part of the block that becomes slots may hold old ones.
    if (newBytes > oldBytes)
        memset(data + oldBytes, 0, newBytes - oldBytes);
    list->items = reinterpret_cast<void**>(data);
    list->capacity = newCapacity;
    return S_OK;
}

void FreeBlock(tKVLIST* list, void* block)
{
    if (block != nullptr)
        HeapFree(list->heap, list->heapFreeFlags, block);
}

HRESULT Grow(tKVLIST* list, int n)
{
    const int64_t increase = RoundUp(n > 0 ? n : list->growBy, list->growBy);
    const int64_t newCapacity = list->capacity + increase;
    if (!FitsInMemory(newCapacity, list->itemSize))
        return KV_E_OUTOFMEMORY;
    return ResizeStorage(list, static_cast<int>(newCapacity));
}

HRESULT Shrink(tKVLIST* list, int n)
{
    const int64_t spare = list->capacity - list->count;
    int64_t amount = RoundUp(n < 0 ? spare : n, list->growBy);
    // Never give back slots that are in use: whole steps only, as many as the spare slots allow.
    if (amount > spare)
        amount = spare / list->growBy * list->growBy;
    if (amount <= 0)
        return S_OK;
    int64_t newCapacity = list->capacity - amount;
    if (newCapacity < 1)
        newCapacity = 1;
    if (newCapacity >= list->capacity)
        return S_OK;
    return ResizeStorage(list, static_cast<int>(newCapacity));
}

// Inserts n slots copied from source at index (append when out of range); the list is unchanged on failure.
HRESULT InsertSlots(tKVLIST* list, int index, const void* source, int n)
{
    if (n == 0)
        return S_OK;
    if (index < 0 || index >= list->count)
        index = list->count;
    const int64_t needed = static_cast<int64_t>(list->count) + n;
    if (!FitsInMemory(needed, list->itemSize))
        return KV_E_OUTOFMEMORY;
    if (list->capacity < needed) {
        HRESULT hr = Grow(list, n);
        if (FAILED(hr))
            return hr;
    }
    memmove(SlotAt(list, index + n), SlotAt(list, index), SlotBytes(list, list->count - index));
    memcpy(SlotAt(list, index), source, SlotBytes(list, n));
    list->count += n;
    return S_OK;
}

// Takes n slots out from start (a valid range), zeroing the vacated slots at the end; frees nothing.
void RemoveSlots(tKVLIST* list, int start, int n)
{
    memmove(SlotAt(list, start), SlotAt(list, start + n), SlotBytes(list, list->count - start - n));
    memset(SlotAt(list, list->count - n), 0, SlotBytes(list, n));
    list->count -= n;
}

// Clamps a search range: a start below 0 counts as 0, a negative n or one past the end means to the end.
void ClampRange(const tKVLIST* list, int& start, int& n)
{
    if (start < 0)
        start = 0;
    if (start > list->count)
        start = list->count;
    if (n < 0 || static_cast<int64_t>(start) + n > list->count)
        n = list->count - start;
}

// The range rules of deletions and moves: a negative n means to the end; S_FALSE when there is nothing to do,
// KV_E_FAIL for a start outside the items; n is limited to the items that exist.
HRESULT LimitRange(int count, int start, int& n)
{
    if (n < 0)
        n = count - start;
    if (n < 1)
        return S_FALSE;
    if (start < 0 || start >= count)
        return KV_E_FAIL;
    if (n > count - start)
        n = count - start;
    return S_OK;
}

// Binary search; with insertIndex the place where key belongs is returned when no equal item is met.
int SortedSearch(tKVLIST* list, const void* key, int start, int n, KVLIST_COMPARE compare, bool insertIndex)
{
    ClampRange(list, start, n);
    int low = start;
    int high = start + n;
    while (low < high) {
        const int middle = low + (high - low - 1) / 2;
        const int order = compare(list->sortCriteria, key, ItemArg(list, middle));
        if (order == 0)
            return middle;
        if (order < 0)
            high = middle;
        else
            low = middle + 1;
    }
    return insertIndex ? low : -1;
}

void SwapSlots(tKVLIST* list, int a, int b)
{
    if (a == b)
        return;
    BYTE* first = SlotAt(list, a);
    BYTE* second = SlotAt(list, b);
    for (uint32_t i = 0; i < list->itemSize; ++i) {
        const BYTE kept = first[i];
        first[i] = second[i];
        second[i] = kept;
    }
}

int CompareSlots(tKVLIST* list, uint32_t criteria, KVLIST_COMPARE compare, int a, int b)
{
    return compare(criteria, ItemArg(list, a), ItemArg(list, b));
}

void SiftDown(tKVLIST* list, uint32_t criteria, KVLIST_COMPARE compare, int root, int end)
{
    for (;;) {
        int64_t child = 2 * static_cast<int64_t>(root) + 1;
        if (child >= end)
            return;
        int larger = static_cast<int>(child);
        if (child + 1 < end && CompareSlots(list, criteria, compare, larger + 1, larger) > 0)
            ++larger;
        if (CompareSlots(list, criteria, compare, larger, root) <= 0)
            return;
        SwapSlots(list, root, larger);
        root = larger;
    }
}

bool RangeInsideStorage(const tKVLIST* list, const void* source, int n)
{
    const BYTE* begin = Slots(list);
    const BYTE* end = begin + SlotBytes(list, list->capacity);
    const BYTE* from = static_cast<const BYTE*>(source);
    return from < end && from + SlotBytes(list, n) > begin;
}

bool ReadableRange(const void* pointer, size_t size)
{
    const BYTE* at = static_cast<const BYTE*>(pointer);
    const BYTE* end = at + size;
    while (at < end) {
        MEMORY_BASIC_INFORMATION info;
        if (VirtualQuery(at, &info, sizeof(info)) == 0 || info.State != MEM_COMMIT)
            return false;
        const DWORD readable = PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ |
                               PAGE_EXECUTE_READWRITE | PAGE_EXECUTE_WRITECOPY;
        if ((info.Protect & readable) == 0 || (info.Protect & (PAGE_GUARD | PAGE_NOACCESS)) != 0)
            return false;
        at = static_cast<const BYTE*>(info.BaseAddress) + info.RegionSize;
    }
    return true;
}

} // namespace

HRESULT KvList_CreateExZ(tKVLIST** out, uint32_t itemSize, int initialCapacity, int growBy, uint32_t options,
                         uint32_t, uint32_t, uint32_t)
{
    if (out == nullptr)
        return KV_E_INVALIDARG;
    const bool inPlace = (options & KVLIST_IN_PLACE) != 0;
    tKVLIST* list = nullptr;
    if (inPlace) {
        if (*out == nullptr)
            return KV_E_FAIL;
        list = *out;
        memset(static_cast<void*>(list), 0, sizeof(tKVLIST));
    } else {
        *out = nullptr;
    }
    if ((options & KVLIST_FIXED_ITEMS) != 0 && (options & KVLIST_OWNS_ITEMS) != 0)
        return KV_E_FAIL;

    uint32_t slotSize = sizeof(void*);
    if ((options & KVLIST_FIXED_ITEMS) != 0) {
        if (itemSize == 0 || itemSize > INT_MAX)
            return KV_E_INVALIDARG;
        slotSize = (itemSize + 3) & ~3u;
    }
    int step = growBy < 1 ? kDefaultStep : growBy;
    step = step < kMinStep ? kMinStep : (step > kMaxStep ? kMaxStep : step);
    int initial = initialCapacity < 1 ? kDefaultStep : initialCapacity;
    if (initial < kMinInitialCapacity)
        initial = kMinInitialCapacity;
    const int64_t capacity = RoundUp(initial, step);
    if (!FitsInMemory(capacity, slotSize))
        return KV_E_OUTOFMEMORY;

    if (!inPlace) {
        const size_t slotBytes = static_cast<size_t>(capacity) * slotSize;
        list = static_cast<tKVLIST*>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kInlineSlotsOffset + slotBytes));
        if (list == nullptr)
            return KV_E_OUTOFMEMORY;
        list->itemSize = slotSize;
        list->items = reinterpret_cast<void**>(InlineSlots(list));
        list->capacity = static_cast<int>(capacity);
    } else {
        list->itemSize = slotSize;
        if (HRESULT hr = AllocStorage(list, static_cast<int>(capacity)); FAILED(hr))
            return hr;
    }
    list->growBy = step;
    if ((options & KVLIST_LOCKED) != 0)
        InitializeCriticalSection(&list->lock);
    list->ownerThread = GetCurrentThreadId();
    list->options = options | KVLIST_ANY_THREAD;
    list->magic = KVLIST_MAGIC;

    if ((options & KVLIST_OWNS_ITEMS) != 0) {
        // Without a private heap the blocks come from the process heap, which is never destroyed with the list.
        list->heap = (options & KVLIST_PRIVATE_HEAP) != 0 ? HeapCreate(0, kPrivateHeapInitialSize, 0)
                                                          : GetProcessHeap();
        list->heapAllocFlags = HEAP_ZERO_MEMORY;
        list->heapFreeFlags = 0;
        if (list->heap == nullptr) {
            KvList_Destroy(list);
            return KV_E_OUTOFMEMORY;
        }
    }
    *out = list;
    return S_OK;
}

HRESULT KvList_Destroy(tKVLIST* list)
{
    if (list == nullptr)
        return S_OK;
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    if (OwnsItems(list) && list->heap != nullptr) {
        if ((list->options & KVLIST_PRIVATE_HEAP) != 0) {
            HeapDestroy(list->heap);
        } else {
            for (int i = 0; i < list->count; ++i)
                FreeBlock(list, list->items[i]);
            FreeBlock(list, list->pendingItem);
        }
    }
    list->heap = nullptr;
    list->pendingItem = nullptr;
    FreeStorage(list);
    list->count = 0;
    list->magic = 0;
    const uint32_t options = list->options;
    access.Leave();
    if ((options & KVLIST_LOCKED) != 0)
        DeleteCriticalSection(&list->lock);
    if ((options & KVLIST_IN_PLACE) == 0)
        HeapFree(GetProcessHeap(), 0, list);
    return S_OK;
}

HRESULT KvList_InsertList(tKVLIST* list, int index, const void* source, int n)
{
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    int insertCount = 0;
    bool takesPending = false;
    if (source != nullptr && n >= 0) {
        // Owning lists only take blocks from their own allocator.
        if (OwnsItems(list))
            return KV_E_FAIL;
        insertCount = n;
    } else if (source != nullptr && n < 0) {
        if (n == INT_MIN)
            return KV_E_INVALIDARG;
        insertCount = -n;
        if (OwnsItems(list) && list->pendingItem != nullptr) {
            void* const* blocks = static_cast<void* const*>(source);
            for (int i = 0; i < insertCount && !takesPending; ++i)
                takesPending = blocks[i] == list->pendingItem;
        }
    } else if (source == nullptr && n == -1) {
        if (list->pendingItem == nullptr)
            return KV_E_FAIL;
        source = &list->pendingItem;
        insertCount = 1;
        takesPending = true;
    } else {
        return KV_E_FAIL;
    }

    // Copying out of the list's own storage: the grow or the shift below would move the source.
    void* copy = nullptr;
    if (insertCount > 0 && RangeInsideStorage(list, source, insertCount)) {
        copy = HeapAlloc(GetProcessHeap(), 0, SlotBytes(list, insertCount));
        if (copy == nullptr)
            return KV_E_OUTOFMEMORY;
        memcpy(copy, source, SlotBytes(list, insertCount));
        source = copy;
    }
    HRESULT hr = InsertSlots(list, index, source, insertCount);
    if (copy != nullptr)
        HeapFree(GetProcessHeap(), 0, copy);
    if (SUCCEEDED(hr) && takesPending)
        list->pendingItem = nullptr;
    return hr;
}

HRESULT KvList_DeleteList(tKVLIST* list, int start, int n, BOOL shrink)
{
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    if (start < 0 && n < 0) {
        if (list->pendingItem == nullptr)
            return KV_E_FAIL;
        FreeBlock(list, list->pendingItem);
        list->pendingItem = nullptr;
        return S_OK;
    }
    if (HRESULT range = LimitRange(list->count, start, n); range != S_OK)
        return range == S_FALSE ? S_OK : range;
    if (OwnsItems(list)) {
        for (int i = start; i < start + n; ++i)
            FreeBlock(list, list->items[i]);
    }
    RemoveSlots(list, start, n);
    if (shrink && list->capacity - list->count > list->growBy)
        return Shrink(list, -1);
    return S_OK;
}

HRESULT KvList_AllocItem(tKVLIST* list, uint32_t size, void** block)
{
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    if (block != nullptr)
        *block = nullptr;
    if (!OwnsItems(list) || list->pendingItem != nullptr)
        return KV_E_FAIL;
    void* allocated = HeapAlloc(list->heap, list->heapAllocFlags, size);
    if (allocated == nullptr)
        return KV_E_OUTOFMEMORY;
    list->pendingItem = allocated;
    if (block != nullptr)
        *block = allocated;
    return S_OK;
}

HRESULT KvList_AllocAndInsertItem(tKVLIST* list, const void* data, uint32_t size, int index, int* insertedIndex)
{
    if (insertedIndex != nullptr)
        *insertedIndex = -1;
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    if (index < 0 || index >= list->count)
        index = list->count;
    void* block = nullptr;
    // A failure here leaves any earlier pending block alone: it belongs to another caller's AllocItem.
    HRESULT hr = KvList_AllocItem(list, size, &block);
    if (FAILED(hr))
        return hr;
    if (data != nullptr)
        memcpy(block, data, size);
    hr = KvList_InsertList(list, index, nullptr, -1);
    if (FAILED(hr)) {
        FreeBlock(list, block);
        list->pendingItem = nullptr;
        return hr;
    }
    if (insertedIndex != nullptr)
        *insertedIndex = index;
    return S_OK;
}

HRESULT KvList_ReAllocItem(tKVLIST* list, int index, uint32_t size)
{
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    if (!OwnsItems(list) || index < 0 || index >= list->count || list->items[index] == nullptr)
        return KV_E_FAIL;
    void* moved = HeapReAlloc(list->heap, list->heapAllocFlags, list->items[index], size);
    if (moved == nullptr)
        return KV_E_OUTOFMEMORY;
    list->items[index] = moved;
    return S_OK;
}

int KvList_AllocSize(tKVLIST* list, int index)
{
    ListAccess access(list);
    if (!access.Ok() || !OwnsItems(list) || index < 0 || index >= list->count || list->items[index] == nullptr)
        return -1;
    const SIZE_T size = HeapSize(list->heap, 0, list->items[index]);
    if (size == static_cast<SIZE_T>(-1) || size > INT_MAX)
        return -1;
    return static_cast<int>(size);
}

HRESULT KvList_GrowAllocated(tKVLIST* list, int n)
{
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    return Grow(list, n);
}

HRESULT KvList_ShrinkAllocated(tKVLIST* list, int n)
{
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    return Shrink(list, n);
}

HRESULT KvList_ArrayForceItemCount(tKVLIST* list, int n, BOOL shrink)
{
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    if ((list->options & KVLIST_FIXED_ITEMS) == 0)
        return KV_E_FAIL;
    if (n < 0)
        return KV_E_INVALIDARG;
    if (n > list->capacity) {
        HRESULT hr = Grow(list, n - list->capacity);
        if (FAILED(hr))
            return hr;
    }
    // Slots past count are kept zeroed, so a later grow of count exposes zero-filled records.
    if (n < list->count)
        memset(SlotAt(list, n), 0, SlotBytes(list, list->count - n));
    list->count = n;
    if (shrink && list->capacity - list->count > list->growBy)
        return Shrink(list, -1);
    return S_OK;
}

HRESULT KvList_MoveRange(tKVLIST* list, int from, int to, int n)
{
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    if (from < 0)
        return KV_E_INVALIDARG;
    if (n < 0 || to < 0 || static_cast<int64_t>(from) + n > list->count || static_cast<int64_t>(to) + n > list->count)
        return KV_E_FAIL;
    if (n == 0 || from == to)
        return S_OK;
    const size_t runBytes = SlotBytes(list, n);
    BYTE onStack[kMoveStackBytes];
    BYTE* parked = onStack;
    if (runBytes > kMoveStackBytes) {
        parked = static_cast<BYTE*>(HeapAlloc(GetProcessHeap(), 0, runBytes));
        if (parked == nullptr)
            return KV_E_OUTOFMEMORY;
    }
    memcpy(parked, SlotAt(list, from), runBytes);
    if (to < from)
        memmove(SlotAt(list, to + n), SlotAt(list, to), SlotBytes(list, from - to));
    else
        memmove(SlotAt(list, from), SlotAt(list, from + n), SlotBytes(list, to - from));
    memcpy(SlotAt(list, to), parked, runBytes);
    if (parked != onStack)
        HeapFree(GetProcessHeap(), 0, parked);
    return S_OK;
}

HRESULT KvList_MoveItemsBetweenHeapLists(tKVLIST* destination, int index, tKVLIST* source, int start, int n)
{
    if (destination == source)
        return KV_E_INVALIDARG;
    ListAccess destinationAccess(destination);
    if (HRESULT hr = destinationAccess.Status(); FAILED(hr))
        return hr;
    ListAccess sourceAccess(source);
    if (HRESULT hr = sourceAccess.Status(); FAILED(hr))
        return hr;
    // Blocks change hands without a copy, so both lists must free them into the same heap.
    if (!OwnsItems(destination) || !OwnsItems(source) || destination->heap != source->heap)
        return KV_E_FAIL;
    if (HRESULT range = LimitRange(source->count, start, n); range != S_OK)
        return range == S_FALSE ? S_OK : range;
    HRESULT hr = InsertSlots(destination, index, SlotAt(source, start), n);
    if (FAILED(hr))
        return hr;
    RemoveSlots(source, start, n);
    return S_OK;
}

int KvList_FindSpecificItemRange(tKVLIST* list, int start, int n, const void* value)
{
    ListAccess access(list);
    if (!access.Ok())
        return -1;
    ClampRange(list, start, n);
    const bool records = (list->options & KVLIST_FIXED_ITEMS) != 0;
    if (records && value == nullptr)
        return -1;
    for (int i = start; i < start + n; ++i) {
        if (records ? memcmp(SlotAt(list, i), value, list->itemSize) == 0 : list->items[i] == value)
            return i;
    }
    return -1;
}

int KvList_FindItemRange(tKVLIST* list, int start, int n, const void* key, KVLIST_COMPARE compare)
{
    ListAccess access(list);
    if (!access.Ok() || compare == nullptr)
        return -1;
    ClampRange(list, start, n);
    for (int i = start; i < start + n; ++i) {
        if (compare(list->sortCriteria, key, ItemArg(list, i)) == 0)
            return i;
    }
    return -1;
}

int KvList_FindSortedItemRange(tKVLIST* list, const void* key, int start, int n, KVLIST_COMPARE compare)
{
    ListAccess access(list);
    if (!access.Ok() || compare == nullptr)
        return -1;
    return SortedSearch(list, key, start, n, compare, false);
}

int KvList_FindSortedInsertIndexRange(tKVLIST* list, const void* key, int start, int n, KVLIST_COMPARE compare)
{
    ListAccess access(list);
    if (!access.Ok() || compare == nullptr)
        return -1;
    return SortedSearch(list, key, start, n, compare, true);
}

HRESULT KvList_Sort(tKVLIST* list, uint32_t criteria, KVLIST_COMPARE compare)
{
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    list->sortCriteria = criteria;
    if (compare == nullptr)
        return S_OK;
    // Repeated selection: the first greatest unsorted item goes to the last unsorted position.
    for (int last = list->count - 1; last > 0; --last) {
        int best = 0;
        for (int candidate = 1; candidate <= last; ++candidate) {
            if (CompareSlots(list, criteria, compare, candidate, best) > 0)
                best = candidate;
        }
        SwapSlots(list, best, last);
    }
    return S_OK;
}

HRESULT KvList_HeapSort(tKVLIST* list, uint32_t criteria, KVLIST_COMPARE compare)
{
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    list->sortCriteria = criteria;
    if (compare == nullptr || list->count < 2)
        return S_OK;
    for (int root = list->count / 2 - 1; root >= 0; --root)
        SiftDown(list, criteria, compare, root, list->count);
    for (int end = list->count - 1; end > 0; --end) {
        SwapSlots(list, 0, end);
        SiftDown(list, criteria, compare, 0, end);
    }
    return S_OK;
}

HRESULT KvList_SortTo(tKVLIST* destination, tKVLIST* source, uint32_t criteria, KVLIST_COMPARE compare)
{
    if (destination == source || compare == nullptr)
        return KV_E_INVALIDARG;
    ListAccess destinationAccess(destination);
    if (HRESULT hr = destinationAccess.Status(); FAILED(hr))
        return hr;
    ListAccess sourceAccess(source);
    if (HRESULT hr = sourceAccess.Status(); FAILED(hr))
        return hr;
    // Slots are copied as they are, so both lists must hold the same kind of slot, and an owning
    // destination would end up sharing blocks with the source.
    if (OwnsItems(destination) || destination->itemSize != source->itemSize ||
        (destination->options & KVLIST_FIXED_ITEMS) != (source->options & KVLIST_FIXED_ITEMS))
        return KV_E_FAIL;
    destination->sortCriteria = criteria;
    for (int i = 0; i < source->count; ++i) {
        const int at = SortedSearch(destination, ItemArg(source, i), 0, -1, compare, true);
        HRESULT hr = InsertSlots(destination, at, SlotAt(source, i), 1);
        if (FAILED(hr))
            return hr;
    }
    return S_OK;
}

BOOL KvList_IsList(const void* pointer, size_t size)
{
    if (pointer == nullptr || size != sizeof(tKVLIST) || !ReadableRange(pointer, size))
        return FALSE;
    return static_cast<const tKVLIST*>(pointer)->magic == KVLIST_MAGIC;
}

BOOL KvList_IsListFast(const tKVLIST* list) { return IsLive(list); }

BOOL KvList_IsValidIndexSlow(tKVLIST* list, int index)
{
    ListAccess access(list);
    return access.Ok() && index >= 0 && index <= list->count - 1;
}

HRESULT KvList_ConvertToInPlace(tKVLIST** list, tKVLIST* storage)
{
    if (list == nullptr || storage == nullptr || *list == storage)
        return KV_E_INVALIDARG;
    tKVLIST* old = *list;
    ListAccess access(old);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    if ((old->options & KVLIST_IN_PLACE) != 0)
        return KV_E_FAIL;
    if (SlotsInline(old)) { // the slots go with the old header's block: they move to one of their own
        const size_t bytes = SlotBytes(old, old->capacity);
        void* slots = HeapAlloc(GetProcessHeap(), 0, bytes > 0 ? bytes : 1);
        if (slots == nullptr)
            return KV_E_OUTOFMEMORY;
        memcpy(slots, old->items, bytes);
        old->items = static_cast<void**>(slots);
    }
    memcpy(static_cast<void*>(storage), old, sizeof(tKVLIST));
    storage->options |= KVLIST_IN_PLACE;
    old->magic = 0;
    access.Leave();
    // A critical section cannot be copied: the new header gets a fresh one.
    if ((storage->options & KVLIST_LOCKED) != 0) {
        DeleteCriticalSection(&old->lock);
        InitializeCriticalSection(&storage->lock);
    }
    HeapFree(GetProcessHeap(), 0, old);
    *list = nullptr;
    return S_OK;
}

LONG KvList_GetUserData(tKVLIST* list)
{
    ListAccess access(list);
    return access.Ok() ? list->userData : 0;
}

LONG KvList_SetUserData(tKVLIST* list, LONG value)
{
    ListAccess access(list);
    return access.Ok() ? InterlockedExchange(&list->userData, value) : 0;
}

uint32_t KvList_GetCreateOptions(tKVLIST* list)
{
    ListAccess access(list);
    return access.Ok() ? list->options : 0;
}

uint32_t KvList_GetSortCriteria(tKVLIST* list)
{
    ListAccess access(list);
    return access.Ok() ? list->sortCriteria : 0;
}

DWORD KvList_GetThreadOwner(tKVLIST* list)
{
    ListAccess access(list);
    return access.Ok() ? list->ownerThread : 0;
}

HRESULT KvList_SetThreadOwner(tKVLIST* list, DWORD thread)
{
    ListAccess access(list);
    if (HRESULT hr = access.Status(); FAILED(hr))
        return hr;
    list->ownerThread = thread != 0 ? thread : GetCurrentThreadId();
    return S_OK;
}

int KvList_GetFileAndLine(tKVLIST*, wchar_t* buffer, int size)
{
    // Creation sites are not recorded in this build.
    if (buffer != nullptr && size > 0)
        buffer[0] = L'\0';
    return -1;
}
