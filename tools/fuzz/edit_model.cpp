// The plain model of tools/edit_fuzz: store, package and system view, and the edits over them.
#include "edit_model.h"
#include <algorithm>
#include <cwctype>

namespace editmodel {

namespace {

const std::wstring kPresetsRoot = L"software\\directshow\\presets";
const std::wstring kChainsRoot = kPresetsRoot + L"\\fx packages";
const std::wstring kLathmereRoot = L"software\\moravel\\lathmere\\presets";
const std::wstring kVersionsRoot = L"software\\varden media software\\lathmere";

std::wstring ParentOf(const std::wstring& path, std::wstring* leaf) {
    size_t cut = path.rfind(L'\\');
    if (cut == std::wstring::npos) return L"";
    if (leaf) *leaf = path.substr(cut + 1);
    return path.substr(0, cut);
}

// A key whose values the loader reads as presets; skipUntitled for DirectShow plug-ins.
bool IsPresetKeyPath(const std::wstring& path, bool* skipUntitled) {
    std::wstring leaf, parent = ParentOf(Lower(path), &leaf);
    *skipUntitled = parent == kPresetsRoot;
    if (parent == kPresetsRoot) return leaf != L"fx packages";
    if (parent == kLathmereRoot || (parent.starts_with(kVersionsRoot + L"\\") && parent.ends_with(L"\\presets")))
        return leaf != L"(untitled)" && leaf != L"chainer";
    return false;
}

const Val* ValueOf(const StoreKey& key, const wchar_t* lowerName) {
    auto found = key.values.find(lowerName);
    return found == key.values.end() ? nullptr : &found->second.second;
}

std::wstring TextOf(const Bytes& bytes) {
    std::wstring text(bytes.size() / 2, L'\0');
    for (size_t i = 0; i < text.size(); ++i) text[i] = static_cast<wchar_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return text;
}

uint32_t DwordOf(const Val& val) {
    uint32_t value = 0;
    for (size_t i = 0; i < 4 && i < val.data.size(); ++i) value |= static_cast<uint32_t>(val.data[i]) << (8 * i);
    return value;
}

const Val* FindContentValue(const Content& content, const wchar_t* name) {
    for (const auto& [key, val] : content.values)
        if (key == name) return &val;
    return nullptr;
}

} // namespace

bool Loadable(const Val& val) { return (val.kind == VAL_BINARY || val.kind == VAL_FILE) && !val.data.empty(); }

std::wstring Lower(const std::wstring& text) {
    std::wstring lower = text;
    for (wchar_t& c : lower) c = static_cast<wchar_t>(std::towlower(c));
    return lower;
}

bool SameName(const std::wstring& a, const std::wstring& b) { return Lower(a) == Lower(b); }

std::string Narrow(const std::wstring& text) {
    std::string narrow;
    for (wchar_t c : text) narrow += (c > 0 && c < 0x80) ? static_cast<char>(c) : '?';
    return narrow;
}

std::string Describe(const Val& val) {
    static const char* const kinds[] = {"binary", "file", "missing file", "dword", "text", "other type"};
    uint32_t hash = 2166136261u;
    for (uint8_t b : val.data) hash = (hash ^ b) * 16777619u;
    std::string text = std::string(kinds[val.kind]) + " " + std::to_string(val.data.size()) + " bytes #" +
                       std::to_string(hash);
    if (val.kind == VAL_TEXT || val.kind == VAL_MISSING_FILE) text += " \"" + Narrow(TextOf(val.data)) + "\"";
    return text;
}

Bytes TextBytes(const std::wstring& text) {
    Bytes bytes;
    for (wchar_t c : text) {
        bytes.push_back(static_cast<uint8_t>(c & 0xFF));
        bytes.push_back(static_cast<uint8_t>(c >> 8));
    }
    return bytes;
}

Val DwordVal(uint32_t value) {
    return Val{VAL_DWORD, {uint8_t(value), uint8_t(value >> 8), uint8_t(value >> 16), uint8_t(value >> 24)}};
}

Val StoredForm(const Bytes& data, bool lathmere) {
    return Val{lathmere || data.size() < 256 ? VAL_BINARY : VAL_FILE, data};
}

std::wstring ChainKeyPath(const std::wstring& id) { return kChainsRoot + L"\\" + Lower(id); }

bool IsChainKeyPath(const std::wstring& path, std::wstring* id) {
    std::wstring leaf;
    return ParentOf(Lower(path), &leaf) == kChainsRoot && (!id || (*id = leaf, true));
}

bool IsLathmereKeyPath(const std::wstring& path) {
    std::wstring lower = Lower(path);
    return lower.starts_with(kLathmereRoot + L"\\") || lower.starts_with(kVersionsRoot + L"\\");
}

std::optional<Chain> ChainOfKey(const StoreKey& key, const std::wstring& id) {
    const Val *flags = ValueOf(key, L"flags"), *type = ValueOf(key, L"type"), *name = ValueOf(key, L"name"),
              *stream = ValueOf(key, L"stream");
    if (!flags || flags->kind != VAL_DWORD || !type || type->kind != VAL_DWORD || !name || name->kind != VAL_TEXT ||
        !stream || !Loadable(*stream))
        return std::nullopt;
    return Chain{TextOf(name->data), id, DwordOf(*flags), DwordOf(*type), stream->data};
}

std::optional<std::wstring> StoredChainName(const StoreKey& key) {
    const Val* name = ValueOf(key, L"name");
    if (!name || name->kind != VAL_TEXT) return std::nullopt;
    return TextOf(name->data);
}

Content ValueContent(const std::wstring& name, const Val& val) { return Content{true, name, {{L"", val}}}; }

Content ChainKeyContent(const std::wstring& id, const Chain& chain, const Val& stream) {
    return Content{true, id,
                   {{L"flags", DwordVal(chain.flags)},
                    {L"name", Val{VAL_TEXT, TextBytes(chain.name)}},
                    {L"stream", stream},
                    {L"type", DwordVal(chain.type)}}};
}

Content PackagePresetContent(const Preset& preset) {
    return Content{true, preset.name, {{L"", Val{VAL_BINARY, preset.data}}}};
}

Content PackageChainContent(const Chain& chain) {
    return Content{true, chain.name,
                   {{L"flags", DwordVal(chain.flags)},
                    {L"id", Val{VAL_TEXT, TextBytes(chain.id)}},
                    {L"stream", Val{VAL_BINARY, chain.stream}},
                    {L"type", DwordVal(chain.type)}}};
}

Preset PresetOfContent(const Content& content) {
    const Val* data = FindContentValue(content, L"");
    return Preset{content.name, data ? data->data : Bytes()};
}

Chain ChainOfContent(const Content& content) {
    Chain chain;
    chain.name = content.name;
    if (const Val* id = FindContentValue(content, L"id")) chain.id = TextOf(id->data);
    if (const Val* flags = FindContentValue(content, L"flags")) chain.flags = DwordOf(*flags);
    if (const Val* type = FindContentValue(content, L"type")) chain.type = DwordOf(*type);
    if (const Val* stream = FindContentValue(content, L"stream")) chain.stream = stream->data;
    return chain;
}

// ---- World

Content World::Get(const Loc& loc) const {
    Content content;
    switch (loc.kind) {
    case LOC_VALUE: {
        auto key = store.find(Lower(loc.key));
        if (key == store.end()) break;
        auto value = key->second.values.find(Lower(loc.name));
        if (value != key->second.values.end()) content = ValueContent(value->second.first, value->second.second);
        break;
    }
    case LOC_CHAIN_KEY: {
        auto key = store.find(ChainKeyPath(loc.name));
        if (key == store.end() || key->second.values.empty()) break;
        content.present = true;
        content.name = loc.name;
        for (const auto& [lower, value] : key->second.values) content.values.push_back({lower, value.second});
        break;
    }
    case LOC_PACKAGE_PRESET: {
        auto plugIn = package.presets.find(Lower(loc.key));
        if (plugIn == package.presets.end()) break;
        auto preset = plugIn->second.find(Lower(loc.name));
        if (preset != plugIn->second.end()) content = PackagePresetContent(preset->second);
        break;
    }
    case LOC_PACKAGE_CHAIN:
        for (const Chain& chain : package.chains)
            if (SameName(chain.name, loc.name)) content = PackageChainContent(chain);
        break;
    }
    return content;
}

void World::Set(const Loc& loc, const Content& content) {
    switch (loc.kind) {
    case LOC_VALUE: {
        StoreKey& key = store[Lower(loc.key)];
        if (key.path.empty()) key.path = loc.key;
        auto existing = key.values.find(Lower(loc.name));
        if (!content.present) {
            if (existing != key.values.end()) key.values.erase(existing);
        } else if (existing != key.values.end()) {
            existing->second.second = content.values.front().second; // the registry keeps the stored spelling
        } else {
            key.values[Lower(loc.name)] = {content.name.empty() ? loc.name : content.name,
                                           content.values.front().second};
        }
        RefreshValue(loc.key, loc.name);
        break;
    }
    case LOC_CHAIN_KEY: {
        StoreKey& key = store[ChainKeyPath(loc.name)];
        if (key.path.empty()) key.path = ChainKeyPath(loc.name);
        key.values.clear();
        if (content.present)
            for (const auto& [lower, val] : content.values) key.values[lower] = {lower, val};
        RefreshChainKey(loc.name);
        break;
    }
    case LOC_PACKAGE_PRESET: {
        auto& presets = package.presets[Lower(loc.key)];
        if (content.present) presets[Lower(loc.name)] = PresetOfContent(content);
        else presets.erase(Lower(loc.name));
        if (presets.empty()) package.presets.erase(Lower(loc.key));
        break;
    }
    case LOC_PACKAGE_CHAIN: {
        auto& chains = package.chains;
        auto at = std::find_if(chains.begin(), chains.end(), [&](const Chain& c) { return SameName(c.name, loc.name); });
        if (!content.present) {
            if (at != chains.end()) chains.erase(at);
        } else if (at != chains.end()) {
            *at = ChainOfContent(content);
        } else {
            chains.push_back(ChainOfContent(content));
        }
        break;
    }
    }
}

void World::Rewrite(const Loc& loc, const Content& content) {
    restoring_ = true;
    Set(loc, content);
    restoring_ = false;
}

void World::RefreshValue(const std::wstring& keyPath, const std::wstring& name) {
    const std::wstring key = Lower(keyPath), lowerName = Lower(name);
    bool skipUntitled = false;
    if (!IsPresetKeyPath(key, &skipUntitled)) return;
    auto& shown = system.presets[key];
    shown.erase(lowerName);
    auto stored = store.find(key);
    if (stored != store.end() && lowerName != L"(default)" && !(skipUntitled && lowerName == L"(untitled)")) {
        auto value = stored->second.values.find(lowerName);
        if (value != stored->second.values.end() && Loadable(value->second.second))
            shown[lowerName] = Preset{value->second.first, value->second.second.data};
    }
    if (shown.empty()) system.presets.erase(key);
}

// The side holds one chain of a name: a chain the key now shows takes the place of one of its name. Undo and Redo
// also drop what the side showed of the key before; a first application leaves other names of the key alone.
void World::RefreshChainKey(const std::wstring& id) {
    if (restoring_) std::erase_if(system.chains, [&](const Chain& chain) { return SameName(chain.id, id); });
    auto key = store.find(ChainKeyPath(id));
    if (key == store.end()) return;
    std::optional<Chain> chain = ChainOfKey(key->second, id);
    if (!chain) return;
    auto same = std::find_if(system.chains.begin(), system.chains.end(),
                             [&](const Chain& c) { return SameName(c.name, chain->name); });
    if (same != system.chains.end()) *same = *chain;
    else system.chains.push_back(*chain);
}

void World::Reload() {
    system = SideView();
    for (const auto& [path, key] : store) {
        std::wstring id;
        if (IsChainKeyPath(path, &id)) {
            if (std::optional<Chain> chain = ChainOfKey(key, id)) system.chains.push_back(*chain);
        } else
            for (const auto& [lower, value] : key.values) RefreshValue(path, lower);
    }
}

void World::Bind(const std::wstring& placeholder, const std::wstring& id) {
    auto node = store.extract(ChainKeyPath(placeholder));
    if (!node.empty()) {
        node.key() = ChainKeyPath(id);
        node.mapped().path = node.key();
        store.insert(std::move(node));
    }
    const Bytes placeholderText = TextBytes(placeholder);
    auto rename = [&](Content& content) {
        for (auto& [name, val] : content.values)
            if (name == L"id" && val.data == placeholderText) val.data = TextBytes(id);
    };
    for (std::vector<Chain>* chains : {&system.chains, &package.chains})
        for (Chain& chain : *chains)
            if (chain.id == placeholder) chain.id = id;
    for (std::vector<Step>* steps : {&undo, &redo})
        for (Step& step : *steps)
            for (Act& act : step.acts) {
                if (act.loc.kind == LOC_CHAIN_KEY && act.loc.name == placeholder) act.loc.name = id;
                rename(act.before);
                rename(act.after);
            }
}

Act World::WriteValue(const std::wstring& key, const std::wstring& name, const Val& val) {
    Act act{Loc{LOC_VALUE, key, name}, {}, ValueContent(name, val)};
    act.before = Get(act.loc);
    Set(act.loc, act.after);
    return act;
}

Act World::Remove(const Loc& loc) {
    Act act{loc, Get(loc), Content()};
    Set(loc, act.after);
    return act;
}

Act World::PutPackagePreset(const std::wstring& key, const Preset& preset) {
    Act act{Loc{LOC_PACKAGE_PRESET, key, preset.name}, {}, PackagePresetContent(preset)};
    act.before = Get(act.loc);
    Set(act.loc, act.after);
    return act;
}

Act World::PutPackageChain(const Chain& chain) {
    Act act{Loc{LOC_PACKAGE_CHAIN, L"", chain.name}, {}, PackageChainContent(chain)};
    act.before = Get(act.loc);
    Set(act.loc, act.after);
    return act;
}

std::vector<Act> World::WriteChain(const Chain& chain) {
    std::wstring target = chain.id;
    auto held = store.find(ChainKeyPath(target));
    if (held != store.end() && !held->second.values.empty()) {
        std::optional<std::wstring> name = StoredChainName(held->second);
        if (name && !SameName(*name, chain.name)) target = L"?" + std::to_wstring(++freshIds);
    }
    std::vector<std::wstring> others; // keys of other identifiers that hold a chain of this name: replaced
    for (const auto& [path, key] : store) {
        std::wstring id;
        std::optional<std::wstring> name = StoredChainName(key);
        if (IsChainKeyPath(path, &id) && !SameName(id, target) && name && SameName(*name, chain.name))
            others.push_back(id);
    }
    for (const std::wstring& id : others)
        std::erase_if(system.chains, [&](const Chain& c) { return SameName(c.id, id); });
    std::vector<Act> acts;
    const int group = ++groups;
    Act write{Loc{LOC_CHAIN_KEY, L"", target}, {}, ChainKeyContent(target, chain, StoredForm(chain.stream, false)),
              group};
    write.before = Get(write.loc);
    Set(write.loc, write.after);
    acts.push_back(write);
    for (const std::wstring& id : others) {
        acts.push_back(Remove(Loc{LOC_CHAIN_KEY, L"", id}));
        acts.back().group = group;
    }
    return acts;
}

Act World::RemoveChain(const Chain& chain) {
    Loc loc{LOC_CHAIN_KEY, L"", chain.id};
    auto key = store.find(ChainKeyPath(chain.id));
    std::optional<std::wstring> name = key == store.end() ? std::nullopt : StoredChainName(key->second);
    if (name && !SameName(*name, chain.name)) {
        std::erase_if(system.chains, [&](const Chain& c) { return SameName(c.name, chain.name); });
        Content now = Get(loc);
        return Act{loc, now, now, ++groups};
    }
    // The side drops the shown chain of this key, else the first of the name.
    auto shown = std::find_if(system.chains.begin(), system.chains.end(),
                              [&](const Chain& c) { return SameName(c.name, chain.name) && SameName(c.id, chain.id); });
    if (shown == system.chains.end())
        shown = std::find_if(system.chains.begin(), system.chains.end(),
                             [&](const Chain& c) { return SameName(c.name, chain.name); });
    if (shown != system.chains.end()) system.chains.erase(shown);
    Act act = Remove(loc);
    act.group = ++groups;
    return act;
}

void World::Commit(Step step) {
    if (step.acts.empty()) return;
    redo.clear();
    undo.push_back(std::move(step));
}

// Groups of acts, last to first for Undo: each group moves only when every place holds what it expects.
void World::Move(const std::vector<Act>& acts, bool forward) {
    std::vector<std::pair<size_t, size_t>> groups; // [first, last) of each group
    for (size_t i = 0; i < acts.size(); ++i)
        if (i == 0 || acts[i].group == 0 || acts[i].group != acts[i - 1].group) groups.push_back({i, i + 1});
        else groups.back().second = i + 1;
    if (!forward) std::reverse(groups.begin(), groups.end());
    for (auto [first, last] : groups) {
        bool ready = true;
        for (size_t i = first; i < last; ++i) ready = ready && Get(acts[i].loc) == (forward ? acts[i].before : acts[i].after);
        if (!ready) continue;
        restoring_ = true;
        for (size_t i = first; i < last; ++i) Set(acts[i].loc, forward ? acts[i].after : acts[i].before);
        restoring_ = false;
    }
}

void World::Undo() {
    if (undo.empty()) return;
    Step step = std::move(undo.back());
    undo.pop_back();
    Move(step.acts, false);
    redo.push_back(std::move(step));
}

void World::Redo() {
    if (redo.empty()) return;
    Step step = std::move(redo.back());
    redo.pop_back();
    Move(step.acts, true);
    undo.push_back(std::move(step));
}

} // namespace editmodel
