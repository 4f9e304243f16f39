// Drag and drop in the frame window: a side's pane starts a drag, the frame follows the mouse while it holds the
// capture, a drop on the other side runs the copy, Escape or a lost capture ends it.
#pragma once
#include <windows.h>

struct FrameState;

// A begin-drag notification of a side's tree or list starts a drag; false for every other notification.
bool OnDragNotify(FrameState& state, const NMHDR* header);

// The mouse while a drag runs (point in frame client coordinates); false when no drag runs.
bool OnDragMouseMove(FrameState& state, LPARAM point);
bool OnDragButtonUp(FrameState& state, LPARAM point);
// Escape (the cancel command) or the capture taken away by another window: the drag ends, nothing is copied.
// False when no drag runs.
bool OnDragCancel(FrameState& state);
