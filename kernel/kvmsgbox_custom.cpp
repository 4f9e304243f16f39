// The library's own message dialog: extra button sets, a details area and a "do not show again" check box.
#include "kvmsgbox.h"
#include "kvmsgbox_private.h"
#include "kvdpi.h"
#include "kvkernel.h"
#include "resource.h"
#include <algorithm>
#include <string>
#include <vector>

namespace {

constexpr int IDC_KVMB_ICON = 1000;
constexpr int IDC_KVMB_TEXT = 1001;
constexpr int IDC_KVMB_CHECK = 1002;
constexpr int IDC_KVMB_DETAILS_TEXT = 1003;
constexpr int KVMB_MAX_BUTTONS = 5;
constexpr int KVMB_DETAILS_LINES = 8;

struct ButtonSet {
    int count;
    int results[KVMB_MAX_BUTTONS];
    int escapeResult; // 0: Escape and Close are ignored
};

// Indexed by the style's low four bits; 6 to 9 and the unused values show OK alone.
const ButtonSet kButtonSets[16] = {
    {1, {IDOK}, IDOK},
    {2, {IDOK, IDCANCEL}, IDCANCEL},
    {3, {IDABORT, IDRETRY, IDIGNORE}, 0},
    {3, {IDYES, IDNO, IDCANCEL}, IDCANCEL},
    {2, {IDYES, IDNO}, 0},
    {2, {IDRETRY, IDCANCEL}, IDCANCEL},
    {1, {IDOK}, IDOK},
    {1, {IDOK}, IDOK},
    {1, {IDOK}, IDOK},
    {1, {IDOK}, IDOK},
    {4, {IDYES, KVMB_ID_YESTOALL, IDNO, IDCANCEL}, IDCANCEL},
    {3, {IDYES, IDNO, KVMB_ID_DELETE}, 0},
    {4, {IDYES, IDNO, KVMB_ID_NOTOALL, IDCANCEL}, IDCANCEL},
    {5, {IDYES, KVMB_ID_YESTOALL, IDNO, KVMB_ID_NOTOALL, IDCANCEL}, IDCANCEL},
    {1, {IDOK}, IDOK},
    {1, {IDOK}, IDOK},
};

UINT ButtonStringId(int result) {
    switch (result) {
    case IDOK: return IDS_KV_BUTTON_OK;
    case IDCANCEL: return IDS_KV_BUTTON_CANCEL;
    case IDABORT: return IDS_KV_BUTTON_ABORT;
    case IDRETRY: return IDS_KV_BUTTON_RETRY;
    case IDIGNORE: return IDS_KV_BUTTON_IGNORE;
    case IDYES: return IDS_KV_BUTTON_YES;
    case IDNO: return IDS_KV_BUTTON_NO;
    case KVMB_ID_YESTOALL: return IDS_KV_BUTTON_YES_TO_ALL;
    case KVMB_ID_NOTOALL: return IDS_KV_BUTTON_NO_TO_ALL;
    case KVMB_ID_DELETE: return IDS_KV_BUTTON_DELETE;
    default: return 0;
    }
}

// A window DC with a font selected; restores and releases both.
class FontDC {
public:
    FontDC(HWND window, HFONT font) : window_(window), dc_(GetDC(window)) { old_ = SelectObject(dc_, font); }
    ~FontDC() { SelectObject(dc_, old_); ReleaseDC(window_, dc_); }
    FontDC(const FontDC&) = delete;
    FontDC& operator=(const FontDC&) = delete;
    HDC get() const { return dc_; }
private:
    HWND window_;
    HDC dc_;
    HGDIOBJ old_;
};

// Everything one open dialog needs; lives on the stack of KvMsgBox_CustomV.
struct CustomBoxState {
    UINT style = 0;
    const wchar_t* text = L"";
    const wchar_t* details = nullptr;  // shown only with KVMB_DETAILS
    const wchar_t* checkText = nullptr;
    BOOL checkValue = FALSE;           // in: initial state; out: state when the dialog closed
    const ButtonSet* set = nullptr;
    UINT dpi = KV_DPI_BASE;            // the dialog's: every size that does not follow the font follows this
    KvFont font;
    KvIcon icon;                       // the icon at the dialog's size, when it could be made so
    HWND detailsButton = nullptr;
    HWND detailsEdit = nullptr;
    int collapsedHeight = 0;           // window heights with the details area hidden and shown
    int expandedHeight = 0;
    bool expanded = false;
};

bool HasDetails(UINT style) { return (style & KVMB_DETAILSMASK) == KVMB_DETAILS; }
bool HasCheckBox(UINT style) { return (style & KVMB_CHECKBOX) != 0; }

const wchar_t* LibraryString(UINT id) { return KvGetString(KvKernel_GetLanguage(), id); }

int DefaultButtonIndex(const CustomBoxState& state) {
    int index = static_cast<int>((state.style & KVMB_DEFMASK) >> KVMB_DEFSHIFT);
    return std::min(index, state.set->count - 1);
}

// The standard icon for the style (1 stop, 2 question, 3 exclamation, 4 information) at the dialog's icon size.
HICON LoadStyleIcon(CustomBoxState& state, UINT iconValue) {
    if (iconValue < 1 || iconValue > 4) return nullptr;
    const wchar_t* name = MAKEINTRESOURCEW(32512 + iconValue);
    state.icon.reset(KvDpi_LoadStandardIcon(name, state.dpi));
    return state.icon.get() ? state.icon.get() : LoadIconW(nullptr, name); // else shared, at the system's size
}

HWND AddControl(HWND dialog, const wchar_t* className, const wchar_t* text, DWORD style, DWORD exStyle, int id,
                const RECT& rect, HFONT font) {
    HWND control = CreateWindowExW(exStyle, className, text, WS_CHILD | WS_VISIBLE | style, rect.left, rect.top,
                                   rect.right - rect.left, rect.bottom - rect.top, dialog,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), KvMsgBox_Instance(), nullptr);
    if (control && font) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return control;
}

