// The list container: growth steps, ranges, owned and pending blocks, sorting, searches, moves, threads.
#include <doctest.h>
#include <algorithm>
#include <atomic>
#include <cstring>
#include <random>
#include <thread>
#include <vector>
#include "kvlist.h"
#include "kvresult.h"

namespace {

void* AsItem(intptr_t value) { return reinterpret_cast<void*>(value); }
intptr_t AsValue(void* item) { return reinterpret_cast<intptr_t>(item); }

// Ascending for criteria 0, descending for 1; any other criteria means the list passed the wrong value.
int g_badCriteria = 0;
int Order(uint32_t criteria, intptr_t a, intptr_t b)
{
    if (criteria > 1)
        ++g_badCriteria;
    const int order = a < b ? -1 : (a > b ? 1 : 0);
    return criteria == 1 ? -order : order;
}
int CALLBACK ComparePointers(uint32_t criteria, const void* a, const void* b)
{
    return Order(criteria, reinterpret_cast<intptr_t>(a), reinterpret_cast<intptr_t>(b));
}
struct Record {
    int key;
    int payload;
    short tail; // makes 10 bytes of fields, 12 with padding
};
int CALLBACK CompareRecords(uint32_t criteria, const void* a, const void* b)
{
    return Order(criteria, static_cast<const Record*>(a)->key, static_cast<const Record*>(b)->key);
}

std::vector<intptr_t> Values(const tKVLIST* list)
{
    std::vector<intptr_t> values;
    for (int i = 0; i < list->count; ++i)
        values.push_back(AsValue(list->items[i]));
    return values;
}

void Append(tKVLIST* list, intptr_t value)
{
    void* item = AsItem(value);
    REQUIRE(KvList_InsertList(list, -1, &item, 1) == S_OK);
}

std::vector<intptr_t> RandomValues(size_t n, unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> pick(-500, 500); // narrow range: plenty of equal items
    std::vector<intptr_t> values(n);
    for (auto& value : values)
        value = pick(random);
    return values;
}

tKVLIST* FilledList(const std::vector<intptr_t>& values, uint32_t options = 0)
{
    tKVLIST* list = nullptr;
    REQUIRE(KvList_CreateExZ(&list, 0, -1, -1, options) == S_OK);
    for (intptr_t value : values)
        Append(list, value);
    return list;
}

int BusyBlocks(HANDLE heap)
{
    int busy = 0;
    PROCESS_HEAP_ENTRY entry{};
    HeapLock(heap);
    while (HeapWalk(heap, &entry))
        busy += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
    HeapUnlock(heap);
    return busy;
}

} // namespace

TEST_CASE("list creation")
{
    tKVLIST* list = nullptr;
    SUBCASE("defaults") {
        REQUIRE(KvList_CreateExZ(&list, 0, -1, -1, KVLIST_LOCKED) == S_OK);
        CHECK(list->count == 0);
        CHECK(list->itemSize == sizeof(void*));
        CHECK(list->capacity == 16);
        CHECK(list->growBy == 16);
        CHECK(KvList_GetCreateOptions(list) == (KVLIST_LOCKED | KVLIST_ANY_THREAD));
        CHECK(KvList_GetThreadOwner(list) == GetCurrentThreadId());
        CHECK(KvList_IsList(list, sizeof(tKVLIST)));
        CHECK_FALSE(KvList_IsList(list, sizeof(tKVLIST) - 4));
        CHECK(KvList_IsListFast(list));
    }
    SUBCASE("sizes and steps are normalised") {
        REQUIRE(KvList_CreateExZ(&list, 10, 5, 4, KVLIST_FIXED_ITEMS) == S_OK);
        CHECK(list->itemSize == 12);
        CHECK(list->capacity == 8);
        KvList_Destroy(list);
        REQUIRE(KvList_CreateExZ(&list, 0, 1, 100000, 0) == S_OK);
        CHECK(list->growBy == 66560);
        CHECK(list->capacity == 66560);
        KvList_Destroy(list);
        REQUIRE(KvList_CreateExZ(&list, 0, 2, 1, 0) == S_OK);
        CHECK(list->growBy == 4);
        CHECK(list->capacity == 4);
    }
    SUBCASE("refused combinations leave the out pointer null") {
        list = reinterpret_cast<tKVLIST*>(1);
        CHECK(KvList_CreateExZ(&list, 8, -1, -1, KVLIST_FIXED_ITEMS | KVLIST_OWNS_ITEMS) == KV_E_FAIL);
        CHECK(list == nullptr);
        CHECK(KvList_CreateExZ(&list, 0, -1, -1, KVLIST_IN_PLACE) == KV_E_FAIL);
        CHECK(KvList_CreateExZ(&list, 0, -1, -1, KVLIST_FIXED_ITEMS) == KV_E_INVALIDARG);
    }
    SUBCASE("user data and the null list") {
        REQUIRE(KvList_CreateExZ(&list, 0, -1, -1, 0) == S_OK);
        CHECK(KvList_SetUserData(list, 7) == 0);
        CHECK(KvList_SetUserData(list, 9) == 7);
        CHECK(KvList_GetUserData(list) == 9);
        wchar_t text[8] = L"x";
        CHECK(KvList_GetFileAndLine(list, text, 8) == -1);
        CHECK(text[0] == L'\0');
        CHECK(KvList_Destroy(nullptr) == S_OK);
        CHECK(KvList_InsertList(nullptr, 0, text, 1) == KV_E_INVALIDARG);
        CHECK(KvList_FindSpecificItemRange(nullptr, 0, -1, nullptr) == -1);
    }
    CHECK(KvList_Destroy(list) == S_OK);
}

