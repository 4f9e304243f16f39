// The undo and redo history: each copy or delete is one step of small actions, applied whole and reverted whole.
#pragma once
#include <windows.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "catalogue.h"
#include "catalogue_model.h"
#include "kvlist_owned.h"
#include "store_entry.h"

struct tKVLANG;

constexpr int EDIT_LABEL_CHARS = 128; // 127 characters and a terminator

// The remembered answer of the overwrite question while one copy runs.
enum AnswerMode : uint32_t { ANSWER_ASK = 0, ANSWER_YES_TO_ALL = 1, ANSWER_NO_TO_ALL = 2 };

// What an operation changed, so that its caller can refresh and report without knowing the internals.
struct EditOutcome {
    bool changed = false;             // something was applied, reverted or renamed
    CatalogueSide side = SIDE_SYSTEM; // the side that changed
    bool packageModified = false;     // the package side changed: the document is now modified
    bool reloadSystem = false;        // a store write failed: reload the system side to show what is really stored
    std::wstring failedItem;          // the name of the item whose store write failed first
    std::vector<std::wstring> leftAlone; // Undo or Redo found these changed since (or their names taken): untouched
};

// An action's result when its item no longer holds what the action expects: nothing was done to it.
constexpr HRESULT EDIT_S_LEFT_ALONE = 2;

// What one entry (a preset value, a chain key; in the package, a preset or chain of one name) held before an
// action was first applied and after.
struct EntryChange {
    std::wstring key; // the chain key's identifier; empty for a preset and in the package
    StoredEntry before, after;
};

// What EditAction::EntryHash carries from one action to the next: the hash of the key's start for one plug-in.
struct EntryKeyMemo {
    const void* owner = nullptr;
    int side = -1;
    uint64_t hash = 0;
};

// One recorded change. Each action owns copies of what it adds or removes and finds its targets by identity and
// name, so it still applies after the catalogue it came from was rebuilt.
class EditAction {
public:
    EditAction() = default;
    EditAction(const EditAction&) = delete;
    EditAction& operator=(const EditAction&) = delete;
    virtual ~EditAction() = default;

    virtual HRESULT Do(CatalogueModel& model) = 0;
    virtual HRESULT Undo(CatalogueModel& model) = 0;
    virtual const wchar_t* ItemName() const = 0;
    // Names the entry the action changes; two actions on one entry give the same text.
    virtual std::wstring EntryKey() const = 0;
    // A hash of EntryKey's text, equal for equal texts, worked out without making the text; memo carries the part
    // that consecutive actions share from one call to the next.
    virtual uint64_t EntryHash(EntryKeyMemo& memo) const = 0;
};

// Copies of plug-ins without their presets, for the preset actions of one step: the actions of consecutive presets
// of one plug-in share one copy, rather than a step of 100,000 presets keeping 100,000 copies of a few plug-ins.
class PlugInShells {
public:
    // A copy that holds what source holds (but its presets); null when memory runs out. Never changed once made.
    std::shared_ptr<const PlugInEntry> CopyOf(const PlugInEntry& source);

private:
    std::shared_ptr<const PlugInEntry> last_;
};

class PresetAction : public EditAction {
public:
    explicit PresetAction(CatalogueSide actionSide) : side(actionSide) {}
    // Copies of the plug-in without its presets (shared through shells) and of the preset with its data.
    HRESULT SetPlugIn(const PlugInEntry& source, PlugInShells& shells);
    HRESULT SetPreset(const PresetEntry& source);
    const wchar_t* ItemName() const override;
    std::wstring EntryKey() const override;
    uint64_t EntryHash(EntryKeyMemo& memo) const override;

    CatalogueSide side;
    std::shared_ptr<const PlugInEntry> plugIn;
    std::unique_ptr<PresetEntry> preset;

protected:
    bool Complete() const { return plugIn && preset; }
    // Every preset action's Do and Undo: the first Do runs the side operation (firstDo) and notes what the entry
    // held before and after it; from then on the entry only moves between those two, and only while it still holds
    // the one expected (else EDIT_S_LEFT_ALONE).
    HRESULT Move(CatalogueModel& model, bool forward, bool remove);

private:
    bool done_ = false;
    EntryChange change_;
};

