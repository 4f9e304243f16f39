// The plain model behind tools/edit_fuzz: what the system store (values with their types and data, data files by
// content) and the package must hold after each editing step, and what the system side shows. No catalogue code:
// every rule is written out here again, from what the editing promises, so that the core is checked, not copied.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace editmodel {

using Bytes = std::vector<uint8_t>;

std::wstring Lower(const std::wstring& text);
bool SameName(const std::wstring& a, const std::wstring& b); // ignoring case
std::string Narrow(const std::wstring& text);

// A stored value as the store shows it: a data file counts by its content, wherever it lies.
enum ValKind { VAL_BINARY, VAL_FILE, VAL_MISSING_FILE, VAL_DWORD, VAL_TEXT, VAL_OTHER };
struct Val {
    ValKind kind = VAL_BINARY;
    Bytes data; // the bytes, the file's content, the path text of a missing file, or the text (UTF-16)
    bool operator==(const Val&) const = default;
};
std::string Describe(const Val& val);
bool Loadable(const Val& val); // a value the loader shows as a preset
Bytes TextBytes(const std::wstring& text);
Val DwordVal(uint32_t value);

// One registry key of the store with its values, by lower-case value name.
struct StoreKey {
    std::wstring path;
    std::map<std::wstring, std::pair<std::wstring, Val>> values;
};
using Store = std::map<std::wstring, StoreKey>; // by lower-case path; keys without values count as absent

struct Preset {
    std::wstring name;
    Bytes data;
};
struct Chain {
    std::wstring name, id;
    uint32_t flags = 0, type = 0;
    Bytes stream;
};
// One side's presets (by lower-case store key path of their plug-in, then lower-case name) and chains.
struct SideView {
    std::map<std::wstring, std::map<std::wstring, Preset>> presets;
    std::vector<Chain> chains;
};

// Store key paths, lower case.
std::wstring ChainKeyPath(const std::wstring& id);
bool IsChainKeyPath(const std::wstring& path, std::wstring* id = nullptr);
bool IsLathmereKeyPath(const std::wstring& path);
std::optional<Chain> ChainOfKey(const StoreKey& key, const std::wstring& id); // as the loader reads it
std::optional<std::wstring> StoredChainName(const StoreKey& key); // its name value, when that is text

// A place an edit changes, and what it holds there.
enum LocKind { LOC_VALUE, LOC_CHAIN_KEY, LOC_PACKAGE_PRESET, LOC_PACKAGE_CHAIN };
struct Loc {
    LocKind kind;
    std::wstring key;  // store key path, or the package plug-in's key path
    std::wstring name; // value name, chain identifier, preset name or chain name
};
struct Content {
    bool present = false;
    std::wstring name;                                    // as stored (ignored when comparing)
    std::vector<std::pair<std::wstring, Val>> values;     // sorted by lower-case name
    bool operator==(const Content& other) const { return present == other.present && values == other.values; }
};
struct Act {
    Loc loc;
    Content before, after;
    int group = 0; // acts of one group (one chain's keys) move together or not at all
};
struct Step {
    bool packageSide = false;
    std::vector<Act> acts; // in the order applied
};

struct World {
    Store store;
    SideView system;  // what the system side of the catalogue shows
    SideView package;
    std::vector<Step> undo, redo; // back() is the newest
    int freshIds = 0;             // chain identifiers the core must make up, "?1", "?2", ... until seen
    int groups = 0;

    Content Get(const Loc& loc) const;
    // Sets loc and keeps the system view of a changed store place as a load would show it.
    void Set(const Loc& loc, const Content& content);
    // Set for an entry rewritten in place (a rename): the system side drops what it showed of the place first.
    void Rewrite(const Loc& loc, const Content& content);
    void Reload(); // the system view from the store, as the loader reads it
    void RefreshValue(const std::wstring& key, const std::wstring& name);
    void RefreshChainKey(const std::wstring& id);
    // A chain identifier the model made up is now known: rename it everywhere.
    void Bind(const std::wstring& placeholder, const std::wstring& id);

    // The edits. Each returns the act it applied.
    Act WriteValue(const std::wstring& key, const std::wstring& name, const Val& val);
    Act Remove(const Loc& loc);
    Act PutPackagePreset(const std::wstring& key, const Preset& preset);
    Act PutPackageChain(const Chain& chain);
    // A chain written to the store: under its identifier, or a fresh one when that key holds a chain of another
    // name; other keys holding a chain of its name go. One group of acts.
    std::vector<Act> WriteChain(const Chain& chain);
    // A chain deleted from the store: its key, unless that now holds a chain of another name; the system side
    // drops the chain of that name either way.
    Act RemoveChain(const Chain& chain);
    void Commit(Step step);
    // Undo reverts acts last to first, each only where the place still holds what the act left; Redo mirrors.
    void Undo();
    void Redo();

private:
    void Move(const std::vector<Act>& acts, bool forward);
    bool restoring_ = false;
};

Content ValueContent(const std::wstring& name, const Val& val);
Content ChainKeyContent(const std::wstring& id, const Chain& chain, const Val& stream);
Content PackagePresetContent(const Preset& preset);
Content PackageChainContent(const Chain& chain);
Preset PresetOfContent(const Content& content);
Chain ChainOfContent(const Content& content);

// How the program stores data: inline below 256 bytes, else a data file; Lathmere's always inline.
Val StoredForm(const Bytes& data, bool lathmere);

} // namespace editmodel