TEST_CASE("growth and shrinking steps")
{
    tKVLIST* list = FilledList({});
    SUBCASE("the 17th append grows by one step") {
        for (int i = 0; i < 16; ++i)
            Append(list, i + 1);
        CHECK(list->capacity == 16);
        Append(list, 17);
        CHECK(list->capacity == 32);
        CHECK(Values(list).back() == 17);
        for (int i = 17; i < 32; ++i)
            CHECK(list->items[i] == nullptr);
    }
    SUBCASE("a large insert grows by whole steps covering it") {
        std::vector<void*> many(40, AsItem(3));
        REQUIRE(KvList_InsertList(list, 0, many.data(), 40) == S_OK);
        CHECK(list->capacity == 64);
        CHECK(list->count == 40);
    }
    SUBCASE("deleting with and without shrink") {
        for (int i = 0; i < 40; ++i)
            Append(list, i);
        REQUIRE(list->capacity == 48);
        CHECK(KvList_DeleteList(list, 10, -1, FALSE) == S_OK);
        CHECK(list->count == 10);
        CHECK(list->capacity == 48);
        Append(list, 99);
        CHECK(KvList_DeleteList(list, 10, 1, TRUE) == S_OK);
        CHECK(list->capacity == 16);
        CHECK(Values(list) == std::vector<intptr_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9});
    }
    SUBCASE("explicit grow and shrink round to the step") {
        CHECK(KvList_GrowAllocated(list, 0) == S_OK);
        CHECK(list->capacity == 32);
        CHECK(KvList_GrowAllocated(list, 20) == S_OK);
        CHECK(list->capacity == 64);
        for (int i = 0; i < 20; ++i)
            Append(list, i);
        CHECK(KvList_ShrinkAllocated(list, 5) == S_OK); // one step of 16 fits in the 44 spare slots
        CHECK(list->capacity == 48);
        CHECK(KvList_ShrinkAllocated(list, 1000) == S_OK); // limited to the whole steps that are spare
        CHECK(list->capacity == 32);
        CHECK(list->count == 20);
        CHECK(Values(list)[19] == 19);
    }
    KvList_Destroy(list);
}

