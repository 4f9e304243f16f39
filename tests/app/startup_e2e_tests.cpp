// The real tarrow.exe started as a separate process: exit codes, start-up errors, the start-up lock, registration.
// A second start handing its package over is the end-to-end test's (tests/e2e).
#include <doctest.h>
#include "app_context.h"
#include "com_registration.h"
#include "crash_report.h"
#include "frame_fixture.h"
#include "kvmetric.h"
#include "resource.h"
#include "test_support.h"
#include <string>

using namespace testsupport;

namespace {

// A started tarrow.exe; terminated if a test leaves it running.
class Program {
public:
    explicit Program(const std::wstring& arguments) {
        std::wstring line = L"\"" + BuildPath(TARROW_EXE) + L"\" " + arguments;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        started_ = CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                  &info_) != 0;
    }
    ~Program() {
        if (!started_) return;
        if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) TerminateProcess(info_.hProcess, 99);
        CloseHandle(info_.hThread);
        CloseHandle(info_.hProcess);
    }
    bool started() const { return started_; }

    // Exit code, or -1 when the process did not end in time (it is then terminated).
    long WaitExit(DWORD timeoutMs) {
        if (WaitForSingleObject(info_.hProcess, timeoutMs) != WAIT_OBJECT_0) {
            TerminateProcess(info_.hProcess, 99);
            WaitForSingleObject(info_.hProcess, 5000);
            return -1;
        }
        DWORD code = 0;
        GetExitCodeProcess(info_.hProcess, &code);
        return static_cast<long>(code);
    }

    // A visible top-level window of this process whose class matches, or null after the timeout.
    HWND WaitWindow(const wchar_t* className, DWORD timeoutMs) {
        struct Search { DWORD pid; const wchar_t* cls; HWND found; } search{info_.dwProcessId, className, nullptr};
        for (DWORD waited = 0; waited < timeoutMs; waited += 50) {
            EnumWindows([](HWND w, LPARAM p) -> BOOL {
                auto* s = reinterpret_cast<Search*>(p);
                DWORD pid = 0;
                GetWindowThreadProcessId(w, &pid);
                wchar_t cls[64] = L"";
                GetClassNameW(w, cls, 64);
                if (pid == s->pid && IsWindowVisible(w) && wcscmp(cls, s->cls) == 0) {
                    s->found = w;
                    return FALSE;
                }
                return TRUE;
            }, reinterpret_cast<LPARAM>(&search));
            if (search.found) return search.found;
            if (WaitForSingleObject(info_.hProcess, 50) == WAIT_OBJECT_0) return nullptr;
        }
        return nullptr;
    }

private:
    PROCESS_INFORMATION info_{};
    bool started_ = false;
};

std::wstring WindowText(HWND window) {
    wchar_t text[2048] = L"";
    SendMessageTimeoutW(window, WM_GETTEXT, _countof(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000,
                        nullptr);
    return text;
}

// The texts of all child controls of a dialog, one after another.
std::wstring DialogText(HWND dialog) {
    std::wstring all;
    EnumChildWindows(dialog, [](HWND child, LPARAM p) -> BOOL {
        *reinterpret_cast<std::wstring*>(p) += WindowText(child) + L"\n";
        return TRUE;
    }, reinterpret_cast<LPARAM>(&all));
    return all;
}

} // namespace

// Which arguments are invalid is the command-line tests' concern; here, what the program does with one.
TEST_CASE("invalid arguments end with exit code 4, a missing response file with 2, after the start-up error box") {
    const struct { const wchar_t* arguments; long exitCode; const wchar_t* reason; } rows[] = {
        {L"/nosuchswitch", 4, L"An invalid argument was specified."},
        {L"@Z:\\no\\such\\folder\\args.rsp", 2, L"The file could not be opened."},
    };
    for (const auto& row : rows) {
        CAPTURE(row.exitCode);
        Program program(row.arguments);
        REQUIRE(program.started());
        HWND box = program.WaitWindow(L"#32770", 20000);
        REQUIRE_MESSAGE(box != nullptr, "no error box appeared");
        CHECK(DialogText(box).find(row.reason) != std::wstring::npos);
        PostMessageW(box, WM_COMMAND, IDOK, 0);
        CHECK(program.WaitExit(10000) == row.exitCode);
    }
}

