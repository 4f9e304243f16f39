// The error handler: composed texts, the message tables, the details buffer and what reaches the box.
#include <doctest.h>
#include "msgbox_driver.h"
#include "kverror.h"
#include "kvresult.h"
#include "resource.h"

using namespace msgboxtest;

namespace {

const wchar_t* Library(UINT id) { return KvGetString(KvKernel_GetLanguage(), id); }
std::wstring Message(HRESULT code) {
    const wchar_t* message = KvErrorHandler_GetHresultString(code);
    return message ? message : L"(none)";
}
constexpr HRESULT kUnknown = static_cast<HRESULT>(0x8004E0FF); // no table has it
UINT_PTR AsContext(const wchar_t* text) { return reinterpret_cast<UINT_PTR>(text); }

struct ErrorFixture {
    HookRecorder hook;
    ErrorFixture() {
        ResetMessageBoxes();
        KvPrintF_AddToken(L"AppName", L"Tarrow Test");
        KvErrorHandler_RemoveErrorTables();
        KvErrorHandler_DetailsClear();
        hook.answer = IDOK;
        hook.Install();
    }
    ~ErrorFixture() {
        KvErrorHandler_RemoveErrorTables();
        KvErrorHandler_DetailsClear();
        ResetMessageBoxes();
    }
};

} // namespace

TEST_CASE_FIXTURE(ErrorFixture, "error handler: composed message") {
    const std::wstring general = Library(IDS_KV_CTX_GENERAL);
    CHECK(KvErrorHandler_GetErrorMessage(26, KV_E_INVALIDARG, nullptr) ==
          std::wstring(L"An error occurred starting Tarrow Test.\n\nAn invalid argument was specified."));
    CHECK(KvErrorHandler_GetErrorMessage(0x35, kUnknown, nullptr) ==
          general + L"\n\nError 0x8004e0ff (message missing)");
    CHECK(std::wstring(KvErrorHandler_GetErrorMessage(999, KV_E_FAIL, nullptr)).rfind(general, 0) == 0);
    // A system status without a message of ours gets Windows' own text, as status or as HRESULT.
    wchar_t system[256];
    REQUIRE(FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, ERROR_BAD_EXE_FORMAT,
                           0, system, 256, nullptr) > 0);
    std::wstring windowsText = system;
    windowsText.erase(windowsText.find_last_not_of(L"\r\n ") + 1);
    const std::wstring expected = general + L"\n\n" + windowsText + L" (error 0x800700c1)";
    CHECK(KvErrorHandler_GetErrorMessage(0, HRESULT_FROM_WIN32(ERROR_BAD_EXE_FORMAT), nullptr) == expected);
    CHECK(KvErrorHandler_GetErrorMessage(0, ERROR_BAD_EXE_FORMAT, nullptr) == expected);
    // A context this program does not use names a general failure.
    CHECK(KvErrorHandler_GetErrorMessage(0x33, KV_E_READ, nullptr) == general + Library(IDS_KV_ERR_READ));
    CHECK(KvErrorHandler_GetErrorMessage(AsContext(L"Could not open \"%s\"."), KV_E_FILE_OPEN, L"C:\\p\\a.kvpreset") ==
          std::wstring(L"Could not open \"C:\\p\\a.kvpreset\".") + Library(IDS_KV_ERR_FILE_OPEN));
    const std::wstring longArgument(3000, L'x');
    CHECK(wcslen(KvErrorHandler_GetErrorMessage(AsContext(L"%s"), KV_E_FAIL, longArgument.c_str())) == KVERR_TEXT_CAPACITY - 1);
    wchar_t small[40];
    KvErrorHandler_FormatErrorMessage(small, 40, 0, kUnknown, nullptr);
    CHECK(wcslen(small) == 39);
}

TEST_CASE_FIXTURE(ErrorFixture, "error handler: what the box shows") {
    SUBCASE("cancelled by the user shows nothing") {
        CHECK(KvErrorHandler_MsgBox(nullptr, 0x30, 26, KV_E_CANCELLED, nullptr, FALSE) == 1);
        CHECK(hook.calls == 0);
    }
    SUBCASE("start-up failure with exclamation and OK, tokens expanded") {
        hook.answer = 5;
        CHECK(KvErrorHandler_MsgBox(nullptr, 0x30, 26, KV_E_RIFF_NEG_LENGTH, nullptr, FALSE) == 5);
        CHECK(hook.calls == 1);
        CHECK(hook.style == 0x30);
        CHECK(hook.caption == kAppName);
        CHECK(hook.text.rfind(L"An error occurred starting Tarrow Test.\n\n", 0) == 0);
        CHECK(hook.text.find(L"$(") == std::wstring::npos);
    }
}

TEST_CASE_FIXTURE(ErrorFixture, "error handler: an argument is shown exactly as given") {
    // "$" starts a conversion or a token just as "%" does; a path may hold either.
    for (const wchar_t* argument : {L"C:\\Users\\me\\my$stuff\\a.kvpreset", L"$s$d$I64d", L"$(AppName)", L"$$",
                                    L"%s%n%d", L"100%", L"$(12345)", L"$"}) {
        const std::wstring expected = L"Could not save " + std::wstring(argument) + L"." + Message(KV_E_WRITE);
        KvErrorHandler_MsgBox(nullptr, 0x30, AsContext(L"Could not save %s."), KV_E_WRITE, argument, FALSE);
        CHECK(hook.text == expected);
    }
}
