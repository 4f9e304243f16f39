// The package dialogs: what they ask the common dialogs for, and the folder they remember.
#include <doctest.h>
#include "app_fixture.h"
#include "kvresult.h"

using namespace apptest;

TEST_CASE("the Open and Save dialogs: filter, options, and the folder they remember") {
    AppSession session;
    Answers& answers = session.answers;
    KvMetricHandle* settings = g_appContext.settings;
    tKVLANG* language = g_appContext.language;
    wchar_t path[DOC_PATH_CHARS] = L"C:\\In\\old.kvpreset";
    bool readOnly = false;
    answers.dialogAnswers = {{L"D:\\Out\\new.kvpreset"}, {L"C:\\P\\a.kvpreset", true}, {std::nullopt}, {L"E:\\top.kvpreset"}, {}};
    REQUIRE(ShowSaveDialog(nullptr, language, settings, path) == S_OK);
    CHECK(std::wstring(path) == L"D:\\Out\\new.kvpreset");
    REQUIRE(ShowOpenDialog(nullptr, language, settings, path, &readOnly) == S_OK);
    CHECK(readOnly);
    CHECK(ShowOpenDialog(nullptr, language, settings, path, &readOnly) == KV_E_FAIL);
    REQUIRE(ShowOpenDialog(nullptr, language, settings, path, &readOnly) == S_OK);
    CHECK_FALSE(readOnly);
    CHECK(ShowSaveDialog(nullptr, language, settings, path) == KV_E_FAIL);

    REQUIRE(answers.dialogs.size() == 5);
    const ShownDialog& save = answers.dialogs[0];
    CHECK(save.name == L"C:\\In\\old.kvpreset");
    CHECK(save.extension == L"kvpreset");
    CHECK(save.filter == L"Preset Packages (*.kvpreset)|*.kvpreset|");
    CHECK(save.flags == (OFN_EXPLORER | OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_ENABLESIZING));
    CHECK(answers.dialogs[1].flags == (OFN_EXPLORER | OFN_FILEMUSTEXIST | OFN_ENABLESIZING)); // read-only box shown
    CHECK(answers.dialogs[1].folder == L"D:\\Out");
    CHECK(answers.dialogs[3].folder == L"C:\\P"); // a cancel remembers nothing
    CHECK(answers.dialogs[4].folder == L"E:\\");  // a drive's root, not the drive's current folder
}
