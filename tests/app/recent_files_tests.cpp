// The recent-files list: order and capacity, case, removal, labels, menu items and the stored settings.
#include <doctest.h>
#include "document_fixture.h"
#include "kvresult.h"
#include "recent_files.h"
#include "resource.h"
#include "settings_ids.h"
#include <string>
#include <vector>

using namespace apptest;

namespace {

DocumentRecord Record(const std::wstring& path, uint32_t flags = 0) {
    DocumentRecord record{};
    wcsncpy(record.path, path.c_str(), DOC_PATH_CHARS - 1);
    record.flags = flags;
    return record;
}

std::vector<std::wstring> Paths(const RecentFileList& list) {
    std::vector<std::wstring> paths;
    for (uint32_t i = 0; i < list.count; ++i) paths.emplace_back(list.entries[i].path);
    return paths;
}

RecentFileList ListOf(std::initializer_list<const wchar_t*> newestLast) {
    RecentFileList list;
    for (const wchar_t* path : newestLast) AddRecentFile(list, Record(path));
    return list;
}

std::wstring Label(unsigned number, const wchar_t* path, int32_t readOnly, int capacity = RECENT_FILE_LABEL_CHARS) {
    std::vector<wchar_t> buffer(static_cast<size_t>(capacity) + 1, L'#');
    int length = FormatRecentFileLabel(number, path, readOnly, buffer.data(), capacity);
    CHECK(length == static_cast<int>(wcslen(buffer.data())));
    return buffer.data();
}

struct MenuItem {
    UINT id;
    std::wstring text; // empty for a separator
};

std::vector<MenuItem> Items(HMENU menu) {
    std::vector<MenuItem> items;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[300] = L"";
        GetMenuStringW(menu, static_cast<UINT>(i), text, 300, MF_BYPOSITION);
        items.push_back({GetMenuItemID(menu, i), text});
    }
    return items;
}

// The File menu as the resource has it.
HMENU FileMenu() {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, ID_FILE_NEW, L"&New\tCtrl+N");
    AppendMenuW(menu, MF_STRING, ID_FILE_OPEN, L"&Open...\tCtrl+O");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, ID_FILE_SAVE, L"&Save\tCtrl+S");
    AppendMenuW(menu, MF_STRING, ID_FILE_SAVE_AS, L"Save &As...");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, ID_FILE_EXIT, L"E&xit");
    return menu;
}

} // namespace

TEST_CASE("the list keeps five paths, newest first, one entry per path whatever its case") {
    SUBCASE("a sixth path pushes the oldest out") {
        RecentFileList list = ListOf({L"C:\\1.kvpreset", L"C:\\2.kvpreset", L"C:\\3.kvpreset", L"C:\\4.kvpreset",
                                      L"C:\\5.kvpreset", L"C:\\6.kvpreset"});
        CHECK(Paths(list) == std::vector<std::wstring>{L"C:\\6.kvpreset", L"C:\\5.kvpreset", L"C:\\4.kvpreset",
                                                       L"C:\\3.kvpreset", L"C:\\2.kvpreset"});
    }
    SUBCASE("reopening the third moves it to the top and keeps the others in order") {
        RecentFileList list = ListOf({L"C:\\e", L"C:\\d", L"C:\\c", L"C:\\b", L"C:\\a"});
        AddRecentFile(list, Record(L"C:\\c"));
        CHECK(Paths(list) == std::vector<std::wstring>{L"C:\\c", L"C:\\a", L"C:\\b", L"C:\\d", L"C:\\e"});
        AddRecentFile(list, Record(L"C:\\c")); // already at the top
        CHECK(Paths(list) == std::vector<std::wstring>{L"C:\\c", L"C:\\a", L"C:\\b", L"C:\\d", L"C:\\e"});
    }
    SUBCASE("the same path in other letter case is one entry with the newest case") {
        RecentFileList list = ListOf({L"C:\\Presets\\Mix.kvpreset", L"C:\\other.kvpreset"});
        AddRecentFile(list, Record(L"c:\\PRESETS\\mix.KVPRESET"));
        CHECK(Paths(list) == std::vector<std::wstring>{L"c:\\PRESETS\\mix.KVPRESET", L"C:\\other.kvpreset"});
        int index = -1;
        CHECK(FindRecentFile(list, L"C:\\OTHER.kvpreset", &index) == S_OK);
        CHECK(index == 1);
        CHECK(FindRecentFile(list, L"C:\\missing.kvpreset", &index) == KV_E_FAIL);
    }
    SUBCASE("a read-only opening is remembered and opened read-only again; a later save lists it writable") {
        RecentFileList list = ListOf({L"C:\\a"});
        AddRecentFile(list, Record(L"C:\\ro", DOC_READONLY | DOC_MODIFIED));
        CHECK(list.entries[0].readOnly == -1);
        CHECK(list.entries[0].marker == RECENT_FILE_MARKER);
        CHECK(RecentFileRequest(list, 0).flags == DOC_READONLY);
        CHECK(RecentFileRequest(list, 1).flags == 0);
        AddRecentFile(list, Record(L"C:\\RO"));
        CHECK(list.entries[0].readOnly == 0);
    }
}

