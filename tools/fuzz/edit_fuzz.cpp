// Random editing sessions against the windowless core and the throwaway store, each step checked against the plain
// model of edit_model.h: copy both ways with every selection kind and every answer, delete, rename, undo, redo,
// reloads, and another program changing the store between steps and while a question is open. Not a test on its
// own: tools/edit_fuzz.sh runs it long, ctest runs it short.
// Usage: edit_fuzz <steps> <seed>              run until steps are done or the first divergence
//        edit_fuzz <steps> <seed> <episode>    replay one episode of that run, printing every step
//        either with --calm: nothing changes while a box is open
// A run is a series of episodes, each a fresh store and package and its own random stream, so an episode replays
// alone. Exit status 0 no divergence, 1 a divergence, 2 refused or bad arguments, 3 a crash.
#include <windows.h>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <memory>
#include <string>
#include <vector>
#include "edit_model.h"
#include "editing.h"
#include "fuzz_random.h"
#include "kvlang.h"
#include "kvmsgbox.h"
#include "resource.h"
#include "selection_walk.h"
#include "store_names.h"
#include "test_support.h"

using namespace editmodel;

namespace {

// ---- Deterministic randomness, one stream per episode

class Random : public FuzzRandom {
public:
    using FuzzRandom::FuzzRandom;
    Bytes Data(size_t size) {
        Bytes bytes(size);
        for (uint8_t& b : bytes) b = static_cast<uint8_t>(Next());
        return bytes;
    }
};

// --calm: nothing happens while a box is open (to look past the reload-during-a-question family of faults).
bool g_calm = false;

// ---- The little world the steps play in: few names, so that they meet often

constexpr wchar_t kAlpha[] = L"{E0000000-0000-4000-8000-0000000000A1}";
constexpr wchar_t kBeta[] = L"{E0000000-0000-4000-8000-0000000000B2}";
constexpr wchar_t kGamma[] = L"{E0000000-0000-4000-8000-0000000000C3}"; // not registered

struct Shape {
    const wchar_t* name;
    const wchar_t* classId;
    uint32_t flags, major, minor;
};
const std::vector<Shape> kShapes = {
    {L"Alpha", kAlpha, 0, 0, 0},
    {L"Beta", kBeta, 0, 0, 0},
    {L"Gamma", kGamma, 0, 0, 0},
    {L"Untitled", L"(Untitled)", 0, 0, 0}, // a key another program named so; the store shows it
    {L"Reverb", L"", PLUGIN_LATHMERE_TOOL, 6, 0},
    {L"A/B", L"", PLUGIN_LATHMERE_TOOL, 6, 0},
    {L"Reverb", L"", PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 7, 0},
};
const std::vector<std::wstring> kPresetNames = {L"Warm", L"warm", L"Bright", L"Lead:2", L"Lead?2", L"CON", L"Pad", L"Zed"};
const std::vector<std::wstring> kNewNames = {L"Warm", L"Bright", L"Renamed", L"Lead/3", L"NUL", L"Pad", L"chain a"};
const std::vector<size_t> kSizes = {1, 7, 255, 256, 700};
const std::vector<std::wstring> kChainNames = {L"Chain A", L"CHAIN A", L"Vocal", L"Drums"};
const std::vector<std::wstring> kChainIds = {L"{C0000000-0000-4000-8000-000000000001}",
                                             L"{C0000000-0000-4000-8000-000000000002}",
                                             L"{C0000000-0000-4000-8000-000000000003}"};
const std::vector<std::wstring> kStoreChainIds = {kChainIds[0], kChainIds[1], kChainIds[2], L"CON", L"x/y"};
struct Version {
    uint32_t major, minor;
};
const std::vector<Version> kDestinations = {{6, 0}, {7, 0}}; // as the store is set up: unversioned, then 7.0

std::wstring KeyPath(uint32_t flags, const wchar_t* classId, const wchar_t* name, uint32_t major, uint32_t minor) {
    if (!(flags & PLUGIN_LATHMERE_TOOL)) return std::wstring(STORE_PRESETS_KEY) + L"\\" + classId;
    if (flags & PLUGIN_LATHMERE_VERSIONED) return LathmereVersionedKey(major, minor) + L"\\" + name;
    return std::wstring(STORE_LATHMERE_KEY) + L"\\" + name;
}
std::wstring KeyPath(const Shape& s) { return KeyPath(s.flags, s.classId, s.name, s.major, s.minor); }
std::wstring KeyPath(const PlugInEntry& e) {
    return KeyPath(e.flags, e.classIdText, e.name, e.majorVersion, e.minorVersion);
}

std::wstring DisplayName(const PlugInEntry& entry, tKVLANG* language) {
    wchar_t text[CATALOGUE_NAME_CHARS];
    entry.GetDisplayName(text, CATALOGUE_NAME_CHARS, language);
    return text;
}

std::string Quoted(const std::wstring& text) { return "'" + Narrow(text) + "'"; }

// ---- The real store, read back as the model holds it

std::vector<std::wstring> SubkeyNames(const std::wstring& path) {
    std::vector<std::wstring> names;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return names;
    wchar_t name[256];
    for (DWORD i = 0;; ++i) {
        DWORD chars = 256;
        if (RegEnumKeyExW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        names.push_back(name);
    }
    RegCloseKey(key);
    return names;
}

void ReadKey(const std::wstring& path, bool chainKey, Store& store) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    DWORD longestName = 0, longestData = 0;
    RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &longestName, &longestData,
                     nullptr, nullptr);
    StoreKey read{path, {}};
    std::vector<wchar_t> name(longestName + 2);
    for (DWORD i = 0;; ++i) {
        DWORD chars = static_cast<DWORD>(name.size()), type = 0, bytes = longestData;
        Bytes data(longestData + 2);
        if (RegEnumValueW(key, i, name.data(), &chars, nullptr, &type, data.data(), &bytes) != ERROR_SUCCESS) break;
        data.resize(bytes);
        Val val{VAL_OTHER, data};
        if (type == REG_BINARY) val.kind = VAL_BINARY;
        else if (type == REG_DWORD) val.kind = VAL_DWORD;
        else if (type == REG_SZ) {
            std::wstring text(reinterpret_cast<const wchar_t*>(data.data()), bytes / 2);
            text = text.substr(0, text.find(L'\0'));
            if (chainKey && SameName(name.data(), L"Name")) val = Val{VAL_TEXT, TextBytes(text)};
            else {
                DWORD attributes = GetFileAttributesW(text.c_str());
                bool file = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
                val = file ? Val{VAL_FILE, testsupport::ReadWholeFile(text)} : Val{VAL_MISSING_FILE, TextBytes(text)};
            }
        }
        read.values[Lower(name.data())] = {name.data(), val};
    }
    RegCloseKey(key);
    if (!read.values.empty()) store[Lower(path)] = read;
}

