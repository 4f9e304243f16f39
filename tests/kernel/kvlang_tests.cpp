// Language instances: string loading and caching from the real string table, the scratch ring, resources.
#include <doctest.h>
#include <memory>
#include <string>
#include "kvlang.h"
#include "kvlang_internal.h"
#include "wide_string_maker.h"
#include "kvlang_test_ids.h"
#include "resource.h"

namespace {

// An instance on the test executable, closed at the end of the scope.
using Language = std::unique_ptr<tKVLANG, void (*)(tKVLANG*)>;
Language Open(int ringSize = 0) {
    tKVLANG* lang = nullptr;
    REQUIRE(KvLang_Open(&lang, GetModuleHandleW(nullptr), 0, ringSize) == S_OK);
    REQUIRE(lang != nullptr);
    return Language(lang, [](tKVLANG* l) { CHECK(KvLang_Close(l) == S_OK); });
}

std::wstring MenuText(HMENU menu, UINT position) {
    wchar_t text[128] = L"";
    GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    return text;
}

} // namespace

TEST_CASE("KvLoadString reads the string table, cuts to the buffer and drops the editorial marker") {
    Language lang = Open();
    wchar_t buffer[65];
    const struct { UINT id; int capacity; int length; const wchar_t* text; } rows[] = {
        {IDS_UNTITLED, 64, 8, L"Untitled"}, {IDS_UNTITLED, 4, 3, L"Unt"}, {IDS_TEST_MARKED, 64, 17, L"Marked for review"},
        {IDS_TEST_MARKER_ONLY, 64, 0, L""}, {IDS_TEST_MARKER_INSIDE, 64, 15, L"Plain ^* inside"}, {60999, 64, 0, L""}};
    for (const auto& row : rows) {
        CAPTURE(std::wstring(row.text));
        std::wmemset(buffer, L'x', 65);
        CHECK(KvLoadString(lang.get(), row.id, buffer, row.capacity) == row.length);
        CHECK(std::wstring(buffer) == row.text);
        CHECK(buffer[row.capacity] == L'x');
    }
    buffer[0] = L'q';
    CHECK(KvLoadString(lang.get(), IDS_UNTITLED, buffer, 0) == 0);
    CHECK(buffer[0] == L'q');
    CHECK(KvLoadString(nullptr, IDS_UNTITLED, buffer, 64) == 0);
    CHECK(buffer[0] == L'\0');
    // Cached texts: a missing or empty one is the empty text, never null, with or without an instance.
    for (tKVLANG* instance : {lang.get(), static_cast<tKVLANG*>(nullptr)})
        for (UINT id : {60999u, static_cast<UINT>(IDS_TEST_MARKER_ONLY)}) CHECK(std::wstring(KvGetString(instance, id)).empty());
}

TEST_CASE("the scratch ring hands out slices and wraps") {
    Language lang = Open(2048);
    wchar_t* a = KvGetTempStringBuffer(lang.get(), 1000);
    wchar_t* b = KvGetTempStringBuffer(lang.get(), 1000);
    REQUIRE(a != nullptr);
    REQUIRE(b == a + 1000);
    wcscpy(b, L"kept");
    CHECK(KvGetTempStringBuffer(lang.get(), 1000) == a);
    CHECK(std::wstring(b) == L"kept"); // the wrap leaves b alone
    CHECK(KvGetTempStringBuffer(lang.get(), 48) == a + 1000);
    CHECK(KvGetTempStringBuffer(lang.get(), 1000) == a + 1048);
    CHECK(KvGetTempStringBuffer(lang.get(), 2049) == nullptr); // a slice never spans the wrap
}

TEST_CASE("menus lose the editorial marker; resources are found in the instance's module") {
    Language lang = Open();
    HMENU menu = KvLoadMenu(lang.get(), IDR_TEST_MENU);
    REQUIRE(menu != nullptr);
    CHECK(MenuText(menu, 0) == L"&File");
    CHECK(MenuText(GetSubMenu(menu, 0), 0) == L"&Open");
    CHECK(MenuText(GetSubMenu(menu, 0), 2) == L"&Close ^*");
    DestroyMenu(menu);
    CHECK(KvLoadMenu(lang.get(), 60999) == nullptr);
    CHECK(KvFindResInstance(lang.get(), MAKEINTRESOURCEW(IDR_TEST_MENU), RT_MENU) == GetModuleHandleW(nullptr));
}
