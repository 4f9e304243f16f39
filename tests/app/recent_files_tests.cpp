// The recent-files list: order, capacity and letter case, labels, and where a stored list ends.
#include <doctest.h>
#include "frame_fixture.h"
#include "settings_ids.h"

using namespace frametest;
using Paths = std::vector<std::wstring>;

namespace {

Paths PathsOf(const RecentFileList& list) {
    Paths paths;
    for (uint32_t i = 0; i < list.count; ++i) paths.emplace_back(list.entries[i].path);
    return paths;
}

void Open(RecentFileList& list, std::initializer_list<const wchar_t*> paths) {
    for (const wchar_t* path : paths) {
        DocumentRecord record{};
        wcscpy(record.path, path);
        AddRecentFile(list, record);
    }
}

std::wstring Label(const wchar_t* path, int32_t readOnly, int capacity) {
    std::vector<wchar_t> buffer(capacity + 1, L'#');
    FormatRecentFileLabel(2, path, readOnly, buffer.data(), capacity);
    return buffer.data();
}

} // namespace

TEST_CASE("five entries, newest first; a reopened path moves up whatever its letter case; removal closes up") {
    RecentFileList list;
    Open(list, {L"C:\\1", L"C:\\2", L"C:\\3", L"C:\\4", L"C:\\5", L"C:\\6"});
    CHECK(PathsOf(list) == Paths{L"C:\\6", L"C:\\5", L"C:\\4", L"C:\\3", L"C:\\2"});
    Open(list, {L"c:\\4"});
    CHECK(PathsOf(list) == Paths{L"c:\\4", L"C:\\6", L"C:\\5", L"C:\\3", L"C:\\2"});
    RemoveRecentFile(list, L"C:\\nothing");
    RemoveRecentFile(list, L"C:\\6");
    RemoveRecentFile(list, L"C:\\2"); // the last one
    CHECK(PathsOf(list) == Paths{L"c:\\4", L"C:\\5", L"C:\\3"});
}

TEST_CASE("a label cut short keeps no half of a doubled ampersand and no half of the read-only mark") {
    CHECK(Label(L"abc&&&&", 0, 8) == L"&2 abc");
    CHECK(Label(L"abcdefgh", -1, 16) == L"&2 abcdefgh");
}

TEST_CASE("a stored list ends at its first entry without the marker") {
    AppSession session;
    KvMetricHandle* settings = g_appContext.settings;
    RecentFileList list;
    Open(list, {L"C:\\c", L"C:\\b", L"C:\\a"});
    REQUIRE(SaveRecentFiles(list, settings) == S_OK);
    const uint32_t unmarked[2] = {99, 0};
    REQUIRE(KvSetMetricBinary(settings, SETTING_RECENT_FLAGS_FIRST + 2, unmarked, 8) == S_OK);
    LoadRecentFiles(list, settings);
    CHECK(PathsOf(list) == Paths{L"C:\\a", L"C:\\b"});
}
