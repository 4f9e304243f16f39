// The end-to-end tests' Windows-side helper. It never sends the program input: real_input.py does that with
// xdotool. It only prepares the store and a package ("seed") and reports where the program's controls are on the
// screen and what they show ("probe"), so that the mouse can be aimed and the outcome checked.
//   e2e_helper seed <work folder>   clean store and settings, two plug-ins in the store, package.kvpreset
//   e2e_helper probe                one JSON object: title, focus, open dialogs, both sides' visible items
//   e2e_helper clean                removes what seed wrote to the registry
#include <windows.h>
#include <commctrl.h>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>
#include "catalogue.h"
#include "kvhandles.h"
#include "package_format.h"
#include "store_names.h"
#include "store_write.h"
#include "test_support.h"

namespace {

constexpr wchar_t kReverbClass[] = L"{7E2E0000-0000-4000-8000-0000000000A1}";
constexpr wchar_t kDelayClass[] = L"{7E2E0000-0000-4000-8000-0000000000A2}";
constexpr wchar_t kSettingsKey[] = L"Software\\Varden Media Software\\Tarrow";

// real_input.py builds the same bytes: byte i of pattern (size, seed) is (i * 31 + seed * 7 + (i >> 8)) & 0xFF.
std::vector<uint8_t> Pattern(uint32_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    for (uint32_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 31 + seed * 7 + (i >> 8));
    return bytes;
}

struct SeedPreset {
    const wchar_t* name;
    uint32_t size;
    unsigned seed;
};

PlugInEntry* MakePlugIn(const wchar_t* name, const wchar_t* classId, std::initializer_list<SeedPreset> presets) {
    auto* plugIn = PlugInEntry::Create(name, classId);
    for (const SeedPreset& seed : presets) {
        auto* preset = PresetEntry::Create(seed.name);
        std::vector<uint8_t> bytes = Pattern(seed.size, seed.seed);
        uint8_t* blob = CatalogueBlobAlloc(seed.size);
        if (blob) memcpy(blob, bytes.data(), seed.size);
        preset->AdoptData(blob, seed.size);
        if (plugIn->AppendPreset(preset) < 0) break;
    }
    return plugIn;
}

bool RegisterClassName(const wchar_t* classId, const wchar_t* name) {
    std::wstring path = std::wstring(L"CLSID\\") + classId;
    return RegSetKeyValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, REG_SZ, name,
                           static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

// Leaves no store, settings or class names of the end-to-end run behind.
int Clean() {
    for (const wchar_t* key : {L"Software\\DirectShow", L"Software\\Moravel", STORE_LATHMERE_VERSIONS_KEY, kSettingsKey})
        RegDeleteTreeW(HKEY_CURRENT_USER, key);
    for (const wchar_t* classId : {kReverbClass, kDelayClass})
        RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + classId).c_str());
    return 0;
}

int Seed(const std::wstring& work) {
    Clean();
    std::wstring presetsFolder = work + L"\\presets";
    CreateDirectoryW(work.c_str(), nullptr);
    if (RegSetKeyValueW(HKEY_CURRENT_USER, STORE_PRESETS_KEY, STORE_DEF_LOCATION, REG_EXPAND_SZ, presetsFolder.c_str(),
                        static_cast<DWORD>((presetsFolder.size() + 1) * sizeof(wchar_t))) != ERROR_SUCCESS)
        return 1;
    if (!RegisterClassName(kReverbClass, L"E2E Reverb") || !RegisterClassName(kDelayClass, L"E2E Delay")) return 1;

    PlugInList store;
    store.Append(MakePlugIn(L"E2E Reverb", kReverbClass, {{L"Hall", 64, 1}, {L"Plate", 300, 2}}));
    store.Append(MakePlugIn(L"E2E Delay", kDelayClass, {{L"Echo", 32, 3}, {L"Slapback", 400, 4}, {L"Tape", 20, 5}}));
    for (int i = 0; i < store.Count(); ++i) {
        const PlugInEntry* plugIn = store.At(i);
        for (int p = 0; p < plugIn->PresetCount(); ++p)
            if (WriteStorePreset(*plugIn, *plugIn->PresetAt(p)) != 0) return 1;
    }

    PlugInList package;
    package.Append(MakePlugIn(L"E2E Reverb", kReverbClass, {{L"Hall", 64, 11}, {L"Cave", 512, 12}, {L"Spring", 40, 13}}));
    ChainList chains;
    return WritePackageFile((work + L"\\package.kvpreset").c_str(), &package, &chains) < 0 ? 1 : 0;
}

// ---- probe -------------------------------------------------------------------------------------------------------

