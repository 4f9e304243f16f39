// Delete (one undoable step of delete actions) and rename (in place, at once, not in the history).
#include "editing.h"
#include <cwchar>
#include <new>
#include "kvlang.h"
#include "kvmsgbox.h"
#include "kvresult.h"
#include "resource.h"
#include "selection_walk.h"
#include "store_entry.h"

namespace {

constexpr size_t kRenameLimit = 64; // names of 64 characters or more are refused

class DeleteVisitor : public SelectionVisitor {
public:
    DeleteVisitor(EditHistory& history, CatalogueSide side) : history_(history), side_(side) {}
    HRESULT VisitPreset(const PlugInEntry& plugIn, const PresetEntry& preset) override {
        return RecordPresetDelete(plugIn, preset);
    }
    HRESULT VisitChain(const ChainEntry& chain) override { return RecordChainDelete(chain); }

private:
    HRESULT RecordPresetDelete(const PlugInEntry& plugIn, const PresetEntry& preset) {
        std::unique_ptr<DeletePresetAction> action(new (std::nothrow) DeletePresetAction(side_));
        if (!action) return KV_E_OUTOFMEMORY;
        HRESULT hr = action->SetPlugIn(plugIn, shells_);
        if (hr >= 0) hr = action->SetPreset(preset);
        return hr < 0 ? hr : history_.AppendAction(std::move(action));
    }
    HRESULT RecordChainDelete(const ChainEntry& chain) {
        std::unique_ptr<DeleteChainAction> action(new (std::nothrow) DeleteChainAction(side_));
        if (!action) return KV_E_OUTOFMEMORY;
        HRESULT hr = action->SetChain(chain);
        return hr < 0 ? hr : history_.AppendAction(std::move(action));
    }

    EditHistory& history_;
    CatalogueSide side_;
    PlugInShells shells_;
};

int WarnWithoutOwner(tKVLANG* language, UINT textId, UINT captionId) {
    return KvMessageBox(KVMB_NOOWNER, KvGetString(language, textId), KvGetString(language, captionId),
                        KVMB_OK | KVMB_ICONEXCLAMATION);
}

// The store may hold the name where the side shows nothing: a value the loader skips, or one another program wrote
// since the last load. A rename is not undoable, so it must never write over such a value.
bool StoreHoldsName(const PlugInEntry* plugIn, bool chains, const wchar_t* name) {
    if (chains) return !StoredChainKeysNamed(name).empty();
    StoredEntry stored;
    return plugIn && ReadStoredPreset(*plugIn, name, &stored) == S_OK && stored.present;
}

} // namespace

HRESULT DeleteSelection(const EditSession& session, const Selection& selection, EditOutcome* outcome) {
    EditOutcome local;
    EditOutcome& result = outcome ? *outcome : local;
    result = EditOutcome();
    const CatalogueSide side = selection.side == SIDE_PACKAGE ? SIDE_PACKAGE : SIDE_SYSTEM;
    DeleteVisitor visitor(session.history, side);
    return RecordSelectionEdit(session.model, session.history, selection, side, IDS_EDIT_LABEL_DELETE, ANSWER_ASK,
                               visitor, &result);
}

HRESULT RenameListItem(const EditSession& session, const Selection& selection, const wchar_t* newText,
                       EditOutcome* outcome) {
    EditOutcome local;
    EditOutcome& result = outcome ? *outcome : local;
    result = EditOutcome();
    CatalogueModel& model = session.model;
    tKVLANG* language = model.language;
    if (!newText || !*newText || selection.names.empty()) return KV_S_NOTHING_TO_DO;
    if (wcslen(newText) >= kRenameLimit) {
        WarnWithoutOwner(language, IDS_NAME_TOO_LONG, IDS_NAME_TOO_LONG_CAPTION);
        return KV_S_NOTHING_TO_DO;
    }
    const CatalogueSide side = selection.side == SIDE_PACKAGE ? SIDE_PACKAGE : SIDE_SYSTEM;
    const wchar_t* oldName = selection.names.front().c_str();
    const bool chains = selection.nodeKind == NODE_CHAINS;
    const ChainList* chainList = model.chains[side];
    const PlugInList* plugInList = model.plugIns[side];
    const PlugInEntry* plugIn =
        chains || !plugInList ? nullptr : plugInList->FindEntryByName(selection.parent.c_str(), language);

    bool taken = chains ? chainList && chainList->FindByName(newText) >= 0
                        : plugIn && plugIn->FindPresetIndex(newText) >= 0;
    if (!taken && side == SIDE_SYSTEM) taken = StoreHoldsName(plugIn, chains, newText);
    if (taken) {
        // A change of letter case alone cannot be stored: value names ignore case.
        if (!CatalogueNamesEqual(oldName, newText))
            WarnWithoutOwner(language, IDS_NAME_CONFLICT, IDS_NAME_CONFLICT_CAPTION);
        return KV_S_NOTHING_TO_DO;
    }
    HRESULT hr = KV_S_NOTHING_TO_DO;
    if (chains && chainList && chainList->FindByName(oldName) >= 0)
        hr = RenameChain(model, oldName, newText, side);
    else if (plugIn && plugIn->FindPresetIndex(oldName) >= 0)
        hr = RenamePreset(model, *plugIn, oldName, newText, side);
    if (hr != S_OK) {
        if (hr < 0) {
            result.side = side;
            result.reloadSystem = side == SIDE_SYSTEM;
            result.failedItem = oldName;
        }
        return hr;
    }
    result.changed = true;
    result.side = side;
    // Nothing else would tell the document that the package now holds another name.
    result.packageModified = side == SIDE_PACKAGE;
    return S_OK;
}