TEST_CASE("removing an entry closes the gap; an unlisted path changes nothing") {
    RecentFileList list = ListOf({L"C:\\c", L"C:\\b", L"C:\\a"});
    RemoveRecentFile(list, L"C:\\nothing");
    CHECK(list.count == 3);
    RemoveRecentFile(list, L"c:\\B");
    CHECK(Paths(list) == std::vector<std::wstring>{L"C:\\a", L"C:\\c"});
    RemoveRecentFile(list, L"C:\\c");
    CHECK(Paths(list) == std::vector<std::wstring>{L"C:\\a"});
    AddRecentFile(list, Record(L"C:\\d"));
    CHECK(Paths(list) == std::vector<std::wstring>{L"C:\\d", L"C:\\a"});
}

TEST_CASE("menu labels: the number as mnemonic, ampersands doubled, read-only marked when it fits") {
    CHECK(Label(1, L"C:\\Tom & Jerry\\a&b.kvpreset", 0) == L"&1 C:\\Tom && Jerry\\a&&b.kvpreset");
    CHECK(Label(5, L"C:\\x.kvpreset", -1) == L"&5 C:\\x.kvpreset (RO)");
    SUBCASE("a path that leaves no room for the mark goes without it") {
        std::wstring path(20, L'p');
        CHECK(Label(2, path.c_str(), -1, 26) == L"&2 " + std::wstring(20, L'p'));
        CHECK(Label(2, path.c_str(), -1, 40) == L"&2 " + path + L" (RO)");
    }
    SUBCASE("a cut label ends neither unterminated nor in half of a doubled ampersand") {
        CHECK(Label(3, L"abc&&&&", 0, 8) == L"&3 abc");
        CHECK(Label(3, L"abc&&&&", 0, 9) == L"&3 abc&&");
        CHECK(Label(3, std::wstring(300, L'q').c_str(), -1).size() == RECENT_FILE_LABEL_CHARS - 1);
    }
}

TEST_CASE("the File menu's recent-files items are replaced each time it opens") {
    HMENU menu = FileMenu();
    const size_t baseItems = Items(menu).size();
    RecentFileList list = ListOf({L"C:\\two&.kvpreset", L"C:\\one.kvpreset"});
    list.entries[1].readOnly = -1;

    REQUIRE(AppendRecentFileItems(menu, list) == S_OK);
    std::vector<MenuItem> items = Items(menu);
    REQUIRE(items.size() == baseItems + 3);
    CHECK(items[baseItems].id == 0); // the separator above the entries
    CHECK(items[baseItems + 1].id == ID_FILE_RECENT_FIRST);
    CHECK(items[baseItems + 1].text == L"&1 C:\\one.kvpreset");
    CHECK(items[baseItems + 2].id == ID_FILE_RECENT_FIRST + 1);
    CHECK(items[baseItems + 2].text == L"&2 C:\\two&&.kvpreset (RO)");

    SUBCASE("opening again shows the list as it is now, with one separator") {
        RemoveRecentFile(list, L"C:\\two&.kvpreset");
        REQUIRE(AppendRecentFileItems(menu, list) == S_OK);
        items = Items(menu);
        REQUIRE(items.size() == baseItems + 2);
        CHECK(items[baseItems].id == 0);
        CHECK(items[baseItems + 1].text == L"&1 C:\\one.kvpreset");
    }
    SUBCASE("an empty list leaves no separator at the bottom") {
        REQUIRE(AppendRecentFileItems(menu, RecentFileList{}) == S_OK);
        items = Items(menu);
        REQUIRE(items.size() == baseItems);
        CHECK(items.back().id == ID_FILE_EXIT);
    }
    DestroyMenu(menu);
}

TEST_CASE("the list is stored in the settings and read back as it was") {
    TestSettings settings;
    RecentFileList loaded = ListOf({L"C:\\stale.kvpreset"});
    LoadRecentFiles(loaded, settings.handle); // nothing stored yet
    CHECK(loaded.count == 0);
    CHECK(loaded.entries[0].path[0] == L'\0');

    RecentFileList list = ListOf({L"C:\\c.kvpreset", L"C:\\b.kvpreset", L"C:\\a & b.kvpreset"});
    AddRecentFile(list, Record(L"C:\\ro.kvpreset", DOC_READONLY));
    REQUIRE(SaveRecentFiles(list, settings.handle) == S_OK);

    LoadRecentFiles(loaded, settings.handle);
    CHECK(Paths(loaded) == Paths(list));
    CHECK(loaded.entries[0].readOnly == -1);
    CHECK(loaded.entries[1].readOnly == 0);

    SUBCASE("a shorter list replaces a longer one") {
        RemoveRecentFile(list, L"C:\\ro.kvpreset");
        RemoveRecentFile(list, L"C:\\b.kvpreset");
        REQUIRE(SaveRecentFiles(list, settings.handle) == S_OK);
        LoadRecentFiles(loaded, settings.handle);
        CHECK(Paths(loaded) == Paths(list));
    }
    SUBCASE("an entry without its marker ends the list there") {
        const uint32_t bad[2] = {99, 0};
        REQUIRE(KvSetMetricBinary(settings.handle, SETTING_RECENT_FLAGS_FIRST + 2, bad, 8) == S_OK);
        LoadRecentFiles(loaded, settings.handle);
        CHECK(loaded.count == 2);
        CHECK(loaded.entries[2].path[0] == L'\0');
    }
    SUBCASE("an emptied path ends the list there") {
        REQUIRE(KvSetMetricString(settings.handle, SETTING_RECENT_PATH_FIRST + 1, L"") == S_OK);
        LoadRecentFiles(loaded, settings.handle);
        CHECK(Paths(loaded) == std::vector<std::wstring>{L"C:\\ro.kvpreset"});
    }
}