// A block in the program's address space for the controls' messages that take a pointer.
class RemoteBlock {
public:
    RemoteBlock(HANDLE process, size_t size)
        : process_(process), address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT, PAGE_READWRITE)) {}
    ~RemoteBlock() {
        if (address_) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    RemoteBlock(const RemoteBlock&) = delete;
    RemoteBlock& operator=(const RemoteBlock&) = delete;
    void* get() const { return address_; }
    bool Write(const void* data, size_t size, size_t offset = 0) const {
        return address_ && WriteProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
    }
    bool Read(void* data, size_t size, size_t offset = 0) const {
        return address_ && ReadProcessMemory(process_, static_cast<char*>(address_) + offset, data, size, nullptr);
    }
    LPARAM at(size_t offset) const { return reinterpret_cast<LPARAM>(static_cast<char*>(address_) + offset); }

private:
    HANDLE process_;
    void* address_;
};

constexpr size_t kTextOffset = 512; // item records first, their text after them
constexpr int kTextChars = 260;
constexpr LRESULT kTimeoutResult = -1;

LRESULT Send(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, message, wParam, lParam, SMTO_ABORTIFHUNG, 5000, &result)) return kTimeoutResult;
    return static_cast<LRESULT>(result);
}

std::string Json(const std::wstring& text) {
    std::string out = "\"";
    for (wchar_t c : text) {
        if (c == L'"' || c == L'\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20 || c > 0x7E) {
            char escape[8];
            snprintf(escape, sizeof(escape), "\\u%04x", static_cast<unsigned>(c));
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonRect(RECT r) {
    char text[96];
    snprintf(text, sizeof(text), "[%ld,%ld,%ld,%ld]", r.left, r.top, r.right, r.bottom);
    return text;
}

RECT ScreenRect(HWND window, RECT client) {
    MapWindowPoints(window, nullptr, reinterpret_cast<POINT*>(&client), 2);
    return client;
}

std::wstring WindowText(HWND window) {
    wchar_t text[1024] = L"";
    SendMessageTimeoutW(window, WM_GETTEXT, _countof(text), reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 5000,
                        nullptr);
    return text;
}

// The visible rows: text, selected, and the label's place on the screen.
std::string ListJson(HWND list, HANDLE process) {
    RemoteBlock block(process, kTextOffset + kTextChars * sizeof(wchar_t));
    std::string rows = "[";
    int count = static_cast<int>(Send(list, LVM_GETITEMCOUNT, 0, 0));
    for (int i = 0; block.get() && i < count; ++i) {
        LVITEMW item{};
        item.iSubItem = 0;
        item.cchTextMax = kTextChars;
        item.pszText = reinterpret_cast<wchar_t*>(block.at(kTextOffset));
        wchar_t text[kTextChars] = L"";
        if (!block.Write(&item, sizeof(item)) || Send(list, LVM_GETITEMTEXTW, i, block.at(0)) < 0 ||
            !block.Read(text, sizeof(text) - sizeof(wchar_t), kTextOffset))
            continue;
        RECT label{LVIR_LABEL, 0, 0, 0};
        block.Write(&label, sizeof(label));
        Send(list, LVM_GETITEMRECT, i, block.at(0));
        block.Read(&label, sizeof(label));
        bool selected = Send(list, LVM_GETITEMSTATE, i, LVIS_SELECTED) & LVIS_SELECTED;
        if (rows.size() > 1) rows += ",";
        rows += "{\"text\":" + Json(text) + ",\"selected\":" + (selected ? "true" : "false") +
                ",\"rect\":" + JsonRect(ScreenRect(list, label)) + "}";
    }
    return rows + "]";
}

// The visible tree items in display order, with their text rectangles on the screen.
std::string TreeJson(HWND tree, HANDLE process) {
    RemoteBlock block(process, kTextOffset + kTextChars * sizeof(wchar_t));
    std::string items = "[";
    HTREEITEM selected = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_CARET, 0));
    HTREEITEM item = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0));
    for (int guard = 0; block.get() && item && guard < 1000; ++guard) {
        TVITEMW record{};
        record.mask = TVIF_TEXT | TVIF_HANDLE;
        record.hItem = item;
        record.cchTextMax = kTextChars;
        record.pszText = reinterpret_cast<wchar_t*>(block.at(kTextOffset));
        wchar_t text[kTextChars] = L"";
        block.Write(&record, sizeof(record));
        Send(tree, TVM_GETITEMW, 0, block.at(0));
        block.Read(text, sizeof(text) - sizeof(wchar_t), kTextOffset);
        RECT rect{};
        block.Write(&item, sizeof(item)); // TVM_GETITEMRECT takes the item where the rectangle goes
        Send(tree, TVM_GETITEMRECT, TRUE, block.at(0));
        block.Read(&rect, sizeof(rect));
        if (items.size() > 1) items += ",";
        items += "{\"text\":" + Json(text) + ",\"selected\":" + (item == selected ? "true" : "false") +
                 ",\"rect\":" + JsonRect(ScreenRect(tree, rect)) + "}";
        item = reinterpret_cast<HTREEITEM>(Send(tree, TVM_GETNEXTITEM, TVGN_NEXTVISIBLE, reinterpret_cast<LPARAM>(item)));
    }
    return items + "]";
}