TEST_CASE("insert and delete ranges")
{
    tKVLIST* list = FilledList({1, 2, 3});
    SUBCASE("out-of-range insert appends, in-range insert shifts") {
        void* items[2] = {AsItem(10), AsItem(11)};
        CHECK(KvList_InsertList(list, 1000, items, 1) == S_OK);
        CHECK(KvList_InsertList(list, 1, items, 2) == S_OK);
        CHECK(Values(list) == std::vector<intptr_t>{1, 10, 11, 2, 3, 10});
        CHECK(KvList_InsertList(list, 0, list->items + 1, 2) == S_OK); // source inside the list itself
        CHECK(Values(list) == std::vector<intptr_t>{10, 11, 1, 10, 11, 2, 3, 10});
    }
    SUBCASE("refused inserts") {
        CHECK(KvList_InsertList(list, 0, nullptr, 1) == KV_E_FAIL);
        CHECK(KvList_InsertList(list, 0, nullptr, -1) == KV_E_FAIL); // no pending block
        CHECK(list->count == 3);
    }
    SUBCASE("delete refusals and nothing-to-do cases") {
        CHECK(KvList_DeleteList(list, 3, 1, FALSE) == KV_E_FAIL);
        CHECK(KvList_DeleteList(list, -2, 1, FALSE) == KV_E_FAIL);
        CHECK(KvList_DeleteList(list, 3, -1, FALSE) == S_OK);
        CHECK(KvList_DeleteList(list, 7, -1, FALSE) == S_OK);
        CHECK(KvList_DeleteList(list, 0, 0, FALSE) == S_OK);
        CHECK(KvList_DeleteList(list, -1, -1, FALSE) == KV_E_FAIL); // no pending block
        CHECK(Values(list) == std::vector<intptr_t>{1, 2, 3});
    }
    SUBCASE("deletes clip to the end and zero the vacated slots") {
        CHECK(KvList_DeleteList(list, 1, 50, FALSE) == S_OK);
        CHECK(Values(list) == std::vector<intptr_t>{1});
        CHECK(list->items[1] == nullptr);
        CHECK(list->items[2] == nullptr);
        CHECK(KvList_DeleteList(list, 0, -1, FALSE) == S_OK);
        CHECK(KvList_DeleteList(list, 0, -1, FALSE) == S_OK); // empty list
        CHECK(list->count == 0);
    }
    KvList_Destroy(list);
}

TEST_CASE("owned and fixed items")
{
    tKVLIST* list = nullptr;
    SUBCASE("owned blocks are copies, and a plain insert is refused") {
        REQUIRE(KvList_CreateExZ(&list, 0, -1, -1, KVLIST_OWNS_ITEMS) == S_OK);
        const char text[] = "preset";
        int at = -2;
        CHECK(KvList_AllocAndInsertItem(list, text, sizeof(text), 50, &at) == S_OK);
        CHECK(at == 0);
        CHECK(KvList_AllocAndInsertItem(list, nullptr, 16, 0, &at) == S_OK);
        CHECK(at == 0);
        CHECK(strcmp(static_cast<const char*>(list->items[1]), text) == 0);
        CHECK(list->items[1] != static_cast<const void*>(text));
        CHECK(std::all_of(static_cast<char*>(list->items[0]), static_cast<char*>(list->items[0]) + 16,
                          [](char c) { return c == 0; }));
        void* foreign = AsItem(4);
        CHECK(KvList_InsertList(list, 0, &foreign, 1) == KV_E_FAIL);
        CHECK(list->count == 2);
        CHECK(KvList_AllocSize(list, 1) == static_cast<int>(sizeof(text)));
        CHECK(KvList_ReAllocItem(list, 1, 100) == S_OK);
        CHECK(KvList_AllocSize(list, 1) == 100);
        CHECK(strcmp(static_cast<const char*>(list->items[1]), text) == 0);
        CHECK(static_cast<const char*>(list->items[1])[99] == 0);
        CHECK(KvList_AllocSize(list, 2) == -1);
    }
    SUBCASE("a private heap holds exactly the live blocks") {
        REQUIRE(KvList_CreateExZ(&list, 0, -1, -1, KVLIST_OWNS_ITEMS | KVLIST_PRIVATE_HEAP) == S_OK);
        REQUIRE(list->heap != GetProcessHeap());
        const int empty = BusyBlocks(list->heap);
        for (int i = 0; i < 5; ++i)
            REQUIRE(KvList_AllocAndInsertItem(list, &i, sizeof(i), -1, nullptr) == S_OK);
        CHECK(BusyBlocks(list->heap) == empty + 5);
        CHECK(KvList_DeleteList(list, 1, 2, FALSE) == S_OK);
        CHECK(BusyBlocks(list->heap) == empty + 3);
        CHECK(*static_cast<int*>(list->items[1]) == 3);
    }
    SUBCASE("repeated use does not leak from the process heap") {
        auto cycle = [] {
            tKVLIST* owned = nullptr;
            REQUIRE(KvList_CreateExZ(&owned, 0, -1, -1, KVLIST_OWNS_ITEMS | KVLIST_LOCKED) == S_OK);
            for (int i = 0; i < 80; ++i)
                REQUIRE(KvList_AllocAndInsertItem(owned, &i, 64, -1, nullptr) == S_OK);
            REQUIRE(KvList_MoveRange(owned, 0, 10, 70) == S_OK); // long run: parked in a temporary block
            void* pending = nullptr;
            REQUIRE(KvList_AllocItem(owned, 32, &pending) == S_OK); // left pending: Destroy frees it
            REQUIRE(KvList_DeleteList(owned, 0, 5, TRUE) == S_OK);
            REQUIRE(KvList_Destroy(owned) == S_OK);
        };
        cycle();
        const int before = BusyBlocks(GetProcessHeap());
        for (int i = 0; i < 100; ++i)
            cycle();
        CHECK(BusyBlocks(GetProcessHeap()) - before < 10);
    }
    SUBCASE("fixed records are stored by value") {
        REQUIRE(KvList_CreateExZ(&list, 10, 4, 4, KVLIST_FIXED_ITEMS) == S_OK);
        Record records[3] = {{5, 50, 1}, {6, 60, 2}, {7, 70, 3}};
        CHECK(KvList_InsertList(list, 0, records, 3) == S_OK);
        records[0].key = 0;
        const Record* stored = reinterpret_cast<const Record*>(list->items);
        CHECK(stored[0].key == 5);
        CHECK(stored[2].tail == 3);
        CHECK(KvList_FindSpecificItemRange(list, 0, -1, &records[1]) == 1);
        CHECK(KvList_ArrayForceItemCount(list, 1, FALSE) == S_OK);
        CHECK(KvList_ArrayForceItemCount(list, 6, FALSE) == S_OK);
        stored = reinterpret_cast<const Record*>(list->items);
        CHECK(stored[0].key == 5);
        CHECK((stored[1].key == 0 && stored[2].payload == 0 && stored[5].tail == 0));
        CHECK(list->capacity == 8);
        CHECK(KvList_AllocItem(list, 8, nullptr) == KV_E_FAIL);
    }
    KvList_Destroy(list);
}

