// Reloading the system store into the system side: in full (F5), or on activation only when it may have changed.
#pragma once

struct FrameState;

// Wait cursor, reload of the store and the destinations, the system tree and list brought in line, toolbar states.
void RefreshSystemPresets(FrameState& frame);
// What an activation of the program runs: the full refresh when the store may have changed since the last load,
// nothing otherwise. Returns whether it reloaded.
bool RefreshSystemPresetsIfChanged(FrameState& frame);
