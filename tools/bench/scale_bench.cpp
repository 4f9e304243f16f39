// The cost of each step at n presets, in plug-ins of 5 ("many") or in one plug-in ("one"), so that tools/bench.sh
// can set it against the same step at n / 10. Every mode is one process; bench.sh interleaves them over rounds.
//   scale_bench make <folder> <n> <shape>     writes the package of n presets (64 bytes each), untimed
//   scale_bench run <folder> <n> <shape>      times the steps on an empty store; starts "startup" halfway
//   scale_bench startup <folder> <n> <shape>  start-up to a filled window (store of n + package of n), then the fills
//   scale_bench plugins <folder>              the package read of 2,000 x 5 against 1 x 10,000 (same bytes)
// Each timed step prints "STEP <shape> <n> <name> <ms> <peak MB>", the peak being the process's so far.
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>
#include "app_context.h"
#include "catalogue_model.h"
#include "edit_history.h"
#include "editing.h"
#include "frame_state.h"
#include "frame_window.h"
#include "kvkernel.h"
#include "kvlang.h"
#include "kvmetric.h"
#include "package_format.h"
#include "side_panes.h"
#include "store_names.h"
#include "../measure.h"

using namespace measure;

namespace {

constexpr uint32_t kPresetBytes = 64;
constexpr int kPerPlugIn = 5;
constexpr wchar_t kSettingsProduct[] = L"TarrowScaleBench";

std::wstring PackagePath(const std::wstring& folder, int n, const std::wstring& shape) {
    return folder + L"\\scale-" + shape + L"-" + std::to_wstring(n) + L".kvpreset";
}

std::unique_ptr<PlugInList> MakePlugIns(int n, bool many) {
    auto plugIns = std::make_unique<PlugInList>();
    PlugInEntry* plugIn = nullptr;
    for (int i = 0; i < n; ++i) {
        if (!plugIn || (many && i % kPerPlugIn == 0)) {
            int p = plugIns->Count();
            wchar_t name[64], id[64];
            swprintf(name, 64, L"Plug-in %06d", p);
            swprintf(id, 64, L"{C5000000-0000-4000-8000-%012d}", p);
            plugIn = PlugInEntry::Create(name, id);
            plugIns->Append(plugIn);
        }
        wchar_t name[64];
        swprintf(name, 64, L"Preset %06d", i);
        auto* preset = PresetEntry::Create(name);
        uint8_t* blob = CatalogueBlobAlloc(kPresetBytes);
        for (uint32_t b = 0; b < kPresetBytes; ++b) blob[b] = static_cast<uint8_t>(b * 31 + i);
        preset->AdoptData(blob, kPresetBytes);
        plugIn->AppendPreset(preset);
    }
    return plugIns;
}

void Step(const std::wstring& shape, int n, const char* name, double seconds) {
    printf("STEP %ls %d %s %.3f %.1f\n", shape.c_str(), n, name, seconds * 1000, Megabytes(Memory().PeakWorkingSetSize));
    fflush(stdout);
}

void ClearStore() { RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DirectShow"); }

bool PlainRead(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    LARGE_INTEGER length = {};
    GetFileSizeEx(file, &length);
    std::unique_ptr<uint8_t[]> bytes(new uint8_t[length.QuadPart]);
    DWORD done = 0;
    bool ok = ReadFile(file, bytes.get(), static_cast<DWORD>(length.QuadPart), &done, nullptr) && done == length.QuadPart;
    CloseHandle(file);
    return ok;
}

// Copies a whole side to the other as the tree root's copy does, answering every question with Yes to All.
HRESULT CopyEverything(CatalogueModel& model, EditHistory& history, CatalogueSide from) {
    Selection selection;
    selection.side = from;
    selection.focusedPane = PANE_TREE;
    selection.nodeKind = NODE_ROOT;
    selection.names = {L""};
    CopyOptions options;
    options.answer = ANSWER_YES_TO_ALL;
    options.showRefusals = false;
    EditSession session{model, history};
    CopyOutcome outcome;
    return CopySelection(session, selection, options, &outcome);
}

int Total(const PlugInList* list) { return list ? list->TotalPresetCount() : 0; }

bool RunChild(const std::wstring& arguments) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring line = L"\"" + std::wstring(self) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
        return false;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code == 0;
}

int Make(const std::wstring& folder, int n, const std::wstring& shape) {
    std::unique_ptr<PlugInList> plugIns = MakePlugIns(n, shape == L"many");
    return WritePackageFile(PackagePath(folder, n, shape).c_str(), plugIns.get(), nullptr) < 0 ? 2 : 0;
}

int Run(const std::wstring& folder, int n, const std::wstring& shape) {
    const std::wstring path = PackagePath(folder, n, shape), saved = folder + L"\\saved.kvpreset";
    ClearStore();
    bool ok = true;
    auto check = [&](bool fact, const char* what) {
        if (!fact) fprintf(stderr, "scale bench: %s failed at %d (%ls)\n", what, n, shape.c_str());
        ok = ok && fact;
    };
    KvLang_Open(&g_appContext.language, GetModuleHandleW(nullptr), 3, 0);

    // The package read, against a plain read of the same file.
    CatalogueModel copyIn;
    copyIn.language = g_appContext.language;
    copyIn.plugIns[SIDE_PACKAGE] = new PlugInList();
    copyIn.chains[SIDE_PACKAGE] = new ChainList();
    double t = Time([&] {
        check(ReadPackageFile(path.c_str(), copyIn.plugIns[SIDE_PACKAGE], copyIn.chains[SIDE_PACKAGE]) >= 0, "read");
    });
    Step(shape, n, "package_read", t);
    Step(shape, n, "plain_read", Time([&] { check(PlainRead(path), "plain read"); }));
    check(Total(copyIn.plugIns[SIDE_PACKAGE]) == n, "read count");

    // Copy to System of everything into an empty store.
    EditHistory toSystem;
    Step(shape, n, "copy_to_system", Time([&] { check(CopyEverything(copyIn, toSystem, SIDE_PACKAGE) == S_OK, "copy to system"); }));
    check(Total(copyIn.plugIns[SIDE_SYSTEM]) == n, "system count");

    {
        // The store load, then Copy to File of everything, Save and Undo.
        CatalogueModel copyOut;
        copyOut.language = g_appContext.language;
        Step(shape, n, "store_load", Time([&] { LoadSystemCatalogue(copyOut); }));
        check(Total(copyOut.plugIns[SIDE_SYSTEM]) == n, "store load count");
        EditHistory toFile;
        Step(shape, n, "copy_to_file", Time([&] { check(CopyEverything(copyOut, toFile, SIDE_SYSTEM) == S_OK, "copy to file"); }));
        check(Total(copyOut.plugIns[SIDE_PACKAGE]) == n, "package count");
        Step(shape, n, "save", Time([&] {
            check(WritePackageFile(saved.c_str(), copyOut.plugIns[SIDE_PACKAGE], copyOut.chains[SIDE_PACKAGE]) >= 0, "save");
        }));
        Step(shape, n, "undo_copy_to_file", Time([&] { check(toFile.UndoEdit(copyOut, nullptr) >= 0, "undo to file"); }));
        check(Total(copyOut.plugIns[SIDE_PACKAGE]) == 0, "undone to file");
    }
    DeleteFileW(saved.c_str());

    // Start-up and the fills in a process of their own, so that its peak memory is the program's.
    check(RunChild(L"startup \"" + folder + L"\" " + std::to_wstring(n) + L" " + shape), "start-up");

    Step(shape, n, "undo_copy_to_system", Time([&] { check(toSystem.UndoEdit(copyIn, nullptr) >= 0, "undo to system"); }));
    check(Total(copyIn.plugIns[SIDE_SYSTEM]) == 0, "undone to system");
    ClearStore();
    return ok ? 0 : 1;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

int Startup(const std::wstring& folder, int n, const std::wstring& shape) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    SIZE_T before = Memory().PeakWorkingSetSize;
    double start = Now();
    KvKernel_Init(instance);
    INITCOMMONCONTROLSEX classes{sizeof(classes), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&classes);
    KvLang_Open(&g_appContext.language, instance, 3, 0);
    KvPrintF_AddToken(L"AppName.Title", L"Varden Tarrow 2.0");
    wcscpy(g_appContext.productName, L"Varden Tarrow");
    KvMetric_Open(&g_appContext.settings, kSettingsProduct, APP_VERSION_WORD, nullptr);
    if (n > 0) {
        wcscpy(g_appContext.document.path, PackagePath(folder, n, shape).c_str());
        g_appContext.document.flags = 0;
    } else {
        wcscpy(g_appContext.document.path, L"Untitled");
        g_appContext.document.flags = DOC_UNTITLED;
    }
    HWND window = nullptr;
    CreateFrameWindow(instance, &window);
    if (!window) return 1;
    SetWindowPos(window, nullptr, 0, 0, 1000, 800, SWP_NOZORDER | SWP_SHOWWINDOW);
    Pump();
    UpdateWindow(window);
    Step(shape, n, "startup", Now() - start);
    printf("STARTUP_PEAK %ls %d %.1f %.1f\n", shape.c_str(), n, Megabytes(Memory().PeakWorkingSetSize),
           Megabytes(before));

    FrameState& state = *FrameStateOf(window);
    bool ok = Total(state.catalogue.plugIns[SIDE_SYSTEM]) == n && Total(state.catalogue.plugIns[SIDE_PACKAGE]) == n;
    if (n > 0) {
        // The largest node of the system side: its first plug-in (all of them alike, or the only one).
        PaneState& pane = state.sides[PANE_SYSTEM];
        wchar_t largest[CATALOGUE_NAME_CHARS];
        state.catalogue.plugIns[SIDE_SYSTEM]->At(0)->GetDisplayName(largest, CATALOGUE_NAME_CHARS,
                                                                    state.catalogue.language);
        int rows = 0;
        // The fill starts from an empty tree, as at start-up. Emptying the filled one first is the tree control's
        // own cost, which grows with the square of its items under Wine: shown on a line of its own.
        printf("CLEAR %ls %d %.3f\n", shape.c_str(), n, Time([&] { TreeView_DeleteAllItems(pane.tree); }) * 1000);
        Step(shape, n, "fill_tree_and_list", Time([&] {
            FillTree(pane, nullptr);
            HTREEITEM node = FindTreeItem(pane, largest, NODE_PLUGIN);
            pane.currentNodeKind = NODE_PLUGIN;
            FillList(pane, node);
            rows = ListView_GetItemCount(pane.list);
        }));
        ok = ok && rows == (shape == L"many" ? kPerPlugIn : n);
    }
    DestroyWindow(window);
    Pump();
    KvMetric_DeleteAll(kSettingsProduct, APP_VERSION_WORD);
    if (!ok) fprintf(stderr, "scale bench: the window did not show everything at %d (%ls)\n", n, shape.c_str());
    return ok ? 0 : 1;
}

// 2,000 plug-ins of 5 against one of 10,000: the same preset bytes, interleaved rounds.
int PlugIns(const std::wstring& folder) {
    const std::wstring many = PackagePath(folder, 10000, L"many"), one = PackagePath(folder, 10000, L"one");
    std::vector<double> manyTimes, oneTimes, plainTimes, plainManyTimes;
    for (int round = 0; round < 10; ++round) {
        double m = Time([&] {
            PlugInList plugIns;
            ChainList chains;
            ReadPackageFile(many.c_str(), &plugIns, &chains);
        });
        double o = Time([&] {
            PlugInList plugIns;
            ChainList chains;
            ReadPackageFile(one.c_str(), &plugIns, &chains);
        });
        double p = Time([&] { PlainRead(one); });
        double pm = Time([&] { PlainRead(many); }); // the plug-ins' records make the file larger
        if (round == 0) continue; // warms the file cache and the heap
        manyTimes.push_back(m);
        oneTimes.push_back(o);
        plainTimes.push_back(p);
        plainManyTimes.push_back(pm);
    }
    printf("package read, 2,000 x 5: %.1f ms   1 x 10,000: %.1f ms   ratio %.2f (target <= 1.3; best rounds %.2f)"
           "   plain read of 1 x 10,000: %.1f ms\n",
           Median(manyTimes) * 1000, Median(oneTimes) * 1000, Median(manyTimes) / Median(oneTimes),
           Best(manyTimes) / Best(oneTimes), Median(plainTimes) * 1000);
    // What the bytes alone cost: the package read reads every byte of both files.
    printf("plain read, 2,000 x 5: %.1f ms   1 x 10,000: %.1f ms   ratio %.2f (the files' bytes alone)\n",
           Median(plainManyTimes) * 1000, Median(plainTimes) * 1000, Median(plainManyTimes) / Median(plainTimes));
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        fprintf(stderr, "usage: scale_bench make|run|startup <folder> <n> <many|one> | plugins <folder>\n");
        return 2;
    }
    std::wstring mode = argv[1], folder = argv[2];
    if (mode == L"plugins") return PlugIns(folder);
    if (argc < 5) return 2;
    int n = _wtoi(argv[3]);
    std::wstring shape = argv[4];
    if (mode == L"make") return Make(folder, n, shape);
    if (mode == L"run") return Run(folder, n, shape);
    if (mode == L"startup") return Startup(folder, n, shape);
    return 2;
}
