// Shows the library's message dialog in its fullest form and holds it open for a screenshot.
// Usage: msgbox_preview.exe RECT_FILE DONE_FILE. Writes the dialog's screen rectangle ("x y width height")
// to RECT_FILE once the details are expanded, then closes the dialog when DONE_FILE appears (or after 30 s).
#include <windows.h>
#include <shellapi.h>
#include <cstdio>
#include <string>
#include "kvkernel.h"
#include "kvlang.h"
#include "kvmsgbox.h"
#include "resource.h"

namespace {

std::wstring g_rectFile;
std::wstring g_doneFile;
int g_ticks = 0;
bool g_expanded = false;

HWND FindDialog() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), [](HWND window, LPARAM param) -> BOOL {
        wchar_t className[16] = {};
        GetClassNameW(window, className, 16);
        if (IsWindowVisible(window) && wcscmp(className, L"#32770") == 0) {
            *reinterpret_cast<HWND*>(param) = window;
            return FALSE;
        }
        return TRUE;
    }, reinterpret_cast<LPARAM>(&found));
    return found;
}

void WriteRect(HWND dialog) {
    RECT rect;
    GetWindowRect(dialog, &rect);
    FILE* file = _wfopen(g_rectFile.c_str(), L"w");
    if (!file) return;
    fprintf(file, "%ld %ld %ld %ld\n", rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    fclose(file);
}

void CALLBACK OnTimer(HWND, UINT, UINT_PTR, DWORD) {
    HWND dialog = FindDialog();
    if (!dialog) return;
    ++g_ticks;
    if (!g_expanded) {
        SendMessageW(GetDlgItem(dialog, KVMB_ID_DETAILS), BM_CLICK, 0, 0);
        SetForegroundWindow(dialog);
        // Xvfb has no window manager to give the window the input focus; draw the caption as a person sees it.
        SendMessageW(dialog, WM_NCACTIVATE, TRUE, 0);
        g_expanded = true;
    } else if (g_ticks == 4) {
        WriteRect(dialog); // a few ticks later, so that everything has been painted
    } else if (g_ticks > 4 && (GetFileAttributesW(g_doneFile.c_str()) != INVALID_FILE_ATTRIBUTES || g_ticks > 300)) {
        PostMessageW(GetDlgItem(dialog, IDCANCEL), BM_CLICK, 0, 0);
    }
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    if (!argv || argc < 3) return 2;
    g_rectFile = argv[1];
    g_doneFile = argv[2];
    LocalFree(argv);

    if (FAILED(KvKernel_Init(instance))) return 3;
    tKVLANG* language = nullptr;
    if (FAILED(KvLang_Open(&language, instance, 0, 0))) return 3;
    KvPrintF_AddToken(L"AppName", L"Varden Tarrow");
    KvMsgBoxSetAppData(instance, nullptr, L"Varden Tarrow");

    const wchar_t* details = L"Plug-in: Reverb {6A2B3C4D-0001-4E5F-8899-AABBCCDDEEFF}\r\n"
                             L"Preset: Warm Hall\r\n"
                             L"System store: Software\\DirectShow\\Presets\r\n"
                             L"Data: 1824 bytes";
    BOOL dontAsk = FALSE;
    SetTimer(nullptr, 0, 100, OnTimer);
    KvMsgBox_CustomEx(nullptr, 0xD03D, details, nullptr, &dontAsk,
                      KvGetString(language, IDS_OVERWRITE_IN_PACKAGE), L"preset", L"Warm Hall");
    KvLang_Close(language);
    KvKernel_Exit();
    return 0;
}
