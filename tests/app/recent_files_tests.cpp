// The recent-files list: order and capacity, letter case, removal, labels, menu items and the stored settings.
#include <doctest.h>
#include "app_fixture.h"
#include "recent_files.h"
#include "resource.h"
#include "settings_ids.h"

using namespace apptest;

namespace {

using Paths = std::vector<std::wstring>;

Paths PathsOf(const RecentFileList& list) {
    Paths paths;
    for (uint32_t i = 0; i < list.count; ++i) paths.emplace_back(list.entries[i].path);
    return paths;
}

// Opens each path in turn, the last one most recently.
void Open(RecentFileList& list, std::initializer_list<const wchar_t*> paths, uint32_t flags = 0) {
    for (const wchar_t* path : paths) {
        DocumentRecord record{};
        wcscpy(record.path, path);
        record.flags = flags;
        AddRecentFile(list, record);
    }
}

std::wstring Label(const wchar_t* path, int32_t readOnly, int capacity) {
    std::vector<wchar_t> buffer(capacity + 1, L'#');
    FormatRecentFileLabel(2, path, readOnly, buffer.data(), capacity);
    return buffer.data();
}

Paths MenuTexts(HMENU menu) {
    Paths texts;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[300] = L"";
        GetMenuStringW(menu, static_cast<UINT>(i), text, 300, MF_BYPOSITION);
        texts.emplace_back(GetMenuItemID(menu, i) == 0 ? L"-" : text);
    }
    return texts;
}

} // namespace

TEST_CASE("five entries, newest first; a reopened path moves up; letter case makes no second entry") {
    RecentFileList list;
    Open(list, {L"C:\\1", L"C:\\2", L"C:\\3", L"C:\\4", L"C:\\5", L"C:\\6"});
    CHECK(PathsOf(list) == Paths{L"C:\\6", L"C:\\5", L"C:\\4", L"C:\\3", L"C:\\2"});
    Open(list, {L"c:\\4"});
    CHECK(PathsOf(list) == Paths{L"c:\\4", L"C:\\6", L"C:\\5", L"C:\\3", L"C:\\2"});
    Open(list, {L"C:\\RO"}, DOC_READONLY | DOC_MODIFIED);
    CHECK(list.entries[0].readOnly == -1);
    CHECK(RecentFileRequest(list, 0).flags == DOC_READONLY);
    CHECK(RecentFileRequest(list, 1).flags == 0);

    RemoveRecentFile(list, L"C:\\nothing");
    RemoveRecentFile(list, L"C:\\6");
    RemoveRecentFile(list, L"C:\\5"); // the last one
    CHECK(PathsOf(list) == Paths{L"C:\\RO", L"c:\\4", L"C:\\3"});
    int index = -1;
    CHECK(FindRecentFile(list, L"C:\\3", &index) == S_OK);
    CHECK(index == 2);
}

TEST_CASE("labels: the number as mnemonic, ampersands doubled, the read-only mark only when it fits whole") {
    CHECK(Label(L"C:\\Tom & Jerry\\a&b", 0, RECENT_FILE_LABEL_CHARS) == L"&2 C:\\Tom && Jerry\\a&&b");
    CHECK(Label(L"C:\\x", -1, RECENT_FILE_LABEL_CHARS) == L"&2 C:\\x (RO)");
    CHECK(Label(L"abcdefgh", -1, 16) == L"&2 abcdefgh");
    CHECK(Label(L"abc&&&&", 0, 8) == L"&2 abc"); // never half of a doubled ampersand
    CHECK(Label(std::wstring(300, L'q').c_str(), -1, RECENT_FILE_LABEL_CHARS).size() == RECENT_FILE_LABEL_CHARS - 1);
}

TEST_CASE("the File menu's entries are replaced each time, with one separator above them") {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, ID_FILE_SAVE_AS, L"Save &As...");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, ID_FILE_EXIT, L"E&xit");
    RecentFileList list;
    Open(list, {L"C:\\b&", L"C:\\a"});
    REQUIRE(AppendRecentFileItems(menu, list) == S_OK);
    CHECK(MenuTexts(menu) == Paths{L"Save &As...", L"-", L"E&xit", L"-", L"&1 C:\\a", L"&2 C:\\b&&"});
    CHECK(GetMenuItemID(menu, 5) == ID_FILE_RECENT_FIRST + 1);
    RemoveRecentFile(list, L"C:\\a");
    REQUIRE(AppendRecentFileItems(menu, list) == S_OK);
    CHECK(MenuTexts(menu) == Paths{L"Save &As...", L"-", L"E&xit", L"-", L"&1 C:\\b&&"});
    REQUIRE(AppendRecentFileItems(menu, RecentFileList{}) == S_OK);
    CHECK(MenuTexts(menu) == Paths{L"Save &As...", L"-", L"E&xit"});
    DestroyMenu(menu);
}

TEST_CASE("the stored list reads back as it was and ends at the first bad entry") {
    TestSettings settings;
    RecentFileList loaded;
    Open(loaded, {L"C:\\stale"});
    LoadRecentFiles(loaded, settings.handle); // nothing stored yet
    CHECK(loaded.count == 0);

    RecentFileList list;
    Open(list, {L"C:\\c", L"C:\\b", L"C:\\a"});
    Open(list, {L"C:\\ro"}, DOC_READONLY);
    REQUIRE(SaveRecentFiles(list, settings.handle) == S_OK);
    LoadRecentFiles(loaded, settings.handle);
    CHECK(PathsOf(loaded) == PathsOf(list));
    CHECK(loaded.entries[0].readOnly == -1);
    CHECK(loaded.entries[1].readOnly == 0);

    RemoveRecentFile(list, L"C:\\ro");
    REQUIRE(SaveRecentFiles(list, settings.handle) == S_OK); // a shorter list replaces a longer one
    LoadRecentFiles(loaded, settings.handle);
    CHECK(PathsOf(loaded) == PathsOf(list));

    const uint32_t unmarked[2] = {99, 0};
    REQUIRE(KvSetMetricBinary(settings.handle, SETTING_RECENT_FLAGS_FIRST + 1, unmarked, 8) == S_OK);
    LoadRecentFiles(loaded, settings.handle);
    CHECK(PathsOf(loaded) == Paths{L"C:\\a"});
    REQUIRE(KvSetMetricString(settings.handle, SETTING_RECENT_PATH_FIRST, L"") == S_OK);
    LoadRecentFiles(loaded, settings.handle);
    CHECK(loaded.count == 0);
}