TEST_CASE("the pending item")
{
    tKVLIST* list = nullptr;
    REQUIRE(KvList_CreateExZ(&list, 0, -1, -1, KVLIST_OWNS_ITEMS | KVLIST_PRIVATE_HEAP) == S_OK);
    const int empty = BusyBlocks(list->heap);
    void* block = nullptr;
    REQUIRE(KvList_AllocItem(list, 24, &block) == S_OK);
    void* second = AsItem(1);
    CHECK(KvList_AllocItem(list, 24, &second) == KV_E_FAIL);
    CHECK(second == nullptr);
    CHECK(KvList_AllocAndInsertItem(list, "x", 2, 0, nullptr) == KV_E_FAIL);
    CHECK(list->pendingItem == block); // the refused call left the earlier block alone
    SUBCASE("inserting the pending block") {
        CHECK(KvList_InsertList(list, 0, nullptr, -1) == S_OK);
        CHECK(list->items[0] == block);
        CHECK(list->pendingItem == nullptr);
        CHECK(KvList_InsertList(list, 0, nullptr, -1) == KV_E_FAIL);
        CHECK(KvList_AllocItem(list, 8, &block) == S_OK);
        CHECK(KvList_InsertList(list, 0, &block, -1) == S_OK); // handed over explicitly
        CHECK(list->pendingItem == nullptr);
        CHECK(BusyBlocks(list->heap) == empty + 2);
    }
    SUBCASE("deleting the pending block") {
        CHECK(KvList_DeleteList(list, -1, -1, FALSE) == S_OK);
        CHECK(list->pendingItem == nullptr);
        CHECK(BusyBlocks(list->heap) == empty);
        CHECK(KvList_DeleteList(list, -1, -1, FALSE) == KV_E_FAIL);
    }
    KvList_Destroy(list);
}