class ChainAction : public EditAction {
public:
    explicit ChainAction(CatalogueSide actionSide) : side(actionSide) {}
    HRESULT SetChain(const ChainEntry& source);
    const wchar_t* ItemName() const override;
    std::wstring EntryKey() const override;
    uint64_t EntryHash(EntryKeyMemo& memo) const override;

    CatalogueSide side;
    std::unique_ptr<ChainEntry> chain;

protected:
    // As PresetAction::Move, over every chain key the first Do touched (its own and the one of a chain it replaced).
    HRESULT Move(CatalogueModel& model, bool forward, bool remove);

private:
    bool done_ = false;
    std::vector<EntryChange> changes_;
};

class AddPresetAction : public PresetAction {
public:
    using PresetAction::PresetAction;
    HRESULT Do(CatalogueModel& model) override;
    HRESULT Undo(CatalogueModel& model) override;
};

// Do puts the new content over the preset of the same name; Undo puts the old content back.
class ReplacePresetAction : public PresetAction {
public:
    using PresetAction::PresetAction;
    HRESULT SetOldPreset(const PresetEntry& source);
    HRESULT Do(CatalogueModel& model) override;
    HRESULT Undo(CatalogueModel& model) override;

    std::unique_ptr<PresetEntry> oldPreset;
};

class DeletePresetAction : public PresetAction {
public:
    using PresetAction::PresetAction;
    HRESULT Do(CatalogueModel& model) override;
    HRESULT Undo(CatalogueModel& model) override;
};

class AddChainAction : public ChainAction {
public:
    using ChainAction::ChainAction;
    HRESULT Do(CatalogueModel& model) override;
    HRESULT Undo(CatalogueModel& model) override;
};

class ReplaceChainAction : public ChainAction {
public:
    using ChainAction::ChainAction;
    HRESULT SetOldChain(const ChainEntry& source);
    HRESULT Do(CatalogueModel& model) override;
    HRESULT Undo(CatalogueModel& model) override;

    std::unique_ptr<ChainEntry> oldChain;
};

class DeleteChainAction : public ChainAction {
public:
    using ChainAction::ChainAction;
    HRESULT Do(CatalogueModel& model) override;
    HRESULT Undo(CatalogueModel& model) override;
};

// One user edit: the side it changes and its actions in the order they were recorded.
struct EditStep {
    explicit EditStep(CatalogueSide side) : targetSide(side) {}
    CatalogueSide targetSide;
    KvOwnedList<EditAction> actions;
    wchar_t label[EDIT_LABEL_CHARS] = {}; // "Copy" or "Delete", for the Undo and Redo menu items
};

// The program's single history; owned by the frame window (or a test, or the command-line tool).
class EditHistory {
public:
    EditHistory() = default;
    EditHistory(const EditHistory&) = delete;
    EditHistory& operator=(const EditHistory&) = delete;

    // Throws away a step left pending, starts a new empty one and resets the remembered answer.
    HRESULT BeginEdit(CatalogueSide targetSide);
    void SetEditLabel(tKVLANG* language, UINT stringId);
    // The pending step takes the action; without a pending step the action is deleted and 0x80004005 returned.
    HRESULT AppendAction(std::unique_ptr<EditAction> action);
    void DiscardEdit();
    int PendingActionCount() const;

    // Applies the pending step and makes it the newest undo step; redo steps are dropped. A step without actions
    // never enters the history: 0x80004005. Every action runs even after a failure; the result is the first
    // failure, and the step stays in the history all the same.
    HRESULT CommitEdit(CatalogueModel& model, EditOutcome* outcome);
    // Revert the newest step or reapply the next redo step, moving it to the other list; 0 when there is none.
    HRESULT UndoEdit(CatalogueModel& model, EditOutcome* outcome);
    HRESULT RedoEdit(CatalogueModel& model, EditOutcome* outcome);
    void ClearHistory();

    uint32_t answerMode = ANSWER_ASK;
    KvOwnedList<EditStep> redoSteps; // index 0 is reapplied next
    KvOwnedList<EditStep> undoSteps; // index 0 is the newest, reverted next
    std::unique_ptr<EditStep> pending;
};

// The Undo and Redo menu items as the Edit menu shows them: "&Undo Copy\tCtrl+Z", or grayed "Can't &Undo...".
struct EditMenuItem {
    bool enabled = false;
    std::wstring text;
};
EditMenuItem UndoMenuItem(const EditHistory& history, tKVLANG* language);
EditMenuItem RedoMenuItem(const EditHistory& history, tKVLANG* language);
