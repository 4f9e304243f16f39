// The list container: ranges, owned blocks and records stored by value.
#include <doctest.h>
#include <algorithm>
#include <cstring>
#include <vector>
#include "kvlist.h"
#include "kvresult.h"

namespace {

using Values = std::vector<intptr_t>;
void* AsItem(intptr_t value) { return reinterpret_cast<void*>(value); }

struct Record { int key; int payload; short tail; }; // 10 bytes of fields

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

Values Sequence(int n) {
    Values values(n);
    for (int i = 0; i < n; ++i) values[i] = i;
    return values;
}

} // namespace

TEST_CASE("refused combinations, and more lists live at once than a table of movable blocks holds") {
    tKVLIST* list = reinterpret_cast<tKVLIST*>(1);
    CHECK(KvList_CreateExZ(&list, 8, -1, -1, KVLIST_FIXED_ITEMS | KVLIST_OWNS_ITEMS) == KV_E_FAIL);
    CHECK(list == nullptr);
    CHECK(KvList_CreateExZ(&list, 0, -1, -1, KVLIST_IN_PLACE) == KV_E_FAIL);
    CHECK(KvList_CreateExZ(&list, 0, -1, -1, KVLIST_FIXED_ITEMS) == KV_E_INVALIDARG);
    std::vector<tKVLIST*> lists(70000, nullptr);
    int made = 0;
    for (tKVLIST*& each : lists) made += KvList_CreateExZ(&each, sizeof(void*), -1, -1, KVLIST_LOCKED) == S_OK;
    CHECK(made == 70000);
    for (tKVLIST* each : lists) KvList_Destroy(each);
}

TEST_CASE("shrinking keeps the items and zeroes the slots that come back") {
    tKVLIST* list = Filled(Sequence(40));
    CHECK(KvList_DeleteList(list, 10, -1, TRUE) == S_OK);
    CHECK(Read(list) == Sequence(10));
    CHECK(KvList_GrowAllocated(list, 64) == S_OK);
    CHECK(list->items[10] == nullptr);
    CHECK(list->items[list->capacity - 1] == nullptr);
    KvList_Destroy(list);
}

TEST_CASE("a small list's first slots: shrunk and grown again, outgrown, and kept when the header moves") {
    tKVLIST* list = Make(0, 0, -1, 4);
    for (intptr_t value : Sequence(5)) {
        void* item = AsItem(value);
        REQUIRE(KvList_InsertList(list, -1, &item, 1) == S_OK);
    }
    CHECK(KvList_DeleteList(list, 2, -1, TRUE) == S_OK);
    CHECK(list->capacity == 4);
    CHECK(KvList_GrowAllocated(list, 8) == S_OK);
    CHECK(list->items[2] == nullptr);
    CHECK(list->items[11] == nullptr);
    void* more[38];
    for (int i = 0; i < 38; ++i) more[i] = AsItem(i + 2);
    CHECK(KvList_InsertList(list, -1, more, 38) == S_OK);
    CHECK(Read(list) == Sequence(40));
    KvList_Destroy(list);

    list = Filled({7, 8, 9});
    void** before = list->items;
    tKVLIST storage;
    CHECK(KvList_ConvertToInPlace(&list, &storage) == S_OK);
    CHECK(storage.items != before); // not left in the block the old header went with
    CHECK(Read(&storage) == Values{7, 8, 9});
    CHECK(KvList_InsertList(&storage, -1, more, 38) == S_OK);
    CHECK(storage.count == 41);
    KvList_Destroy(&storage);
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
        const Record* stored = reinterpret_cast<const Record*>(list->items);
        CHECK(stored[0].key == 5);
        CHECK(stored[0].tail == 1);
        CHECK(stored[2].payload == 70);
        CHECK(KvList_DeleteList(list, 0, 1, FALSE) == S_OK);
        CHECK(stored[0].key == 6);
        CHECK(KvList_AllocItem(list, 8, nullptr) == KV_E_FAIL);
        KvList_Destroy(list);
    }
}