Store ReadRealStore() {
    Store store;
    for (const std::wstring& name : SubkeyNames(STORE_PRESETS_KEY))
        if (!SameName(name, STORE_CHAINS_SUBKEY)) ReadKey(std::wstring(STORE_PRESETS_KEY) + L"\\" + name, false, store);
    for (const std::wstring& name : SubkeyNames(STORE_CHAINS_KEY))
        ReadKey(std::wstring(STORE_CHAINS_KEY) + L"\\" + name, true, store);
    for (const std::wstring& name : SubkeyNames(STORE_LATHMERE_KEY))
        ReadKey(std::wstring(STORE_LATHMERE_KEY) + L"\\" + name, false, store);
    for (const std::wstring& version : SubkeyNames(STORE_LATHMERE_VERSIONS_KEY)) {
        std::wstring presets = std::wstring(STORE_LATHMERE_VERSIONS_KEY) + L"\\" + version + L"\\Presets";
        for (const std::wstring& name : SubkeyNames(presets)) ReadKey(presets + L"\\" + name, false, store);
    }
    return store;
}

// A side of the real catalogue as the model holds it.
SideView ViewOf(const PlugInList* plugIns, const ChainList* chains, std::string* duplicate) {
    SideView view;
    for (int i = 0; plugIns && i < plugIns->Count(); ++i) {
        const PlugInEntry* entry = plugIns->At(i);
        for (int p = 0; p < entry->PresetCount(); ++p) {
            const PresetEntry* preset = entry->PresetAt(p);
            auto& presets = view.presets[Lower(KeyPath(*entry))];
            const std::wstring name = preset->name.c_str();
            if (presets.count(Lower(name)) && duplicate->empty())
                *duplicate = "two presets " + Quoted(name) + " under " + Narrow(KeyPath(*entry));
            presets[Lower(name)] = Preset{name, Bytes(preset->data, preset->data + preset->dataSize)};
        }
    }
    for (int i = 0; chains && i < chains->Count(); ++i) {
        const ChainEntry* c = chains->At(i);
        view.chains.push_back(Chain{c->name, c->identifier, c->flags, c->type, Bytes(c->stream, c->stream + c->streamSize)});
    }
    return view;
}

// ---- Comparing

std::string DescribeChain(const Chain& c) {
    return Quoted(c.name) + " id " + Narrow(c.id) + " flags " + std::to_string(c.flags) + " type " +
           std::to_string(c.type) + " stream " + Describe(Val{VAL_BINARY, c.stream});
}

std::string CompareStores(const Store& expected, const Store& found) {
    auto nonEmpty = [](const Store& s, const std::wstring& path) {
        auto at = s.find(path);
        return at != s.end() && !at->second.values.empty() ? &at->second : nullptr;
    };
    std::vector<std::wstring> paths;
    for (const auto& [path, key] : expected) paths.push_back(path);
    for (const auto& [path, key] : found) paths.push_back(path);
    std::sort(paths.begin(), paths.end());
    for (const std::wstring& path : paths) {
        const StoreKey *e = nonEmpty(expected, path), *f = nonEmpty(found, path);
        if (!e && !f) continue;
        std::vector<std::wstring> names;
        for (const StoreKey* k : {e, f})
            if (k)
                for (const auto& [name, value] : k->values) names.push_back(name);
        std::sort(names.begin(), names.end());
        for (const std::wstring& name : names) {
            const Val* ev = e && e->values.count(name) ? &e->values.at(name).second : nullptr;
            const Val* fv = f && f->values.count(name) ? &f->values.at(name).second : nullptr;
            if (ev && fv && *ev == *fv) continue;
            return "store " + Narrow(path) + " value " + Quoted(name) + ": expected " +
                   (ev ? Describe(*ev) : "no value") + ", found " + (fv ? Describe(*fv) : "no value");
        }
    }
    return "";
}

std::string CompareSides(const char* side, const SideView& expected, const SideView& found, bool exactNames) {
    std::vector<std::wstring> keys;
    for (const SideView* v : {&expected, &found})
        for (const auto& [key, presets] : v->presets) keys.push_back(key);
    std::sort(keys.begin(), keys.end());
    for (const std::wstring& key : keys) {
        static const std::map<std::wstring, Preset> none;
        const auto& e = expected.presets.count(key) ? expected.presets.at(key) : none;
        const auto& f = found.presets.count(key) ? found.presets.at(key) : none;
        std::vector<std::wstring> names;
        for (const auto* presets : {&e, &f})
            for (const auto& [name, preset] : *presets) names.push_back(name);
        std::sort(names.begin(), names.end());
        for (const std::wstring& name : names) {
            const Preset* ep = e.count(name) ? &e.at(name) : nullptr;
            const Preset* fp = f.count(name) ? &f.at(name) : nullptr;
            if (ep && fp && ep->data == fp->data && (!exactNames || ep->name == fp->name)) continue;
            auto show = [](const Preset* p) {
                return p ? Quoted(p->name) + " " + Describe(Val{VAL_BINARY, p->data}) : std::string("nothing");
            };
            return std::string(side) + " side, " + Narrow(key) + ": expected " + show(ep) + ", found " + show(fp);
        }
    }
    // Chains as a multiset: what one side holds that the other does not. Not for the system side: which stale
    // entries its memory keeps after edits over keys another program changed is not the model's business (the
    // store check covers what is stored; a reload shows it).
    if (!exactNames) return "";
    auto same = [exactNames](const Chain& a, const Chain& b) {
        return SameName(a.id, b.id) && a.flags == b.flags && a.type == b.type && a.stream == b.stream &&
               (exactNames ? a.name == b.name : SameName(a.name, b.name));
    };
    std::vector<Chain> unmatched = found.chains;
    std::string missing;
    for (const Chain& chain : expected.chains) {
        auto at = std::find_if(unmatched.begin(), unmatched.end(), [&](const Chain& c) { return same(chain, c); });
        if (at != unmatched.end()) unmatched.erase(at);
        else missing += " " + DescribeChain(chain) + ";";
    }
    if (!missing.empty() || !unmatched.empty()) {
        std::string extra;
        for (const Chain& chain : unmatched) extra += " " + DescribeChain(chain) + ";";
        return std::string(side) + " side chains: expected but missing:" + (missing.empty() ? " none" : missing) +
               " found but not expected:" + (extra.empty() ? " none" : extra);
    }
    return "";
}

// ---- Another program's changes to the store

struct Event {
    enum Kind { SET_VALUE, DELETE_VALUE, SET_CHAIN, DELETE_CHAIN } kind;
    std::wstring key, name; // key path as written, value name; for chains the identifier in name
    Val val;                // the value, or the chain's stream
    std::wstring file;      // the data file of a VAL_FILE, the path of a VAL_MISSING_FILE
    Chain chain;
};

