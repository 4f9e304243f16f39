// The error handler: composed texts, the message tables, the details buffer and what reaches the box.
#include <doctest.h>
#include "msgbox_driver.h"
#include "kverror.h"
#include "kvkernel.h"
#include "kvmsgbox.h"
#include "kvresult.h"
#include "resource.h"
#include <string>
#include <thread>

using namespace msgboxtest;

namespace {

const wchar_t* Library(UINT id) { return KvGetString(KvKernel_GetLanguage(), id); }


// Every code the program's layers can return, and the registry's own statuses the store passes through.
const HRESULT kProgramCodes[] = {
    KV_E_FAIL, KV_E_OUTOFMEMORY, KV_E_INVALIDARG, KV_E_FILE_CREATE, KV_E_FILE_OPEN, KV_E_READ, KV_E_WRITE,
    KV_E_NOT_FOUND, KV_E_UNSUPPORTED, KV_E_CANCELLED, KV_E_WINDOW_CREATE, KV_E_DATA_FILE_MISSING,
    KV_E_RIFF_NOT_RIFF, KV_E_RIFF_NOT_LIST, KV_E_RIFF_ZERO_LENGTH, KV_E_RIFF_NEG_LENGTH,
    static_cast<HRESULT>(0x8004E03C),
};
const LONG kRegistryStatuses[] = {
    ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND, ERROR_ACCESS_DENIED, ERROR_INVALID_HANDLE, ERROR_NOT_ENOUGH_MEMORY,
    ERROR_INVALID_DATA, ERROR_OUTOFMEMORY, ERROR_INVALID_PARAMETER, ERROR_MORE_DATA, ERROR_NO_MORE_ITEMS,
    ERROR_BADDB, ERROR_BADKEY, ERROR_CANTOPEN, ERROR_CANTREAD, ERROR_CANTWRITE, ERROR_REGISTRY_CORRUPT,
    ERROR_REGISTRY_IO_FAILED, ERROR_KEY_DELETED, ERROR_SHARING_VIOLATION, ERROR_DISK_FULL,
};

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
    SUBCASE("start-up context followed by the code's message") {
        std::wstring text = KvErrorHandler_GetErrorMessage(26, KV_E_INVALIDARG, nullptr);
        CHECK(text == L"An error occurred starting Tarrow Test.\n\nAn invalid argument was specified.");
    }
    SUBCASE("unknown context and unknown code") {
        std::wstring text = KvErrorHandler_GetErrorMessage(0x34 + 1, static_cast<HRESULT>(0x8004E0FF), nullptr);
        CHECK(text == std::wstring(Library(IDS_KV_CTX_GENERAL)) + L"\n\nError 0x8004e0ff (message missing)");
        CHECK(std::wstring(KvErrorHandler_GetErrorMessage(999, KV_E_FAIL, nullptr)).rfind(Library(IDS_KV_CTX_GENERAL), 0) == 0);
    }
    SUBCASE("a context this program does not use names a general failure") {
        std::wstring text = KvErrorHandler_GetErrorMessage(0x33, KV_E_READ, nullptr);
        CHECK(text == std::wstring(Library(IDS_KV_CTX_GENERAL)) + Library(IDS_KV_ERR_READ));
    }
    SUBCASE("context given as text, formatted with the argument") {
        const wchar_t* context = L"Could not open \"%s\".";
        std::wstring text = KvErrorHandler_GetErrorMessage(reinterpret_cast<UINT_PTR>(context), KV_E_FILE_OPEN,
                                                           L"C:\\p\\a.kvpreset");
        CHECK(text == std::wstring(L"Could not open \"C:\\p\\a.kvpreset\".") + Library(IDS_KV_ERR_FILE_OPEN));
    }
    SUBCASE("cut to 2047 characters") {
        const wchar_t* context = L"%s";
        std::wstring longArgument(3000, L'x');
        std::wstring text = KvErrorHandler_GetErrorMessage(reinterpret_cast<UINT_PTR>(context), KV_E_FAIL,
                                                           longArgument.c_str());
        CHECK(text.size() == KVERR_TEXT_CAPACITY - 1);
        wchar_t small[40];
        KvErrorHandler_FormatErrorMessage(small, 40, 0, static_cast<HRESULT>(0x8004E0FF), nullptr);
        CHECK(wcslen(small) == 39);
    }
}

