// The list container: growth steps, ranges, owned and pending blocks, sorting, searches, thread owner, locking.
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

using Values = std::vector<intptr_t>;
void* AsItem(intptr_t value) { return reinterpret_cast<void*>(value); }

// Ascending for criteria 0, descending for 1; other criteria mean the list passed the wrong value.
int g_badCriteria = 0;
int Order(uint32_t criteria, intptr_t a, intptr_t b) {
    g_badCriteria += criteria > 1;
    const int order = a < b ? -1 : (a > b ? 1 : 0);
    return criteria == 1 ? -order : order;
}
int CALLBACK ComparePointers(uint32_t criteria, const void* a, const void* b) {
    return Order(criteria, reinterpret_cast<intptr_t>(a), reinterpret_cast<intptr_t>(b));
}
struct Record { int key; int payload; short tail; }; // 10 bytes of fields
int CALLBACK CompareRecords(uint32_t criteria, const void* a, const void* b) {
    return Order(criteria, static_cast<const Record*>(a)->key, static_cast<const Record*>(b)->key);
}

Values Read(const tKVLIST* list) {
    Values values;
    for (int i = 0; i < list->count; ++i) values.push_back(reinterpret_cast<intptr_t>(list->items[i]));
    return values;
}

tKVLIST* Make(uint32_t options, uint32_t itemSize = 0, int initial = -1, int step = -1) {
    tKVLIST* list = nullptr;
    REQUIRE(KvList_CreateExZ(&list, itemSize, initial, step, options) == S_OK);
    return list;
}

tKVLIST* Filled(const Values& values, uint32_t options = 0) {
    tKVLIST* list = Make(options);
    for (intptr_t value : values) {
        void* item = AsItem(value);
        REQUIRE(KvList_InsertList(list, -1, &item, 1) == S_OK);
    }
    return list;
}

// 0..n-1, or with a seed n random values in a narrow range: plenty of equal items.
Values Sequence(int n, unsigned seed = 0) {
    std::mt19937 random(seed);
    Values values(n);
    for (int i = 0; i < n; ++i) values[i] = seed ? std::uniform_int_distribution<int>(-500, 500)(random) : i;
    return values;
}

int BusyBlocks(HANDLE heap) {
    int busy = 0;
    PROCESS_HEAP_ENTRY entry{};
    HeapLock(heap);
    while (HeapWalk(heap, &entry)) busy += (entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0;
    HeapUnlock(heap);
    return busy;
}

} // namespace

TEST_CASE("list creation: normalised sizes and refused combinations") {
    tKVLIST* list = Make(KVLIST_LOCKED);
    CHECK(list->itemSize == sizeof(void*));
    CHECK(list->capacity == 16);
    CHECK(list->growBy == 16);
    CHECK(KvList_GetCreateOptions(list) == (KVLIST_LOCKED | KVLIST_ANY_THREAD));
    KvList_Destroy(list);
    const struct { uint32_t options, itemSize; int initial, step; uint32_t size; int capacity, growBy; } rows[] = {
        {KVLIST_FIXED_ITEMS, 10, 5, 4, 12, 8, 4}, {0, 0, 1, 100000, sizeof(void*), 66560, 66560}};
    for (const auto& row : rows) {
        CAPTURE(row.step);
        list = Make(row.options, row.itemSize, row.initial, row.step);
        CHECK(list->itemSize == row.size);
        CHECK(list->capacity == row.capacity);
        CHECK(list->growBy == row.growBy);
        KvList_Destroy(list);
    }

    list = reinterpret_cast<tKVLIST*>(1);
    CHECK(KvList_CreateExZ(&list, 8, -1, -1, KVLIST_FIXED_ITEMS | KVLIST_OWNS_ITEMS) == KV_E_FAIL);
    CHECK(list == nullptr);
    CHECK(KvList_CreateExZ(&list, 0, -1, -1, KVLIST_IN_PLACE) == KV_E_FAIL);
    CHECK(KvList_CreateExZ(&list, 0, -1, -1, KVLIST_FIXED_ITEMS) == KV_E_INVALIDARG);
}