std::string DescribeEvent(const Event& e) {
    switch (e.kind) {
    case Event::SET_VALUE: return "another program sets " + Narrow(e.key) + " " + Quoted(e.name) + " = " + Describe(e.val);
    case Event::DELETE_VALUE: return "another program deletes " + Narrow(e.key) + " " + Quoted(e.name);
    case Event::SET_CHAIN: return "another program writes chain key " + Narrow(e.name) + ": " + DescribeChain(e.chain);
    case Event::DELETE_CHAIN: return "another program deletes chain key " + Narrow(e.name);
    }
    return "";
}

LONG SetRegValue(const std::wstring& key, const std::wstring& name, const Val& val, const std::wstring& file) {
    DWORD type = val.kind == VAL_DWORD ? REG_DWORD : val.kind == VAL_BINARY ? REG_BINARY : REG_SZ;
    Bytes data = val.data;
    if (val.kind == VAL_FILE) {
        testsupport::WriteWholeFile(file, val.data.data(), val.data.size());
        data = TextBytes(file);
    }
    if (type == REG_SZ) data.insert(data.end(), {0, 0});
    return RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name.c_str(), type, data.data(), static_cast<DWORD>(data.size()));
}

void ApplyToRealStore(const Event& e) {
    const std::wstring chainKey = std::wstring(STORE_CHAINS_KEY) + L"\\" + e.name;
    switch (e.kind) {
    case Event::SET_VALUE: SetRegValue(e.key, e.name, e.val, e.file); break;
    case Event::DELETE_VALUE: RegDeleteKeyValueW(HKEY_CURRENT_USER, e.key.c_str(), e.name.c_str()); break;
    case Event::SET_CHAIN:
        SetRegValue(chainKey, L"Flags", DwordVal(e.chain.flags), L"");
        SetRegValue(chainKey, L"Name", Val{VAL_TEXT, TextBytes(e.chain.name)}, L"");
        SetRegValue(chainKey, L"Type", DwordVal(e.chain.type), L"");
        SetRegValue(chainKey, L"Stream", e.val, e.file);
        break;
    case Event::DELETE_CHAIN: RegDeleteTreeW(HKEY_CURRENT_USER, chainKey.c_str()); RegDeleteKeyW(HKEY_CURRENT_USER, chainKey.c_str()); break;
    }
}

// The same change in the model's store; the system view does not see it until a reload.
void ApplyToModelStore(const Event& e, Store& store) {
    switch (e.kind) {
    case Event::SET_VALUE: {
        StoreKey& key = store[Lower(e.key)];
        key.path = e.key;
        auto& slot = key.values[Lower(e.name)];
        if (slot.first.empty()) slot.first = e.name;
        slot.second = e.val;
        break;
    }
    case Event::DELETE_VALUE:
        if (store.count(Lower(e.key))) store[Lower(e.key)].values.erase(Lower(e.name));
        break;
    case Event::SET_CHAIN: {
        StoreKey& key = store[ChainKeyPath(e.name)];
        key.path = ChainKeyPath(e.name);
        key.values.clear();
        for (const auto& [name, val] : ChainKeyContent(e.name, e.chain, e.val).values) key.values[name] = {name, val};
        break;
    }
    case Event::DELETE_CHAIN: store.erase(ChainKeyPath(e.name)); break;
    }
}

// ---- What a step expects to be asked

struct Expect {
    bool question = true;         // the overwrite question; else a rename warning
    std::wstring name;            // the item the question names
    UINT buttons = 0;             // the question's button set
    UINT warningId = 0;           // the warning's text
    int answer = IDOK;
    std::vector<Event> events;    // what another program does while the box is open
    bool reload = false;          // and then the frame is activated
};

struct WalkItem {
    bool chain = false;
    std::unique_ptr<PlugInEntry> plugIn; // without presets
    Preset preset;
    Chain chainRecord;
};

class Recorder : public SelectionVisitor {
public:
    HRESULT VisitPreset(const PlugInEntry& plugIn, const PresetEntry& preset) override {
        WalkItem item;
        item.plugIn.reset(PlugInEntry::CopyShell(plugIn));
        item.preset = Preset{preset.name.c_str(), Bytes(preset.data, preset.data + preset.dataSize)};
        items.push_back(std::move(item));
        return S_OK;
    }
    HRESULT VisitChain(const ChainEntry& c) override {
        WalkItem item;
        item.chain = true;
        item.chainRecord = Chain{c.name, c.identifier, c.flags, c.type, Bytes(c.stream, c.stream + c.streamSize)};
        items.push_back(std::move(item));
        return S_OK;
    }
    std::vector<WalkItem> items;
};

// ---- The fuzzer

class Fuzzer {
public:
    Fuzzer(uint64_t seed, uint64_t episode, const std::wstring& scratch, bool trace)
        : rng_(seed, episode), scratch_(scratch), trace_(trace) {
        KvMsgBoxSetHook(&Fuzzer::OnBox, this);
    }
    ~Fuzzer() { KvMsgBoxSetHook(nullptr, nullptr); }
    void Begin(tKVLANG* language);
    // One random step, then the check; false on the first divergence (problem() says which).
    bool Step();
    const std::string& problem() const { return problem_; }
    const std::vector<std::string>& log() const { return log_; }
    size_t Length() { return 40 + rng_.Below(200); }

private:
    static int CALLBACK OnBox(void* data, HWND, const wchar_t* text, const wchar_t*, UINT style) {
        return static_cast<Fuzzer*>(data)->Answer(text ? text : L"", style);
    }
    int Answer(const std::wstring& text, UINT style);
    void Note(const std::string& line) {
        log_.push_back(line);
        if (trace_) printf("    %s\n", line.c_str());
    }
    Event RandomEvent();
    void ExternalEvents(size_t count, std::vector<Event>* events);
    void Reload();
    void AfterEdit(const EditOutcome& outcome);
    Selection RandomSelection(CatalogueSide side, std::string* text);
    std::vector<WalkItem> Walk(const Selection& selection);
    Expect Question(const std::wstring& name, size_t affected, std::string* text);
    void CopyStep(CatalogueSide from);
    void DeleteStep(CatalogueSide side);
    void RenameStep(CatalogueSide side);
    void NewPackage();
    std::string Check();
    bool ExistsOnSystem(const std::wstring& key, const std::wstring& name) const;
    bool ChainExistsOnSystem(const std::wstring& name) const;

    Random rng_;
    std::wstring scratch_;
    bool trace_;
    World world_;
    std::unique_ptr<CatalogueModel> model_;
    std::unique_ptr<EditHistory> history_;
    int destination_ = 1;
    int files_ = 0;
    std::deque<Expect> expects_;
    std::string problem_;
    std::vector<std::string> log_;
};

