// The frame at another display scale: a new font and images for the panes, a new toolbar, the layout again.
#include "frame_dpi.h"
#include "frame_layout.h"
#include "frame_state.h"
#include "kvdpi.h"
#include "toolbar.h"

void OnDpiChanged(FrameState& state, UINT dpi, const RECT* suggested) {
    if (!dpi) return;
    const UINT previous = state.dpi;
    state.dpi = dpi;
    if (dpi != previous) {
        KvFont font = KvDpi_CreateMessageFont(dpi);
        for (int side = 0; side < state.sideCount; ++side) {
            PaneState& pane = state.sides[side];
            pane.treeWidth = KvDpi_Rescale(pane.treeWidth, previous, dpi);
            RescaleSidePanes(pane, font ? font.get() : state.uiFont.get(), dpi);
        }
        if (font) state.uiFont = std::move(font); // the old font goes only after every window has the new one
        // The toolbar measures its buttons when they are added: a new one is simplest.
        DestroyToolbar(state);
        CreateToolbar(state.frame, state); // as at creation: without a toolbar the menus and keys still work
        UpdateToolbarStates(state);
    }
    if (suggested && !state.applyingPlacement)
        SetWindowPos(state.frame, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                     suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
    // The size message does not come when the rectangle stays the same.
    RECT client{};
    GetClientRect(state.frame, &client);
    LayoutFrame(state, IsIconic(state.frame) ? SIZE_MINIMIZED : SIZE_RESTORED, client.right);
    RedrawWindow(state.frame, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}
