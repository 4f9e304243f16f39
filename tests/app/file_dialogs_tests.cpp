// The package dialogs: what they hand back, and the folder they remember.
#include <doctest.h>
#include "frame_fixture.h"
#include "kvresult.h"

using namespace frametest;

TEST_CASE("the Open and Save dialogs: the name, the read-only choice, and the folder they remember") {
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
    CHECK(answers.dialogs[0].name == L"C:\\In\\old.kvpreset");
    CHECK(answers.dialogs[1].folder == L"D:\\Out");
    CHECK(answers.dialogs[3].folder == L"C:\\P"); // a cancel remembers nothing
    CHECK(answers.dialogs[4].folder == L"E:\\");  // a drive's root, not the drive's current folder
}
