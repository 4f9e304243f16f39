// The edit history and its six actions over the catalogue's side operations.
#include "edit_history.h"
#include <new>
#include "kvlang.h"
#include "kvresult.h"
#include "resource.h"

namespace {

// The order a step's actions are reverted in: the actions of one entry last to first, so that what was there
// first comes back last; the entries themselves in the order they were met, so that items come back in their
// former order. Linear in the step: entries are found through an open-addressed table of key hashes, and keys are
// only made as text where two hashes meet.
std::vector<int> RevertOrder(const EditStep& step) {
    const size_t count = static_cast<size_t>(step.actions.Count());
    std::vector<uint64_t> hashes(count);
    EntryKeyMemo memo;
    for (size_t i = 0; i < count; ++i) hashes[i] = step.actions.At(static_cast<int>(i))->EntryHash(memo);
    size_t size = 16;
    while (size < count * 2) size *= 2;
    const size_t mask = size - 1;
    std::vector<int> firsts(size, -1); // each entry's first action
    // lastOf[first] and previous[i] chain an entry's actions backwards; lastOf is -1 but for first actions.
    std::vector<int> lastOf(count, -1), previous(count, -1);
    for (size_t i = 0; i < count; ++i) {
        const uint64_t hash = hashes[i];
        size_t at = static_cast<size_t>(hash ^ (hash >> 29)) & mask;
        for (; firsts[at] >= 0; at = (at + 1) & mask) {
            const int first = firsts[at];
            if (hashes[static_cast<size_t>(first)] == hash &&
                step.actions.At(first)->EntryKey() == step.actions.At(static_cast<int>(i))->EntryKey())
                break;
        }
        const int index = static_cast<int>(i);
        if (firsts[at] < 0) {
            firsts[at] = lastOf[i] = index;
            continue;
        }
        const size_t first = static_cast<size_t>(firsts[at]);
        previous[i] = lastOf[first];
        lastOf[first] = index;
    }
    std::vector<int> order;
    order.reserve(count);
    for (size_t i = 0; i < count; ++i)
        for (int at = lastOf[i]; at >= 0; at = previous[static_cast<size_t>(at)]) order.push_back(at);
    return order;
}

// Runs every action of the step, whatever the earlier ones returned; the first failure is the step's result,
// because a later success must not hide a store write that did not happen.
HRESULT ApplyStep(EditStep& step, CatalogueModel& model, bool apply, EditOutcome* outcome) {
    StoreWriteScope storeWrites(model);
    CatalogueLookupScope lookups(model);
    HRESULT result = S_OK;
    std::wstring failedItem;
    std::vector<std::wstring> leftAlone;
    const int count = step.actions.Count();
    const std::vector<int> reverted = apply ? std::vector<int>() : RevertOrder(step);
    for (int n = 0; n < count; ++n) {
        EditAction* action = step.actions.At(apply ? n : reverted[static_cast<size_t>(n)]);
        HRESULT hr = apply ? action->Do(model) : action->Undo(model);
        if (hr == EDIT_S_LEFT_ALONE) leftAlone.push_back(action->ItemName());
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
        outcome->leftAlone = std::move(leftAlone);
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