int Fuzzer::Answer(const std::wstring& text, UINT style) {
    const bool hasCancel = (style & KVMB_SETMASK) == KVMB_YESNOCANCEL ||
                           (style & KVMB_SETMASK) == KVMB_YESYESALLNONOALLCANCEL;
    if (expects_.empty()) {
        if (problem_.empty()) problem_ = "a message the model does not expect: \"" + Narrow(text) + "\"";
        return hasCancel ? IDCANCEL : IDOK;
    }
    Expect expect = std::move(expects_.front());
    expects_.pop_front();
    if (expect.question) {
        bool named = Lower(text).find(L"'" + Lower(expect.name) + L"'") != std::wstring::npos;
        if (problem_.empty() && (!named || (style & KVMB_SETMASK) != expect.buttons))
            problem_ = "expected the overwrite question about " + Quoted(expect.name) + " with button set " +
                       std::to_string(expect.buttons) + ", got \"" + Narrow(text) + "\" with set " +
                       std::to_string(style & KVMB_SETMASK);
    } else if (problem_.empty() && text != KvGetString(model_->language, expect.warningId)) {
        problem_ = "expected the warning \"" + Narrow(KvGetString(model_->language, expect.warningId)) + "\", got \"" +
                   Narrow(text) + "\"";
    }
    for (const Event& e : expect.events) ApplyToRealStore(e);
    if (expect.reload) LoadSystemCatalogue(*model_); // the frame's activation refresh, with the box still open
    return expect.answer;
}

void Fuzzer::Begin(tKVLANG* language) {
    for (const wchar_t* key : {L"Software\\DirectShow", L"Software\\Moravel", STORE_LATHMERE_VERSIONS_KEY})
        RegDeleteTreeW(HKEY_CURRENT_USER, key);
    testsupport::RemoveTree(scratch_);
    CreateDirectoryW(scratch_.c_str(), nullptr);
    CreateDirectoryW((scratch_ + L"\\other").c_str(), nullptr);
    for (const auto& [key, folder] : {std::pair(STORE_PRESETS_KEY, scratch_ + L"\\presets"),
                                      std::pair(STORE_CHAINS_KEY, scratch_ + L"\\chains\\")})
        RegSetKeyValueW(HKEY_CURRENT_USER, key, STORE_DEF_LOCATION, REG_EXPAND_SZ, folder.c_str(),
                        static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
    for (const std::wstring& key : {std::wstring(STORE_LATHMERE_KEY), LathmereVersionedKey(7, 0)}) {
        HKEY created = nullptr;
        RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created, nullptr);
        RegCloseKey(created);
    }
    model_ = std::make_unique<CatalogueModel>();
    model_->language = language;
    history_ = std::make_unique<EditHistory>();
    Note("a fresh store; another program:");
    ExternalEvents(3 + rng_.Below(6), nullptr);
    Note("reload");
    LoadSystemCatalogue(*model_);
    world_.Reload();
    destination_ = model_->selectedDestination;
    NewPackage();
}

Event Fuzzer::RandomEvent() {
    Event e{};
    const std::wstring file = scratch_ + L"\\other\\f" + std::to_wstring(++files_) + L".bin";
    switch (rng_.Weighted({45, 20, 20, 15})) {
    case 0:
        e.kind = Event::SET_VALUE;
        e.key = KeyPath(rng_.Pick(kShapes));
        e.name = rng_.Pick(kPresetNames);
        switch (rng_.Weighted({35, 25, 10, 10, 10, 10})) {
        case 0: e.val = Val{VAL_BINARY, rng_.Data(rng_.Pick(kSizes))}; break;
        case 1: e.val = Val{VAL_FILE, rng_.Data(rng_.Pick(kSizes))}, e.file = file; break;
        case 2: e.val = DwordVal(static_cast<uint32_t>(rng_.Next())); break;
        case 3: e.val = Val{VAL_BINARY, {}}; break;
        case 4: e.val = Val{VAL_MISSING_FILE, TextBytes(file)}, e.file = file; break;
        default: e.val = Val{VAL_BINARY, rng_.Data(256 + rng_.Below(600))}; break; // large, yet inline
        }
        return e;
    case 1: {
        std::vector<std::pair<std::wstring, std::wstring>> values;
        for (const auto& [path, key] : world_.store)
            if (!IsChainKeyPath(path))
                for (const auto& [lower, value] : key.values) values.push_back({key.path, value.first});
        if (values.empty()) return RandomEvent();
        e.kind = Event::DELETE_VALUE;
        std::tie(e.key, e.name) = rng_.Pick(values);
        return e;
    }
    case 2:
        e.kind = Event::SET_CHAIN;
        e.name = rng_.Pick(kStoreChainIds);
        e.chain = Chain{rng_.Pick(kChainNames), e.name, static_cast<uint32_t>(rng_.Below(4)),
                        static_cast<uint32_t>(rng_.Below(3)), {}};
        e.val = rng_.OneIn(3) ? Val{VAL_FILE, rng_.Data(300)} : Val{VAL_BINARY, rng_.Data(1 + rng_.Below(40))};
        if (e.val.kind == VAL_FILE) e.file = file;
        e.chain.stream = e.val.data;
        return e;
    default: {
        std::vector<std::wstring> ids;
        for (const auto& [path, key] : world_.store)
            if (std::wstring id; IsChainKeyPath(path, &id) && !key.values.empty()) ids.push_back(key.path.substr(key.path.rfind(L'\\') + 1));
        if (ids.empty()) return RandomEvent();
        e.kind = Event::DELETE_CHAIN;
        e.name = rng_.Pick(ids);
        return e;
    }
    }
}

// Draws events and applies them to the model's store; to the real store too unless events collects them for the
// question hook to apply.
void Fuzzer::ExternalEvents(size_t count, std::vector<Event>* events) {
    for (size_t i = 0; i < count; ++i) {
        Event e = RandomEvent();
        ApplyToModelStore(e, world_.store);
        if (events) events->push_back(e);
        else {
            ApplyToRealStore(e);
            Note("  " + DescribeEvent(e));
        }
    }
}

void Fuzzer::Reload() {
    LoadSystemCatalogue(*model_);
    world_.Reload();
}

// What the frame does after an edit: show what the store really holds when a write failed.
void Fuzzer::AfterEdit(const EditOutcome& outcome) {
    if (outcome.reloadSystem) {
        Note("  the core asks for a reload (a store write failed, or a rename found the item changed)");
        Reload();
    } else if (outcome.changed && outcome.side == SIDE_SYSTEM && SettleSystemPlugInNames(*model_) < 0) {
        Note("  the plug-in names could not be settled");
        Reload();
    }
}

