// The edit history and its six actions over the catalogue's side operations.
#include "edit_history.h"
#include <algorithm>
#include <functional>
#include <new>
#include "kvlang.h"
#include "kvresult.h"
#include "resource.h"

namespace {

// The order a step's actions are reverted in: the actions of one entry last to first, so that what was there
// first comes back last; the entries themselves in the order they were met, so that items come back in their
// former order.
std::vector<int> RevertOrder(const EditStep& step) {
    const int count = step.actions.Count();
    // Actions sorted by the hash of their entry key, so that an entry's actions lie side by side; each key is
    // dropped as soon as it is hashed, so that a step of a whole large library keeps no copy of its keys.
    std::vector<std::pair<size_t, int>> hashed(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) hashed[static_cast<size_t>(i)] = {std::hash<std::wstring>{}(step.actions.At(i)->EntryKey()), i};
    std::stable_sort(hashed.begin(), hashed.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    // firstOf[i]: the first action of i's entry; lastOf[first] and previous[i] chain an entry's actions backwards.
    std::vector<int> firstOf(static_cast<size_t>(count), -1), lastOf(firstOf), previous(firstOf);
    for (size_t run = 0; run < hashed.size();) {
        size_t end = run + 1;
        while (end < hashed.size() && hashed[end].first == hashed[run].first) ++end;
        for (size_t a = run; a < end; ++a) { // keys that share a hash are told apart by the keys themselves
            int action = hashed[a].second;
            if (firstOf[static_cast<size_t>(action)] >= 0) continue;
            firstOf[static_cast<size_t>(action)] = lastOf[static_cast<size_t>(action)] = action;
            if (end - run == 1) break;
            std::wstring key = step.actions.At(action)->EntryKey();
            for (size_t b = a + 1; b < end; ++b) {
                int other = hashed[b].second;
                if (firstOf[static_cast<size_t>(other)] >= 0 || step.actions.At(other)->EntryKey() != key) continue;
                firstOf[static_cast<size_t>(other)] = action;
                previous[static_cast<size_t>(other)] = lastOf[static_cast<size_t>(action)];
                lastOf[static_cast<size_t>(action)] = other;
            }
        }
        run = end;
    }
    std::vector<int> order;
    order.reserve(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        if (firstOf[static_cast<size_t>(i)] != i) continue; // its entry's actions are in already
        for (int at = lastOf[static_cast<size_t>(i)]; at >= 0; at = previous[static_cast<size_t>(at)]) order.push_back(at);
    }
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
