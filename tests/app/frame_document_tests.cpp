// The document commands on the real frame: titles, saving by the document's state, the unsaved-changes question,
// failed saves and openings, recent files and the File menu.
#include <doctest.h>
#include "app_fixture.h"
#include "package_save.h"
#include "recent_files.h"
#include "resource.h"
#include <shlobj.h>

using namespace apptest;
using testsupport::ReadWholeFile;

namespace {

const wchar_t kReadOnlyRefusal[] = L"The specified file exists and is read-only.\nPlease use a different file name.";

ULONGLONG WriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return (ULONGLONG(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Makes the flush of every save fail, as a full disk does.
struct DiskFull {
    PackageSaveFault previous = SetPackageSaveFault([](PackageSaveStep step) -> HRESULT {
        return step == SAVE_STEP_FLUSH ? E_FAIL : S_OK;
    });
    ~DiskFull() { SetPackageSaveFault(previous); }
};

DocumentRecord Request(const std::wstring& path, uint32_t flags = 0) {
    DocumentRecord request{};
    wcsncpy(request.path, path.c_str(), DOC_PATH_CHARS - 1);
    request.flags = flags;
    return request;
}

int UndoSteps(FrameFixture& f) { return f.state->history->undoSteps.Count(); }

} // namespace

TEST_CASE("the title and Save through every state of the document") {
    FrameFixture f;
    const std::wstring first = f.dir.file(L"first.kvpreset"), second = f.dir.file(L"second.kvpreset");
    WritePackage(first, {L"Warm"});
    CHECK(f.Title() == L"Untitled");
    f.Command(ID_FILE_SAVE); // clean: nothing to do, no dialog
    CHECK(f.answers.dialogs.empty());

    f.answers.dialogAnswers = {{first, true}};
    f.Command(ID_FILE_OPEN); // clean: no question
    CHECK(f.Title() == L"first.kvpreset (Read-Only)");
    CHECK(f.RootText() == L"first.kvpreset");
    f.MarkModified();
    CHECK(f.Title() == L"first.kvpreset* (Read-Only)");

    // A read-only document is saved under another name; its own path is refused.
    const ULONGLONG before = WriteTime(first);
    f.answers.dialogAnswers = {{first}, {second}};
    f.answers.boxAnswers = {IDOK};
    f.Command(ID_FILE_SAVE);
    REQUIRE(f.answers.boxes.size() == 1);
    CHECK(f.answers.boxes[0].text == kReadOnlyRefusal);
    REQUIRE(f.answers.dialogs.size() == 3);
    CHECK(f.answers.dialogs[1].folder == f.dir.path()); // the folder the package was opened from
    CHECK(f.Title() == L"second.kvpreset (Read-Only)");
    CHECK(f.RootText() == L"second.kvpreset");
    CHECK(WriteTime(first) == before);

    f.document().flags = DOC_MODIFIED; // a writable named document
    UpdateTitle(f.frame, &f.document());
    CHECK(f.Title() == L"second.kvpreset*");
    f.Command(ID_FILE_SAVE);
    CHECK(f.Title() == L"second.kvpreset");
    const ULONGLONG saved = WriteTime(second);
    Sleep(20);
    f.Command(ID_FILE_SAVE); // clean again: the file is left alone
    CHECK(WriteTime(second) == saved);
    CHECK(f.answers.dialogs.size() == 3);
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("the unsaved-changes question before New and Exit") {
    FrameFixture f;
    const std::wstring target = f.dir.file(L"kept.kvpreset");
    WritePackage(f.dir.file(L"mix.kvpreset"), {L"Warm", L"Cold"});
    REQUIRE(OpenPackage(*f.state, Request(f.dir.file(L"mix.kvpreset"))) == S_OK);
    REQUIRE(f.state->history->undoSteps.Insert(0, std::make_unique<EditStep>(SIDE_PACKAGE)) == S_OK);
    f.MarkModified();

    SUBCASE("Cancel leaves document, panes and history") {
        f.answers.boxAnswers = {IDCANCEL};
        f.Command(ID_FILE_NEW);
        CHECK(f.answers.boxes.at(0).text == L"Do you want to save changes to mix.kvpreset?");
        CHECK(f.answers.boxes.at(0).style == (KVMB_YESNOCANCEL | KVMB_ICONINFORMATION));
        CHECK(f.Title() == L"mix.kvpreset*");
        CHECK(f.RootText() == L"mix.kvpreset");
        CHECK(UndoSteps(f) == 1);
    }
    SUBCASE("a Yes whose save fails keeps the package, for New and for Exit") {
        f.document().flags |= DOC_READONLY; // so Yes goes through Save As
        f.MarkModified();
        f.answers.boxAnswers = {IDYES, IDOK, IDYES, IDOK};
        f.answers.dialogAnswers = {{target}, {target}};
        DiskFull full;
        f.Command(ID_FILE_NEW);
        f.Command(ID_FILE_EXIT);
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg); // the posted close
        CHECK(IsWindow(f.frame));
        REQUIRE(f.answers.boxes.size() == 4);
        CHECK(f.answers.boxes[1].text == L"The file " + target + L" could not be saved.\n\nAn error occurred writing "
                                         L"the file. Make sure you have write access to the file/folder and that there "
                                         L"is enough free space.");
        CHECK(f.Title() == L"mix.kvpreset* (Read-Only)");
        CHECK(UndoSteps(f) == 1);
        CHECK(GetFileAttributesW(target.c_str()) == INVALID_FILE_ATTRIBUTES);
        CHECK(g_appContext.recentFiles.count == 1);
    }
    SUBCASE("Yes on an untitled document with the Save dialog cancelled lets New go on") {
        MakeUntitledDocument(f.document(), f.language.instance);
        f.MarkModified();
        f.answers.boxAnswers = {IDYES};
        f.answers.dialogAnswers = {{std::nullopt}};
        f.Command(ID_FILE_NEW);
        CHECK(f.answers.boxes.at(0).text == L"Do you want to save changes to Untitled?");
        CHECK(f.Title() == L"Untitled");
        CHECK(f.RootText() == L"Untitled");
        CHECK(TreeView_GetChild(f.state->sides[PANE_PACKAGE].tree, TreeView_GetRoot(f.state->sides[PANE_PACKAGE].tree)) == nullptr);
        CHECK(UndoSteps(f) == 0);
    }
    SUBCASE("No on Exit closes the window") {
        f.answers.boxAnswers = {IDNO};
        SendMessageW(f.frame, WM_CLOSE, 0, 0);
        CHECK_FALSE(IsWindow(f.frame));
    }
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("opening: a damaged file keeps the previous package, clean; a dropped file skips the question") {
    FrameFixture f;
    const std::wstring good = f.dir.file(L"good.kvpreset"), damaged = f.dir.file(L"damaged.kvpreset");
    WritePackage(good, {L"Warm"});
    REQUIRE(testsupport::WriteWholeFile(damaged, "RIFF\4\0\0\0junk", 12));
    REQUIRE(OpenPackage(*f.state, Request(good)) == S_OK);
    f.MarkModified();

    f.answers.boxAnswers = {IDNO, IDOK};
    f.answers.dialogAnswers = {{damaged}};
    f.Command(ID_FILE_OPEN);
    REQUIRE(f.answers.boxes.size() == 2);
    CHECK(f.answers.boxes[1].text == L"The file " + damaged + L" is not in a supported format, or contains an "
                                     L"unrecoverable error.");
    CHECK(f.Title() == L"good.kvpreset");
    CHECK(f.RootText() == L"good.kvpreset");
    CHECK(f.document().flags == 0);

    f.MarkModified();
    const std::wstring dropped = f.dir.file(L"dropped.kvpreset");
    WritePackage(dropped, {L"Cold"});
    const size_t bytes = sizeof(DROPFILES) + (dropped.size() + 2) * sizeof(wchar_t);
    HGLOBAL drop = GlobalAlloc(GHND, bytes);
    auto* files = static_cast<DROPFILES*>(GlobalLock(drop));
    files->pFiles = sizeof(DROPFILES);
    files->fWide = TRUE;
    wcscpy(reinterpret_cast<wchar_t*>(files + 1), dropped.c_str());
    GlobalUnlock(drop);
    SendMessageW(f.frame, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0); // the frame releases the drop
    CHECK(f.Title() == L"dropped.kvpreset");
    CHECK(f.answers.boxes.size() == 2);
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("recent files on the frame: the File menu, opening entries, and the list kept across a restart") {
    FrameFixture f;
    const std::wstring kept = f.dir.file(L"a&b.kvpreset"), gone = f.dir.file(L"gone.kvpreset");
    WritePackage(kept, {L"Warm"});
    WritePackage(gone, {L"Cold"});
    REQUIRE(OpenPackage(*f.state, Request(gone)) == S_OK);
    REQUIRE(OpenPackage(*f.state, Request(kept, DOC_READONLY)) == S_OK);
    DeleteFileW(gone.c_str());

    HMENU file = GetSubMenu(GetMenu(f.frame), 0);
    SendMessageW(f.frame, WM_INITMENUPOPUP, reinterpret_cast<WPARAM>(file), 0);
    wchar_t label[300] = L"";
    GetMenuStringW(file, ID_FILE_RECENT_FIRST, label, 300, MF_BYCOMMAND);
    CHECK(std::wstring(label) == L"&1 " + f.dir.path() + L"\\a&&b.kvpreset (RO)");

    f.answers.boxAnswers = {IDOK};
    f.Command(ID_FILE_RECENT_FIRST + 1); // the deleted file: its message, then it leaves the list
    CHECK(f.answers.boxes.at(0).text ==
          L"The file " + gone + L" could not be opened.\n\nMake sure you have access to the specified file.");
    CHECK(g_appContext.recentFiles.count == 1);
    MakeUntitledDocument(f.document(), f.language.instance);
    f.MarkModified();
    f.Command(ID_FILE_RECENT_FIRST); // no question; opened read-only as it was
    CHECK(f.Title() == L"a&b.kvpreset (Read-Only)");

    f.Destroy(); // writes the list
    g_appContext.recentFiles = RecentFileList{};
    f.Create(); // reads it, as start-up does
    REQUIRE(g_appContext.recentFiles.count == 1);
    CHECK(std::wstring(g_appContext.recentFiles.entries[0].path) == kept);
    CHECK(g_appContext.recentFiles.entries[0].readOnly == -1);
    CHECK(f.answers.unexpected == 0);
}