Selection Fuzzer::RandomSelection(CatalogueSide side, std::string* text) {
    tKVLANG* language = model_->language;
    const PlugInList* plugIns = model_->plugIns[side];
    const ChainList* chains = model_->chains[side];
    std::vector<std::wstring> plugInNames, chainNames;
    for (int i = 0; plugIns && i < plugIns->Count(); ++i) plugInNames.push_back(DisplayName(*plugIns->At(i), language));
    for (int i = 0; chains && i < chains->Count(); ++i) chainNames.push_back(chains->At(i)->name);
    // Some of the rows of a list, in list order, now and then one twice or one that is gone.
    auto some = [&](const std::vector<std::wstring>& rows) {
        std::vector<std::wstring> picked;
        for (const std::wstring& row : rows)
            if (rng_.OneIn(2)) picked.push_back(row);
        if (picked.empty() && !rows.empty()) picked.push_back(rng_.Pick(rows));
        if (!rows.empty() && rng_.OneIn(10)) picked.push_back(rng_.Pick(rows));
        if (rng_.OneIn(20)) picked.push_back(L"Gone");
        return picked;
    };
    Selection selection;
    selection.side = side;
    selection.focusedPane = PANE_LIST;
    size_t kind = rng_.Weighted({side == SIDE_PACKAGE ? 4u : 0u, 4, 3, 8, side == SIDE_PACKAGE ? 3u : 0u, 6, 14, 8});
    if (plugInNames.empty() && (kind == 3 || kind == 6)) kind = 1;
    switch (kind) {
    case 0: selection.focusedPane = PANE_TREE, selection.nodeKind = NODE_ROOT, selection.names = {L"package"}; break;
    case 1: selection.focusedPane = PANE_TREE, selection.nodeKind = NODE_PLUGINS;
            selection.names = {KvGetString(language, IDS_FOLDER_PLUGINS)}; break;
    case 2: selection.focusedPane = PANE_TREE, selection.nodeKind = NODE_CHAINS;
            selection.names = {KvGetString(language, IDS_FOLDER_CHAINS)}; break;
    case 3: selection.focusedPane = PANE_TREE, selection.nodeKind = NODE_PLUGIN;
            selection.names = {rng_.Pick(plugInNames)}; break;
    case 4: selection.nodeKind = NODE_ROOT;
            selection.names = some({KvGetString(language, IDS_FOLDER_PLUGINS), KvGetString(language, IDS_FOLDER_CHAINS)});
            break;
    case 5: selection.nodeKind = NODE_PLUGINS, selection.names = some(plugInNames); break;
    case 6: {
        selection.nodeKind = NODE_PLUGIN;
        selection.parent = rng_.Pick(plugInNames);
        const PlugInEntry* plugIn = plugIns->FindEntryByName(selection.parent.c_str(), language);
        std::vector<std::wstring> rows;
        for (int i = 0; plugIn && i < plugIn->PresetCount(); ++i) rows.push_back(plugIn->PresetAt(i)->name.c_str());
        selection.names = some(rows);
        break;
    }
    default: selection.nodeKind = NODE_CHAINS, selection.names = some(chainNames); break;
    }
    static const char* const kinds[] = {"", "root", "plug-ins", "plug-in", "preset", "chains", "chain"};
    *text += std::string(selection.focusedPane == PANE_TREE ? "tree node " : "rows under ") + kinds[selection.nodeKind] +
            (selection.parent.empty() ? "" : " " + Quoted(selection.parent)) + ":";
    for (const std::wstring& name : selection.names) *text += " " + Quoted(name);
    return selection;
}

std::vector<WalkItem> Fuzzer::Walk(const Selection& selection) {
    Recorder recorder;
    WalkSelection(*model_, selection, recorder);
    return std::move(recorder.items);
}

bool Fuzzer::ExistsOnSystem(const std::wstring& key, const std::wstring& name) const {
    auto shown = world_.system.presets.find(Lower(key));
    if (shown != world_.system.presets.end() && shown->second.count(Lower(name))) return true;
    auto stored = world_.store.find(Lower(key));
    return stored != world_.store.end() && stored->second.values.count(Lower(name));
}

bool Fuzzer::ChainExistsOnSystem(const std::wstring& name) const {
    for (const Chain& chain : world_.system.chains)
        if (SameName(chain.name, name)) return true;
    // Any chain key whose name text matches holds the name, whether or not the loader can show its chain.
    for (const auto& [path, key] : world_.store)
        if (std::optional<std::wstring> stored = StoredChainName(key); IsChainKeyPath(path) && stored && SameName(*stored, name))
            return true;
    return false;
}

// The overwrite question the model expects, with a drawn answer and what happens while it is open.
Expect Fuzzer::Question(const std::wstring& name, size_t affected, std::string* text) {
    Expect expect;
    expect.name = name;
    expect.buttons = affected <= 1 ? KVMB_YESNOCANCEL : KVMB_YESYESALLNONOALLCANCEL;
    static const int three[] = {IDYES, IDNO, IDCANCEL}, five[] = {IDYES, KVMB_ID_YESTOALL, IDNO, KVMB_ID_NOTOALL, IDCANCEL};
    expect.answer = affected <= 1 ? three[rng_.Weighted({45, 40, 15})] : five[rng_.Weighted({30, 15, 25, 15, 15})];
    if (rng_.OneIn(3) && !g_calm) ExternalEvents(1 + rng_.Below(2), &expect.events);
    expect.reload = rng_.OneIn(3) && !g_calm;
    static const char* const names[] = {"", "", "Cancel", "", "", "", "Yes", "No"};
    *text += " [" + Quoted(name) + "? " +
             (expect.answer == KVMB_ID_YESTOALL ? "Yes to All" : expect.answer == KVMB_ID_NOTOALL ? "No to All" : names[expect.answer]);
    for (const Event& e : expect.events) *text += "; " + DescribeEvent(e);
    if (expect.reload) *text += "; reload";
    *text += "]";
    return expect;
}

