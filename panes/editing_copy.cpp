// Copy: records one add or replace action per selected preset and chain, asking before it overwrites, and
// applies them as one step.
#include <cstring>
#include <iterator>
#include <new>
#include "editing.h"
#include "kvlang.h"
#include "kvmsgbox.h"
#include "kvresult.h"
#include "resource.h"
#include "selection_walk.h"

namespace {

struct Version {
    uint32_t major, minor;
    bool operator<(const Version& other) const {
        return major < other.major || (major == other.major && minor < other.minor);
    }
    bool operator!=(const Version& other) const { return major != other.major || minor != other.minor; }
};

// Lathmere's own tools whose presets from version 7.0 on older versions cannot read.
const struct {
    UINT nameId;
    Version since;
} kCompatibilityTable[] = {
    {IDS_LATHMERE_TOOL_GRAPHIC_EQ, {7, 0}}, {IDS_LATHMERE_TOOL_CHORUS, {7, 0}},
    {IDS_LATHMERE_TOOL_TIME_STRETCH, {7, 0}}, {IDS_LATHMERE_TOOL_NOISE_GATE, {7, 0}},
    {IDS_LATHMERE_TOOL_PITCH_SHIFT, {7, 0}}, {IDS_LATHMERE_TOOL_SPECTRAL_REPAIR, {7, 0}},
};
static_assert(std::size(kCompatibilityTable) == IDS_LATHMERE_TOOL_LAST - IDS_LATHMERE_TOOL_FIRST + 1);

Version VersionOf(const PlugInEntry& plugIn) { return {plugIn.majorVersion, plugIn.minorVersion}; }
Version VersionOf(const LathmereDestination& destination) {
    return {destination.majorVersion, destination.minorVersion};
}

std::wstring DisplayName(const PlugInEntry& plugIn, tKVLANG* language) {
    wchar_t text[CATALOGUE_NAME_CHARS];
    plugIn.GetDisplayName(text, CATALOGUE_NAME_CHARS, language);
    return text;
}

// A stored value of this name that the catalogue does not show (a type or a form the loader leaves out, or one
// written since the last load) is an existing preset all the same; preset receives what can be shown of it.
HRESULT FindUnshownPreset(const PlugInEntry& plugIn, const wchar_t* name, std::unique_ptr<PresetEntry>* preset) {
    StoredEntry stored;
    HRESULT hr = ReadStoredPreset(plugIn, name, &stored);
    if (hr != S_OK || !stored.present) return S_OK; // an entry that cannot be read is written as a new one
    preset->reset(PresetEntry::Create(name));
    if (!*preset) return KV_E_OUTOFMEMORY;
    std::vector<uint8_t> data;
    uint8_t* blob = StoredPresetData(stored, &data) ? CatalogueBlobAlloc(static_cast<uint32_t>(data.size())) : nullptr;
    if (blob) {
        memcpy(blob, data.data(), data.size());
        (*preset)->AdoptData(blob, static_cast<uint32_t>(data.size()));
    }
    return S_OK;
}

template <class T> std::unique_ptr<T> NewAction(CatalogueSide side) {
    return std::unique_ptr<T>(new (std::nothrow) T(side));
}

class CopyVisitor : public SelectionVisitor {
public:
    CopyVisitor(const EditSession& session, CatalogueSide direction, const CopyOptions& options, CopyOutcome& outcome)
        : session_(session), language_(session.model.language), direction_(direction), options_(options),
          outcome_(outcome) {}

    HRESULT VisitPreset(const PlugInEntry& plugIn, const PresetEntry& preset) override {
        return CopyPreset(plugIn, preset);
    }
    HRESULT VisitChain(const ChainEntry& chain) override { return CopyChain(chain); }

private:
    HRESULT CopyPreset(const PlugInEntry& plugIn, const PresetEntry& preset);
    HRESULT CopyChain(const ChainEntry& chain);
    // S_OK to overwrite, S_FALSE to skip, or the cancelled code.
    HRESULT DecideOverwrite(const std::wstring& kind, const wchar_t* existingName);
    void Refuse(const PlugInEntry& plugIn, const PresetEntry& preset);
    void Record(CopyResult result, bool chain, std::wstring plugIn, const wchar_t* name) {
        outcome_.records.push_back({result, chain, std::move(plugIn), name});
    }

