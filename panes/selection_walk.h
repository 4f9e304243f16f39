// Walks the presets and chains a selection names, in selection order: the one loop behind copy, delete and the
// affected count, and the recording of one edit from it.
#pragma once
#include <windows.h>
#include "catalogue_model.h"
#include "edit_history.h"
#include "selection.h"

class SelectionVisitor {
public:
    virtual ~SelectionVisitor() = default;
    // A result other than 0 ends the walk and becomes its result.
    virtual HRESULT VisitPreset(const PlugInEntry& plugIn, const PresetEntry& preset) = 0;
    virtual HRESULT VisitChain(const ChainEntry& chain) = 0;
};

// Names that no longer resolve to an item (removed since the selection was read) are passed over. The visitor
// must not change the selection's side while the walk runs.
HRESULT WalkSelection(CatalogueModel& model, const Selection& selection, SelectionVisitor& visitor);

// Opens an edit on history (with the label and the remembered answer given), lets the visitor append its actions
// for the selection and commits them as one step. A walk that ends with a result other than 0 (the cancelled code)
// discards the edit and returns that result; an edit without actions is discarded and gives 1. Without apply a
// recorded step stays pending (result 0) for the caller to commit or discard.
HRESULT RecordSelectionEdit(CatalogueModel& model, EditHistory& history, const Selection& selection,
                            CatalogueSide targetSide, UINT labelId, AnswerMode answer, SelectionVisitor& visitor,
                            EditOutcome* outcome, bool apply = true);
