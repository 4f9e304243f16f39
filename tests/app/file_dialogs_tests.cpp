// The package dialogs: what they ask the common dialogs for, and the folder they remember.
#include <doctest.h>
#include "app_fixture.h"
#include "kvresult.h"
#include "settings_ids.h"

using namespace apptest;

TEST_CASE("the Open and Save dialogs: titles, filter, options, and the folder they remember") {
    TestLanguage language;
    TestSettings settings;
    Answers answers;
    wchar_t path[DOC_PATH_CHARS] = L"C:\\In\\old name.kvpreset";
    auto stored = [&settings] {
        wchar_t folder[DOC_PATH_CHARS] = L"";
        KvGetMetricStringEx(settings.handle, SETTING_LAST_FOLDER, folder, DOC_PATH_CHARS, nullptr, FALSE);
        return std::wstring(folder);
    };
    answers.dialogAnswers = {{L"D:\\Out\\new.kvpreset"}, {L"C:\\Packages\\Mix.kvpreset", true}, {std::nullopt},
                             {L"E:\\top.kvpreset"}, {std::nullopt}};
    REQUIRE(ShowSaveDialog(nullptr, language.instance, settings.handle, path) == S_OK);
    CHECK(std::wstring(path) == L"D:\\Out\\new.kvpreset");
    CHECK(stored() == L"D:\\Out");
    bool readOnly = false;
    REQUIRE(ShowOpenDialog(nullptr, language.instance, settings.handle, path, &readOnly) == S_OK);
    CHECK(readOnly);
    CHECK(ShowOpenDialog(nullptr, language.instance, settings.handle, path, &readOnly) == KV_E_FAIL);
    CHECK(stored() == L"C:\\Packages"); // a cancel stores nothing
    REQUIRE(ShowOpenDialog(nullptr, language.instance, settings.handle, path, &readOnly) == S_OK);
    CHECK_FALSE(readOnly);
    CHECK(ShowSaveDialog(nullptr, language.instance, settings.handle, path) == KV_E_FAIL);

    REQUIRE(answers.dialogs.size() == 5);
    const ShownDialog& save = answers.dialogs[0];
    CHECK(save.title == L"Save Preset Package");
    CHECK(save.name == L"C:\\In\\old name.kvpreset");
    CHECK(save.extension == L"kvpreset");
    CHECK(save.filter == L"Preset Packages (*.kvpreset)|*.kvpreset|");
    CHECK(save.flags == (OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING));
    const ShownDialog& open = answers.dialogs[1];
    CHECK(open.title == L"Open Preset Package");
    CHECK(open.name.empty());
    CHECK(open.flags == (OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ENABLESIZING)); // the read-only box is offered
    CHECK(open.folder == L"D:\\Out");
    CHECK(answers.dialogs[4].folder == L"E:\\"); // a drive's root, not the drive's current folder
    CHECK(stored() == L"E:");

    SUBCASE("before any choice the dialogs start in the documents folder") {
        TestSettings fresh;
        wchar_t folder[DOC_PATH_CHARS];
        InitialDialogFolder(fresh.handle, folder, DOC_PATH_CHARS);
        DWORD attributes = GetFileAttributesW(folder);
        CHECK(attributes != INVALID_FILE_ATTRIBUTES);
        CHECK((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0);
    }
}
