// The package dialogs: what they ask the common dialogs for, and the folder they remember.
#include <doctest.h>
#include "document_fixture.h"
#include "kvresult.h"
#include "settings_ids.h"
#include <string>

using namespace apptest;

namespace {

std::wstring StoredFolder(KvMetricHandle* settings) {
    wchar_t folder[DOC_PATH_CHARS] = L"";
    KvGetMetricStringEx(settings, SETTING_LAST_FOLDER, folder, DOC_PATH_CHARS, nullptr, FALSE);
    return folder;
}

} // namespace

TEST_CASE("the Open dialog: title, filter, options and the read-only box") {
    TestLanguage language;
    TestSettings settings;
    Answers answers;
    answers.dialogAnswers = {{L"C:\\Packages\\Mix.kvpreset", true}, {L"C:\\Other\\b.kvpreset", false}};
    wchar_t path[DOC_PATH_CHARS];
    bool readOnly = false;

    REQUIRE(ShowOpenDialog(nullptr, language.instance, settings.handle, path, &readOnly) == S_OK);
    CHECK(std::wstring(path) == L"C:\\Packages\\Mix.kvpreset");
    CHECK(readOnly);
    REQUIRE(ShowOpenDialog(nullptr, language.instance, settings.handle, path, &readOnly) == S_OK);
    CHECK_FALSE(readOnly);

    REQUIRE(answers.dialogs.size() == 2);
    const ShownDialog& shown = answers.dialogs[0];
    CHECK_FALSE(shown.save);
    CHECK(shown.title == L"Open Preset Package");
    CHECK(shown.filter == L"Preset Packages (*.kvpreset)|*.kvpreset|");
    CHECK(shown.initialName.empty());
    CHECK((shown.flags & OFN_FILEMUSTEXIST) != 0);
    CHECK((shown.flags & OFN_EXPLORER) != 0);
    CHECK((shown.flags & OFN_ENABLESIZING) != 0);
    CHECK((shown.flags & OFN_HIDEREADONLY) == 0); // the read-only box is offered
    CHECK(answers.dialogs[1].initialFolder == L"C:\\Packages"); // where the first choice was made
}

TEST_CASE("the Save dialog: options, default extension and the name it starts with") {
    TestLanguage language;
    TestSettings settings;
    Answers answers;
    answers.dialogAnswers = {{L"D:\\Out\\new.kvpreset"}};
    wchar_t path[DOC_PATH_CHARS] = L"C:\\In\\old name.kvpreset";

    REQUIRE(ShowSaveDialog(nullptr, language.instance, settings.handle, path) == S_OK);
    CHECK(std::wstring(path) == L"D:\\Out\\new.kvpreset");
    REQUIRE(answers.dialogs.size() == 1);
    const ShownDialog& shown = answers.dialogs[0];
    CHECK(shown.save);
    CHECK(shown.title == L"Save Preset Package");
    CHECK(shown.initialName == L"C:\\In\\old name.kvpreset");
    CHECK(shown.defaultExtension == L"kvpreset");
    CHECK((shown.flags & OFN_OVERWRITEPROMPT) != 0);
    CHECK((shown.flags & OFN_PATHMUSTEXIST) != 0);
    CHECK((shown.flags & OFN_HIDEREADONLY) != 0);
    CHECK(StoredFolder(settings.handle) == L"D:\\Out");
}

TEST_CASE("the remembered folder: kept by a choice, untouched by a cancel, the documents folder before any") {
    TestLanguage language;
    TestSettings settings;
    Answers answers;
    wchar_t folder[DOC_PATH_CHARS];

    InitialDialogFolder(settings.handle, folder, DOC_PATH_CHARS);
    DWORD attributes = GetFileAttributesW(folder);
    CHECK(folder[0] != L'\0');
    CHECK(attributes != INVALID_FILE_ATTRIBUTES);
    CHECK((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);

    REQUIRE(KvSetMetricString(settings.handle, SETTING_LAST_FOLDER, L"C:\\Stored\\") == S_OK);
    InitialDialogFolder(settings.handle, folder, DOC_PATH_CHARS);
    CHECK(std::wstring(folder) == L"C:\\Stored");

    answers.dialogAnswers = {{std::nullopt}};
    wchar_t path[DOC_PATH_CHARS];
    CHECK(ShowOpenDialog(nullptr, language.instance, settings.handle, path, nullptr) == KV_E_FAIL);
    CHECK(StoredFolder(settings.handle) == L"C:\\Stored\\");

    SUBCASE("a package in a drive's root starts the next dialog in that root") {
        answers.dialogAnswers = {{L"E:\\top.kvpreset"}};
        REQUIRE(ShowOpenDialog(nullptr, language.instance, settings.handle, path, nullptr) == S_OK);
        CHECK(StoredFolder(settings.handle) == L"E:");
        InitialDialogFolder(settings.handle, folder, DOC_PATH_CHARS);
        CHECK(std::wstring(folder) == L"E:\\");
    }
}