TEST_CASE("normal start, recent files kept across starts, the start-up lock, and class registration") {
    KvMetric_DeleteAll(L"Tarrow", APP_VERSION_WORD);
    ScratchDir folder(L"startup");
    std::wstring second = folder.file(L"second.kvpreset");
    REQUIRE(frametest::WriteSamplePackage(second));
    {
        Program first(L"/help -? /HELP first.kvpreset \"" + second + L"\"");
        REQUIRE(first.started());
        HWND frame = first.WaitWindow(L"Tarrow.Class.Frame", 20000);
        REQUIRE(frame != nullptr);
        // The last package path is the document, shown as the package tree's root.
        CHECK(WindowText(frame) == L"Varden Tarrow 2.0 - second.kvpreset");
        HWND packageTree = GetDlgItem(frame, 1);
        CHECK(SendMessageW(packageTree, TVM_GETCOUNT, 0, 0) == 5); // root, two folders, two plug-ins

        PostMessageW(frame, WM_CLOSE, 0, 0);
        CHECK(first.WaitExit(20000) == 0);
    }
    // The recent files are written when the program closes and read when it starts: File menu, entry 1.
    Program again(L"");
    HWND frame = again.WaitWindow(L"Tarrow.Class.Frame", 20000);
    REQUIRE(frame != nullptr);
    PostMessageW(frame, WM_COMMAND, ID_FILE_RECENT_FIRST, 0);
    for (int i = 0; i < 100 && WindowText(frame) != L"Varden Tarrow 2.0 - second.kvpreset"; ++i) Sleep(50);
    CHECK(WindowText(frame) == L"Varden Tarrow 2.0 - second.kvpreset");
    PostMessageW(frame, WM_CLOSE, 0, 0);
    CHECK(again.WaitExit(20000) == 0);
    KvMetric_DeleteAll(L"Tarrow", APP_VERSION_WORD);

    // A start while another process holds the start-up lock shows nothing and ends with 0 after the wait.
    HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Tarrow.Mutex");
    REQUIRE(mutex != nullptr);
    Program locked(L"");
    REQUIRE(locked.started());
    CHECK(locked.WaitWindow(L"Tarrow.Class.Frame", 3000) == nullptr);
    CHECK(locked.WaitExit(30000) == 0);
    ReleaseMutex(mutex);
    CloseHandle(mutex);

    HKEY key = nullptr;
    std::wstring name = std::wstring(L"CLSID\\") + APP_CLASS_ID + L"\\LocalServer32";
    REQUIRE(RegOpenKeyExW(HKEY_CLASSES_ROOT, name.c_str(), 0, KEY_READ, &key) == ERROR_SUCCESS);
    wchar_t value[MAX_PATH] = L"";
    DWORD bytes = sizeof(value);
    CHECK(RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes) == ERROR_SUCCESS);
    RegCloseKey(key);
    std::wstring server = value;
    CHECK(_wcsicmp(server.substr(server.size() < 10 ? 0 : server.size() - 10).c_str(), L"tarrow.exe") == 0);
}

TEST_CASE("a crash report is written and names the fault") {
    EXCEPTION_RECORD record{};
    record.ExceptionCode = EXCEPTION_ACCESS_VIOLATION;
    record.ExceptionAddress = reinterpret_cast<void*>(&AppCrashReportText);
    CONTEXT context{};
    EXCEPTION_POINTERS pointers{&record, &context};
    CHECK(AppExceptionFilter(&pointers) == EXCEPTION_EXECUTE_HANDLER);
    CHECK(std::wstring(AppCrashReportText()).find(L"ACCESS_VIOLATION") != std::wstring::npos);
}
