// Walks the presets and chains a selection names, in selection order: the one loop behind copy, delete and the
// affected count.
#pragma once
#include <windows.h>
#include "catalogue_model.h"
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
