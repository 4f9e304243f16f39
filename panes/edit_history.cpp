// The edit history and its six actions over the catalogue's side operations.
#include "edit_history.h"
#include <new>
#include "kvlang.h"
#include "kvresult.h"
#include "resource.h"

namespace {

template <class T> std::unique_ptr<T> CopyOf(const T& source) {
    std::unique_ptr<T> copy(new (std::nothrow) T());
    if (copy) copy->Assign(source);
    return copy;
}

HRESULT Keep(std::unique_ptr<PresetEntry>& slot, const PresetEntry& source) {
    slot = CopyOf(source);
    return slot ? S_OK : KV_E_OUTOFMEMORY;
}

HRESULT Keep(std::unique_ptr<ChainEntry>& slot, const ChainEntry& source) {
    slot = CopyOf(source);
    return slot ? S_OK : KV_E_OUTOFMEMORY;
}

// Runs every action of the step, whatever the earlier ones returned; the first failure is the step's result,
// because a later success must not hide a store write that did not happen.
HRESULT ApplyStep(EditStep& step, CatalogueModel& model, bool apply, EditOutcome* outcome) {
    StoreWriteScope storeWrites(model);
    CatalogueLookupScope lookups(model);
    HRESULT result = S_OK;
    std::wstring failedItem;
    for (int i = 0; i < step.actions.Count(); ++i) {
        EditAction* action = step.actions.At(i);
        HRESULT hr = apply ? action->Do(model) : action->Undo(model);
        if (hr < 0 && result >= 0) {
            result = hr;
            failedItem = action->ItemName();
        }
    }
    if (outcome) {
        outcome->changed = true;
        outcome->side = step.targetSide;
        outcome->packageModified = step.targetSide == SIDE_PACKAGE;
        outcome->reloadSystem = result < 0 && step.targetSide == SIDE_SYSTEM;
        outcome->failedItem = failedItem;
    }
    return result;
}

// Moves the first step of one list to the front of the other, applying or reverting it on the way.
HRESULT MoveStep(KvOwnedList<EditStep>& from, KvOwnedList<EditStep>& to, bool apply, CatalogueModel& model,
                 EditOutcome* outcome) {
    if (from.Count() == 0) return S_OK;
    std::unique_ptr<EditStep> step = from.Take(0);
    if (!step) return KV_E_FAIL;
    EditStep& moved = *step;
    HRESULT inserted = to.Insert(0, std::move(step));
    if (inserted < 0) return inserted; // the step is gone with nothing applied; better than applied twice later
    return ApplyStep(moved, model, apply, outcome);
}

EditMenuItem MenuItem(const EditHistory& history, tKVLANG* language, bool redo) {
    const KvOwnedList<EditStep>& steps = redo ? history.redoSteps : history.undoSteps;
    EditMenuItem item;
    if (steps.Count() == 0) {
        item.text = KvGetString(language, redo ? IDS_CANT_REDO : IDS_CANT_UNDO);
        return item;
    }
    item.enabled = true;
    item.text = std::wstring(KvGetString(language, redo ? IDS_REDO : IDS_UNDO)) + L" " + steps.At(0)->label + L"\t" +
                KvGetString(language, redo ? IDS_REDO_SHORTCUT : IDS_UNDO_SHORTCUT);
    return item;
}

} // namespace

// ---- actions

HRESULT PresetAction::SetPlugIn(const PlugInEntry& source) {
    plugIn.reset(PlugInEntry::CopyShell(source));
    return plugIn ? S_OK : KV_E_OUTOFMEMORY;
}

HRESULT PresetAction::SetPreset(const PresetEntry& source) { return Keep(preset, source); }

const wchar_t* PresetAction::ItemName() const { return preset ? preset->name : L""; }

HRESULT ChainAction::SetChain(const ChainEntry& source) { return Keep(chain, source); }

const wchar_t* ChainAction::ItemName() const { return chain ? chain->name : L""; }

HRESULT ReplacePresetAction::SetOldPreset(const PresetEntry& source) { return Keep(oldPreset, source); }

HRESULT ReplaceChainAction::SetOldChain(const ChainEntry& source) { return Keep(oldChain, source); }