void Fuzzer::CopyStep(CatalogueSide from) {
    const bool toSystem = from == SIDE_PACKAGE;
    std::string text = toSystem ? "copy to system, " : "copy to file, ";
    Selection selection = RandomSelection(from, &text);
    CopyOptions options;
    options.answer = static_cast<AnswerMode>(rng_.Weighted({90, 5, 5}));
    if (options.answer != ANSWER_ASK) text += options.answer == ANSWER_YES_TO_ALL ? " (yes to all)" : " (no to all)";
    std::vector<WalkItem> items = Walk(selection);

    // The model: record as the questions are answered, then apply as one step.
    uint32_t mode = options.answer;
    bool cancelled = false, reload = false;
    struct Planned {
        const WalkItem* item;
        std::wstring key;
    };
    std::vector<Planned> planned;
    const Version destination = kDestinations[destination_];
    for (const WalkItem& item : items) {
        std::wstring key, name = item.chain ? item.chainRecord.name : item.preset.name;
        bool exists;
        if (item.chain) {
            exists = toSystem ? ChainExistsOnSystem(name)
                              : std::any_of(world_.package.chains.begin(), world_.package.chains.end(),
                                            [&](const Chain& c) { return SameName(c.name, name); });
        } else {
            const PlugInEntry& p = *item.plugIn;
            key = KeyPath(p);
            if (toSystem && (p.flags & PLUGIN_LATHMERE_TOOL) &&
                (p.majorVersion != destination.major || p.minorVersion != destination.minor))
                key = KeyPath(PLUGIN_LATHMERE_TOOL | (destination.major > 6 ? PLUGIN_LATHMERE_VERSIONED : 0), L"",
                              p.name, destination.major, destination.minor);
            exists = toSystem ? ExistsOnSystem(key, name)
                              : world_.package.presets.count(Lower(key)) &&
                                    world_.package.presets.at(Lower(key)).count(Lower(name));
        }
        if (exists && mode == ANSWER_NO_TO_ALL) continue;
        if (exists && mode == ANSWER_ASK) {
            Expect expect = Question(name, items.size(), &text);
            reload = reload || expect.reload;
            const int answer = expect.answer;
            expects_.push_back(std::move(expect));
            if (answer == IDCANCEL) {
                cancelled = true;
                break;
            }
            if (answer == KVMB_ID_YESTOALL) mode = ANSWER_YES_TO_ALL;
            if (answer == KVMB_ID_NOTOALL) mode = ANSWER_NO_TO_ALL;
            if (answer == IDNO || answer == KVMB_ID_NOTOALL) continue;
        }
        planned.push_back({&item, key});
    }
    if (!cancelled) {
        editmodel::Step step;
        step.packageSide = !toSystem;
        for (const Planned& p : planned) {
            if (p.item->chain && toSystem)
                for (Act& act : world_.WriteChain(p.item->chainRecord)) step.acts.push_back(act);
            else if (p.item->chain)
                step.acts.push_back(world_.PutPackageChain(p.item->chainRecord));
            else if (toSystem)
                step.acts.push_back(world_.WriteValue(p.key, p.item->preset.name,
                                                      StoredForm(p.item->preset.data, IsLathmereKeyPath(p.key))));
            else
                step.acts.push_back(world_.PutPackagePreset(p.key, p.item->preset));
        }
        world_.Commit(std::move(step));
    }
    if (reload) world_.Reload(); // the refresh asked for while a question was open runs once the copy is over
    Note(text);

    EditSession session{*model_, *history_, nullptr, CurrentLathmereDestination(*model_)};
    CopyOutcome outcome;
    CopySelection(session, selection, options, &outcome);
    if (problem_.empty() && !expects_.empty())
        problem_ = "the model expected a question about " + Quoted(expects_.front().name) + " that was not asked";
    expects_.clear();
    AfterEdit(outcome);
}

void Fuzzer::DeleteStep(CatalogueSide side) {
    std::string text = side == SIDE_SYSTEM ? "delete on system, " : "delete in package, ";
    Selection selection = RandomSelection(side, &text);
    std::vector<WalkItem> items = Walk(selection);
    editmodel::Step step;
    step.packageSide = side == SIDE_PACKAGE;
    for (const WalkItem& item : items) {
        if (item.chain && side == SIDE_SYSTEM)
            step.acts.push_back(world_.RemoveChain(item.chainRecord));
        else if (item.chain)
            step.acts.push_back(world_.Remove(Loc{LOC_PACKAGE_CHAIN, L"", item.chainRecord.name}));
        else
            step.acts.push_back(world_.Remove(
                Loc{side == SIDE_SYSTEM ? LOC_VALUE : LOC_PACKAGE_PRESET, KeyPath(*item.plugIn), item.preset.name}));
    }
    world_.Commit(std::move(step));
    Note(text);
    EditSession session{*model_, *history_, nullptr, CurrentLathmereDestination(*model_)};
    EditOutcome outcome;
    DeleteSelection(session, selection, &outcome);
    AfterEdit(outcome);
}

void Fuzzer::RenameStep(CatalogueSide side) {
    tKVLANG* language = model_->language;
    const PlugInList* plugIns = model_->plugIns[side];
    const ChainList* chains = model_->chains[side];
    Selection selection;
    selection.side = side;
    selection.focusedPane = PANE_LIST;
    const PlugInEntry* plugIn = nullptr;
    Chain shownChain;
    if (plugIns && plugIns->Count() && !rng_.OneIn(4)) {
        plugIn = plugIns->At(static_cast<int>(rng_.Below(plugIns->Count())));
        selection.nodeKind = NODE_PLUGIN;
        selection.parent = DisplayName(*plugIn, language);
        // The list is found again by the tree node's text; two plug-ins of one text are not the model's business.
        if (plugIns->FindEntryByName(selection.parent.c_str(), language) != plugIn || !plugIn->PresetCount()) return;
        selection.names = {plugIn->PresetAt(static_cast<int>(rng_.Below(plugIn->PresetCount())))->name.c_str()};
    } else if (chains && chains->Count()) {
        selection.nodeKind = NODE_CHAINS;
        selection.parent = KvGetString(language, IDS_FOLDER_CHAINS);
        const ChainEntry* c = chains->At(static_cast<int>(rng_.Below(chains->Count())));
        selection.names = {c->name};
        c = chains->FindEntryByName(c->name); // the one the rename finds by that name
        // The side's chain list is not modelled (see CompareSides): the renamed chain is taken as the side shows it.
        shownChain = Chain{c->name, c->identifier, c->flags, c->type, Bytes(c->stream, c->stream + c->streamSize)};
    } else {
        return;
    }
    const std::wstring oldName = selection.names.front();
    std::wstring newName = rng_.Pick(kNewNames);
    if (rng_.OneIn(8)) newName = std::wstring(63 + rng_.Below(2), L'n');
    if (rng_.OneIn(8)) newName = Lower(oldName) == oldName ? Lower(oldName) + L"X" : Lower(oldName);
    std::string text = std::string("rename ") + (side == SIDE_SYSTEM ? "on system" : "in package") +
                       (plugIn ? " under " + Quoted(selection.parent) : " chain") + " " + Quoted(oldName) + " to " +
                       Quoted(newName);

    // The model.
    const std::wstring key = plugIn ? Lower(KeyPath(*plugIn)) : L"";
    SideView& view = side == SIDE_SYSTEM ? world_.system : world_.package;
    auto chainAt = [&](const std::wstring& name) {
        return std::find_if(view.chains.begin(), view.chains.end(), [&](const Chain& c) { return SameName(c.name, name); });
    };
    bool taken = plugIn ? view.presets.count(key) && view.presets[key].count(Lower(newName)) : chainAt(newName) != view.chains.end();
    const bool shown = taken;
    if (side == SIDE_SYSTEM) taken = taken || (plugIn ? ExistsOnSystem(key, newName) : ChainExistsOnSystem(newName));
    Expect warning;
    warning.question = false;
    warning.warningId = newName.size() >= 64 ? IDS_NAME_TOO_LONG : IDS_NAME_CONFLICT;
    if (newName.size() >= 64 || (taken && !SameName(oldName, newName))) {
        if (rng_.OneIn(3) && !g_calm) ExternalEvents(1, &warning.events);
        warning.reload = rng_.OneIn(3) && !g_calm;
        for (const Event& e : warning.events) text += "; " + DescribeEvent(e);
        if (warning.reload) text += "; reload";
        expects_.push_back(warning);
    } else if (!taken && plugIn && side == SIDE_PACKAGE) {
        Preset preset = view.presets[key][Lower(oldName)];
        world_.Set(Loc{LOC_PACKAGE_PRESET, key, oldName}, Content());
        preset.name = newName;
        world_.Set(Loc{LOC_PACKAGE_PRESET, key, newName}, PackagePresetContent(preset));
    } else if (!taken && plugIn) {
        // Only what the store still holds as shown is renamed; else nothing is written and the side is reloaded.
        Bytes data = view.presets[key][Lower(oldName)].data;
        const Content stored = world_.Get(Loc{LOC_VALUE, key, oldName});
        if (stored.present && Loadable(stored.values.front().second) && stored.values.front().second.data == data) {
            world_.WriteValue(key, newName, StoredForm(data, IsLathmereKeyPath(key)));
            world_.Remove(Loc{LOC_VALUE, key, oldName});
        }
    } else if (!taken && side == SIDE_PACKAGE) {
        chainAt(oldName)->name = newName;
    } else if (!taken) {
        auto held = world_.store.find(ChainKeyPath(shownChain.id));
        std::optional<Chain> stored = held == world_.store.end() ? std::nullopt : ChainOfKey(held->second, shownChain.id);
        if (stored && SameName(stored->name, shownChain.name) && stored->flags == shownChain.flags &&
            stored->type == shownChain.type && stored->stream == shownChain.stream) {
            Chain chain = shownChain;
            chain.name = newName;
            world_.Rewrite(Loc{LOC_CHAIN_KEY, L"", chain.id}, ChainKeyContent(chain.id, chain, StoredForm(chain.stream, false)));
        }
    }
    if (warning.reload) world_.Reload();
    Note(text);

    EditSession session{*model_, *history_, nullptr, CurrentLathmereDestination(*model_)};
    EditOutcome outcome;
    RenameListItem(session, selection, newName.c_str(), &outcome);
    if (problem_.empty() && !expects_.empty())
        problem_ = std::string("the model expected a rename warning that was not shown") +
                   (newName.size() >= 64 ? " (too long)" : shown ? " (the side shows that name)"
                                                                 : " (only the store holds that name, unloaded)");
    expects_.clear();
    AfterEdit(outcome);
}