TEST_CASE("growth and shrinking steps") {
    tKVLIST* list = Filled({});
    std::vector<void*> many(40, AsItem(3));
    SUBCASE("inserts grow by whole steps, zero-filled") {
        CHECK(KvList_InsertList(list, -1, many.data(), 16) == S_OK);
        CHECK(list->capacity == 16);
        CHECK(KvList_InsertList(list, -1, many.data(), 1) == S_OK);
        CHECK(list->capacity == 32);
        CHECK(list->items[17] == nullptr);
        tKVLIST* fresh = Filled({});
        CHECK(KvList_InsertList(fresh, 0, many.data(), 40) == S_OK);
        CHECK(fresh->capacity == 64);
        CHECK(fresh->count == 40);
        KvList_Destroy(fresh);
    }
    SUBCASE("deleting with and without shrink") {
        KvList_Destroy(list);
        list = Filled(Sequence(40));
        REQUIRE(list->capacity == 48);
        CHECK(KvList_DeleteList(list, 11, -1, FALSE) == S_OK);
        CHECK(list->capacity == 48);
        CHECK(KvList_DeleteList(list, 10, 1, TRUE) == S_OK);
        CHECK(list->capacity == 16);
        CHECK(Read(list) == Sequence(10));
    }
    SUBCASE("shrunk slots come back zeroed, and more lists live at once than a table of movable blocks holds") {
        CHECK(KvList_InsertList(list, -1, many.data(), 40) == S_OK);
        CHECK(KvList_DeleteList(list, 1, -1, TRUE) == S_OK);
        CHECK(KvList_GrowAllocated(list, 64) == S_OK);
        CHECK(list->items[1] == nullptr);
        CHECK(list->items[list->capacity - 1] == nullptr);
        std::vector<tKVLIST*> lists(70000, nullptr);
        int made = 0;
        for (tKVLIST*& each : lists) made += KvList_CreateExZ(&each, sizeof(void*), -1, -1, KVLIST_LOCKED) == S_OK;
        CHECK(made == 70000);
        for (tKVLIST* each : lists) KvList_Destroy(each);
    }
    KvList_Destroy(list);
}

TEST_CASE("insert and delete ranges") {
    tKVLIST* list = Filled({1, 2, 3});
    void* items[2] = {AsItem(10), AsItem(11)};
    CHECK(KvList_InsertList(list, 1000, items, 1) == S_OK);
    CHECK(KvList_InsertList(list, 1, items, 2) == S_OK);
    CHECK(Read(list) == Values{1, 10, 11, 2, 3, 10});
    CHECK(KvList_InsertList(list, 0, list->items + 1, 2) == S_OK); // source inside the list itself
    CHECK(Read(list) == Values{10, 11, 1, 10, 11, 2, 3, 10});
    CHECK(KvList_InsertList(list, 0, nullptr, 1) == KV_E_FAIL);
    CHECK(KvList_InsertList(list, 0, nullptr, -1) == KV_E_FAIL);
    CHECK(KvList_DeleteList(list, 8, 1, FALSE) == KV_E_FAIL);
    CHECK(KvList_DeleteList(list, -2, 1, FALSE) == KV_E_FAIL);
    CHECK(KvList_DeleteList(list, -1, -1, FALSE) == KV_E_FAIL); // no pending block
    CHECK(KvList_DeleteList(list, 8, -1, FALSE) == S_OK);
    CHECK(KvList_DeleteList(list, 1, 50, FALSE) == S_OK);
    CHECK(Read(list) == Values{10});
    CHECK(list->items[1] == nullptr);
    CHECK(list->items[7] == nullptr);
    CHECK(KvList_DeleteList(list, 0, -1, FALSE) == S_OK);
    CHECK(KvList_DeleteList(list, 0, -1, FALSE) == S_OK);
    CHECK(list->count == 0); // empty list
    KvList_Destroy(list);
}

