// Copy, delete and rename over the catalogue model, without windows: the frame window, the command-line tool and
// the tests all run these. Questions go through the library's message-box family (its display hook answers them
// in tests); nothing here reports a failure to the user, the caller does that with what the outcome names.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>
#include "catalogue_model.h"
#include "edit_history.h"
#include "selection.h"

// What every editing operation works on.
struct EditSession {
    CatalogueModel& model;
    EditHistory& history;
    HWND owner = nullptr;                             // owner of the questions; null: the application's active pop-up
    const LathmereDestination* destination = nullptr; // receives Lathmere tool presets; null when none is installed
};

struct CopyOptions {
    // Start as if the user had already answered: ANSWER_YES_TO_ALL overwrites and ANSWER_NO_TO_ALL skips every
    // existing item without a question.
    AnswerMode answer = ANSWER_ASK;
    bool showRefusals = true; // show the message for a Lathmere preset the destination cannot take
    // false: the recorded step stays pending in the history instead of being applied, so that a caller can look at
    // the records first and then CommitEdit or DiscardEdit it (the command-line import refuses conflicts and runs
    // dry this way).
    bool apply = true;
};

enum CopyResult : uint32_t {
    COPY_ADDED = 0,    // recorded as a new item on the target
    COPY_REPLACED = 1, // recorded to overwrite the existing item
    COPY_SKIPPED = 2,  // the item exists and the answer was No
    COPY_REFUSED = 3,  // a Lathmere preset the destination's version cannot take
};

struct CopyRecord {
    CopyResult result = COPY_ADDED;
    bool chain = false;
    std::wstring plugIn; // the target plug-in's display name; empty for a chain
    std::wstring name;
};

struct CopyOutcome : EditOutcome {
    uint32_t affected = 0;           // presets and chains the selection covers
    std::vector<CopyRecord> records; // one per item in the order met; emptied when nothing was applied because
                                     // the copy was cancelled or failed while recording
};

// Copies the selection from its side to the other side as one undoable step. 0 when the step was applied (or,
// without options.apply, recorded and left pending), 1 when nothing was recorded (everything skipped or refused,
// or nothing selected), 0x8004E00C when the user cancelled (nothing changed), or the first failure of applying the
// step (the step stays in the history).
HRESULT CopySelection(const EditSession& session, const Selection& selection, const CopyOptions& options,
                      CopyOutcome* outcome);

// Deletes the selection from its side as one undoable step; results as for CopySelection.
HRESULT DeleteSelection(const EditSession& session, const Selection& selection, EditOutcome* outcome);

// Renames the list row selection.names[0] to newText. The list shows the chains when selection.nodeKind is
// NODE_CHAINS, otherwise the presets of the plug-in whose text is selection.parent. 0 when renamed; 1 when refused
// (empty, 64 characters or more, or the name of another item: the message has been shown, except for a change of
// letter case alone, which is refused silently); a failure when the store could not be changed, in which case
// the item keeps its old name. Not recorded in the history.
HRESULT RenameListItem(const EditSession& session, const Selection& selection, const wchar_t* newText,
                       EditOutcome* outcome);

// The number of presets and chains a copy of the selection touches.
uint32_t CountAffected(CatalogueModel& model, const Selection& selection);

// False for a preset of one of Lathmere's own tools made with a version newer than the destination can read.
bool IsCompatibleWithDestination(const PlugInEntry& plugIn, const LathmereDestination& destination,
                                 tKVLANG* language);
