// Which commands are available now: a plain snapshot of the frame and the rules over it.
#pragma once
#include <cstdint>
#include "selection.h"

struct FrameState;

struct CommandSnapshot {
    uint32_t activeSide = 0;                // pane index: 0 package, 1 system
    FocusedPane focusedPane = PANE_NONE;    // where the keyboard focus is on the active side
    bool focusedPaneHasSelection = false;   // a selected tree node, or at least one selected row
    bool sideEmpty[2] = {true, true};       // by pane index: no preset and no chain
    bool packageHasContent = false;         // the package holds a preset or a chain
    uint32_t documentFlags = 0;             // DOC_ flags
    bool hasHistory = false;                // the edit history exists
    bool canUndo = false;
    bool canRedo = false;
    int32_t destinationCount = -1;          // -1 when there is no destination list
};

// Reads the frame (and the keyboard focus) once.
CommandSnapshot TakeCommandSnapshot(const FrameState& frame);

bool SideIsEmpty(const CommandSnapshot& state, uint32_t paneIndex);
bool PackageHasContent(const CommandSnapshot& state);
bool CanCopyToFile(const CommandSnapshot& state);
bool CanCopyToSystem(const CommandSnapshot& state);
bool CanDelete(const CommandSnapshot& state);
bool CanSave(const CommandSnapshot& state);