void Fuzzer::NewPackage() {
    auto* plugIns = new PlugInList();
    auto* chains = new ChainList();
    world_.package = SideView();
    for (const Shape& shape : kShapes) {
        if (!rng_.OneIn(2)) continue;
        auto* entry = PlugInEntry::Create(shape.name, shape.classId);
        entry->flags = shape.flags, entry->majorVersion = shape.major, entry->minorVersion = shape.minor;
        for (size_t n = 1 + rng_.Below(3); n > 0; --n) {
            Preset preset{rng_.Pick(kPresetNames), rng_.Data(rng_.Pick(kSizes))};
            if (entry->FindPreset(preset.name.c_str())) continue;
            auto* made = PresetEntry::Create(preset.name.c_str());
            uint8_t* blob = CatalogueBlobAlloc(static_cast<uint32_t>(preset.data.size()));
            std::copy(preset.data.begin(), preset.data.end(), blob);
            made->AdoptData(blob, static_cast<uint32_t>(preset.data.size()));
            entry->AppendPreset(made);
            world_.package.presets[Lower(KeyPath(shape))][Lower(preset.name)] = preset;
        }
        plugIns->Append(entry);
    }
    for (size_t n = rng_.Below(3); n > 0; --n) {
        Chain chain{rng_.Pick(kChainNames), rng_.Pick(kChainIds), static_cast<uint32_t>(rng_.Below(4)), 0,
                    rng_.Data(rng_.OneIn(3) ? 300 : 20)};
        if (chains->FindByName(chain.name.c_str()) >= 0) continue;
        auto* made = new ChainEntry();
        CatalogueCopyText(made->name, CATALOGUE_NAME_CHARS, chain.name.c_str());
        CatalogueCopyText(made->identifier, CATALOGUE_ID_CHARS, chain.id.c_str());
        made->flags = chain.flags;
        uint8_t* blob = CatalogueBlobAlloc(static_cast<uint32_t>(chain.stream.size()));
        std::copy(chain.stream.begin(), chain.stream.end(), blob);
        made->AdoptStream(blob, static_cast<uint32_t>(chain.stream.size()));
        chains->Append(made);
        world_.package.chains.push_back(chain);
    }
    std::string text = "new package:";
    for (const auto& [key, presets] : world_.package.presets)
        for (const auto& [lower, preset] : presets)
            text += " " + Narrow(key.substr(key.rfind(L'\\') + 1)) + "/" + Quoted(preset.name) + " " +
                    Describe(Val{VAL_BINARY, preset.data}) + ";";
    for (const Chain& chain : world_.package.chains) text += std::string(" chain ") + DescribeChain(chain) + ";";
    Note(text);
    delete model_->plugIns[SIDE_PACKAGE];
    delete model_->chains[SIDE_PACKAGE];
    model_->plugIns[SIDE_PACKAGE] = plugIns;
    model_->chains[SIDE_PACKAGE] = chains;
    history_->ClearHistory();
    world_.undo.clear();
    world_.redo.clear();
}

bool Fuzzer::Step() {
    switch (rng_.Weighted({20, 15, 7, 8, 4, 5, 12, 7, 5, 10, 3, 1})) {
    case 0: CopyStep(SIDE_PACKAGE); break;
    case 1: CopyStep(SIDE_SYSTEM); break;
    case 2: DeleteStep(SIDE_PACKAGE); break;
    case 3: DeleteStep(SIDE_SYSTEM); break;
    case 4: RenameStep(SIDE_PACKAGE); break;
    case 5: RenameStep(SIDE_SYSTEM); break;
    case 6: {
        Note("undo");
        world_.Undo();
        EditOutcome outcome;
        history_->UndoEdit(*model_, &outcome);
        AfterEdit(outcome);
        break;
    }
    case 7: {
        Note("redo");
        world_.Redo();
        EditOutcome outcome;
        history_->RedoEdit(*model_, &outcome);
        AfterEdit(outcome);
        break;
    }
    case 8: Note("reload"); Reload(); break;
    case 9: Note("another program:"); ExternalEvents(1 + rng_.Below(3), nullptr); break;
    case 10:
        destination_ = static_cast<int>(rng_.Below(kDestinations.size()));
        model_->selectedDestination = destination_;
        Note("choose Lathmere destination " + std::to_string(kDestinations[destination_].major) + "." +
             std::to_string(kDestinations[destination_].minor));
        break;
    default: NewPackage(); break;
    }
    if (problem_.empty()) problem_ = Check();
    if (trace_) {
        std::string shown = "      system chains:";
        for (const Chain& c : world_.system.chains) shown += " " + Quoted(c.name) + "@" + Narrow(c.id);
        printf("%s\n", shown.c_str());
    }
    return problem_.empty();
}

