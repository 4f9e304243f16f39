// The Help menu's commands with the shell's open call replaced: what is opened, and what the user is told.
#include <doctest.h>
#include "frame_fixture.h"
#include "help_commands.h"
#include "kvlang.h"
#include "test_support.h"
#include <regex>
#include <string>
#include <vector>

using namespace testsupport;

namespace {

const HWND kFrame = reinterpret_cast<HWND>(0x1234);

// Records the open requests, answered with openResult, and the messages shown while it lives.
struct HelpProbe {
    HRESULT openResult = S_OK;
    std::vector<std::wstring> opened;
    frametest::Answers answers;
    bool Run(UINT id) {
        HelpOpener recorder{[](void* data, HWND, const wchar_t* target) {
            static_cast<HelpProbe*>(data)->opened.emplace_back(target);
            return static_cast<HelpProbe*>(data)->openResult;
        }, this};
        return HandleHelpCommand(kFrame, id, recorder);
    }
    bool LastToldHas(const std::wstring& part) const {
        return !answers.boxes.empty() && answers.boxes.back().text.find(part) != std::wstring::npos;
    }
};

// A library message without the two line breaks it starts with.
std::wstring Reason(UINT id) { return KvGetString(KvKernel_GetLanguage(), id) + 2; }

// The help folder beside this test program: where the handler must look. Emptied before and after each test.
struct HelpFolderBesideTests {
    std::wstring folder, guide;
    HelpFolderBesideTests() {
        wchar_t exe[MAX_PATH];
        std::wstring path(exe, GetModuleFileNameW(nullptr, exe, MAX_PATH));
        folder = path.substr(0, path.find_last_of(L'\\')) + L"\\help";
        guide = folder + L"\\index.html";
        RemoveTree(folder);
    }
    ~HelpFolderBesideTests() { RemoveTree(folder); }
};

} // namespace

TEST_CASE("F1 opens the guide beside the running program; what cannot be opened is reported with its place") {
    HelpProbe probe;
    HelpFolderBesideTests help;
    UINT reason = IDS_KV_ERR_NOT_FOUND, sentence = IDS_HELP_GUIDE_FAILED;
    SUBCASE("the guide is there; then no program opens it") {
        CreateDirectoryW(help.folder.c_str(), nullptr);
        REQUIRE(WriteWholeFile(help.guide, "<html></html>", 13));
        CHECK(probe.Run(ID_HELP_CONTENTS));
        REQUIRE(probe.opened.size() == 1);
        CHECK(CompareStringOrdinal(probe.opened[0].c_str(), -1, help.guide.c_str(), -1, TRUE) == CSTR_EQUAL);
        CHECK(probe.answers.boxes.empty());
        probe.openResult = HRESULT_FROM_WIN32(ERROR_NO_ASSOCIATION);
        reason = IDS_KV_ERR_NO_ASSOCIATION;
        sentence = IDS_HELP_GUIDE_NOT_SHOWN; // it is there, so it is not called missing
    }
    SUBCASE("no help folder") {}
    SUBCASE("a folder where the guide should be") {
        CreateDirectoryW(help.folder.c_str(), nullptr);
        REQUIRE(CreateDirectoryW(help.guide.c_str(), nullptr));
    }
    CHECK(probe.Run(ID_HELP_CONTENTS));
    REQUIRE(probe.answers.boxes.size() == 1);
    wchar_t told[1024];
    KvPrintFN(told, 1024, KvGetString(g_appContext.language, sentence), help.guide.c_str());
    CHECK(probe.LastToldHas(told));
    CHECK(probe.LastToldHas(Reason(reason)));
    CHECK(probe.answers.boxes[0].owner == kFrame);
}

TEST_CASE("The frame sends F1 to the guide and leaves Shift+F1 alone") {
    frametest::AppSession session;
    frametest::TestFrame frame(session);
    HelpFolderBesideTests help; // no guide: the message must come, naming the place
    frame.Command(ID_HELP_WHATS_THIS);
    CHECK(session.answers.boxes.empty());
    frame.Command(ID_HELP_CONTENTS);
    REQUIRE(session.answers.boxes.size() == 1);
    CHECK(session.answers.boxes[0].text.find(help.guide) != std::wstring::npos);
}

TEST_CASE("The home page opens the string table's address; What's This and other commands are left to the frame") {
    HelpProbe probe;
    std::wstring address = KvGetString(g_appContext.language, IDS_HELP_HOME_PAGE_ADDRESS);
    for (UINT id : {ID_HELP_WHATS_THIS, ID_HELP_ABOUT, ID_FILE_EXIT}) CHECK_FALSE(probe.Run(id));
    CHECK(probe.Run(ID_HELP_HOME_PAGE));
    CHECK(probe.opened == std::vector<std::wstring>{address});
    CHECK(probe.answers.boxes.empty());

    probe.openResult = E_ACCESSDENIED;
    probe.Run(ID_HELP_HOME_PAGE);
    CHECK(probe.LastToldHas(address));
    CHECK(probe.LastToldHas(Reason(IDS_KV_ERR_ACCESS_DENIED)));
    // The real opener reports what it cannot open as a failure.
    ScratchDir dir(L"help");
    CHECK(ShellHelpOpener().open(nullptr, nullptr, dir.file(L"missing.html").c_str()) < 0);
}

TEST_CASE("every link target of the guide exists, in the sources and beside tarrow.exe") {
    std::wstring exe = BuildPath(TARROW_EXE);
    std::wstring installed = exe.substr(0, exe.find_last_of(L'\\')) + L"\\help";
    std::wstring source = BuildPath(std::string(TARROW_SOURCE_DIR) + "/help");
    std::vector<unsigned char> page = ReadWholeFile(source + L"\\index.html");
    std::string html(page.begin(), page.end());
    const std::regex reference(R"re((src|href)="([^"]*)")re");
    for (std::sregex_iterator link(html.begin(), html.end(), reference), end; link != end; ++link) {
        std::string target = (*link)[2];
        INFO(target);
        if (target.starts_with("#")) CHECK(html.find("id=\"" + target.substr(1) + "\"") != std::string::npos);
        else
            for (const std::wstring& folder : {source, installed})
                CHECK(GetFileAttributesW((folder + L"\\" + BuildPath(target)).c_str()) != INVALID_FILE_ATTRIBUTES);
    }
}