    const EditSession& session_;
    tKVLANG* language_;
    CatalogueSide direction_;
    const CopyOptions& options_;
    CopyOutcome& outcome_;
    PlugInShells shells_;
};

HRESULT CopyVisitor::DecideOverwrite(const std::wstring& kind, const wchar_t* existingName) {
    EditHistory& history = session_.history;
    if (history.answerMode == ANSWER_YES_TO_ALL) return S_OK;
    if (history.answerMode == ANSWER_NO_TO_ALL) return S_FALSE;
    // One item: Yes, No, Cancel. More: Yes, Yes to All, No, No to All, Cancel.
    UINT buttons = outcome_.affected <= 1 ? KVMB_YESNOCANCEL : KVMB_YESYESALLNONOALLCANCEL;
    UINT textId = direction_ == SIDE_SYSTEM ? IDS_OVERWRITE_ON_SYSTEM : IDS_OVERWRITE_IN_PACKAGE;
    CatalogueDropLookups(session_.model); // the box runs the message loop
    int answer = KvMsgBox_Custom(session_.owner, buttons | KVMB_ICONEXCLAMATION, nullptr,
                                 KvGetString(language_, textId), kind.c_str(), existingName);
    switch (answer) {
    case IDCANCEL: return KV_E_CANCELLED;
    case IDYES: return S_OK;
    case KVMB_ID_YESTOALL: history.answerMode = ANSWER_YES_TO_ALL; return S_OK;
    case KVMB_ID_NOTOALL: history.answerMode = ANSWER_NO_TO_ALL; return S_FALSE;
    default: return S_FALSE; // No, or a box that could not be shown: never overwrite unasked
    }
}

void CopyVisitor::Refuse(const PlugInEntry& plugIn, const PresetEntry& preset) {
    std::wstring tool = DisplayName(plugIn, language_);
    Record(COPY_REFUSED, false, tool, preset.name);
    if (!options_.showRefusals) return;
    CatalogueDropLookups(session_.model); // the box runs the message loop
    const LathmereDestination& destination = *session_.destination;
    // Destinations up to 6 all mean the unversioned store.
    if (destination.majorVersion <= 6)
        KvMsgBoxId(language_, session_.owner, KVMB_OK | KVMB_ICONEXCLAMATION, IDS_INCOMPATIBLE_UNVERSIONED,
                   tool.c_str());
    else
        KvMsgBoxId(language_, session_.owner, KVMB_OK | KVMB_ICONEXCLAMATION, IDS_INCOMPATIBLE_VERSIONED, tool.c_str(),
                   static_cast<int>(destination.majorVersion), static_cast<int>(destination.minorVersion));
}

HRESULT CopyVisitor::CopyPreset(const PlugInEntry& plugIn, const PresetEntry& preset) {
    CatalogueModel& model = session_.model;
    const PlugInList* targetList = model.plugIns[direction_];
    // A Lathmere tool's preset goes to the tool of the chosen destination's version, when that version can read it.
    std::unique_ptr<PlugInEntry> retargeted;
    const LathmereDestination* destination = session_.destination;
    if (direction_ == SIDE_SYSTEM && (plugIn.flags & PLUGIN_LATHMERE_TOOL) && destination &&
        VersionOf(*destination) != VersionOf(plugIn)) {
        if (VersionOf(*destination) < VersionOf(plugIn) &&
            !IsCompatibleWithDestination(plugIn, *destination, language_)) {
            Refuse(plugIn, preset);
            // Without a plug-in list on the target, a refusal ends the whole copy.
            return targetList ? S_OK : KV_E_CANCELLED;
        }
        retargeted.reset(PlugInEntry::CopyShell(plugIn));
        if (!retargeted) return KV_E_OUTOFMEMORY;
        retargeted->majorVersion = destination->majorVersion;
        retargeted->minorVersion = destination->minorVersion;
        retargeted->flags = PLUGIN_LATHMERE_TOOL | (destination->majorVersion > 6 ? PLUGIN_LATHMERE_VERSIONED : 0);
    }
    const PlugInEntry& shell = retargeted ? *retargeted : plugIn;
    PlugInEntry* targetPlugIn = targetList ? FindSidePlugIn(model, direction_, shell) : nullptr;
    // A copy, taken before the question: its message loop may replace the target side.
    std::unique_ptr<PresetEntry> existing;
    if (const PresetEntry* shown =
            targetPlugIn ? FindSidePreset(model, direction_, *targetPlugIn, preset.name) : nullptr) {
        existing.reset(new (std::nothrow) PresetEntry());
        HRESULT hr = existing ? existing->Assign(*shown) : KV_E_OUTOFMEMORY;
        if (hr < 0) return hr;
    } else if (direction_ == SIDE_SYSTEM) {
        HRESULT hr = FindUnshownPreset(targetPlugIn ? *targetPlugIn : shell, preset.name, &existing);
        if (hr < 0) return hr;
    }
    std::wstring targetName = DisplayName(targetPlugIn ? *targetPlugIn : shell, language_);

    std::unique_ptr<PresetAction> action;
    HRESULT hr = S_OK;
    if (existing) {
        hr = DecideOverwrite(targetName, existing->name);
        if (hr == S_FALSE) {
            Record(COPY_SKIPPED, false, targetName, preset.name);
            return S_OK;
        }
        if (hr < 0) return hr;
        std::unique_ptr<ReplacePresetAction> replace = NewAction<ReplacePresetAction>(direction_);
        if (!replace) return KV_E_OUTOFMEMORY;
        hr = replace->SetOldPreset(*existing);
        action = std::move(replace);
    } else {
        action = NewAction<AddPresetAction>(direction_);
        if (!action) return KV_E_OUTOFMEMORY;
    }
    if (hr >= 0) hr = action->SetPlugIn(shell, shells_);
    if (hr >= 0) hr = action->SetPreset(preset);
    if (hr >= 0) hr = session_.history.AppendAction(std::move(action));
    if (hr < 0) return hr;
    Record(existing ? COPY_REPLACED : COPY_ADDED, false, targetName, preset.name);
    return S_OK;
}

HRESULT CopyVisitor::CopyChain(const ChainEntry& chain) {
    const ChainList* targetList = session_.model.chains[direction_];
    const ChainEntry* shown = targetList ? targetList->FindEntryByName(chain.name) : nullptr;
    // A copy, taken before the question: its message loop may replace the target side.
    std::unique_ptr<ChainEntry> existing;
    if (shown) {
        existing.reset(new (std::nothrow) ChainEntry());
        if (!existing) return KV_E_OUTOFMEMORY;
        existing->Assign(*shown);
    } else if (direction_ == SIDE_SYSTEM) {
        // The store may hold a chain of this name that the catalogue does not show.
        std::vector<std::wstring> stored = StoredChainKeysNamed(chain.name);
        if (!stored.empty()) {
            existing.reset(new (std::nothrow) ChainEntry());
            if (!existing) return KV_E_OUTOFMEMORY;
            CatalogueCopyText(existing->name, CATALOGUE_NAME_CHARS, chain.name);
            CatalogueCopyText(existing->identifier, CATALOGUE_ID_CHARS, stored.front().c_str());
        }
    }
    std::unique_ptr<ChainAction> action;
    HRESULT hr = S_OK;
    if (existing) {
        hr = DecideOverwrite(KvGetString(language_, IDS_CHAIN), existing->name);
        if (hr == S_FALSE) {
            Record(COPY_SKIPPED, true, std::wstring(), chain.name);
            return S_OK;
        }
        if (hr < 0) return hr;
        std::unique_ptr<ReplaceChainAction> replace = NewAction<ReplaceChainAction>(direction_);
        if (!replace) return KV_E_OUTOFMEMORY;
        hr = replace->SetOldChain(*existing);
        action = std::move(replace);
    } else {
        action = NewAction<AddChainAction>(direction_);
        if (!action) return KV_E_OUTOFMEMORY;
    }
    if (hr >= 0) hr = action->SetChain(chain);
    if (hr >= 0) hr = session_.history.AppendAction(std::move(action));
    if (hr < 0) return hr;
    Record(existing ? COPY_REPLACED : COPY_ADDED, true, std::wstring(), chain.name);
    return S_OK;
}

class CountVisitor : public SelectionVisitor {
public:
    HRESULT VisitPreset(const PlugInEntry&, const PresetEntry&) override {
        ++count;
        return S_OK;
    }
    HRESULT VisitChain(const ChainEntry&) override {
        ++count;
        return S_OK;
    }
    uint32_t count = 0;
};

} // namespace