TEST_CASE("owned and fixed items") {
    SUBCASE("owned blocks are zero-filled copies; a plain insert is refused") {
        tKVLIST* list = Make(KVLIST_OWNS_ITEMS);
        const char text[] = "preset";
        int at = -2;
        CHECK(KvList_AllocAndInsertItem(list, text, sizeof(text), 50, &at) == S_OK);
        CHECK(at == 0);
        CHECK(KvList_AllocAndInsertItem(list, nullptr, 16, 0, &at) == S_OK);
        CHECK(at == 0);
        CHECK(strcmp(static_cast<const char*>(list->items[1]), text) == 0);
        CHECK(list->items[1] != text);
        const char* zeros = static_cast<const char*>(list->items[0]);
        CHECK(std::all_of(zeros, zeros + 16, [](char c) { return c == 0; }));
        void* foreign = AsItem(4);
        CHECK(KvList_InsertList(list, 0, &foreign, 1) == KV_E_FAIL);
        CHECK(list->count == 2);
        KvList_Destroy(list);
    }
    SUBCASE("fixed records are stored by value") {
        tKVLIST* list = Make(KVLIST_FIXED_ITEMS, 10, 4, 4);
        Record records[3] = {{5, 50, 1}, {6, 60, 2}, {7, 70, 3}};
        CHECK(KvList_InsertList(list, 0, records, 3) == S_OK);
        records[0].key = 0;
        CHECK(KvList_FindSpecificItemRange(list, 0, -1, &records[1]) == 1);
        CHECK(KvList_ArrayForceItemCount(list, 1, FALSE) == S_OK);
        CHECK(KvList_ArrayForceItemCount(list, 6, FALSE) == S_OK);
        const Record* stored = reinterpret_cast<const Record*>(list->items);
        CHECK(stored[0].key == 5);
        CHECK(stored[0].tail == 1);
        CHECK(list->capacity == 8);
        CHECK(stored[1].key == 0);
        CHECK(stored[2].payload == 0);
        CHECK(stored[5].tail == 0);
        CHECK(KvList_AllocItem(list, 8, nullptr) == KV_E_FAIL);
        KvList_Destroy(list);
    }
}

TEST_CASE("the pending item") {
    tKVLIST* list = Make(KVLIST_OWNS_ITEMS | KVLIST_PRIVATE_HEAP);
    REQUIRE(list->heap != GetProcessHeap());
    const int empty = BusyBlocks(list->heap);
    void* block = nullptr;
    REQUIRE(KvList_AllocItem(list, 24, &block) == S_OK);
    void* second = AsItem(1);
    CHECK(KvList_AllocItem(list, 24, &second) == KV_E_FAIL);
    CHECK(second == nullptr);
    CHECK(KvList_AllocAndInsertItem(list, "x", 2, 0, nullptr) == KV_E_FAIL);
    CHECK(list->pendingItem == block); // the refused calls left the earlier block alone
    SUBCASE("inserting the pending block") {
        CHECK(KvList_InsertList(list, 0, nullptr, -1) == S_OK);
        CHECK(list->items[0] == block);
        CHECK(KvList_InsertList(list, 0, nullptr, -1) == KV_E_FAIL);
        CHECK(KvList_AllocItem(list, 8, &block) == S_OK);
        CHECK(KvList_InsertList(list, 0, &block, -1) == S_OK); // handed over explicitly
        CHECK(list->pendingItem == nullptr);
        CHECK(BusyBlocks(list->heap) == empty + 2);
    }
    SUBCASE("deleting the pending block; the private heap holds exactly the live blocks") {
        CHECK(KvList_DeleteList(list, -1, -1, FALSE) == S_OK);
        CHECK(list->pendingItem == nullptr);
        CHECK(BusyBlocks(list->heap) == empty);
        CHECK(KvList_DeleteList(list, -1, -1, FALSE) == KV_E_FAIL);
        for (int i = 0; i < 5; ++i) REQUIRE(KvList_AllocAndInsertItem(list, &i, sizeof(i), -1, nullptr) == S_OK);
        CHECK(KvList_DeleteList(list, 1, 2, FALSE) == S_OK);
        CHECK(BusyBlocks(list->heap) == empty + 3);
        CHECK(*static_cast<int*>(list->items[1]) == 3);
    }
    KvList_Destroy(list);
}

