// Start-up, message loop and shutdown of the program.
#include "app_main.h"
#include "app_context.h"
#include "com_registration.h"
#include "command_line.h"
#include "crash_report.h"
#include "document_open.h"
#include "frame_window.h"
#include "kverror.h"
#include "kvkernel.h"
#include "kvlang.h"
#include "kvmetric.h"
#include "kvmsgbox.h"
#include "kvresult.h"
#include "package_handover.h"
#include "recent_files.h"
#include "resource.h"
#include <commctrl.h>
#include <objbase.h>
#include <cwchar>

namespace {

constexpr wchar_t kStartupMutexName[] = L"Tarrow.Mutex";
constexpr DWORD kStartupWaitMs = 10000;
constexpr UINT kStartupContext = 26;
constexpr int kExitInvalidArgument = 4;
constexpr int kExitStartupFailed = 2;
constexpr int kExitException = 3;

// What the exception path needs to undo: the start-up lock while it is held, and the instance for shutdown.
struct StartupGuard {
    HINSTANCE instance;
    HANDLE mutex;
};
StartupGuard g_startup;

void ReleaseStartupLock() {
    if (!g_startup.mutex) return;
    ReleaseMutex(g_startup.mutex);
    CloseHandle(g_startup.mutex);
    g_startup.mutex = nullptr;
}

// The last resort: report the exception, undo start-up and end the process with exit code 3.
LONG WINAPI TopLevelExceptionFilter(EXCEPTION_POINTERS* exception) {
    if (AppExceptionFilter(exception) != EXCEPTION_EXECUTE_HANDLER) return EXCEPTION_CONTINUE_SEARCH;
    MessageBoxW(nullptr, AppCrashReportText(), nullptr, MB_ICONEXCLAMATION);
    ReleaseStartupLock();
    CoUninitialize();
    ExitProcess(static_cast<UINT>(AppExitInstance(g_startup.instance, kExitException)));
}

void RegisterApplicationTokens() {
    KvPrintF_AddToken(L"AppName", L"Tarrow");
    KvPrintF_AddToken(L"AppName.Full", L"Varden Tarrow");
    KvPrintF_AddToken(L"AppName.Title", L"Varden Tarrow " TARROW_VERSION_TITLE);
}

// While a name is edited in place its keys (Delete, Ctrl+A, Ctrl+Z, F2...) belong to the edit box, not the commands.
bool FocusIsEditBox() {
    wchar_t className[8] = L"";
    HWND focus = GetFocus();
    return focus && GetClassNameW(focus, className, 8) && _wcsicmp(className, L"Edit") == 0;
}

void InitCommonControlClasses() {
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
}

// Steps that can fail; the caller reports the failure.
HRESULT InitSteps(HINSTANCE instance, HWND* frame) {
    HRESULT hr = KvMetric_Open(&g_appContext.settings, L"Tarrow", APP_VERSION_WORD, nullptr);
    if (hr < 0) return hr;
    hr = KvLang_Open(&g_appContext.language, instance, 3, 0);
    if (hr < 0) return hr;
    MakeUntitledDocument(g_appContext.document, g_appContext.language);
    InitCommonControlClasses();
    LoadRecentFiles(g_appContext.recentFiles, g_appContext.settings);
    hr = AppParseCommandLine(GetCommandLineW(), TRUE, &g_appContext.document);
    if (hr < 0) return hr;
    AppRegisterServer(instance); // a failed registration does not stop the program
    return CreateFrameWindow(instance, frame);
}

} // namespace

HWND AppInitInstance(HINSTANCE instance, int, int* exitCode) {
    KvKernel_Init(instance);
    g_appContext.instance = instance;
    *exitCode = 0;
    if (HandOverToRunningInstance(GetCommandLineW())) return nullptr;

    KvMsgBoxSetAppData(instance, nullptr, L"Varden Tarrow");
    RegisterApplicationTokens();
    wcscpy(g_appContext.productName, L"Varden Tarrow");

    HWND frame = nullptr;
    HRESULT hr = InitSteps(instance, &frame);
    if (hr < 0) {
        *exitCode = (hr == KV_E_INVALIDARG) ? kExitInvalidArgument : kExitStartupFailed;
        KvErrorHandler_MsgBox(nullptr, MB_ICONEXCLAMATION, kStartupContext, hr, nullptr, FALSE);
        return nullptr;
    }
    ApplyStoredPlacement(frame, g_appContext.settings);
    if (!IsWindowVisible(frame)) ShowWindow(frame, SW_SHOWNORMAL);
    return frame;
}

int AppRunMessageLoop() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        HWND frame = g_appContext.frameWindow;
        if (g_appContext.accelerators && frame && !FocusIsEditBox() &&
            TranslateAcceleratorW(frame, g_appContext.accelerators.get(), &msg))
            continue;
        TranslateMessage(&msg);
        if (msg.message == WM_KEYDOWN && msg.wParam == VK_ESCAPE && frame) {
            // The frame cancels a drag in progress on this command.
            MSG cancel = msg;
            cancel.hwnd = frame;
            cancel.message = WM_COMMAND;
            cancel.wParam = MAKEWPARAM(IDCANCEL, 0);
            cancel.lParam = 0;
            DispatchMessageW(&cancel);
        }
        DispatchMessageW(&msg);
    }
    return static_cast<int>(msg.wParam);
}

int AppExitInstance(HINSTANCE instance, int exitCode) {
    UnregisterClassW(FRAME_CLASS_NAME, instance);
    KvMetric_Close(g_appContext.settings);
    g_appContext.settings = nullptr;
    KvLang_Close(g_appContext.language);
    g_appContext.language = nullptr;
    KvKernel_Exit();
    return exitCode;
}

int AppMain(HINSTANCE instance, HINSTANCE, PWSTR, int showCommand) {
    g_startup.instance = instance;
    SetUnhandledExceptionFilter(TopLevelExceptionFilter);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    HANDLE mutex = CreateMutexW(nullptr, FALSE, kStartupMutexName);
    if (mutex && WaitForSingleObject(mutex, kStartupWaitMs) == WAIT_TIMEOUT) return 0;
    g_startup.mutex = mutex;

    int exitCode = 0;
    HWND frame = AppInitInstance(instance, showCommand, &exitCode);
    ReleaseStartupLock();
    if (exitCode == 0 && frame) exitCode = AppRunMessageLoop();

    CoUninitialize();
    return AppExitInstance(instance, exitCode);
}
