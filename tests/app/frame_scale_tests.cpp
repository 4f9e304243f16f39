// The real frame at two display scales: made at the system's DPI (96 in the usual run, 192 in the app_dpi192 run of
// tests/run_at_dpi.sh), then moved to the other scale by WM_DPICHANGED.
#include <doctest.h>
#include <cstdlib>
#include "frame_fixture.h"
#include "kvdpi.h"
#include "settings_ids.h"

using namespace frametest;

namespace {

struct Sizes {
    int buttonWidth, treeItem, splitter, treeWidth;
};

Sizes Measure(const FrameState& state) {
    const PaneState& pane = state.sides[PANE_PACKAGE];
    RECT button{};
    SendMessageW(state.toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
    return {button.right - button.left, TreeView_GetItemHeight(pane.tree), pane.listRect.left - pane.treeRect.right,
            pane.treeWidth};
}

int Px(int at96, UINT dpi) { return at96 * static_cast<int>(dpi) / 96; }

} // namespace

TEST_CASE("display scale: sizes twice as large at 192 DPI as at 96, placements kept in size") {
    const UINT system = KvDpi_ForSystem(), other = system == 96 ? 192 : 96;
    if (const char* expected = std::getenv("TARROW_TEST_DPI")) REQUIRE(system == static_cast<UINT>(std::atoi(expected)));
    REQUIRE((system == 96 || system == 192));
    AppSession session;
    {
        // To the other scale, as Windows moves a window between monitors.
        TestFrame frame(session);
        SetWindowPos(frame.window(), nullptr, 10, 10, Px(600, system), Px(450, system), SWP_NOZORDER);
        const Sizes before = Measure(frame.state());
        RECT suggested{10, 10, 10 + Px(600, other), 10 + Px(450, other)};
        SendMessageW(frame.window(), WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
        const Sizes after = Measure(frame.state());
        const Sizes& at96 = system == 96 ? before : after;
        const Sizes& at192 = system == 96 ? after : before;
        const std::pair<const char*, int Sizes::*> doubled[] = {{"toolbar button", &Sizes::buttonWidth},
                                                                {"tree item", &Sizes::treeItem},
                                                                {"splitter", &Sizes::splitter}};
        for (const auto& [what, size] : doubled) {
            INFO(what, ": ", at96.*size, " at 96 DPI, ", at192.*size, " at 192");
            CHECK(std::abs(at192.*size - 2 * at96.*size) <= 2);
        }
        CHECK(at96.treeWidth * 2 == at192.treeWidth); // each tree keeps its share of the side
    }

    // A placement and a tree width saved at the other scale look the same size; ones saved by older versions, which
    // did not say their scale, open as they were.
    WINDOWPLACEMENT stored{sizeof(stored), 0, SW_SHOWNORMAL, {-1, -1}, {-1, -1},
                           {40, 30, 40 + Px(500, other), 30 + Px(400, other)}};
    for (bool scaleSaved : {true, false}) {
        CAPTURE(scaleSaved);
        REQUIRE(KvSetMetricBinary(g_appContext.settings, SETTING_WINDOW_PLACEMENT, &stored, sizeof(stored)) == S_OK);
        REQUIRE(KvSetMetric(g_appContext.settings, SETTING_PACKAGE_TREE_WIDTH, Px(200, other)) == S_OK);
        if (scaleSaved) REQUIRE(KvSetMetric(g_appContext.settings, SETTING_PIXELS_DPI, other) == S_OK);
        else REQUIRE(KvDeleteMetric(g_appContext.settings, SETTING_PIXELS_DPI, KV_METRIC_NUMBER) == S_OK);
        const UINT seen = scaleSaved ? system : other;
        TestFrame frame(session);
        CHECK(frame.pane(PANE_PACKAGE).treeWidth == Px(200, seen));
        ApplyStoredPlacement(frame.window(), g_appContext.settings);
        WINDOWPLACEMENT applied{};
        applied.length = sizeof(applied);
        GetWindowPlacement(frame.window(), &applied);
        CHECK(applied.rcNormalPosition.left == 40);
        CHECK(applied.rcNormalPosition.right - applied.rcNormalPosition.left == Px(500, seen));
        CHECK(applied.rcNormalPosition.bottom - applied.rcNormalPosition.top == Px(400, seen));
    }
}
