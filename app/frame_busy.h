// Whether the user is in the middle of something in the frame that work arriving from outside must not cut into.
#pragma once

struct FrameState;

// True while a question, message box or dialog owned by the frame is open (the frame is disabled then), a drag and
// drop or a splitter drag runs, a name is being edited in place, a command holds a FrameBusyScope, or the system
// side is pinned by an edit.
bool FrameIsBusy(const FrameState& frame);

// Held by a command, a drop or the end of an in-place edit for as long as it runs, questions included: work from
// outside (a reload of the system side) waits, and runs when the last scope ends.
class FrameBusyScope {
public:
    explicit FrameBusyScope(FrameState& frame);
    ~FrameBusyScope();
    FrameBusyScope(const FrameBusyScope&) = delete;
    FrameBusyScope& operator=(const FrameBusyScope&) = delete;

private:
    FrameState& frame_;
};