std::string PaneJson(HWND window, HANDLE process, bool isList) {
    if (!window) return "null";
    RECT client{};
    GetClientRect(window, &client);
    return "{\"rect\":" + JsonRect(ScreenRect(window, client)) +
           ",\"items\":" + (isList ? ListJson(window, process) : TreeJson(window, process)) + "}";
}

struct DialogSearch {
    DWORD process;
    std::string json;
};

// Every visible dialog of the program: its title, window rectangle and the texts of its controls.
std::string DialogsJson(DWORD processId) {
    DialogSearch search{processId, "["};
    EnumWindows([](HWND window, LPARAM parameter) -> BOOL {
        auto* found = reinterpret_cast<DialogSearch*>(parameter);
        DWORD owner = 0;
        GetWindowThreadProcessId(window, &owner);
        wchar_t className[64] = L"";
        GetClassNameW(window, className, _countof(className));
        if (owner != found->process || !IsWindowVisible(window) || wcscmp(className, L"#32770") != 0) return TRUE;
        std::string controls = "[";
        EnumChildWindows(window, [](HWND child, LPARAM list) -> BOOL {
            auto* texts = reinterpret_cast<std::string*>(list);
            if (!IsWindowVisible(child)) return TRUE;
            if (texts->size() > 1) *texts += ",";
            *texts += Json(WindowText(child));
            return TRUE;
        }, reinterpret_cast<LPARAM>(&controls));
        RECT bounds{};
        GetWindowRect(window, &bounds);
        if (found->json.size() > 1) found->json += ",";
        found->json += "{\"title\":" + Json(WindowText(window)) + ",\"rect\":" + JsonRect(bounds) +
                       ",\"controls\":" + controls + "]}";
        return TRUE;
    }, reinterpret_cast<LPARAM>(&search));
    return search.json + "]";
}

// The control id of the window that has the keyboard focus in the program's thread; 0 when none, -1 for the frame.
int FocusId(HWND frame) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(frame, nullptr), &info) || !info.hwndFocus) return 0;
    return info.hwndFocus == frame ? -1 : GetDlgCtrlID(info.hwndFocus);
}

int Probe() {
    HWND frame = FindWindowW(L"Tarrow.Class.Frame", nullptr);
    if (!frame) {
        printf("{\"frame\":null}\n");
        return 0;
    }
    DWORD processId = 0;
    GetWindowThreadProcessId(frame, &processId);
    KvFile process(OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, processId));
    if (!process) return 1;
    RECT bounds{};
    GetWindowRect(frame, &bounds);
    std::string json = "{\"frame\":{\"title\":" + Json(WindowText(frame)) + ",\"rect\":" + JsonRect(bounds) +
                       ",\"focus\":" + std::to_string(FocusId(frame)) + "}";
    // Control ids: trees 1 and 2, lists 30 and 31 (package side, then system side).
    const char* names[2] = {"package", "system"};
    for (int side = 0; side < 2; ++side) {
        json += ",\"" + std::string(names[side]) + "\":{\"tree\":" +
                PaneJson(GetDlgItem(frame, 1 + side), process.get(), false) +
                ",\"list\":" + PaneJson(GetDlgItem(frame, 30 + side), process.get(), true) + "}";
    }
    json += ",\"dialogs\":" + DialogsJson(processId) + "}";
    printf("%s\n", json.c_str());
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    if (!testsupport::InThrowawayStore()) {
        fprintf(stderr, "Refusing to run: the store is not marked as a throwaway one (run the tests with test.sh).\n");
        return 3;
    }
    if (argc == 3 && wcscmp(argv[1], L"seed") == 0) return Seed(argv[2]);
    if (argc == 2 && wcscmp(argv[1], L"probe") == 0) return Probe();
    if (argc == 2 && wcscmp(argv[1], L"clean") == 0) return Clean();
    fprintf(stderr, "usage: e2e_helper seed <work folder> | probe | clean\n");
    return 2;
}
