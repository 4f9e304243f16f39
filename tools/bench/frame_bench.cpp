// Times the frame's panes on a large store against bare controls doing the same inserts, and an activation with
// nothing changed against a full reload. Rounds of every measurement are interleaved; medians are reported.
#include <windows.h>
#include <commctrl.h>
#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>
#include "app_context.h"
#include "frame_state.h"
#include "frame_window.h"
#include "kvkernel.h"
#include "kvlang.h"
#include "kvmetric.h"
#include "store_names.h"
#include "system_refresh.h"

namespace {

constexpr int kSmallPlugIns = 2000;
constexpr int kPresetsPerSmall = 5;
constexpr int kBigPresets = 10000;
constexpr int kRounds = 7;
constexpr wchar_t kSettingsProduct[] = L"TarrowFrameBench";

std::wstring ClassId(int index) {
    wchar_t text[40];
    swprintf(text, 40, L"{B1000000-0000-4000-8000-%012d}", index);
    return text;
}

std::wstring DisplayName(int index) {
    wchar_t text[40];
    if (index == kSmallPlugIns) return L"Big Plug-In";
    swprintf(text, 40, L"Plug-In %04d", (index * 7919) % kSmallPlugIns); // registry order is not name order
    return text;
}

void Unseed(const std::wstring& folder) {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DirectShow");
    HKEY clsid = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"CLSID", 0, KEY_ALL_ACCESS, &clsid) == ERROR_SUCCESS) {
        for (int p = 0; p <= kSmallPlugIns; ++p) RegDeleteTreeW(clsid, ClassId(p).c_str());
        RegCloseKey(clsid);
    }
    for (int p = 0; p < kSmallPlugIns; ++p) DeleteFileW((folder + L"\\" + std::to_wstring(p) + L".dxp").c_str());
    RemoveDirectoryW(folder.c_str());
}

bool SetValue(HKEY key, const std::wstring& name, DWORD type, const void* data, size_t size) {
    return RegSetValueExW(key, name.c_str(), 0, type, static_cast<const BYTE*>(data), static_cast<DWORD>(size)) ==
           ERROR_SUCCESS;
}