TEST_CASE("sorting")
{
    const std::vector<intptr_t> random = RandomValues(300, 20240611);
    std::vector<intptr_t> ascending = random;
    std::sort(ascending.begin(), ascending.end());
    std::vector<intptr_t> descending(ascending.rbegin(), ascending.rend());
    g_badCriteria = 0;
    tKVLIST* list = FilledList(random);
    SUBCASE("selection sort") {
        CHECK(KvList_Sort(list, 0, ComparePointers) == S_OK);
        CHECK(Values(list) == ascending);
        CHECK(KvList_Sort(list, 1, ComparePointers) == S_OK);
        CHECK(Values(list) == descending);
        CHECK(KvList_GetSortCriteria(list) == 1);
    }
    SUBCASE("heap sort") {
        CHECK(KvList_HeapSort(list, 1, ComparePointers) == S_OK);
        CHECK(Values(list) == descending);
        CHECK(KvList_HeapSort(list, 0, ComparePointers) == S_OK);
        CHECK(Values(list) == ascending);
    }
    SUBCASE("sorted copy into another list") {
        tKVLIST* sorted = FilledList({});
        CHECK(KvList_SortTo(sorted, list, 0, ComparePointers) == S_OK);
        CHECK(Values(sorted) == ascending);
        CHECK(Values(list) == random);
        CHECK(KvList_SortTo(list, list, 0, ComparePointers) == KV_E_INVALIDARG);
        KvList_Destroy(sorted);
    }
    SUBCASE("records and degenerate lists") {
        tKVLIST* records = nullptr;
        REQUIRE(KvList_CreateExZ(&records, sizeof(Record), -1, -1, KVLIST_FIXED_ITEMS) == S_OK);
        for (intptr_t value : random) {
            Record record{static_cast<int>(value), static_cast<int>(value) * 3, 0};
            REQUIRE(KvList_InsertList(records, -1, &record, 1) == S_OK);
        }
        CHECK(KvList_HeapSort(records, 0, CompareRecords) == S_OK);
        const Record* stored = reinterpret_cast<const Record*>(records->items);
        for (int i = 0; i < records->count; ++i)
            CHECK((stored[i].key == ascending[i] && stored[i].payload == 3 * stored[i].key));
        CHECK(KvList_Sort(records, 1, CompareRecords) == S_OK);
        CHECK(stored[0].key == descending[0]);
        CHECK(stored[records->count - 1].key == descending.back());
        KvList_Destroy(records);
        CHECK(KvList_DeleteList(list, 1, -1, FALSE) == S_OK);
        CHECK(KvList_Sort(list, 0, ComparePointers) == S_OK);
        CHECK(KvList_HeapSort(list, 0, nullptr) == S_OK);
        CHECK(Values(list) == std::vector<intptr_t>{random[0]});
    }
    CHECK(g_badCriteria == 0);
    KvList_Destroy(list);
}

TEST_CASE("searches")
{
    std::vector<intptr_t> values = RandomValues(101, 77);
    std::sort(values.begin(), values.end());
    tKVLIST* list = FilledList(values);
    list->sortCriteria = 0;
    SUBCASE("binary search finds every present item and no absent one") {
        for (intptr_t value : values) {
            const int at = KvList_FindSortedItemRange(list, AsItem(value), 0, -1, ComparePointers);
            REQUIRE(at >= 0);
            CHECK(values[at] == value);
        }
        CHECK(KvList_FindSortedItemRange(list, AsItem(values.back() + 1), 0, -1, ComparePointers) == -1);
        CHECK(KvList_FindSortedItemRange(list, AsItem(values[0] - 1), 0, -1, ComparePointers) == -1);
        CHECK(KvList_FindSortedItemRange(list, AsItem(values[10]), 20, 30, ComparePointers) == -1);
    }
    SUBCASE("insert index keeps the order") {
        for (intptr_t key = values.front() - 2; key <= values.back() + 2; key += 7) {
            const int at = KvList_FindSortedInsertIndexRange(list, AsItem(key), 0, -1, ComparePointers);
            REQUIRE((at >= 0 && at <= list->count));
            CHECK((at == 0 || values[at - 1] <= key));
            CHECK((at == list->count || values[at] >= key));
        }
        tKVLIST* empty = FilledList({});
        CHECK(KvList_FindSortedInsertIndexRange(empty, AsItem(5), 0, -1, ComparePointers) == 0);
        KvList_Destroy(empty);
    }
    SUBCASE("linear searches honour the range") {
        tKVLIST* plain = FilledList({4, 8, 15, 16, 23, 42, 8});
        CHECK(KvList_FindSpecificItemRange(plain, -5, -1, AsItem(8)) == 1);
        CHECK(KvList_FindSpecificItemRange(plain, 2, 100, AsItem(8)) == 6);
        CHECK(KvList_FindSpecificItemRange(plain, 2, 3, AsItem(8)) == -1);
        CHECK(KvList_FindSpecificItemRange(plain, 9, -1, AsItem(4)) == -1);
        CHECK(KvList_FindItemRange(plain, 0, -1, AsItem(23), ComparePointers) == 4);
        CHECK(KvList_FindItemRange(plain, 5, -1, AsItem(23), ComparePointers) == -1);
        CHECK(KvList_FindItemRange(plain, 0, -1, AsItem(23), nullptr) == -1);
        CHECK(KvList_IsValidIndexSlow(plain, 6));
        CHECK_FALSE(KvList_IsValidIndexSlow(plain, 7));
        CHECK_FALSE(KvList_IsValidIndexSlow(plain, -1));
        KvList_Destroy(plain);
    }
    KvList_Destroy(list);
}