TEST_CASE_FIXTURE(ErrorFixture, "error handler: every code the program produces has a message") {
    SUBCASE("the program's own codes") {
        for (HRESULT code : kProgramCodes) {
            CAPTURE(code);
            const wchar_t* message = KvErrorHandler_GetHresultString(code);
            REQUIRE(message);
            CHECK(std::wstring(message).rfind(L"\n\n", 0) == 0);
            CHECK(wcslen(message) > 10);
        }
        CHECK(std::wstring(KvErrorHandler_GetHresultString(KV_E_RIFF_NOT_LIST)) == Library(IDS_KV_ERR_RIFF_NOT_LIST));
        CHECK(std::wstring(KvErrorHandler_GetHresultString(KV_E_CANCELLED)) == Library(IDS_KV_ERR_CANCELLED));
    }
    SUBCASE("registry statuses, positive and as HRESULT, give the same message") {
        for (LONG status : kRegistryStatuses) {
            CAPTURE(status);
            const wchar_t* positive = KvErrorHandler_GetHresultString(static_cast<HRESULT>(status));
            const wchar_t* wrapped = KvErrorHandler_GetHresultString(HRESULT_FROM_WIN32(status));
            REQUIRE(positive);
            REQUIRE(wrapped);
            CHECK(std::wstring(positive) == wrapped);
            CHECK(std::wstring(positive).rfind(L"\n\n", 0) == 0);
            CHECK(wcslen(positive) > 10);
        }
        CHECK(std::wstring(KvErrorHandler_GetHresultString(ERROR_INVALID_PARAMETER)) == Library(IDS_KV_ERR_INVALID_ARGUMENT));
    }
    SUBCASE("unknown codes have none") {
        CHECK(KvErrorHandler_GetHresultString(static_cast<HRESULT>(0x8004E0FF)) == nullptr);
        CHECK(KvErrorHandler_GetHresultString(S_OK) == nullptr);
    }
}

TEST_CASE_FIXTURE(ErrorFixture, "error handler: added tables are searched first, at most 32") {
    static const tKVERRORPAIR first[] = {{KV_E_FAIL, reinterpret_cast<UINT_PTR>(L"\n\nFirst table.")}};
    static const tKVERRORPAIR second[] = {{KV_E_FAIL, reinterpret_cast<UINT_PTR>(L"\n\nSecond table.")},
                                          {static_cast<HRESULT>(0x8004E0FF), IDS_KV_ERR_NOT_FOUND}};
    CHECK(KvErrorHandler_AddErrorTable(first, 1) == 0);
    CHECK(KvErrorHandler_AddErrorTable(second, 2) == 0);
    CHECK(std::wstring(KvErrorHandler_GetHresultString(KV_E_FAIL)) == L"\n\nFirst table.");
    CHECK(std::wstring(KvErrorHandler_GetHresultString(static_cast<HRESULT>(0x8004E0FF))) == Library(IDS_KV_ERR_NOT_FOUND));
    CHECK(std::wstring(KvErrorHandler_GetHresultString(KV_E_READ)) == Library(IDS_KV_ERR_READ));
    for (int i = 2; i < KVERR_MAX_TABLES; ++i) CHECK(KvErrorHandler_AddErrorTable(second, 2) == 0);
    CHECK(KvErrorHandler_AddErrorTable(second, 2) == 1);
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
    SUBCASE("warning prefix") {
        KvErrorHandler_MsgBox(nullptr, 0x30, 0, KV_E_WRITE, nullptr, TRUE);
        CHECK(hook.text == std::wstring(Library(IDS_KV_WARNING_PREFIX)) + Library(IDS_KV_CTX_GENERAL) + Library(IDS_KV_ERR_WRITE));
    }
    SUBCASE("percent signs in an argument are shown, never read as placeholders") {
        const wchar_t* context = L"Could not save %s.";
        KvErrorHandler_MsgBox(nullptr, 0x30, reinterpret_cast<UINT_PTR>(context), KV_E_WRITE, L"C:\\%s%n%d.kvpreset", FALSE);
        CHECK(hook.text.rfind(L"Could not save C:\\%s%n%d.kvpreset.", 0) == 0);
    }
    SUBCASE("details styles of the caller are dropped without collected details") {
        KvErrorHandler_MsgBoxText(nullptr, 0xC030, L"No details", FALSE);
        CHECK(hook.calls == 1);
        CHECK(hook.style == 0x30);
        CHECK(hook.text == L"No details");
    }
}

TEST_CASE_FIXTURE(ErrorFixture, "error handler: details buffer") {
    SUBCASE("collected lines go to the next box, then are gone") {
        CHECK(KvErrorHandler_DetailsAddString(L"Key %s", L"Presets") == S_OK);
        CHECK(KvErrorHandler_DetailsAddString(L"Status %d", 5) == S_OK);
        KvErrorHandler_MsgBox(nullptr, 0x30, 0, KV_E_FAIL, nullptr, FALSE);
        CHECK(hook.style == (0x30 | KVMB_DETAILS));
        CHECK(hook.text.find(L"Key Presets\r\nStatus 5\r\n") != std::wstring::npos);
        KvErrorHandler_MsgBox(nullptr, 0x30, 0, KV_E_FAIL, nullptr, FALSE);
        CHECK(hook.style == 0x30);
        CHECK(hook.text.find(L"Key Presets") == std::wstring::npos);
    }
    SUBCASE("lines from a second thread are refused while the first thread's lines wait") {
        CHECK(KvErrorHandler_DetailsAddString(L"mine") == S_OK);
        HRESULT other = S_OK;
        std::thread([&] { other = KvErrorHandler_DetailsAddString(L"theirs"); }).join();
        CHECK(other < 0);
        KvErrorHandler_DetailsClear();
        std::thread([&] { other = KvErrorHandler_DetailsAddString(L"theirs"); }).join();
        CHECK(other == S_OK);
    }
}
