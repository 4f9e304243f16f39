// The real frame at two display scales: made at the system's DPI (96 in the usual run, 192 in the app_dpi192 run of
// tests/run_at_dpi.sh), then moved to the other scale by WM_DPICHANGED and back.
#include <doctest.h>
#include <cstdlib>
#include "frame_fixture.h"
#include "kvdpi.h"
#include "settings_ids.h"

using namespace frametest;

namespace {

struct Sizes {
    int buttonWidth, buttonHeight, treeItem, caption, splitter, treeImage, listImage, treeWidth;
    int toolbarImages[3][2]; // width, height
};

Sizes Measure(const FrameState& state) {
    const PaneState& pane = state.sides[PANE_PACKAGE];
    RECT button{};
    SendMessageW(state.toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
    int tree = 0, list = 0, unused = 0;
    ImageList_GetIconSize(TreeView_GetImageList(pane.tree, TVSIL_NORMAL), &tree, &unused);
    ImageList_GetIconSize(ListView_GetImageList(pane.list, LVSIL_SMALL), &list, &unused);
    Sizes sizes{button.right - button.left, button.bottom - button.top, TreeView_GetItemHeight(pane.tree),
                pane.captionRect.bottom - pane.captionRect.top, pane.listRect.left - pane.treeRect.right, tree, list,
                pane.treeWidth, {}};
    const UINT lists[3] = {TB_GETIMAGELIST, TB_GETHOTIMAGELIST, TB_GETDISABLEDIMAGELIST};
    for (int i = 0; i < 3; ++i)
        ImageList_GetIconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(state.toolbar, lists[i], 0, 0)),
                              &sizes.toolbarImages[i][0], &sizes.toolbarImages[i][1]);
    return sizes;
}

int Px(int at96, UINT dpi) { return at96 * static_cast<int>(dpi) / 96; }

} // namespace

TEST_CASE("display scale: sizes, images and layout twice as large at 192 DPI as at 96, placements kept in size") {
    const UINT system = KvDpi_ForSystem(), other = system == 96 ? 192 : 96;
    if (const char* expected = std::getenv("TARROW_TEST_DPI")) REQUIRE(system == static_cast<UINT>(std::atoi(expected)));
    REQUIRE((system == 96 || system == 192));
    AppSession session;
    {
        // No stored placement: the client area that 800 x 600 holds at 96 DPI, as large to the eye.
        TestFrame frame(session);
        ApplyStoredPlacement(frame.window(), g_appContext.settings);
        RECT frame96{}, client{};
        AdjustWindowRectExForDpi(&frame96, WS_OVERLAPPEDWINDOW, TRUE, WS_EX_ACCEPTFILES, 96);
        GetClientRect(frame.window(), &client);
        CHECK(std::abs(client.right - Px(800 - (frame96.right - frame96.left), system)) <= 2);
        CHECK(std::abs(client.bottom - Px(600 - (frame96.bottom - frame96.top), system)) <= 2);

        // To the other scale, as Windows moves a window between monitors, and back.
        SetWindowPos(frame.window(), nullptr, 10, 10, Px(600, system), Px(450, system), SWP_NOZORDER);
        const Sizes before = Measure(frame.state());
        RECT suggested{10, 10, 10 + Px(600, other), 10 + Px(450, other)}, window{};
        SendMessageW(frame.window(), WM_DPICHANGED, MAKEWPARAM(other, other), reinterpret_cast<LPARAM>(&suggested));
        const Sizes after = Measure(frame.state());
        GetWindowRect(frame.window(), &window);
        CHECK(window.right - window.left == Px(600, other));
        CHECK(window.bottom - window.top == Px(450, other));
        const Sizes& at96 = system == 96 ? before : after;
        const Sizes& at192 = system == 96 ? after : before;
        const std::pair<const char*, int Sizes::*> doubled[] = {
            {"button width", &Sizes::buttonWidth}, {"button height", &Sizes::buttonHeight},
            {"tree item", &Sizes::treeItem}, {"caption", &Sizes::caption}, {"splitter", &Sizes::splitter}};
        for (const auto& [what, size] : doubled) {
            INFO(what, ": ", at96.*size, " at 96 DPI, ", at192.*size, " at 192");
            CHECK(std::abs(at192.*size - 2 * at96.*size) <= 2);
        }
        CHECK(at96.treeWidth * 2 == at192.treeWidth); // each tree keeps its share of the side
        for (const auto& [sizes, image] : {std::pair{&at96, 16}, std::pair{&at192, 32}}) {
            CAPTURE(image);
            CHECK(sizes->treeImage == image);
            CHECK(sizes->listImage == image);
            for (const int* toolbar : sizes->toolbarImages) {
                CHECK(toolbar[0] == image + 2);
                CHECK(toolbar[1] == image + 1);
            }
        }
        RECT back{10, 10, 10 + Px(600, system), 10 + Px(450, system)};
        SendMessageW(frame.window(), WM_DPICHANGED, MAKEWPARAM(system, system), reinterpret_cast<LPARAM>(&back));
        CHECK(Measure(frame.state()).treeItem == before.treeItem);
        CHECK(Measure(frame.state()).buttonWidth == before.buttonWidth);
        CHECK(Measure(frame.state()).treeWidth == before.treeWidth);
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
