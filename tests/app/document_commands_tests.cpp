// New, Open, Save and Save As over a document, a package side and a recent-files list, with the unsaved-changes
// question, the file dialogs and the failure messages answered through their seams.
#include <doctest.h>
#include "document_fixture.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_save.h"
#include "resource.h"
#include <string>
#include <vector>

using namespace apptest;
using testsupport::ReadWholeFile;

namespace {

FILETIME WriteTime(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

bool SameTime(const FILETIME& a, const FILETIME& b) { return CompareFileTime(&a, &b) == 0; }

// The preset names a package file holds, or nothing when it does not read.
std::vector<std::wstring> PresetsIn(const std::wstring& path) {
    PlugInList plugIns;
    ChainList chains;
    std::vector<std::wstring> names;
    if (ReadPackageFile(path.c_str(), &plugIns, &chains) < 0) return names;
    for (int p = 0; p < plugIns.Count(); ++p)
        for (int i = 0; i < plugIns.At(p)->PresetCount(); ++i) names.emplace_back(plugIns.At(p)->PresetAt(i)->name);
    return names;
}

void WritePackageWith(const std::wstring& path, const wchar_t* preset) {
    CatalogueModel model;
    PlugInList* plugIns = GetPlugInList(model, SIDE_PACKAGE);
    auto* plugIn = new PlugInEntry(L"Echo", L"{11111111-2222-3333-4444-555555555555}");
    auto* entry = new PresetEntry(preset);
    uint8_t* blob = CatalogueBlobAlloc(8);
    REQUIRE(blob != nullptr);
    entry->AdoptData(blob, 8);
    REQUIRE(plugIn->AppendPreset(entry) == 0);
    REQUIRE(plugIns->Append(plugIn) == 0);
    REQUIRE(WritePackageFile(path.c_str(), plugIns, nullptr) == S_OK);
}

int PackagePresetCount(const CatalogueModel& model) {
    return model.plugIns[SIDE_PACKAGE] ? model.plugIns[SIDE_PACKAGE]->TotalPresetCount() : 0;
}

// Makes the flush of every save fail, as a full disk would.
class DiskFull {
public:
    DiskFull() : previous_(SetPackageSaveFault([](PackageSaveStep step) -> HRESULT {
                     return step == SAVE_STEP_FLUSH ? E_FAIL : S_OK;
                 })) {}
    ~DiskFull() { SetPackageSaveFault(previous_); }
    DiskFull(const DiskFull&) = delete;
    DiskFull& operator=(const DiskFull&) = delete;
private:
    PackageSaveFault previous_;
};

// Records the requests the document commands make of the package opener, and fails them when told.
struct Opener {
    std::vector<DocumentRecord> requests;
    HRESULT result = S_OK;
    OpenPackageFunction Function() {
        return [this](const DocumentRecord& request) {
            requests.push_back(request);
            return result;
        };
    }
};

std::wstring QuestionFor(const wchar_t* fileName) { return std::wstring(L"Do you want to save changes to ") + fileName + L"?"; }
const wchar_t kReadOnlyRefusal[] = L"The specified file exists and is read-only.\nPlease use a different file name.";

} // namespace

TEST_CASE("Save follows the document's flags") {
    DocumentFixture f;
    DocumentOutcome outcome;
    const std::wstring path = f.dir.file(L"named.kvpreset");

    SUBCASE("a clean document writes nothing") {
        WritePackageWith(path, L"On disk");
        const FILETIME before = WriteTime(path);
        f.MakeNamed(path, 0);
        f.AddPackagePreset(L"In memory");
        Sleep(20);
        CHECK(SaveDocument(f.session, &outcome) == KV_S_NOTHING_TO_DO);
        CHECK(SameTime(WriteTime(path), before));
        CHECK(PresetsIn(path) == std::vector<std::wstring>{L"On disk"});
        CHECK(f.answers.dialogs.empty());
    }
    SUBCASE("a modified named document is written to its path and listed") {
        f.MakeNamed(path, DOC_MODIFIED);
        f.AddPackagePreset(L"Fresh");
        CHECK(SaveDocument(f.session, &outcome) == S_OK);
        CHECK(PresetsIn(path) == std::vector<std::wstring>{L"Fresh"});
        CHECK(f.document.flags == 0);
        CHECK(outcome.titleChanged);
        CHECK_FALSE(outcome.rootRenamed);
        CHECK(f.answers.dialogs.empty());
        REQUIRE(f.recent.count == 1);
        CHECK(std::wstring(f.recent.entries[0].path) == path);
    }
    SUBCASE("a modified untitled document asks for a name, starting with \"Untitled\"") {
        f.document.flags |= DOC_MODIFIED;
        f.AddPackagePreset(L"Fresh");
        f.answers.dialogAnswers = {{path}};
        CHECK(SaveDocument(f.session, &outcome) == S_OK);
        REQUIRE(f.answers.dialogs.size() == 1);
        CHECK(f.answers.dialogs[0].initialName == L"Untitled");
        CHECK(std::wstring(f.document.path) == path);
        CHECK(f.document.flags == 0);
        CHECK(outcome.rootRenamed);
        CHECK(PresetsIn(path) == std::vector<std::wstring>{L"Fresh"});
    }
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("a read-only document is saved under another name; its own path and read-only files are refused") {
    DocumentFixture f;
    DocumentOutcome outcome;
    const std::wstring own = f.dir.file(L"own.kvpreset");
    const std::wstring locked = f.dir.file(L"locked.kvpreset");
    const std::wstring other = f.dir.file(L"other.kvpreset");
    WritePackageWith(own, L"Original");
    WritePackageWith(locked, L"Locked");
    REQUIRE(SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_READONLY));
    f.MakeNamed(own, DOC_READONLY | DOC_MODIFIED);
    f.AddPackagePreset(L"Edited");

    std::wstring ownInOtherCase = own;
    for (wchar_t& c : ownInOtherCase) c = static_cast<wchar_t>(towupper(c));
    f.answers.dialogAnswers = {{ownInOtherCase}, {locked}, {other}};
    f.answers.boxAnswers = {IDOK, IDOK};
    CHECK(SaveDocument(f.session, &outcome) == S_OK);

    CHECK(f.answers.dialogs.size() == 3);
    REQUIRE(f.answers.boxes.size() == 2);
    CHECK(f.answers.boxes[0].text == kReadOnlyRefusal);
    CHECK(f.answers.boxes[0].style == (KVMB_OK | KVMB_ICONEXCLAMATION));
    CHECK(f.answers.boxes[1].text == kReadOnlyRefusal);
    CHECK(f.answers.dialogs[1].initialName == ownInOtherCase); // the dialog comes back with the refused name
    CHECK(PresetsIn(own) == std::vector<std::wstring>{L"Original"});
    CHECK(PresetsIn(locked) == std::vector<std::wstring>{L"Locked"});
    CHECK(PresetsIn(other) == std::vector<std::wstring>{L"Edited"});
    CHECK(std::wstring(f.document.path) == other);
    CHECK(f.document.flags == DOC_READONLY); // still shown read-only, as it was opened
    REQUIRE(f.recent.count == 1);
    CHECK(f.recent.entries[0].readOnly == 0);

    SUBCASE("a cancelled dialog after a refusal changes nothing") {
        f.MakeNamed(own, DOC_READONLY | DOC_MODIFIED);
        f.answers.dialogAnswers = {{own}, {std::nullopt}};
        f.answers.boxAnswers = {IDOK};
        CHECK(SaveDocumentAs(f.session, &outcome) == KV_E_FAIL);
        CHECK(f.document.flags == (DOC_READONLY | DOC_MODIFIED));
        CHECK(std::wstring(f.document.path) == own);
    }
    SetFileAttributesW(locked.c_str(), FILE_ATTRIBUTE_NORMAL);
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("a failed save is reported with its path and loses nothing") {
    DocumentFixture f;
    DocumentOutcome outcome;
    testsupport::ScratchDir odd(L"50%s %d");
    const std::wstring path = odd.file(L"keep.kvpreset");
    WritePackageWith(path, L"Previous");
    const std::vector<unsigned char> before = ReadWholeFile(path);
    AddRecentFile(f.recent, DocumentRecord{L"C:\\earlier.kvpreset", 0});

    SUBCASE("Save with a full disk") {
        f.MakeNamed(path, DOC_MODIFIED);
        f.AddPackagePreset(L"Unsaved");
        f.answers.boxAnswers = {IDOK};
        DiskFull full;
        CHECK(SaveDocument(f.session, &outcome) == KV_E_WRITE);
        REQUIRE(f.answers.boxes.size() == 1);
        CHECK(f.answers.boxes[0].text == L"The file " + path + L" could not be saved.\n\nAn error occurred writing the "
                                         L"file. Make sure you have write access to the file/folder and that there is "
                                         L"enough free space.");
        CHECK((f.answers.boxes[0].style & KVMB_ICONMASK) == KVMB_ICONEXCLAMATION);
        CHECK(std::wstring(f.document.path) == path);
        CHECK(f.document.flags == DOC_MODIFIED);
        CHECK(ReadWholeFile(path) == before);
    }
    SUBCASE("Save As into a folder that does not exist") {
        f.document.flags |= DOC_MODIFIED;
        f.AddPackagePreset(L"Unsaved");
        const std::wstring nowhere = odd.file(L"gone\\new.kvpreset");
        f.answers.dialogAnswers = {{nowhere}};
        f.answers.boxAnswers = {IDOK};
        CHECK(SaveDocumentAs(f.session, &outcome) == KV_E_FILE_CREATE);
        REQUIRE(f.answers.boxes.size() == 1);
        CHECK(f.answers.boxes[0].text ==
              L"The file " + nowhere + L" could not be saved.\n\nThe file could not be created.");
        CHECK(std::wstring(f.document.path) == L"Untitled");
        CHECK(f.document.flags == (DOC_UNTITLED | DOC_MODIFIED));
        CHECK_FALSE(outcome.rootRenamed);
    }
    CHECK(outcome.saveFailed);
    CHECK_FALSE(outcome.titleChanged);
    REQUIRE(f.recent.count == 1);
    CHECK(std::wstring(f.recent.entries[0].path) == L"C:\\earlier.kvpreset");
    CHECK(PackagePresetCount(f.model) == 1);
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("the unsaved-changes question") {
    DocumentFixture f;
    DocumentOutcome outcome;
    const std::wstring path = f.dir.file(L"Mix.kvpreset");
    f.MakeNamed(path, DOC_MODIFIED);
    f.AddPackagePreset(L"Unsaved");

    SUBCASE("a clean document is not asked about") {
        f.document.flags = 0;
        CHECK(PromptSaveChanges(f.session, &outcome));
        CHECK(f.answers.boxes.empty());
    }
    SUBCASE("it names the file; No goes on without saving, Cancel stops") {
        f.answers.boxAnswers = {IDNO, IDCANCEL};
        CHECK(PromptSaveChanges(f.session, &outcome));
        CHECK_FALSE(PromptSaveChanges(f.session, &outcome));
        REQUIRE(f.answers.boxes.size() == 2);
        CHECK(f.answers.boxes[0].text == QuestionFor(L"Mix.kvpreset"));
        CHECK(f.answers.boxes[0].style == (KVMB_YESNOCANCEL | KVMB_ICONINFORMATION));
        CHECK(GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES);
        CHECK(f.document.flags == DOC_MODIFIED);
    }
    SUBCASE("Yes saves and goes on") {
        f.answers.boxAnswers = {IDYES};
        CHECK(PromptSaveChanges(f.session, &outcome));
        CHECK(PresetsIn(path) == std::vector<std::wstring>{L"Unsaved"});
        CHECK(f.document.flags == 0);
    }
    SUBCASE("Yes whose write fails stops the command: the package stays, still modified") {
        f.answers.boxAnswers = {IDYES, IDOK};
        DiskFull full;
        CHECK_FALSE(PromptSaveChanges(f.session, &outcome));
        CHECK(outcome.saveFailed);
        CHECK(f.answers.boxes.size() == 2); // the question, then the failure
        CHECK(f.document.flags == DOC_MODIFIED);
    }
    SUBCASE("Yes on an untitled document whose Save dialog is cancelled goes on") {
        MakeUntitledDocument(f.document, f.language.instance);
        f.document.flags |= DOC_MODIFIED;
        f.answers.boxAnswers = {IDYES};
        f.answers.dialogAnswers = {{std::nullopt}};
        CHECK(PromptSaveChanges(f.session, &outcome));
        CHECK(f.answers.boxes[0].text == QuestionFor(L"Untitled"));
        CHECK(f.answers.dialogs.size() == 1);
    }
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("New starts an untitled empty package unless the question stops it") {
    DocumentFixture f;
    DocumentOutcome outcome;
    const std::wstring path = f.dir.file(L"Mix.kvpreset");
    f.MakeNamed(path, DOC_READONLY | DOC_MODIFIED);
    f.AddPackagePreset(L"Unsaved");

    SUBCASE("Cancel leaves document and package as they were") {
        f.answers.boxAnswers = {IDCANCEL};
        CHECK(NewDocument(f.session, &outcome) == KV_E_CANCELLED);
        CHECK(std::wstring(f.document.path) == path);
        CHECK(f.document.flags == (DOC_READONLY | DOC_MODIFIED));
        CHECK(PackagePresetCount(f.model) == 1);
        CHECK_FALSE(outcome.packageReplaced);
    }
    SUBCASE("a failed Yes-save leaves them too") {
        f.document.flags = DOC_MODIFIED;
        f.answers.boxAnswers = {IDYES, IDOK};
        DiskFull full;
        CHECK(NewDocument(f.session, &outcome) == KV_E_CANCELLED);
        CHECK(PackagePresetCount(f.model) == 1);
        CHECK(f.document.flags == DOC_MODIFIED);
    }
    SUBCASE("No discards the package") {
        f.answers.boxAnswers = {IDNO};
        CHECK(NewDocument(f.session, &outcome) == S_OK);
        CHECK(std::wstring(f.document.path) == L"Untitled");
        CHECK(f.document.flags == DOC_UNTITLED);
        CHECK(f.model.plugIns[SIDE_PACKAGE] == nullptr);
        CHECK(f.model.chains[SIDE_PACKAGE] == nullptr);
        CHECK(outcome.packageReplaced);
        CHECK(outcome.titleChanged);
    }
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("Open asks, lets the user choose, and hands the choice to the package opener") {
    DocumentFixture f;
    DocumentOutcome outcome;
    Opener opener;
    f.MakeNamed(f.dir.file(L"Current.kvpreset"), DOC_MODIFIED);
    const std::wstring chosen = f.dir.file(L"Chosen.kvpreset");

    SUBCASE("Cancel on the question shows no dialog") {
        f.answers.boxAnswers = {IDCANCEL};
        CHECK(OpenDocument(f.session, opener.Function(), &outcome) == KV_E_CANCELLED);
        CHECK(f.answers.dialogs.empty());
        CHECK(f.document.flags == DOC_MODIFIED);
    }
    SUBCASE("a cancelled dialog opens nothing") {
        f.answers.boxAnswers = {IDNO};
        f.answers.dialogAnswers = {{std::nullopt}};
        CHECK(OpenDocument(f.session, opener.Function(), &outcome) == KV_E_FAIL);
        CHECK(opener.requests.empty());
    }
    SUBCASE("the read-only box becomes the request's flag") {
        f.answers.boxAnswers = {IDNO};
        f.answers.dialogAnswers = {{chosen, true}};
        CHECK(OpenDocument(f.session, opener.Function(), &outcome) == S_OK);
        REQUIRE(opener.requests.size() == 1);
        CHECK(std::wstring(opener.requests[0].path) == chosen);
        CHECK(opener.requests[0].flags == DOC_READONLY);
    }
    SUBCASE("a file that does not open leaves the previous package, now clean") {
        f.answers.boxAnswers = {IDNO};
        f.answers.dialogAnswers = {{chosen, false}};
        opener.result = KV_E_RIFF_NOT_RIFF;
        CHECK(OpenDocument(f.session, opener.Function(), &outcome) == KV_E_RIFF_NOT_RIFF);
        CHECK(opener.requests.at(0).flags == 0);
        CHECK(f.document.flags == 0);
        CHECK(outcome.titleChanged);
        CHECK_FALSE(outcome.packageReplaced);
    }
    CHECK(f.answers.unexpected == 0);
}

TEST_CASE("a recent-files entry opens without the question and leaves the list when it fails") {
    DocumentFixture f;
    Opener opener;
    f.document.flags |= DOC_MODIFIED;
    AddRecentFile(f.recent, DocumentRecord{L"C:\\gone.kvpreset", 0});
    AddRecentFile(f.recent, DocumentRecord{L"C:\\ro.kvpreset", DOC_READONLY});

    CHECK(OpenRecentFile(f.session, 0, opener.Function()) == S_OK);
    REQUIRE(opener.requests.size() == 1);
    CHECK(std::wstring(opener.requests[0].path) == L"C:\\ro.kvpreset");
    CHECK(opener.requests[0].flags == DOC_READONLY);
    CHECK(f.recent.count == 2);

    opener.result = KV_E_DATA_FILE_MISSING;
    CHECK(OpenRecentFile(f.session, 1, opener.Function()) == KV_E_DATA_FILE_MISSING);
    REQUIRE(f.recent.count == 1);
    CHECK(std::wstring(f.recent.entries[0].path) == L"C:\\ro.kvpreset");

    CHECK(OpenRecentFile(f.session, 1, opener.Function()) == KV_E_INVALIDARG);
    CHECK(opener.requests.size() == 2);
    CHECK(f.answers.boxes.empty());
}