bool IsCompatibleWithDestination(const PlugInEntry& plugIn, const LathmereDestination& destination,
                                 tKVLANG* language) {
    Version required{0, 0};
    for (const auto& row : kCompatibilityTable) {
        if (!plugIn.MatchesName(KvGetString(language, row.nameId), language)) continue;
        if (VersionOf(plugIn) < row.since) continue; // made before the format changed
        if (required < row.since) required = row.since;
    }
    return required.major == 0 || !(VersionOf(destination) < required);
}

uint32_t CountAffected(CatalogueModel& model, const Selection& selection) {
    CountVisitor counter;
    WalkSelection(model, selection, counter);
    return counter.count;
}

HRESULT CopySelection(const EditSession& session, const Selection& selection, const CopyOptions& options,
                      CopyOutcome* outcome) {
    CopyOutcome local;
    CopyOutcome& result = outcome ? *outcome : local;
    result = CopyOutcome();
    result.affected = CountAffected(session.model, selection);
    const CatalogueSide direction = selection.side == SIDE_PACKAGE ? SIDE_SYSTEM : SIDE_PACKAGE;
    CopyVisitor visitor(session, direction, options, result);
    CatalogueLookupScope lookups(session.model); // one search of the target per item grows with the square
    HRESULT hr = RecordSelectionEdit(session.model, session.history, selection, direction, IDS_EDIT_LABEL_COPY,
                                     options.answer, visitor, &result, options.apply);
    if (hr < 0 && !result.changed) result.records.clear(); // cancelled, or failed while recording
    return hr;
}