std::string Fuzzer::Check() {
    Store real = ReadRealStore();
    // Chain identifiers the core had to make up are learnt from the first store that shows them.
    for (int n = 1; n <= world_.freshIds; ++n) {
        const std::wstring placeholder = L"?" + std::to_wstring(n);
        auto modelKey = world_.store.find(ChainKeyPath(placeholder));
        if (modelKey == world_.store.end()) continue;
        for (const auto& [path, key] : real) {
            std::wstring id;
            if (!IsChainKeyPath(path, &id) || world_.store.count(path)) continue;
            std::vector<std::pair<std::wstring, Val>> a, b;
            for (const auto& [name, value] : key.values) a.push_back({name, value.second});
            for (const auto& [name, value] : modelKey->second.values) b.push_back({name, value.second});
            if (a != b) continue;
            world_.Bind(placeholder, key.path.substr(key.path.rfind(L'\\') + 1));
            break;
        }
    }
    if (std::string diff = CompareStores(world_.store, real); !diff.empty()) return diff;
    std::string duplicate;
    SideView package = ViewOf(model_->plugIns[SIDE_PACKAGE], model_->chains[SIDE_PACKAGE], &duplicate);
    SideView system = ViewOf(model_->plugIns[SIDE_SYSTEM], model_->chains[SIDE_SYSTEM], &duplicate);
    if (!duplicate.empty()) return duplicate;
    if (std::string diff = CompareSides("package", world_.package, package, true); !diff.empty()) return diff;
    if (std::string diff = CompareSides("system", world_.system, system, false); !diff.empty()) return diff;
    if (history_->undoSteps.Count() != static_cast<int>(world_.undo.size()) ||
        history_->redoSteps.Count() != static_cast<int>(world_.redo.size()))
        return "history: expected " + std::to_string(world_.undo.size()) + " undo and " +
               std::to_string(world_.redo.size()) + " redo steps, found " + std::to_string(history_->undoSteps.Count()) +
               " and " + std::to_string(history_->redoSteps.Count());
    return "";
}

// ---- Running

struct Run {
    uint64_t seed = 0, episode = 0, steps = 0, stepInEpisode = 0;
    const std::vector<std::string>* log = nullptr;
} g_run;

void PrintEpisode(const char* what) {
    printf("%s after %llu steps, seed %llu: episode %llu, step %llu of it\n", what,
           static_cast<unsigned long long>(g_run.steps), static_cast<unsigned long long>(g_run.seed),
           static_cast<unsigned long long>(g_run.episode), static_cast<unsigned long long>(g_run.stepInEpisode));
    if (g_run.log) {
        printf("steps of the episode (each on a fresh store and package):\n");
        for (size_t i = 0; i < g_run.log->size(); ++i) printf("%4zu %s\n", i + 1, (*g_run.log)[i].c_str());
    }
    printf("replay: edit_fuzz %llu %llu %llu\n", static_cast<unsigned long long>(g_run.stepInEpisode),
           static_cast<unsigned long long>(g_run.seed), static_cast<unsigned long long>(g_run.episode));
    fflush(stdout);
}

LONG WINAPI OnCrash(EXCEPTION_POINTERS* info) {
    printf("CRASH: exception 0x%08lX\n", info->ExceptionRecord->ExceptionCode);
    PrintEpisode("crash");
    ExitProcess(3);
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    for (; argc > 1 && wcsncmp(argv[argc - 1], L"--", 2) == 0; --argc) {
        g_calm = g_calm || wcscmp(argv[argc - 1], L"--calm") == 0;
    }
    if (argc < 3 || argc > 4) {
        printf("usage: edit_fuzz <steps> <seed> [episode] [--calm]\n");
        return 2;
    }
    if (!testsupport::InThrowawayStore()) {
        printf("edit_fuzz: refusing to run: this store does not carry the throwaway mark\n");
        return 2;
    }
    const uint64_t steps = _wcstoui64(argv[1], nullptr, 10), seed = _wcstoui64(argv[2], nullptr, 10);
    const bool replay = argc == 4;
    const uint64_t only = replay ? _wcstoui64(argv[3], nullptr, 10) : 0;
    tKVLANG* language = nullptr;
    KvLang_Open(&language, GetModuleHandleW(nullptr), 3, 0);
    RegSetKeyValueW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kAlpha).c_str(), nullptr, REG_SZ, L"Alpha", 12);
    RegSetKeyValueW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + kBeta).c_str(), nullptr, REG_SZ, L"Beta", 10);
    SetUnhandledExceptionFilter(OnCrash);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring scratch = std::wstring(temp) + L"tarrow-edit-fuzz-" + std::to_wstring(GetCurrentProcessId());

    LARGE_INTEGER frequency, start, end;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&start);
    g_run.seed = seed;
    int status = 0;
    for (uint64_t episode = replay ? only : 0; g_run.steps < steps && status == 0; ++episode) {
        Fuzzer fuzzer(seed, episode, scratch, replay);
        g_run.episode = episode;
        g_run.stepInEpisode = 0;
        g_run.log = &fuzzer.log();
        if (replay) printf("episode %llu\n", static_cast<unsigned long long>(episode));
        fuzzer.Begin(language);
        for (size_t length = fuzzer.Length(); g_run.stepInEpisode < length && g_run.steps < steps; ) {
            ++g_run.steps, ++g_run.stepInEpisode;
            if (!fuzzer.Step()) {
                printf("DIVERGENCE: %s\n", fuzzer.problem().c_str());
                PrintEpisode("divergence");
                status = 1;
                break;
            }
        }
        g_run.log = nullptr;
        if (replay) break;
    }
    QueryPerformanceCounter(&end);
    for (const wchar_t* key : {L"Software\\DirectShow", L"Software\\Moravel", STORE_LATHMERE_VERSIONS_KEY})
        RegDeleteTreeW(HKEY_CURRENT_USER, key);
    for (const wchar_t* id : {kAlpha, kBeta}) RegDeleteTreeW(HKEY_CLASSES_ROOT, (std::wstring(L"CLSID\\") + id).c_str());
    testsupport::RemoveTree(scratch);
    printf("edit_fuzz: %llu steps in %.1f seconds, seed %llu: %s\n", static_cast<unsigned long long>(g_run.steps),
           double(end.QuadPart - start.QuadPart) / double(frequency.QuadPart), static_cast<unsigned long long>(seed),
           status == 0 ? "no divergence" : "divergence");
    return status;
}
