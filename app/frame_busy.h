// Whether the user is in the middle of something in the frame that work arriving from outside must not cut into.
#pragma once

struct FrameState;

// True while a question, message box or dialog owned by the frame is open (the frame is disabled then), a drag and
// drop or a splitter drag runs, or a name is being edited in place.
bool FrameIsBusy(const FrameState& frame);
