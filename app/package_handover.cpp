// Handing a package from a second start of the program to the running instance.
#include "package_handover.h"
#include <cwchar>
#include "command_line.h"
#include "document_frame.h"
#include "frame_busy.h"
#include "frame_state.h"
#include "frame_window.h"
#include "kvinstance.h"

namespace {

constexpr UINT kHandOverTimeoutMs = 10000; // a running instance that does not answer in this time is hung
constexpr UINT kRetryMs = 300;

bool HandPackageToFrame(HWND frame, const wchar_t* path) {
    COPYDATASTRUCT data{};
    data.dwData = HANDOVER_PACKAGE_PATH;
    data.cbData = static_cast<DWORD>((wcslen(path) + 1) * sizeof(wchar_t));
    data.lpData = const_cast<wchar_t*>(path);
    DWORD_PTR taken = FALSE;
    return SendMessageTimeoutW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                               kHandOverTimeoutMs, &taken) &&
           taken;
}

} // namespace

bool HandOverToRunningInstance(const wchar_t* commandLine) {
    HWND frame = FindWindowW(FRAME_CLASS_NAME, nullptr);
    if (!frame) return false;
    // This start is what the user just did, so it may pass the foreground on; the running instance raises itself.
    DWORD runningProcess = 0;
    GetWindowThreadProcessId(frame, &runningProcess);
    AllowSetForegroundWindow(runningProcess);
    KvActivatePrevAppInstance(FRAME_CLASS_NAME);
    DocumentRecord request{};
    request.flags = DOC_UNTITLED;
    // The path is made absolute here, against this start's current folder, which the running instance does not know.
    if (AppParseCommandLine(commandLine, TRUE, &request) >= 0 && !(request.flags & DOC_UNTITLED) && request.path[0])
        HandPackageToFrame(frame, request.path);
    return true;
}

LRESULT OnHandOverCopyData(FrameState& frame, const COPYDATASTRUCT* data) {
    if (!frame.ready || !data || data->dwData != HANDOVER_PACKAGE_PATH || !data->lpData) return FALSE;
    const size_t capacity = data->cbData / sizeof(wchar_t);
    const auto* text = static_cast<const wchar_t*>(data->lpData);
    const size_t length = wcsnlen(text, capacity);
    if (length == 0 || length == capacity) return FALSE; // empty, or not terminated within its data
    frame.handOver.path.assign(text, length < DOC_PATH_CHARS ? length : DOC_PATH_CHARS - 1);
    if (IsIconic(frame.frame)) ShowWindow(frame.frame, SW_RESTORE);
    SetForegroundWindow(frame.frame);
    PostMessageW(frame.frame, WM_TARROW_HANDOVER, 0, 0);
    return TRUE;
}

void OpenHandedOverPackage(FrameState& frame) {
    if (frame.handOver.path.empty()) {
        KillTimer(frame.frame, HANDOVER_RETRY_TIMER);
        return;
    }
    // A question on top of an open box or dialog, or an opening in the middle of a drag, would cut into what the
    // user is doing: the package opens once that has ended.
    if (FrameIsBusy(frame)) {
        SetTimer(frame.frame, HANDOVER_RETRY_TIMER, kRetryMs, nullptr);
        return;
    }
    KillTimer(frame.frame, HANDOVER_RETRY_TIMER);
    DocumentRecord request{};
    wcsncpy(request.path, frame.handOver.path.c_str(), DOC_PATH_CHARS - 1);
    frame.handOver.path.clear();
    OpenPackageAfterQuestion(frame, request);
}
