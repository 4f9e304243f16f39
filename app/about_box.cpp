// The About box: program title, version text and the About bitmap.
#include "about_box.h"
#include "app_context.h"
#include "kvlang.h"
#include "resource.h"

namespace {

// Owns the About bitmap for as long as the box shows it.
class BitmapOwner {
public:
    explicit BitmapOwner(HBITMAP bitmap) : bitmap_(bitmap) {}
    ~BitmapOwner() { if (bitmap_) DeleteObject(bitmap_); }
    BitmapOwner(const BitmapOwner&) = delete;
    BitmapOwner& operator=(const BitmapOwner&) = delete;
    HBITMAP get() const { return bitmap_; }
private:
    HBITMAP bitmap_;
};

void OnInitDialog(HWND dialog, HBITMAP bitmap) {
    wchar_t text[256];
    KvPrintFN(text, _countof(text), KvGetString(g_appContext.language, IDS_ABOUT_CAPTION));
    SetWindowTextW(dialog, text);
    KvPrintFN(text, _countof(text), L"$(AppName.Title)");
    SetDlgItemTextW(dialog, IDC_ABOUT_TITLE, text);
    KvPrintFN(text, _countof(text), KvGetString(g_appContext.language, IDS_ABOUT_VERSION), TARROW_VERSION_TEXT_ARGS);
    SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, text);

    HWND picture = GetDlgItem(dialog, IDC_ABOUT_BITMAP);
    BITMAP info{};
    if (bitmap && GetObjectW(bitmap, sizeof(info), &info)) {
        SendMessageW(picture, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
        SetWindowPos(picture, nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER);
    } else {
        ShowWindow(picture, SW_HIDE);
    }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, reinterpret_cast<HBITMAP>(lParam));
        return TRUE;
    case WM_COMMAND:
        if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
            EndDialog(dialog, LOWORD(wParam));
            return TRUE;
        }
        break;
    }
    return FALSE;
}

} // namespace

void ShowAboutBox(HWND owner) {
    HMODULE module = KvFindResInstance(g_appContext.language, MAKEINTRESOURCEW(IDB_ABOUT), RT_BITMAP);
    BitmapOwner bitmap(module ? static_cast<HBITMAP>(LoadImageW(module, MAKEINTRESOURCEW(IDB_ABOUT), IMAGE_BITMAP, 0,
                                                                0, LR_DEFAULTCOLOR))
                              : nullptr);
    DialogBoxParamW(g_appContext.instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutDialogProc,
                    reinterpret_cast<LPARAM>(bitmap.get()));
}
