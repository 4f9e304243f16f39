// The Help menu's commands: the user guide (F1), the home page, and What's This (Shift+F1).
#include "help_commands.h"
#include "app_context.h"
#include "kverror.h"
#include "kvlang.h"
#include "kvmsgbox.h"
#include "resource.h"
#include <shellapi.h>

namespace {

constexpr wchar_t kGuideRelativePath[] = L"help\\index.html";

HRESULT ShellOpen(void*, HWND owner, const wchar_t* target) {
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = SEE_MASK_FLAG_NO_UI; // the failure is reported by the caller, with the guide's place
    info.hwnd = owner;
    info.lpVerb = L"open";
    info.lpFile = target;
    info.nShow = SW_SHOWNORMAL;
    if (ShellExecuteExW(&info)) return S_OK;
    DWORD error = GetLastError();
    return error ? HRESULT_FROM_WIN32(error) : E_FAIL;
}

std::wstring ModuleFolder() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return L"";
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2); // the name was cut; long paths are allowed
    }
    size_t slash = path.find_last_of(L'\\');
    return slash == std::wstring::npos ? L"" : path.substr(0, slash + 1);
}

// 0 when a file (not a folder) is at path, else the reason it is not there.
HRESULT GuideExists(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return HRESULT_FROM_WIN32(GetLastError());
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND);
    return S_OK;
}

// The message names the target; the error reporter appends the failure's own text.
void ReportOpenFailure(HWND frame, UINT messageId, HRESULT code, const std::wstring& target) {
    const wchar_t* message = KvGetString(g_appContext.language, messageId);
    KvErrorHandler_MsgBox(frame, KVMB_OK | KVMB_ICONEXCLAMATION, reinterpret_cast<UINT_PTR>(message), code,
                          target.c_str(), FALSE);
}

void OpenGuide(HWND frame, const HelpOpener& opener) {
    std::wstring path = HelpGuidePath();
    HRESULT hr = GuideExists(path);
    if (hr < 0) {
        ReportOpenFailure(frame, IDS_HELP_GUIDE_FAILED, hr, path);
        return;
    }
    // The guide is in place but nothing shows web pages (no browser, no association): say so, not "missing".
    hr = opener.open(opener.data, frame, path.c_str());
    if (hr < 0) ReportOpenFailure(frame, IDS_HELP_GUIDE_NOT_SHOWN, hr, path);
}

void OpenHomePage(HWND frame, const HelpOpener& opener) {
    std::wstring address = KvGetString(g_appContext.language, IDS_HELP_HOME_PAGE_ADDRESS);
    HRESULT hr = opener.open(opener.data, frame, address.c_str());
    if (hr < 0) ReportOpenFailure(frame, IDS_HELP_HOME_PAGE_FAILED, hr, address);
}

} // namespace

HelpOpener ShellHelpOpener() { return HelpOpener{ShellOpen, nullptr}; }

std::wstring HelpGuidePath() { return ModuleFolder() + kGuideRelativePath; }

bool HandleHelpCommand(HWND frame, UINT id, const HelpOpener& opener) {
    switch (id) {
    case ID_HELP_CONTENTS: OpenGuide(frame, opener); return true;
    case ID_HELP_HOME_PAGE: OpenHomePage(frame, opener); return true;
    default: return false;
    }
}
