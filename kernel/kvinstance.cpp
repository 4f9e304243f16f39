// Finding and activating an already running instance of a program by its main window class.
#include "kvinstance.h"

HWND KvActivatePrevAppInstance(const wchar_t* className) {
    HWND found = FindWindowW(className, nullptr);
    if (!found) return nullptr;
    HWND popup = GetLastActivePopup(found);
    if (IsIconic(popup)) {
        ShowWindow(popup, SW_RESTORE);
    } else {
        BringWindowToTop(found);
        SetForegroundWindow(popup);
    }
    return found;
}
