// The document commands on the real frame: titles and saving by the document's state, the unsaved-changes
// question, failed saves and openings, dropped files and the recent files.
#include <doctest.h>
#include "app_fixture.h"
#include "package_save.h"
#include <shlobj.h> // after the panes' names: it defines PANE_NONE as a macro

using namespace apptest;

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
    CHECK(f.answers.boxes == std::vector<std::wstring>{L"The specified file exists and is read-only.\nPlease use a different file name."});
    REQUIRE(f.answers.dialogs.size() == 3);
    CHECK(f.answers.dialogs[1].folder == f.dir.path()); // where the package was opened
    CHECK(f.Title() == L"second.kvpreset (Read-Only)");
    CHECK(f.RootText() == L"second.kvpreset");
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

TEST_CASE("the unsaved-changes question before New and Exit") {
    FrameFixture f;
    const std::wstring target = f.dir.file(L"50%s $(AppName) $s.kvpreset"); // shown as it is
    REQUIRE(OpenPackage(*f.state, Request(f.Package(L"mix.kvpreset"))) == S_OK);
    REQUIRE(f.state->history->undoSteps.Insert(0, std::make_unique<EditStep>(SIDE_PACKAGE)) == S_OK);
    f.MarkModified();

    SUBCASE("Cancel leaves document, panes and history") {
        f.answers.boxAnswers = {IDCANCEL};
        f.Command(ID_FILE_NEW);
        CHECK(f.answers.boxes.at(0) == L"Do you want to save changes to mix.kvpreset?");
        CHECK(f.Title() == L"mix.kvpreset*");
        CHECK(f.RootText() == L"mix.kvpreset");
        CHECK(f.state->history->undoSteps.Count() == 1);
    }
    SUBCASE("a Yes whose save fails keeps the package and the window, for New and for Exit") {
        f.document().flags |= DOC_READONLY; // Yes goes through Save As
        f.MarkModified();
        f.answers.boxAnswers = {IDYES, IDOK, IDYES, IDOK};
        f.answers.dialogAnswers = {{target}, {target}};
        DiskFull full;
        f.Command(ID_FILE_NEW);
        f.Command(ID_FILE_EXIT);
        CHECK(IsWindow(f.frame));
        REQUIRE(f.answers.boxes.size() == 4);
        CHECK(f.answers.boxes[1] == L"The file " + target + L" could not be saved.\n\nAn error occurred writing the file. Make "
                                    L"sure you have write access to the file/folder and that there is enough free space.");
        CHECK(f.Title() == L"mix.kvpreset* (Read-Only)");
        CHECK(f.state->history->undoSteps.Count() == 1);
        CHECK(g_appContext.recentFiles.count == 1);
    }
    SUBCASE("Yes on an untitled document with the Save dialog cancelled lets New go on") {
        MakeUntitledDocument(f.document(), g_appContext.language);
        f.MarkModified();
        f.answers.boxAnswers = {IDYES};
        f.answers.dialogAnswers = {{}};
        f.Command(ID_FILE_NEW);
        CHECK(f.Title() == L"Untitled");
        HWND tree = f.state->sides[PANE_PACKAGE].tree;
        CHECK(TreeView_GetChild(tree, TreeView_GetRoot(tree)) == nullptr);
        CHECK(f.state->history->undoSteps.Count() == 0);
    }
    SUBCASE("No on closing lets the window go") {
        f.answers.boxAnswers = {IDNO};
        SendMessageW(f.frame, WM_CLOSE, 0, 0);
        CHECK_FALSE(IsWindow(f.frame));
    }
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("a damaged file keeps the previous package, now clean; a dropped file opens without the question") {
    FrameFixture f;
    const std::wstring damaged = f.dir.file(L"damaged.kvpreset"), dropped = f.Package(L"dropped.kvpreset");
    REQUIRE(testsupport::WriteWholeFile(damaged, "RIFF\4\0\0\0junk", 12));
    REQUIRE(OpenPackage(*f.state, Request(f.Package(L"good.kvpreset"))) == S_OK);
    f.MarkModified();
    f.answers.boxAnswers = {IDNO, IDOK};
    f.answers.dialogAnswers = {{damaged}};
    f.Command(ID_FILE_OPEN);
    CHECK(f.answers.boxes.at(1) == L"The file " + damaged + L" is not in a supported format, or contains an unrecoverable error.");
    CHECK(f.Title() == L"good.kvpreset");
    CHECK(f.RootText() == L"good.kvpreset");

    f.MarkModified();
    HGLOBAL drop = GlobalAlloc(GHND, sizeof(DROPFILES) + (dropped.size() + 2) * sizeof(wchar_t));
    auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
    *files = DROPFILES{sizeof(DROPFILES), {}, FALSE, TRUE};
    wcscpy(reinterpret_cast<wchar_t*>(files + 1), dropped.c_str());
    GlobalUnlock(drop);
    SendMessageW(f.frame, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); // the frame releases it
    CHECK(f.Title() == L"dropped.kvpreset");
    CHECK(f.answers.boxes.size() == 2);
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("recent files on the frame: the File menu, opening entries, and the list kept across a restart") {
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
    CHECK(f.answers.boxes.at(0) == L"The file " + gone + L" could not be opened.\n\nMake sure you have access to the specified file.");
    CHECK(g_appContext.recentFiles.count == 1);
    MakeUntitledDocument(f.document(), g_appContext.language);
    f.MarkModified();
    f.Command(ID_FILE_RECENT_FIRST); // no question; read-only as it was
    CHECK(f.Title() == L"a&b.kvpreset (Read-Only)");

    f.window.reset(); // writes the list
    g_appContext.recentFiles = RecentFileList{};
    f.Create();
    REQUIRE(g_appContext.recentFiles.count == 1);
    CHECK(std::wstring(g_appContext.recentFiles.entries[0].path) == kept);
    CHECK(g_appContext.recentFiles.entries[0].readOnly == -1);
    CHECK(f.answers.unexpected == 0);
}
