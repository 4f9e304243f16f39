// Resolving selected names to catalogue items, by the kind of each name.
#include "selection_walk.h"
#include "kvresult.h"

namespace {

HRESULT WalkPlugIn(const PlugInEntry* plugIn, SelectionVisitor& visitor) {
    for (int i = 0; plugIn && i < plugIn->PresetCount(); ++i) {
        const PresetEntry* preset = plugIn->PresetAt(i);
        if (!preset) continue;
        if (HRESULT hr = visitor.VisitPreset(*plugIn, *preset); hr != S_OK) return hr;
    }
    return S_OK;
}

HRESULT WalkAllPlugIns(const PlugInList* plugIns, SelectionVisitor& visitor) {
    for (int i = 0; plugIns && i < plugIns->Count(); ++i)
        if (HRESULT hr = WalkPlugIn(plugIns->At(i), visitor); hr != S_OK) return hr;
    return S_OK;
}

HRESULT WalkAllChains(const ChainList* chains, SelectionVisitor& visitor) {
    for (int i = 0; chains && i < chains->Count(); ++i) {
        const ChainEntry* chain = chains->At(i);
        if (!chain) continue;
        if (HRESULT hr = visitor.VisitChain(*chain); hr != S_OK) return hr;
    }
    return S_OK;
}

} // namespace

HRESULT WalkSelection(CatalogueModel& model, const Selection& selection, SelectionVisitor& visitor) {
    const int side = selection.side == SIDE_PACKAGE ? SIDE_PACKAGE : SIDE_SYSTEM;
    const PlugInList* plugIns = model.plugIns[side];
    const ChainList* chains = model.chains[side];
    for (const std::wstring& name : selection.names) {
        HRESULT hr = S_OK;
        switch (ItemKindOf(selection, name, model.language)) {
        case NODE_ROOT:
            hr = WalkAllPlugIns(plugIns, visitor);
            if (hr == S_OK) hr = WalkAllChains(chains, visitor);
            break;
        case NODE_PLUGINS: hr = WalkAllPlugIns(plugIns, visitor); break;
        case NODE_PLUGIN:
            if (plugIns) hr = WalkPlugIn(plugIns->FindEntryByName(name.c_str(), model.language), visitor);
            break;
        case NODE_PRESET: {
            const PlugInEntry* plugIn = plugIns ? plugIns->FindEntryByName(selection.parent.c_str(), model.language)
                                                : nullptr;
            const PresetEntry* preset = plugIn ? plugIn->FindPreset(name.c_str()) : nullptr;
            if (preset) hr = visitor.VisitPreset(*plugIn, *preset);
            break;
        }
        case NODE_CHAINS: hr = WalkAllChains(chains, visitor); break;
        case NODE_CHAIN: {
            const ChainEntry* chain = chains ? chains->FindEntryByName(name.c_str()) : nullptr;
            if (chain) hr = visitor.VisitChain(*chain);
            break;
        }
        default: break;
        }
        if (hr != S_OK) return hr;
    }
    return S_OK;
}

HRESULT RecordSelectionEdit(CatalogueModel& model, EditHistory& history, const Selection& selection,
                            CatalogueSide targetSide, UINT labelId, AnswerMode answer, SelectionVisitor& visitor,
                            EditOutcome* outcome, bool apply) {
    HRESULT hr = history.BeginEdit(targetSide);
    if (hr < 0) return hr;
    history.SetEditLabel(model.language, labelId);
    history.answerMode = answer;
    {
        // The walk holds pointers into the sides while questions run the message loop.
        SystemSidePin pin(model);
        hr = WalkSelection(model, selection, visitor);
    }
    if (hr == S_OK && history.PendingActionCount() == 0) hr = KV_S_NOTHING_TO_DO;
    if (hr != S_OK) {
        // Nothing has been applied, so nothing changes.
        history.DiscardEdit();
        return hr;
    }
    if (!apply) return S_OK;
    return history.CommitEdit(model, outcome);
}
