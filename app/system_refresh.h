// Reloading the system store into the system side: in full (F5), or on activation only when it may have changed.
#pragma once

struct FrameState;

#include <windows.h>

// Retries a reload that had to wait while the frame was busy with something no scope covers (a box, a drag).
constexpr UINT_PTR SYSTEM_REFRESH_RETRY_TIMER = 0x5442;

// Wait cursor, reload of the store and the destinations, the system tree and list brought in line, toolbar states.
// While the frame is busy (FrameIsBusy) nothing is freed under what runs: the reload is kept pending and runs once
// the frame is free again.
void RefreshSystemPresets(FrameState& frame);
// What an activation of the program runs: the full refresh when the store may have changed since the last load,
// nothing otherwise. Returns whether it reloaded now.
bool RefreshSystemPresetsIfChanged(FrameState& frame);
// Runs a pending reload when the frame is free (else keeps the retry timer going); on the retry timer and when a
// FrameBusyScope ends.
void RunDeferredSystemRefresh(FrameState& frame);