SIZE MeasureLine(HDC dc, const wchar_t* text) {
    RECT rect = {0, 0, 0, 0};
    DrawTextW(dc, text, -1, &rect, DT_CALCRECT | DT_SINGLELINE);
    return SIZE{rect.right, rect.bottom};
}

// Font-relative spacing in the manner of dialog units: x in quarters of the average character width,
// y in eighths of the line height.
struct Units {
    int baseX;
    int baseY;
    int x(int n) const { return MulDiv(n, baseX, 4); }
    int y(int n) const { return MulDiv(n, baseY, 8); }
};

Units MeasureUnits(HDC dc) {
    TEXTMETRICW metrics = {};
    GetTextMetricsW(dc, &metrics);
    SIZE size = {};
    const wchar_t* alphabet = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
    GetTextExtentPoint32W(dc, alphabet, 52, &size);
    return Units{std::max(1, static_cast<int>((size.cx / 26 + 1) / 2)), std::max(1, static_cast<int>(metrics.tmHeight))};
}

int MonitorWidth(HWND window) {
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(window, MONITOR_DEFAULTTOPRIMARY), &monitor);
    return monitor.rcMonitor.right - monitor.rcMonitor.left;
}

RECT MakeRect(int x, int y, int width, int height) { return RECT{x, y, x + width, y + height}; }