TEST_CASE("moving items")
{
    SUBCASE("MoveRange matches a rotation, short and long runs") {
        std::vector<intptr_t> values(200);
        for (size_t i = 0; i < values.size(); ++i)
            values[i] = static_cast<intptr_t>(i);
        tKVLIST* list = FilledList(values);
        const int moves[][3] = {{2, 5, 3}, {10, 1, 4}, {0, 120, 80}, {130, 3, 70}}; // the last two exceed 512 bytes
        for (const auto& move : moves) {
            const int from = move[0], to = move[1], n = move[2];
            REQUIRE(KvList_MoveRange(list, from, to, n) == S_OK);
            if (to < from)
                std::rotate(values.begin() + to, values.begin() + from, values.begin() + from + n);
            else
                std::rotate(values.begin() + from, values.begin() + from + n, values.begin() + to + n);
            CHECK(Values(list) == values);
        }
        CHECK(KvList_MoveRange(list, -1, 0, 1) == KV_E_INVALIDARG);
        CHECK(KvList_MoveRange(list, 190, 0, 11) == KV_E_FAIL);
        CHECK(KvList_MoveRange(list, 0, 195, 6) == KV_E_FAIL);
        CHECK(Values(list) == values);
        KvList_Destroy(list);
    }
    SUBCASE("blocks change lists without a copy") {
        tKVLIST* source = nullptr;
        tKVLIST* destination = nullptr;
        REQUIRE(KvList_CreateExZ(&source, 0, -1, -1, KVLIST_OWNS_ITEMS | KVLIST_LOCKED) == S_OK);
        REQUIRE(KvList_CreateExZ(&destination, 0, -1, -1, KVLIST_OWNS_ITEMS) == S_OK);
        for (int i = 0; i < 6; ++i)
            REQUIRE(KvList_AllocAndInsertItem(source, &i, sizeof(i), -1, nullptr) == S_OK);
        const int marker = 100;
        REQUIRE(KvList_AllocAndInsertItem(destination, &marker, sizeof(marker), -1, nullptr) == S_OK);
        void* moved[3] = {source->items[1], source->items[2], source->items[3]};
        CHECK(KvList_MoveItemsBetweenHeapLists(destination, 0, source, 1, 3) == S_OK);
        CHECK(destination->count == 4);
        CHECK(std::equal(moved, moved + 3, destination->items));
        CHECK(*static_cast<int*>(destination->items[3]) == 100);
        CHECK(source->count == 3);
        CHECK(*static_cast<int*>(source->items[1]) == 4);
        CHECK(source->items[3] == nullptr);
        CHECK(KvList_MoveItemsBetweenHeapLists(destination, 0, source, 3, 1) == KV_E_FAIL);
        tKVLIST* plain = FilledList({1});
        CHECK(KvList_MoveItemsBetweenHeapLists(plain, 0, source, 0, 1) == KV_E_FAIL);
        tKVLIST* privateHeap = nullptr;
        REQUIRE(KvList_CreateExZ(&privateHeap, 0, -1, -1, KVLIST_OWNS_ITEMS | KVLIST_PRIVATE_HEAP) == S_OK);
        CHECK(KvList_MoveItemsBetweenHeapLists(privateHeap, 0, source, 0, 1) == KV_E_FAIL);
        CHECK(source->count == 3);
        KvList_Destroy(privateHeap);
        KvList_Destroy(plain);
        CHECK(KvList_Destroy(source) == S_OK); // each block is freed once, by its current owner
        CHECK(KvList_Destroy(destination) == S_OK);
    }
}