// 2,000 plug-ins with 5 presets each (the first of them in a data file) and one with 10,000, all with class names.
bool Seed(const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
    std::vector<BYTE> data(300);
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<BYTE>(i * 13);
    for (int p = 0; p <= kSmallPlugIns; ++p) {
        HKEY key = nullptr;
        std::wstring path = std::wstring(STORE_PRESETS_KEY) + L"\\" + ClassId(p);
        if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
            return false;
        const int presets = p == kSmallPlugIns ? kBigPresets : kPresetsPerSmall;
        bool ok = true;
        for (int v = 0; v < presets && ok; ++v) {
            std::wstring name = L"Preset " + std::to_wstring((v * 7) % presets);
            if (p < kSmallPlugIns && v == 0) {
                std::wstring file = folder + L"\\" + std::to_wstring(p) + L".dxp";
                HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
                DWORD put = 0;
                ok = h != INVALID_HANDLE_VALUE && WriteFile(h, data.data(), 300, &put, nullptr);
                if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
                ok = ok && SetValue(key, name, REG_SZ, file.c_str(), (file.size() + 1) * sizeof(wchar_t));
            } else {
                ok = SetValue(key, name, REG_BINARY, data.data(), 40);
            }
        }
        RegCloseKey(key);
        std::wstring display = DisplayName(p);
        ok = ok && RegSetKeyValueW(HKEY_CLASSES_ROOT, (L"CLSID\\" + ClassId(p)).c_str(), nullptr, REG_SZ, display.c_str(),
                                   static_cast<DWORD>((display.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
        if (!ok) return false;
    }
    return true;
}

double Now() {
    LARGE_INTEGER counter, frequency;
    QueryPerformanceCounter(&counter);
    QueryPerformanceFrequency(&frequency);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

template <class F> double Time(F work) {
    double from = Now();
    work();
    return Now() - from;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// A control like the pane's, over the same place, for the baselines.
HWND BareControl(const PaneState& pane, HWND model) {
    wchar_t className[64];
    GetClassNameW(model, className, 64);
    RECT rect{};
    GetWindowRect(model, &rect);
    MapWindowPoints(HWND_DESKTOP, pane.parent, reinterpret_cast<POINT*>(&rect), 2);
    HWND bare = CreateWindowExW(GetWindowLongW(model, GWL_EXSTYLE), className, L"", GetWindowLongW(model, GWL_STYLE),
                                rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top, pane.parent, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
    SendMessageW(bare, WM_SETFONT, SendMessageW(model, WM_GETFONT, 0, 0), FALSE);
    return bare;
}

// The fewest calls that put the same nodes into an empty tree: the folder, then every name in order at the end.
void BareTreeFill(HWND tree, const std::wstring& folder, const std::vector<std::wstring>& sortedNames) {
    SendMessageW(tree, WM_SETREDRAW, FALSE, 0);
    TVINSERTSTRUCTW insert{};
    insert.hParent = TVI_ROOT;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_IMAGE | TVIF_SELECTEDIMAGE | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(folder.c_str());
    HTREEITEM parent = TreeView_InsertItem(tree, &insert);
    insert.hParent = parent;
    for (const std::wstring& name : sortedNames) {
        insert.item.pszText = const_cast<wchar_t*>(name.c_str());
        TreeView_InsertItem(tree, &insert);
    }
    SendMessageW(tree, WM_SETREDRAW, TRUE, 0);
}

void BareListFill(HWND list, const std::vector<std::wstring>& names) {
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list);
    ListView_SetItemCount(list, static_cast<int>(names.size()));
    LVITEMW row{};
    row.mask = LVIF_TEXT | LVIF_IMAGE;
    for (const std::wstring& name : names) {
        row.pszText = const_cast<wchar_t*>(name.c_str());
        ListView_InsertItem(list, &row);
        ++row.iItem;
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
}

} // namespace

int wmain() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    KvKernel_Init(instance);
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    KvLang_Open(&g_appContext.language, instance, 3, 0);
    KvPrintF_AddToken(L"AppName.Title", L"Varden Tarrow 2.0");
    wcscpy(g_appContext.productName, L"Varden Tarrow");
    KvMetric_Open(&g_appContext.settings, kSettingsProduct, APP_VERSION_WORD, nullptr);
    g_appContext.document.flags = DOC_UNTITLED;
    wcscpy(g_appContext.document.path, L"Untitled");

    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"tarrow-frame-bench";
    Unseed(folder);
    double seeding = Now();
    if (!Seed(folder)) {
        fwprintf(stderr, L"frame bench: seeding failed\n");
        Unseed(folder);
        return 1;
    }
    seeding = Now() - seeding;

    HWND window = nullptr;
    double creation = Time([&] { CreateFrameWindow(instance, &window); });
    if (!window) {
        fwprintf(stderr, L"frame bench: no frame\n");
        Unseed(folder);
        return 1;
    }
    SetWindowPos(window, nullptr, 0, 0, 1000, 800, SWP_NOZORDER | SWP_SHOWWINDOW);
    Pump();
    FrameState& state = *FrameStateOf(window);
    PaneState& pane = state.sides[PANE_SYSTEM];
    const PlugInList* plugIns = state.catalogue.plugIns[SIDE_SYSTEM];
    const int loadedPlugIns = plugIns ? plugIns->Count() : 0;

    std::vector<std::wstring> catalogueNames;
    for (int p = 0; p < loadedPlugIns; ++p) {
        wchar_t name[CATALOGUE_NAME_CHARS];
        plugIns->At(p)->GetDisplayName(name, CATALOGUE_NAME_CHARS, state.catalogue.language);
        catalogueNames.emplace_back(name);
    }
    auto sortNames = [](std::vector<std::wstring>& names) {
        std::sort(names.begin(), names.end(),
                  [](const std::wstring& a, const std::wstring& b) { return lstrcmpiW(a.c_str(), b.c_str()) < 0; });
    };
    std::vector<std::wstring> sortedNames = catalogueNames;
    sortNames(sortedNames);
    const PlugInEntry* big = plugIns ? plugIns->FindEntryByName(L"Big Plug-In", state.catalogue.language) : nullptr;
    std::vector<std::wstring> presetNames;
    for (int i = 0; big && i < big->PresetCount(); ++i) presetNames.emplace_back(big->PresetAt(i)->name);

    HWND bareTree = BareControl(pane, pane.tree);
    HWND bareList = BareControl(pane, pane.list);
    ShowWindow(bareTree, SW_HIDE);
    ShowWindow(bareList, SW_HIDE);
    const std::wstring folderText = PluginsFolderText(pane);

    std::vector<double> fillTree, bareTreeTimes, bareSortedTreeTimes, refill, fillList, bareListTimes, activation, reload;
    int treeNodes = 0, listRows = 0, bareRows = 0, reloads = 0;
    for (int round = 0; round < kRounds; ++round) {
        // The pane and its bare twin take turns being the visible one, as the pane is in use.
        TreeView_DeleteAllItems(pane.tree);
        fillTree.push_back(Time([&] { FillTree(pane, nullptr); }));
        treeNodes = static_cast<int>(TreeView_GetCount(pane.tree));
        refill.push_back(Time([&] { FillTree(pane, nullptr); }));
        ShowWindow(pane.tree, SW_HIDE);
        ShowWindow(bareTree, SW_SHOW);
        TreeView_DeleteAllItems(bareTree);
        bareTreeTimes.push_back(Time([&] { BareTreeFill(bareTree, folderText, sortedNames); }));
        TreeView_DeleteAllItems(bareTree);
        bareSortedTreeTimes.push_back(Time([&] {
            std::vector<std::wstring> names = catalogueNames;
            sortNames(names);
            BareTreeFill(bareTree, folderText, names);
        }));
        ShowWindow(bareTree, SW_HIDE);
        ShowWindow(pane.tree, SW_SHOW);

        HTREEITEM bigNode = FindTreeItem(pane, L"Big Plug-In", NODE_PLUGIN);
        pane.currentNodeKind = NODE_PLUGIN;
        fillList.push_back(Time([&] { FillList(pane, bigNode); }));
        listRows = ListView_GetItemCount(pane.list);
        ShowWindow(pane.list, SW_HIDE);
        ShowWindow(bareList, SW_SHOW);
        bareListTimes.push_back(Time([&] { BareListFill(bareList, presetNames); }));
        bareRows = ListView_GetItemCount(bareList);
        ShowWindow(bareList, SW_HIDE);
        ShowWindow(pane.list, SW_SHOW);

        activation.push_back(Time([&] { reloads += RefreshSystemPresetsIfChanged(state) ? 1 : 0; }));
        reload.push_back(Time([&] { RefreshSystemPresets(state); }));
        Pump();
    }

    DestroyWindow(window);
    Pump();
    KvMetric_DeleteAll(kSettingsProduct, APP_VERSION_WORD);
    Unseed(folder);

    const double tree = Median(fillTree), bareTreeMedian = Median(bareTreeTimes),
                 bareSortedTreeMedian = Median(bareSortedTreeTimes), list = Median(fillList),
                 bareListMedian = Median(bareListTimes), cheap = Median(activation), full = Median(reload);
    wprintf(L"frame: %d plug-ins x %d presets (one each in a data file) + 1 x %d presets; seeded in %.1f s;"
            L" frame created (with the first load) in %.0f ms; medians of %d interleaved rounds\n",
            kSmallPlugIns, kPresetsPerSmall, kBigPresets, seeding, creation * 1000, kRounds);
    wprintf(L"  FillTree, empty tree:       %8.1f ms (%d nodes)\n", tree * 1000, treeNodes);
    wprintf(L"    bare tree, names sorted with lstrcmpiW, then inserted: %8.1f ms   ratio %.2fx (target <= 1.5x)\n",
            bareSortedTreeMedian * 1000, tree / bareSortedTreeMedian);
    wprintf(L"    bare tree, inserts only (names sorted beforehand):     %8.1f ms   ratio %.2fx\n", bareTreeMedian * 1000,
            tree / bareTreeMedian);
    wprintf(L"  FillTree, nothing changed:  %8.1f ms (%.2fx the first fill)\n", Median(refill) * 1000,
            Median(refill) / tree);
    wprintf(L"  FillList, %d presets:    %8.1f ms (%d rows)   bare list inserts (catalogue order): %8.1f ms (%d rows)   ratio %.2fx (target <= 1.5x)\n",
            kBigPresets, list * 1000, listRows, bareListMedian * 1000, bareRows, list / bareListMedian);
    wprintf(L"  activation, nothing changed:%8.2f ms   full reload: %8.1f ms   ratio %.3fx (target <= 0.1x); %d of %d activations reloaded\n",
            cheap * 1000, full * 1000, cheap / full, reloads, kRounds);
    const bool complete = loadedPlugIns == kSmallPlugIns + 1 && treeNodes == kSmallPlugIns + 2 &&
                          listRows == kBigPresets && bareRows == kBigPresets && reloads == 0;
    if (!complete) fwprintf(stderr, L"frame bench: the panes did not show the whole store\n");
    return complete ? 0 : 1;
}
