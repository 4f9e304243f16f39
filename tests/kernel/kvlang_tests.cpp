// Language instances: string loading and caching from the real string table, the scratch ring, resources.
#include <doctest.h>
#include <string>
#include "kvkernel.h"
#include "kvlang.h"
#include "kvlang_internal.h"
#include "wide_string_maker.h"
#include "kvlang_test_ids.h"
#include "resource.h"

namespace {

// Opens an instance on the test executable and closes it at the end of the scope.
class OpenLanguage {
public:
    explicit OpenLanguage(int ringSize = 0) {
        REQUIRE(KvLang_Open(&lang_, GetModuleHandleW(nullptr), 0, ringSize) == S_OK);
        REQUIRE(lang_ != nullptr);
    }
    ~OpenLanguage() { CHECK(KvLang_Close(lang_) == S_OK); }
    OpenLanguage(const OpenLanguage&) = delete;
    OpenLanguage& operator=(const OpenLanguage&) = delete;
    tKVLANG* get() const { return lang_; }
private:
    tKVLANG* lang_ = nullptr;
};

std::wstring MenuText(HMENU menu, UINT position) {
    wchar_t text[128] = L"";
    GetMenuStringW(menu, position, text, 128, MF_BYPOSITION);
    return text;
}

} // namespace

TEST_CASE("KvLoadString reads the string table, cuts to the buffer and drops the editorial marker") {
    OpenLanguage lang;
    wchar_t buffer[64];

    SUBCASE("whole text") {
        CHECK(KvLoadString(lang.get(), IDS_UNTITLED, buffer, 64) == 8);
        CHECK(std::wstring(buffer) == L"Untitled");
    }
    SUBCASE("cut to capacity, terminated") {
        wchar_t small[5] = {L'x', L'x', L'x', L'x', L'x'};
        CHECK(KvLoadString(lang.get(), IDS_UNTITLED, small, 4) == 3);
        CHECK(std::wstring(small) == L"Unt");
        CHECK(small[4] == L'x');
    }
    SUBCASE("marker at the start is removed, elsewhere kept") {
        CHECK(KvLoadString(lang.get(), IDS_TEST_MARKED, buffer, 64) == 17);
        CHECK(std::wstring(buffer) == L"Marked for review");
        CHECK(KvLoadString(lang.get(), IDS_TEST_MARKER_ONLY, buffer, 64) == 0);
        CHECK(buffer[0] == L'\0');
        KvLoadString(lang.get(), IDS_TEST_MARKER_INSIDE, buffer, 64);
        CHECK(std::wstring(buffer) == L"Plain ^* inside");
    }
    SUBCASE("missing string empties the buffer") {
        wcscpy(buffer, L"stale");
        CHECK(KvLoadString(lang.get(), 60999, buffer, 64) == 0);
        CHECK(buffer[0] == L'\0');
    }
    SUBCASE("no room at all writes nothing") {
        buffer[0] = L'q';
        CHECK(KvLoadString(lang.get(), IDS_UNTITLED, buffer, 0) == 0);
        CHECK(buffer[0] == L'q');
        CHECK(KvLoadString(nullptr, IDS_UNTITLED, buffer, 64) == 0);
        CHECK(buffer[0] == L'\0');
    }
}

TEST_CASE("the string table holds the texts with their control characters and spaces") {
    OpenLanguage lang;
    CHECK(std::wstring(KvGetString(lang.get(), IDS_PACKAGE_FILTER)) == L"Preset Packages (*.kvpreset)\t*.kvpreset\t");
    CHECK(std::wstring(KvGetString(lang.get(), IDS_SAVE_AS_READ_ONLY)) ==
          L"The specified file exists and is read-only.\nPlease use a different file name.");
    CHECK(std::wstring(KvGetString(lang.get(), IDS_OVERWRITE_ON_SYSTEM)) ==
          L"The item %s '%s' already exists on this computer.  Do you want to overwrite it?");
    CHECK(std::wstring(KvGetString(lang.get(), IDS_KV_WARNING_PREFIX)) == L"Warning: ");
    CHECK(std::wstring(KvGetString(lang.get(), IDS_KV_DETAILS_SHOW)) == L"&Details >>");
    CHECK(std::wstring(KvGetString(lang.get(), IDS_KV_ERR_UNKNOWN)) ==
          L"\n\nThe reason for the error could not be determined.");
    CHECK(std::wstring(KvGetString(lang.get(), IDS_KV_MESSAGE_MISSING)) == L"\n\nError 0x%08x (message missing)");
}