// Measures the text, creates every control at its place and sizes the dialog to fit.
void BuildControls(HWND dialog, CustomBoxState& state) {
    HFONT font = state.font.get();
    FontDC dc(dialog, font);
    Units units = MeasureUnits(dc.get());
    const int marginX = units.x(7);
    const int marginY = units.y(7);
    const int buttonGap = units.x(4);

    // Icon and text, side by side.
    const UINT dpi = state.dpi;
    HICON icon = LoadStyleIcon(state, (state.style & KVMB_ICONMASK) >> 4);
    int iconWidth = icon ? KvDpi_GetSystemMetric(SM_CXICON, dpi) : 0;
    int iconHeight = icon ? KvDpi_GetSystemMetric(SM_CYICON, dpi) : 0;
    int textLeft = marginX + (icon ? iconWidth + units.x(8) : 0);

    const UINT textFormat = DT_WORDBREAK | DT_EXPANDTABS | DT_NOPREFIX;
    RECT textRect = {0, 0, std::max(units.x(40), MonitorWidth(dialog) * 3 / 8), 0};
    DrawTextW(dc.get(), state.text, -1, &textRect, DT_CALCRECT | textFormat);
    // One pixel of slack so the static control wraps exactly where the measurement did.
    int textWidth = textRect.right + 1;
    int textHeight = textRect.bottom;
    int topBlock = std::max(iconHeight, textHeight);

    // Check box below the text.
    int y = marginY + topBlock;
    int checkWidth = 0;
    int checkTop = 0;
    int checkHeight = 0;
    if (HasCheckBox(state.style)) {
        SIZE label = MeasureLine(dc.get(), state.checkText);
        checkWidth = KvDpi_GetSystemMetric(SM_CXMENUCHECK, dpi) + units.x(6) + label.cx;
        checkHeight = std::max(static_cast<int>(label.cy), KvDpi_GetSystemMetric(SM_CYMENUCHECK, dpi)) +
                      KvDpi_Scale(2, dpi);
        checkTop = y + units.y(7);
        y = checkTop + checkHeight;
    }

    // One width for all buttons of the row, wide enough for the longest label.
    int buttonWidth = units.x(50);
    for (int i = 0; i < state.set->count; ++i)
        buttonWidth = std::max(buttonWidth, static_cast<int>(MeasureLine(dc.get(), LibraryString(ButtonStringId(state.set->results[i]))).cx) + units.x(10));
    int detailsWidth = 0;
    if (HasDetails(state.style)) {
        detailsWidth = std::max({units.x(50), static_cast<int>(MeasureLine(dc.get(), LibraryString(IDS_KV_DETAILS_SHOW)).cx) + units.x(10),
                                 static_cast<int>(MeasureLine(dc.get(), LibraryString(IDS_KV_DETAILS_HIDE)).cx) + units.x(10)});
    }
    const int buttonHeight = units.y(14);
    int rowWidth = state.set->count * buttonWidth + (state.set->count - 1) * buttonGap;
    if (detailsWidth) rowWidth += detailsWidth + units.x(12);

    int clientWidth = std::max({textLeft + textWidth + marginX, textLeft + checkWidth + marginX, 2 * marginX + rowWidth});
    if (HasDetails(state.style)) clientWidth = std::max(clientWidth, units.x(220));

    int buttonTop = y + units.y(11);
    int collapsedClient = buttonTop + buttonHeight + marginY;
    int detailsTop = collapsedClient;
    int detailsHeight =
        KVMB_DETAILS_LINES * units.baseY + 2 * KvDpi_GetSystemMetric(SM_CYEDGE, dpi) + KvDpi_Scale(4, dpi);
    int expandedClient = detailsTop + detailsHeight + marginY;

    if (icon) {
        HWND iconControl = AddControl(dialog, L"STATIC", nullptr, SS_ICON, 0, IDC_KVMB_ICON,
                                      MakeRect(marginX, marginY, iconWidth, iconHeight), nullptr);
        SendMessageW(iconControl, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    }
    int textTop = marginY + (topBlock - textHeight) / 2;
    AddControl(dialog, L"STATIC", state.text, SS_LEFT | SS_NOPREFIX, 0, IDC_KVMB_TEXT,
               MakeRect(textLeft, textTop, textWidth, textHeight), font);
    if (HasCheckBox(state.style)) {
        HWND check = AddControl(dialog, L"BUTTON", state.checkText, BS_AUTOCHECKBOX | WS_TABSTOP, 0, IDC_KVMB_CHECK,
                                MakeRect(textLeft, checkTop, checkWidth, checkHeight), font);
        SendMessageW(check, BM_SETCHECK, state.checkValue ? BST_CHECKED : BST_UNCHECKED, 0);
    }

    // The set's buttons sit right-aligned when the details toggle takes the left end, else centred.
    int defaultIndex = DefaultButtonIndex(state);
    int setWidth = state.set->count * buttonWidth + (state.set->count - 1) * buttonGap;
    int x = detailsWidth ? clientWidth - marginX - setWidth : (clientWidth - setWidth) / 2;
    for (int i = 0; i < state.set->count; ++i) {
        int result = state.set->results[i];
        DWORD kind = (i == defaultIndex) ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        AddControl(dialog, L"BUTTON", LibraryString(ButtonStringId(result)), kind | WS_TABSTOP | (i == 0 ? WS_GROUP : 0), 0,
                   result, MakeRect(x, buttonTop, buttonWidth, buttonHeight), font);
        x += buttonWidth + buttonGap;
    }
    if (detailsWidth) {
        state.detailsButton = AddControl(dialog, L"BUTTON", LibraryString(IDS_KV_DETAILS_SHOW), BS_PUSHBUTTON | WS_TABSTOP,
                                         0, KVMB_ID_DETAILS, MakeRect(marginX, buttonTop, detailsWidth, buttonHeight), font);
        state.detailsEdit = AddControl(dialog, L"EDIT", state.details,
                                       ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP,
                                       WS_EX_CLIENTEDGE, IDC_KVMB_DETAILS_TEXT,
                                       MakeRect(marginX, detailsTop, clientWidth - 2 * marginX, detailsHeight), font);
        ShowWindow(state.detailsEdit, SW_HIDE);
    }

    DWORD style = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_STYLE));
    DWORD exStyle = static_cast<DWORD>(GetWindowLongPtrW(dialog, GWL_EXSTYLE));
    RECT collapsed = {0, 0, clientWidth, collapsedClient};
    RECT expanded = {0, 0, clientWidth, expandedClient};
    AdjustWindowRectEx(&collapsed, style, FALSE, exStyle);
    AdjustWindowRectEx(&expanded, style, FALSE, exStyle);
    state.collapsedHeight = collapsed.bottom - collapsed.top;
    state.expandedHeight = expanded.bottom - expanded.top;
    SetWindowPos(dialog, nullptr, 0, 0, collapsed.right - collapsed.left, state.collapsedHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void ToggleDetails(HWND dialog, CustomBoxState& state) {
    state.expanded = !state.expanded;
    RECT window;
    GetWindowRect(dialog, &window);
    SetWindowPos(dialog, nullptr, 0, 0, window.right - window.left,
                 state.expanded ? state.expandedHeight : state.collapsedHeight,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(state.detailsEdit, state.expanded ? SW_SHOW : SW_HIDE);
    SetWindowTextW(state.detailsButton, LibraryString(state.expanded ? IDS_KV_DETAILS_HIDE : IDS_KV_DETAILS_SHOW));
}

void CloseWith(HWND dialog, CustomBoxState& state, int result) {
    if (HasCheckBox(state.style))
        state.checkValue = IsDlgButtonChecked(dialog, IDC_KVMB_CHECK) == BST_CHECKED;
    EndDialog(dialog, result);
}

bool SetHasButton(const ButtonSet& set, int id) {
    return std::find(set.results, set.results + set.count, id) != set.results + set.count;
}

INT_PTR OnInitDialog(HWND dialog, CustomBoxState& state) {
    SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&state));
    state.dpi = KvDpi_ForWindow(dialog);
    state.font = KvDpi_CreateMessageFont(state.dpi);
    BuildControls(dialog, state);
    if (!state.set->escapeResult)
        EnableMenuItem(GetSystemMenu(dialog, FALSE), SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
    KvMsgBox_CentreWindow(dialog, GetWindow(dialog, GW_OWNER));
    int defaultId = state.set->results[DefaultButtonIndex(state)];
    SendMessageW(dialog, DM_SETDEFID, static_cast<WPARAM>(defaultId), 0);
    SetFocus(GetDlgItem(dialog, defaultId));
    return FALSE; // focus has been placed
}

INT_PTR OnCommand(HWND dialog, CustomBoxState& state, int id) {
    if (id == KVMB_ID_DETAILS && state.detailsEdit) {
        ToggleDetails(dialog, state);
        return TRUE;
    }
    if (SetHasButton(*state.set, id)) {
        CloseWith(dialog, state, id);
        return TRUE;
    }
    // Escape and the Close command arrive as IDCANCEL on sets without a Cancel button.
    if (id == IDCANCEL && state.set->escapeResult) CloseWith(dialog, state, state.set->escapeResult);
    return TRUE;
}

INT_PTR CALLBACK CustomBoxProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) return OnInitDialog(dialog, *reinterpret_cast<CustomBoxState*>(lParam));
    auto* state = reinterpret_cast<CustomBoxState*>(GetWindowLongPtrW(dialog, DWLP_USER));
    if (!state) return FALSE;
    if (message == WM_COMMAND) return OnCommand(dialog, *state, LOWORD(wParam));
    return FALSE;
}

