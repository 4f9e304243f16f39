// The document commands on the real frame: titles and saving by the document's state, the unsaved-changes
// question, failed saves and openings, dropped files and the recent files.
#include <doctest.h>
#include "frame_fixture.h"
#include "package_handover.h"
#include "package_save.h"
#include "settings_ids.h"
#include <shlobj.h> // after the panes' names: it defines PANE_NONE as a macro

using namespace frametest;

namespace {

ULONGLONG WriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

struct DiskFull { // every save's flush fails
    PackageSaveFault previous = SetPackageSaveFault([](PackageSaveStep step) { return step == SAVE_STEP_FLUSH ? E_FAIL : S_OK; });
    ~DiskFull() { SetPackageSaveFault(previous); }
};

DocumentRecord Request(const std::wstring& path, uint32_t flags = 0) {
    DocumentRecord request{};
    wcsncpy(request.path, path.c_str(), DOC_PATH_CHARS - 1);
    request.flags = flags;
    return request;
}

// A file dropped from a folder window, as the shell hands it over.
void Drop(HWND frame, const std::wstring& path) {
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t));
    auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
    *files = DROPFILES{sizeof(DROPFILES), {}, FALSE, TRUE};
    wcscpy(reinterpret_cast<wchar_t*>(files + 1), path.c_str());
    GlobalUnlock(drop);
    SendMessageW(frame, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); // the frame releases it
    frametest::Pump();
}

// A second start's WM_COPYDATA; bytes -1: the path with its terminator.
LRESULT HandOver(HWND frame, const std::wstring& path, int bytes = -1) {
    COPYDATASTRUCT data{HANDOVER_PACKAGE_PATH, bytes < 0 ? DWORD((path.size() + 1) * sizeof(wchar_t)) : DWORD(bytes),
                        const_cast<wchar_t*>(path.c_str())};
    LRESULT taken = SendMessageW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data));
    frametest::Pump();
    return taken;
}

} // namespace