TEST_CASE("sorting and searches") {
    const Values random = Sequence(300, 20240611);
    Values ascending = random;
    std::sort(ascending.begin(), ascending.end());
    const Values descending(ascending.rbegin(), ascending.rend());
    g_badCriteria = 0;
    tKVLIST* list = Filled(random);
    SUBCASE("heap sort, selection sort and a sorted copy") {
        tKVLIST* sorted = Filled({});
        CHECK(KvList_SortTo(sorted, list, 0, ComparePointers) == S_OK);
        CHECK(Read(sorted) == ascending);
        CHECK(Read(list) == random);
        CHECK(KvList_HeapSort(list, 1, ComparePointers) == S_OK);
        CHECK(Read(list) == descending);
        CHECK(KvList_Sort(list, 0, ComparePointers) == S_OK);
        CHECK(Read(list) == ascending);
        CHECK(KvList_HeapSort(list, 1, ComparePointers) == S_OK);
        CHECK(KvList_GetSortCriteria(list) == 1);
        CHECK(Read(list) == descending);
        KvList_Destroy(sorted);
    }
    SUBCASE("records are sorted whole") {
        tKVLIST* records = Make(KVLIST_FIXED_ITEMS, sizeof(Record));
        for (intptr_t value : random) {
            Record record{static_cast<int>(value), static_cast<int>(value) * 3, 0};
            REQUIRE(KvList_InsertList(records, -1, &record, 1) == S_OK);
        }
        CHECK(KvList_Sort(records, 0, CompareRecords) == S_OK);
        const Record* stored = reinterpret_cast<const Record*>(records->items);
        for (int i = 0; i < records->count; ++i) {
            CHECK(stored[i].key == ascending[i]);
            CHECK(stored[i].payload == 3 * stored[i].key);
        }
        KvList_Destroy(records);
    }
    SUBCASE("binary search and insert index on the sorted list") {
        REQUIRE(KvList_Sort(list, 0, ComparePointers) == S_OK);
        for (intptr_t key = ascending.front() - 2; key <= ascending.back() + 2; key += 3) {
            CAPTURE(key);
            const int found = KvList_FindSortedItemRange(list, AsItem(key), 0, -1, ComparePointers);
            const bool present = std::binary_search(ascending.begin(), ascending.end(), key);
            if (present) {
                REQUIRE(found >= 0);
                CHECK(ascending[found] == key);
            } else {
                CHECK(found == -1);
            }
            const int at = KvList_FindSortedInsertIndexRange(list, AsItem(key), 0, -1, ComparePointers);
            REQUIRE(at >= 0);
            REQUIRE(at <= list->count);
            CHECK((at == 0 || ascending[at - 1] <= key));
            CHECK((at == list->count || ascending[at] >= key));
        }
        CHECK(KvList_FindSortedItemRange(list, AsItem(ascending[10]), 200, 30, ComparePointers) == -1);
    }
    CHECK(g_badCriteria == 0);
    KvList_Destroy(list);
}

TEST_CASE("a single-thread list refuses other threads") {
    tKVLIST* list = Filled({1, 2});
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
    CHECK(Read(list) == Values{1, 2});
    CHECK(KvList_InsertList(list, -1, &item, 1) == S_OK); // the owner still may
    list->options |= KVLIST_ANY_THREAD;
    KvList_Destroy(list);
}

TEST_CASE("a locked list serialises concurrent inserts and deletes") {
    const Values kept = {7, 8, 9};
    tKVLIST* list = Filled(kept, KVLIST_LOCKED);
    list->options &= ~KVLIST_ANY_THREAD; // the lock alone allows other threads
    std::atomic<int> ready{0}, failures{0};
    // Each pass puts one item in front and takes the front item out, so only the kept items remain.
    auto churn = [list, &ready, &failures](intptr_t value) {
        ready.fetch_add(1);
        while (ready.load() < 2) { // start together so the passes really overlap
        }
        void* item = AsItem(value);
        for (int pass = 0; pass < 200000; ++pass)
            if (KvList_InsertList(list, 0, &item, 1) != S_OK || KvList_DeleteList(list, 0, 1, TRUE) != S_OK)
                failures.fetch_add(1);
    };
    std::thread a(churn, 1), b(churn, 2);
    a.join();
    b.join();
    CHECK(failures.load() == 0);
    CHECK(Read(list) == kept);
    KvList_Destroy(list);
}