// An empty dialog template titled with the application name; the controls are made at run time, in pixels.
std::vector<DWORD> MakeTemplate(const wchar_t* title) {
    std::vector<WORD> words(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    DLGTEMPLATE header = {};
    header.style = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME | DS_SETFOREGROUND;
    header.dwExtendedStyle = WS_EX_DLGMODALFRAME;
    memcpy(words.data(), &header, sizeof(header));
    words.push_back(0); // no menu
    words.push_back(0); // the dialog class
    for (const wchar_t* c = title; *c; ++c) words.push_back(static_cast<WORD>(*c));
    words.push_back(0);
    std::vector<DWORD> aligned((words.size() + 1) / 2, 0);
    memcpy(aligned.data(), words.data(), words.size() * sizeof(WORD));
    return aligned;
}

std::wstring HookText(const wchar_t* text, const wchar_t* details) {
    std::wstring joined = text;
    joined += LibraryString(IDS_KV_DETAILS_START);
    joined += details;
    joined += LibraryString(IDS_KV_DETAILS_END);
    return joined;
}

} // namespace

int KvMsgBox_CustomV(HWND owner, UINT style, const wchar_t* details, const wchar_t* checkText, BOOL* checkState,
                     const wchar_t* format, va_list args) {
    if ((style & KVMB_DETAILSMASK) && !details) return 0;
    if (HasCheckBox(style) && !checkState) return 0;
    owner = KvMsgBox_ResolveOwner(owner);
    wchar_t text[KVMB_TEXT_CAPACITY];
    KvMsgBox_FormatText(text, KVMB_TEXT_CAPACITY, format, args);

    int result = 0;
    const wchar_t* caption = KvMsgBox_AppName();
    if (style & KVMB_DETAILSMASK) {
        if (KvMsgBox_CallHook(owner, HookText(text, details).c_str(), caption, style, &result)) return result;
    } else if (KvMsgBox_CallHook(owner, text, caption, style, &result)) {
        return result;
    }

    CustomBoxState state;
    state.style = style;
    state.text = text;
    state.details = details;
    state.checkText = checkText ? checkText : LibraryString(IDS_KV_DONT_SHOW_AGAIN);
    state.checkValue = checkState ? *checkState : FALSE;
    state.set = &kButtonSets[style & KVMB_SETMASK];
    std::vector<DWORD> dialogTemplate = MakeTemplate(caption);
    INT_PTR answer = DialogBoxIndirectParamW(KvMsgBox_Instance(), reinterpret_cast<DLGTEMPLATE*>(dialogTemplate.data()),
                                             owner, CustomBoxProc, reinterpret_cast<LPARAM>(&state));
    if (answer <= 0) return 0; // the dialog could not be shown
    if (checkState) *checkState = state.checkValue;
    return static_cast<int>(answer);
}

int KvMsgBox_Custom(HWND owner, UINT style, const wchar_t* details, const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int result = KvMsgBox_CustomV(owner, style & ~KVMB_CHECKBOX, details, nullptr, nullptr, format, args);
    va_end(args);
    return result;
}

int KvMsgBox_CustomEx(HWND owner, UINT style, const wchar_t* details, const wchar_t* checkText, BOOL* checkState,
                      const wchar_t* format, ...) {
    va_list args;
    va_start(args, format);
    int result = KvMsgBox_CustomV(owner, style, details, checkText, checkState, format, args);
    va_end(args);
    return result;
}