TEST_CASE("KvGetString caches texts by identifier") {
    OpenLanguage lang;
    tKVLANG* l = lang.get();

    SUBCASE("the same stored text is returned again") {
        const wchar_t* first = KvGetString(l, IDS_CAPTION_PACKAGE);
        CHECK(std::wstring(first) == L"Preset Package");
        CHECK(KvGetString(l, IDS_CAPTION_PACKAGE) == first);
        CHECK(KvLang_CachedCount(l) == 1);
    }
    SUBCASE("texts loaded out of order are each found again") {
        const UINT ids[] = {IDS_KV_BUTTON_OK, IDS_CHAIN, IDS_TEST_SECOND, IDS_TIP_NEW, IDS_TEST_FIRST, IDS_UNDO};
        const wchar_t* texts[6];
        for (int i = 0; i < 6; ++i) texts[i] = KvGetString(l, ids[i]);
        CHECK(KvLang_CachedCount(l) == 6);
        for (int i = 5; i >= 0; --i) CHECK(KvGetString(l, ids[i]) == texts[i]);
        CHECK(std::wstring(texts[0]) == L"OK");
        CHECK(std::wstring(texts[2]) == L"Second");
        CHECK(std::wstring(texts[4]) == L"First");
        CHECK(KvLang_CachedCount(l) == 6);
    }
    SUBCASE("a marked text is cached without its marker") {
        CHECK(std::wstring(KvGetString(l, IDS_TEST_MARKED)) == L"Marked for review");
    }
    SUBCASE("missing and empty texts give the empty text and are not cached") {
        const wchar_t* missing = KvGetString(l, 60999);
        REQUIRE(missing != nullptr);
        CHECK(missing[0] == L'\0');
        CHECK(KvGetString(l, IDS_TEST_MARKER_ONLY)[0] == L'\0');
        CHECK(KvGetString(l, 60999)[0] == L'\0');
        CHECK(KvLang_CachedCount(l) == 0);
    }
    SUBCASE("no instance gives the empty text") {
        const wchar_t* text = KvGetString(nullptr, IDS_UNTITLED);
        REQUIRE(text != nullptr);
        CHECK(text[0] == L'\0');
    }
}

TEST_CASE("the scratch ring hands out slices and wraps") {
    SUBCASE("capacity follows the asked size") {
        OpenLanguage small(100); // below 2049: 2048
        CHECK(KvGetTempStringBuffer(small.get(), 2048) != nullptr);
        CHECK(KvGetTempStringBuffer(small.get(), 2049) == nullptr);
        OpenLanguage standard(0); // 0: 8192
        CHECK(KvGetTempStringBuffer(standard.get(), 8192) != nullptr);
        CHECK(KvGetTempStringBuffer(standard.get(), 8193) == nullptr);
        OpenLanguage large(5000);
        CHECK(KvGetTempStringBuffer(large.get(), 5000) != nullptr);
        CHECK(KvGetTempStringBuffer(large.get(), 5001) == nullptr);
    }
    SUBCASE("consecutive slices follow each other until the end, then start over") {
        OpenLanguage lang(2048);
        wchar_t* a = KvGetTempStringBuffer(lang.get(), 1000);
        wchar_t* b = KvGetTempStringBuffer(lang.get(), 1000);
        REQUIRE(a != nullptr);
        CHECK(b == a + 1000);
        wcscpy(b, L"kept");
        wchar_t* c = KvGetTempStringBuffer(lang.get(), 1000);
        CHECK(c == a);
        CHECK(std::wstring(b) == L"kept"); // the wrap does not touch slices it did not reuse
        CHECK(KvGetTempStringBuffer(lang.get(), 48) == a + 1000);
        CHECK(KvGetTempStringBuffer(lang.get(), 1000) == a + 1048);
    }
    SUBCASE("no instance, no ring") {
        CHECK(KvGetTempStringBuffer(nullptr, 10) == nullptr);
    }
}