HRESULT AddPresetAction::Do(CatalogueModel& model) {
    return Complete() ? AddPreset(model, *plugIn, *preset, side) : KV_E_INVALIDARG;
}
HRESULT AddPresetAction::Undo(CatalogueModel& model) {
    return Complete() ? RemovePreset(model, *plugIn, *preset, side) : KV_E_INVALIDARG;
}

HRESULT ReplacePresetAction::Do(CatalogueModel& model) {
    return Complete() ? AddPreset(model, *plugIn, *preset, side) : KV_E_INVALIDARG;
}
HRESULT ReplacePresetAction::Undo(CatalogueModel& model) {
    return Complete() && oldPreset ? AddPreset(model, *plugIn, *oldPreset, side) : KV_E_INVALIDARG;
}

HRESULT DeletePresetAction::Do(CatalogueModel& model) {
    return Complete() ? RemovePreset(model, *plugIn, *preset, side) : KV_E_INVALIDARG;
}
HRESULT DeletePresetAction::Undo(CatalogueModel& model) {
    return Complete() ? AddPreset(model, *plugIn, *preset, side) : KV_E_INVALIDARG;
}

HRESULT AddChainAction::Do(CatalogueModel& model) { return chain ? AddChain(model, *chain, side) : KV_E_INVALIDARG; }
HRESULT AddChainAction::Undo(CatalogueModel& model) {
    return chain ? RemoveChain(model, *chain, side) : KV_E_INVALIDARG;
}

HRESULT ReplaceChainAction::Do(CatalogueModel& model) {
    return chain ? AddChain(model, *chain, side) : KV_E_INVALIDARG;
}
HRESULT ReplaceChainAction::Undo(CatalogueModel& model) {
    return oldChain ? AddChain(model, *oldChain, side) : KV_E_INVALIDARG;
}

HRESULT DeleteChainAction::Do(CatalogueModel& model) {
    return chain ? RemoveChain(model, *chain, side) : KV_E_INVALIDARG;
}
HRESULT DeleteChainAction::Undo(CatalogueModel& model) {
    return chain ? AddChain(model, *chain, side) : KV_E_INVALIDARG;
}

// ---- history

HRESULT EditHistory::BeginEdit(CatalogueSide targetSide) {
    pending.reset(new (std::nothrow) EditStep(targetSide));
    answerMode = ANSWER_ASK;
    if (!pending || !pending->actions.valid()) {
        pending.reset();
        return KV_E_OUTOFMEMORY;
    }
    return S_OK;
}

void EditHistory::SetEditLabel(tKVLANG* language, UINT stringId) {
    if (pending) KvLoadString(language, stringId, pending->label, EDIT_LABEL_CHARS);
}

HRESULT EditHistory::AppendAction(std::unique_ptr<EditAction> action) {
    if (!pending) return KV_E_FAIL;
    return pending->actions.Append(std::move(action));
}

void EditHistory::DiscardEdit() { pending.reset(); }

int EditHistory::PendingActionCount() const { return pending ? pending->actions.Count() : 0; }

HRESULT EditHistory::CommitEdit(CatalogueModel& model, EditOutcome* outcome) {
    std::unique_ptr<EditStep> step = std::move(pending);
    if (!step || step->actions.Count() == 0) return KV_E_FAIL;
    redoSteps.Clear();
    EditStep& committed = *step;
    HRESULT hr = undoSteps.Insert(0, std::move(step));
    if (hr < 0) return hr; // nothing was applied
    return ApplyStep(committed, model, true, outcome);
}

HRESULT EditHistory::UndoEdit(CatalogueModel& model, EditOutcome* outcome) {
    return MoveStep(undoSteps, redoSteps, false, model, outcome);
}

HRESULT EditHistory::RedoEdit(CatalogueModel& model, EditOutcome* outcome) {
    return MoveStep(redoSteps, undoSteps, true, model, outcome);
}

void EditHistory::ClearHistory() {
    undoSteps.Clear();
    redoSteps.Clear();
}

EditMenuItem UndoMenuItem(const EditHistory& history, tKVLANG* language) { return MenuItem(history, language, false); }

EditMenuItem RedoMenuItem(const EditHistory& history, tKVLANG* language) { return MenuItem(history, language, true); }