TEST_CASE("the title and Save through the document's states") {
    FrameFixture f;
    const std::wstring first = f.Package(L"first.kvpreset"), second = f.dir.file(L"second.kvpreset");
    CHECK(f.Title() == L"Untitled");
    f.Command(ID_FILE_SAVE); // clean: no dialog
    f.answers.dialogAnswers = {{first, true}};
    f.Command(ID_FILE_OPEN); // clean: no question
    CHECK(f.Title() == L"first.kvpreset (Read-Only)");
    f.MarkModified();
    CHECK(f.Title() == L"first.kvpreset* (Read-Only)");

    const ULONGLONG before = WriteTime(first);
    f.answers.dialogAnswers = {{first}, {second}}; // read-only: Save asks for a name and refuses its own
    f.answers.boxAnswers = {IDOK};
    f.Command(ID_FILE_SAVE);
    REQUIRE(f.answers.boxes.size() == 1);
    CHECK(f.answers.boxes[0].text == L"The specified file exists and is read-only.\nPlease use a different file name.");
    REQUIRE(f.answers.dialogs.size() == 3);
    CHECK(f.answers.dialogs[1].folder == f.dir.path()); // where the package was opened
    CHECK(f.Title() == L"second.kvpreset (Read-Only)");
    CHECK(WriteTime(first) == before);

    f.document().flags = 0; // writable, named
    f.MarkModified();
    f.Command(ID_FILE_SAVE);
    CHECK(f.Title() == L"second.kvpreset");
    const ULONGLONG saved = WriteTime(second);
    Sleep(20);
    f.Command(ID_FILE_SAVE); // clean: the file is left alone
    CHECK(WriteTime(second) == saved);
    CHECK(f.answers.dialogs.size() == 3);
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("the unsaved-changes question: Cancel keeps everything; a Yes whose save fails keeps it for New and Exit") {
    FrameFixture f;
    const std::wstring target = f.dir.file(L"50%s $(AppName) $s.kvpreset"); // shown as it is
    REQUIRE(OpenPackage(*f.state, Request(f.Package(L"mix.kvpreset"))) == S_OK);
    REQUIRE(f.state->history->undoSteps.Insert(0, std::make_unique<EditStep>(SIDE_PACKAGE)) == S_OK);
    f.MarkModified();
    f.answers.boxAnswers = {IDCANCEL};
    f.Command(ID_FILE_NEW);
    CHECK(f.answers.boxes.at(0).text == L"Do you want to save changes to mix.kvpreset?");
    CHECK(f.Title() == L"mix.kvpreset*");
    CHECK(f.state->history->undoSteps.Count() == 1);

    f.document().flags |= DOC_READONLY; // Yes goes through Save As
    f.MarkModified();
    f.answers.Script({IDYES, IDOK, IDYES, IDOK});
    f.answers.dialogAnswers = {{target}, {target}};
    DiskFull full;
    f.Command(ID_FILE_NEW);
    f.Command(ID_FILE_EXIT);
    CHECK(IsWindow(f.frame));
    REQUIRE(f.answers.boxes.size() == 4);
    CHECK(f.answers.boxes[1].text.find(target + L" could not be saved.") != std::wstring::npos);
    CHECK(f.Title() == L"mix.kvpreset* (Read-Only)");
    CHECK(f.state->history->undoSteps.Count() == 1);
    CHECK(g_appContext.recentFiles.count == 1);
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("every way to another package asks first; Cancel, or Yes with the Save dialog cancelled, keeps the changes") {
    FrameFixture f;
    const std::wstring other = f.Package(L"other.kvpreset");
    REQUIRE(OpenPackage(*f.state, Request(other)) == S_OK); // recent entry 1
    const std::pair<std::string, std::function<void()>> ways[] = {
        {"New", [&f] { f.Command(ID_FILE_NEW); }},
        {"recent file", [&f] { f.Command(ID_FILE_RECENT_FIRST); }},
        {"drop", [&f, &other] { Drop(f.frame, other); }},
        {"second start", [&f, &other] { CHECK(HandOver(f.frame, other) == TRUE); }},
        {"Exit", [&f] { f.Command(ID_FILE_EXIT); }},
    };
    for (const auto& [name, open] : ways) {
        CAPTURE(name);
        for (int answer : {IDCANCEL, IDYES, IDNO}) {
            CAPTURE(answer);
            MakeUntitledDocument(f.document(), g_appContext.language);
            f.MarkModified();
            f.answers.Script({answer});
            f.answers.dialogAnswers = {{}}; // Yes: the Save dialog is cancelled
            open();
            REQUIRE(f.answers.boxes.size() == 1);
            CHECK(f.answers.boxes[0].text == L"Do you want to save changes to Untitled?");
            if (answer == IDNO) break; // opens (New empties, Exit closes)
            CHECK(f.Title() == L"Untitled*");
            CHECK(IsWindow(f.frame));
        }
        if (name != "Exit") CHECK(f.Title() == (name == "New" ? L"Untitled" : L"other.kvpreset"));
    }
    CHECK_FALSE(IsWindow(f.frame));
}

TEST_CASE("a package handed over by a second start is opened; a path without its terminator is refused") {
    FrameFixture f;
    const std::wstring handed = f.Package(L"handed.kvpreset");
    CHECK(HandOver(f.frame, handed, 2 * int(handed.size())) == FALSE);
    CHECK(HandOver(f.frame, handed) == TRUE);
    for (int i = 0; i < 40 && f.Title() == L"Untitled"; ++i, Sleep(50)) frametest::Pump();
    CHECK(f.Title() == L"handed.kvpreset");
}

TEST_CASE("log-off asks like closing and waits while a box is open; the window's settings are kept when it ends") {
    FrameFixture f;
    REQUIRE(OpenPackage(*f.state, Request(f.Package(L"mix.kvpreset"))) == S_OK);
    auto query = [&f] { return SendMessageW(f.frame, WM_QUERYENDSESSION, 0, ENDSESSION_LOGOFF); };
    CHECK(query() == TRUE); // clean: no question
    f.document().flags |= DOC_READONLY; // Yes goes to the Save dialog, which is cancelled
    f.MarkModified();
    for (int answer : {IDCANCEL, IDYES, IDNO}) {
        CAPTURE(answer);
        f.answers.boxAnswers = {answer};
        f.answers.dialogAnswers = {{}};
        CHECK(query() == (answer == IDNO));
        CHECK(f.answers.boxAnswers.empty());
    }
    EnableWindow(f.frame, FALSE); // a box of the program is open: no second question
    CHECK(query() == FALSE);
    EnableWindow(f.frame, TRUE);
    f.state->sides[PANE_SYSTEM].treeWidth = 123;
    SendMessageW(f.frame, WM_ENDSESSION, TRUE, ENDSESSION_LOGOFF);
    CHECK(KvGetMetric(g_appContext.settings, SETTING_SYSTEM_TREE_WIDTH) == 123);
    RecentFileList stored;
    LoadRecentFiles(stored, g_appContext.settings);
    CHECK(stored.count == 1);
    CHECK(f.Title() == L"mix.kvpreset* (Read-Only)");
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("recent files on the frame: the File menu, opening entries and failures, the list kept across a restart") {
    FrameFixture f;
    const std::wstring kept = f.Package(L"a&b.kvpreset"), gone = f.Package(L"gone.kvpreset");
    REQUIRE(OpenPackage(*f.state, Request(gone)) == S_OK);
    REQUIRE(OpenPackage(*f.state, Request(kept, DOC_READONLY)) == S_OK);
    REQUIRE(DeleteFileW(gone.c_str()));
    HMENU file = GetSubMenu(GetMenu(f.frame), 0);
    for (int opened = 0; opened < 2; ++opened) SendMessageW(f.frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    CHECK(GetMenuItemCount(file) == 10); // seven items, one separator, two entries
    wchar_t label[300] = L"";
    GetMenuStringW(file, ID_FILE_RECENT_FIRST, label, 300, MF_BYCOMMAND);
    CHECK(std::wstring(label) == L"&1 " + f.dir.path() + L"\\a&&b.kvpreset (RO)");

    f.answers.boxAnswers = {IDOK};
    f.Command(ID_FILE_RECENT_FIRST + 1); // the deleted file: its message, then it leaves the list
    CHECK(f.answers.boxes.at(0).text.find(gone + L" could not be opened.") != std::wstring::npos);
    CHECK(g_appContext.recentFiles.count == 1);
    MakeUntitledDocument(f.document(), g_appContext.language);
    f.Command(ID_FILE_RECENT_FIRST); // read-only as it was
    CHECK(f.Title() == L"a&b.kvpreset (Read-Only)");

    // A damaged file keeps the previous package, now clean, and stays off the list.
    const std::wstring damaged = f.dir.file(L"damaged.kvpreset");
    REQUIRE(testsupport::WriteWholeFile(damaged, "RIFF\4\0\0\0junk", 12));
    f.MarkModified();
    f.answers.Script({IDNO, IDOK});
    f.answers.dialogAnswers = {{damaged}};
    f.Command(ID_FILE_OPEN);
    CHECK(f.answers.boxes.at(1).text.find(damaged + L" is not in a supported format") != std::wstring::npos);
    CHECK(f.Title() == L"a&b.kvpreset (Read-Only)");

    f.window.reset(); // writes the list
    g_appContext.recentFiles = RecentFileList{};
    f.Create();
    REQUIRE(g_appContext.recentFiles.count == 1);
    CHECK(std::wstring(g_appContext.recentFiles.entries[0].path) == kept);
    CHECK(g_appContext.recentFiles.entries[0].readOnly == -1);
    CHECK(f.answers.unexpected == 0);
}
