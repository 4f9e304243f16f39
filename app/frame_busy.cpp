// Whether the user is in the middle of something in the frame.
#include "frame_busy.h"
#include "frame_state.h"
#include "system_refresh.h"

bool FrameIsBusy(const FrameState& frame) {
    if (!frame.frame || !IsWindowEnabled(frame.frame)) return true;
    if (frame.drag.dragging || frame.splitStage != SPLIT_IDLE) return true;
    if (frame.busyDepth > 0 || frame.catalogue.systemPins > 0) return true;
    for (int side = 0; side < frame.sideCount; ++side)
        if (frame.sides[side].list && ListView_GetEditControl(frame.sides[side].list)) return true;
    return false;
}

FrameBusyScope::FrameBusyScope(FrameState& frame) : frame_(frame) { ++frame_.busyDepth; }

FrameBusyScope::~FrameBusyScope() {
    if (--frame_.busyDepth == 0) RunDeferredSystemRefresh(frame_);
}