TEST_CASE("headers in caller storage")
{
    tKVLIST storage;
    SUBCASE("created in place") {
        tKVLIST* list = &storage;
        REQUIRE(KvList_CreateExZ(&list, 0, -1, -1, KVLIST_IN_PLACE | KVLIST_LOCKED) == S_OK);
        CHECK(list == &storage);
        Append(list, 5);
        CHECK(KvList_Destroy(list) == S_OK);
        CHECK(storage.magic == 0); // still readable: the storage was not freed
        CHECK_FALSE(KvList_IsListFast(&storage));
    }
    SUBCASE("converted from a heap header") {
        tKVLIST* list = FilledList({1, 2, 3}, KVLIST_LOCKED);
        CHECK(KvList_ConvertToInPlace(&list, &storage) == S_OK);
        CHECK(list == nullptr);
        CHECK((storage.options & KVLIST_IN_PLACE) != 0);
        Append(&storage, 4); // the fresh lock works
        CHECK(Values(&storage) == std::vector<intptr_t>{1, 2, 3, 4});
        tKVLIST* again = &storage;
        tKVLIST other;
        CHECK(KvList_ConvertToInPlace(&again, &other) == KV_E_FAIL);
        CHECK(KvList_Destroy(&storage) == S_OK);
        CHECK(storage.magic == 0);
    }
}

TEST_CASE("threads")
{
    SUBCASE("a single-thread header refuses other threads") {
        tKVLIST* list = FilledList({1, 2});
        list->options &= ~KVLIST_ANY_THREAD;
        HRESULT inserted = S_OK, deleted = S_OK;
        int found = 0;
        void* item = AsItem(3);
        std::thread([&] {
            inserted = KvList_InsertList(list, -1, &item, 1);
            deleted = KvList_DeleteList(list, 0, 1, FALSE);
            found = KvList_FindSpecificItemRange(list, 0, -1, AsItem(1));
        }).join();
        CHECK(inserted == KV_E_FAIL);
        CHECK(deleted == KV_E_FAIL);
        CHECK(found == -1);
        CHECK(Values(list) == std::vector<intptr_t>{1, 2});
        CHECK(KvList_InsertList(list, -1, &item, 1) == S_OK); // the owner still may
        CHECK(KvList_SetThreadOwner(list, GetCurrentThreadId() + 4) == S_OK);
        CHECK(KvList_InsertList(list, -1, &item, 1) == KV_E_FAIL);
        list->options |= KVLIST_ANY_THREAD;
        CHECK(KvList_Destroy(list) == S_OK);
    }
    SUBCASE("a locked list serialises concurrent inserts and deletes") {
        const std::vector<intptr_t> kept = {7, 8, 9};
        tKVLIST* list = FilledList(kept, KVLIST_LOCKED);
        list->options &= ~KVLIST_ANY_THREAD; // the lock alone is enough to allow other threads
        std::atomic<int> ready{0};
        std::atomic<int> failures{0};
        // Each pass puts one item in front and takes the front item out again, so only the kept items remain.
        auto churn = [list, &ready, &failures](intptr_t value) {
            ready.fetch_add(1);
            while (ready.load() < 2) { // start together so the passes really overlap
            }
            void* item = AsItem(value);
            for (int pass = 0; pass < 200000; ++pass) {
                if (KvList_InsertList(list, 0, &item, 1) != S_OK || KvList_DeleteList(list, 0, 1, TRUE) != S_OK)
                    failures.fetch_add(1);
            }
        };
        std::thread a(churn, 1), b(churn, 2);
        a.join();
        b.join();
        CHECK(failures.load() == 0);
        CHECK(Values(list) == kept);
        KvList_Destroy(list);
    }
}
