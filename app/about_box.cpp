// The About box: program title, version text and the About bitmap.
#include "about_box.h"
#include "app_context.h"
#include "kvdpi.h"
#include "kvgdi_handles.h"
#include "kvlang.h"
#include "resource.h"

namespace {

// The About picture is drawn for 96 DPI: at another scale it is stretched (smoothly) to the size it has there.
KvBitmap ScaledBitmap(HBITMAP source, UINT dpi) {
    BITMAP info{};
    if (!source || !GetObjectW(source, sizeof(info), &info)) return KvBitmap();
    const int width = KvDpi_Scale(info.bmWidth, dpi), height = KvDpi_Scale(info.bmHeight, dpi);
    KvWindowDC screen(nullptr);
    KvMemoryDC from(CreateCompatibleDC(screen.get())), to(CreateCompatibleDC(screen.get()));
    KvBitmap scaled(CreateCompatibleBitmap(screen.get(), width, height));
    if (!from || !to || !scaled) return KvBitmap();
    KvSelectObject selectFrom(from.get(), source);
    KvSelectObject selectTo(to.get(), scaled.get());
    SetStretchBltMode(to.get(), HALFTONE);
    SetBrushOrgEx(to.get(), 0, 0, nullptr);
    if (!StretchBlt(to.get(), 0, 0, width, height, from.get(), 0, 0, info.bmWidth, info.bmHeight, SRCCOPY))
        return KvBitmap();
    return scaled;
}

// Owns the About bitmap for as long as the box shows it, and its copy at the box's scale.
struct AboutPicture {
    KvBitmap original;
    KvBitmap scaled;
};

void OnInitDialog(HWND dialog, AboutPicture& picture) {
    wchar_t text[256];
    KvPrintFN(text, _countof(text), KvGetString(g_appContext.language, IDS_ABOUT_CAPTION));
    SetWindowTextW(dialog, text);
    KvPrintFN(text, _countof(text), L"$(AppName.Title)");
    SetDlgItemTextW(dialog, IDC_ABOUT_TITLE, text);
    KvPrintFN(text, _countof(text), KvGetString(g_appContext.language, IDS_ABOUT_VERSION), TARROW_VERSION_TEXT_ARGS);
    SetDlgItemTextW(dialog, IDC_ABOUT_VERSION, text);

    HWND control = GetDlgItem(dialog, IDC_ABOUT_BITMAP);
    const UINT dpi = KvDpi_ForWindow(dialog);
    if (dpi != KV_DPI_BASE) picture.scaled = ScaledBitmap(picture.original.get(), dpi);
    HBITMAP bitmap = picture.scaled ? picture.scaled.get() : picture.original.get();
    BITMAP info{};
    if (bitmap && GetObjectW(bitmap, sizeof(info), &info)) {
        SendMessageW(control, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap));
        SetWindowPos(control, nullptr, 0, 0, info.bmWidth, info.bmHeight, SWP_NOMOVE | SWP_NOZORDER);
    } else {
        ShowWindow(control, SW_HIDE);
    }
}

INT_PTR CALLBACK AboutDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        OnInitDialog(dialog, *reinterpret_cast<AboutPicture*>(lParam));
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
    AboutPicture picture;
    if (module)
        picture.original.reset(static_cast<HBITMAP>(
            LoadImageW(module, MAKEINTRESOURCEW(IDB_ABOUT), IMAGE_BITMAP, 0, 0, LR_DEFAULTCOLOR)));
    DialogBoxParamW(g_appContext.instance, MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutDialogProc,
                    reinterpret_cast<LPARAM>(&picture));
}