TEST_CASE("menus lose the editorial marker of their item texts") {
    SUBCASE("a menu built in memory, submenus included") {
        HMENU inner = CreatePopupMenu();
        AppendMenuW(inner, MF_STRING, 11, L"^*Inner");
        HMENU outer = CreatePopupMenu();
        AppendMenuW(outer, MF_STRING, 10, L"^*&Outer");
        AppendMenuW(outer, MF_POPUP, reinterpret_cast<UINT_PTR>(inner), L"^*Sub");
        AppendMenuW(outer, MF_STRING, 12, L"Left ^* alone");
        KvStripMenuMarkers(outer);
        CHECK(MenuText(outer, 0) == L"&Outer");
        CHECK(MenuText(outer, 1) == L"Sub");
        CHECK(MenuText(outer, 2) == L"Left ^* alone");
        CHECK(MenuText(inner, 0) == L"Inner");
        CHECK(GetMenuItemID(outer, 0) == 10u);
        DestroyMenu(outer);
    }
    SUBCASE("a menu resource loaded through the instance") {
        OpenLanguage lang;
        HMENU menu = KvLoadMenu(lang.get(), IDR_TEST_MENU);
        REQUIRE(menu != nullptr);
        CHECK(MenuText(menu, 0) == L"&File");
        HMENU popup = GetSubMenu(menu, 0);
        REQUIRE(popup != nullptr);
        CHECK(MenuText(popup, 0) == L"&Open");
        CHECK(MenuText(popup, 2) == L"&Close ^*");
        DestroyMenu(menu);
        CHECK(KvLoadMenu(lang.get(), 60999) == nullptr);
    }
}

TEST_CASE("resources are found in the instance's module") {
    OpenLanguage lang;
    SUBCASE("custom data with its size") {
        DWORD size = 0;
        const auto* data = static_cast<const char*>(
            KvLoadResourceCustom(lang.get(), MAKEINTRESOURCEW(IDR_MANIFEST), RT_MANIFEST, &size));
        REQUIRE(data != nullptr);
        REQUIRE(size > 5);
        CHECK(std::string(data, 5) == "<?xml");
        CHECK(KvLoadResourceCustom(lang.get(), MAKEINTRESOURCEW(60999), RT_MANIFEST, &size) == nullptr);
        CHECK(size == 0);
    }
    SUBCASE("the first of several names that exists") {
        const wchar_t* names[] = {MAKEINTRESOURCEW(60999), MAKEINTRESOURCEW(IDR_TEST_MENU), MAKEINTRESOURCEW(1)};
        int found = -2;
        CHECK(KvFindResourceMulti(lang.get(), names, 3, RT_MENU, &found) != nullptr);
        CHECK(found == 1);
        CHECK(KvFindResourceMulti(lang.get(), names, 1, RT_MENU, &found) == nullptr);
        CHECK(found == -1);
        CHECK(KvFindResInstance(lang.get(), MAKEINTRESOURCEW(IDR_TEST_MENU), RT_MENU) == GetModuleHandleW(nullptr));
        CHECK(KvFindResource(lang.get(), MAKEINTRESOURCEW(60999), RT_MENU) == nullptr);
    }
    SUBCASE("stock icons and cursors without an instance") {
        CHECK(KvLoadIcon(nullptr, 32512) != nullptr);
        CHECK(KvLoadCursor(nullptr, 32512) == LoadCursorW(nullptr, IDC_ARROW));
        CHECK(KvLoadCursor(nullptr, 32648) == LoadCursorW(nullptr, IDC_NO));
    }
}

TEST_CASE("the library start-up opens its strings and registers the separator tokens") {
    REQUIRE(KvKernel_Init(GetModuleHandleW(nullptr)) == S_OK);
    tKVLANG* library = KvKernel_GetLanguage();
    REQUIRE(library != nullptr);
    CHECK(std::wstring(KvGetString(library, IDS_KV_BUTTON_YES_TO_ALL)) == L"Yes to &All");
    CHECK(std::wstring(KvGetString(library, IDS_KV_CTX_STARTUP)) == L"An error occurred starting $(AppName).");
    wchar_t out[128];
    KvPrintFN(out, 128, L"$(SMPTE.Whole)$(SMPTE.NonDrop)$(SMPTE.Drop)$(m.b)$(b.t)");
    CHECK(std::wstring(out) == L":.,..");
    KvPrintFN(out, 128, L"$(MusicTime.Label)|$(SMPTE.Label.Drop)");
    CHECK(std::wstring(out) == L"m.b.t|hh:mm:ss,ff");
    KvKernel_Exit();
    CHECK(KvKernel_GetLanguage() == nullptr);
    CHECK(KvLang_Close(nullptr) == S_OK);
}
