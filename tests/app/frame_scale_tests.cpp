// The real frame at two display scales: made at the system's DPI (96 in the usual run, 192 in the run that
// tests/run_at_dpi.sh makes), then moved to the other scale by WM_DPICHANGED and back.
#include <doctest.h>
#include <cstdlib>
#include "frame_fixture.h"
#include "frame_layout.h"
#include "kvdpi.h"
#include "settings_ids.h"

using namespace frametest;

namespace {

// What a user sees of the frame's scale.
struct ScaleSizes {
    SIZE toolbarButton{}, toolbarImages[3]{};
    int treeItem = 0, caption = 0, splitter = 0, treeImage = 0, listImage = 0, treeWidth = 0;
};

SIZE IconSize(HIMAGELIST images) {
    int width = 0, height = 0;
    ImageList_GetIconSize(images, &width, &height);
    return SIZE{width, height};
}

ScaleSizes Measure(const TestFrame& frame) {
    ScaleSizes sizes;
    const FrameState& state = frame.state();
    const PaneState& pane = state.sides[PANE_PACKAGE];
    RECT button{};
    SendMessageW(state.toolbar, TB_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&button));
    sizes.toolbarButton = SIZE{button.right - button.left, button.bottom - button.top};

    const UINT lists[3] = {TB_GETIMAGELIST, TB_GETHOTIMAGELIST, TB_GETDISABLEDIMAGELIST};
    for (int i = 0; i < 3; ++i)
        sizes.toolbarImages[i] = IconSize(reinterpret_cast<HIMAGELIST>(SendMessageW(state.toolbar, lists[i], 0, 0)));
    sizes.treeItem = TreeView_GetItemHeight(pane.tree);
    sizes.caption = pane.captionRect.bottom - pane.captionRect.top;
    sizes.splitter = pane.listRect.left - pane.treeRect.right;
    sizes.treeImage = IconSize(TreeView_GetImageList(pane.tree, TVSIL_NORMAL)).cx;
    sizes.listImage = IconSize(ListView_GetImageList(pane.list, LVSIL_SMALL)).cy;
    sizes.treeWidth = pane.treeWidth;
    return sizes;
}

// A size at 192 DPI is about twice (within two pixels) the same size at 96.
void CheckDouble(const char* what, int at96, int at192) {
    INFO(what, " at 96 DPI ", at96, ", at 192 DPI ", at192);
    CHECK(at192 >= 2 * at96 - 2);
    CHECK(at192 <= 2 * at96 + 2);
}

void CheckImages(const ScaleSizes& sizes, int image) {
    CHECK(sizes.treeImage == image);
    CHECK(sizes.listImage == image);
    for (SIZE toolbar : sizes.toolbarImages) {
        CHECK(toolbar.cx == image + 2);
        CHECK(toolbar.cy == image + 1);
    }
}

SIZE WindowSize(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

void ChangeDpi(const TestFrame& frame, UINT dpi, RECT suggested) {
    SendMessageW(frame.window(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(&suggested));
    Pump();
}

} // namespace

TEST_CASE("display scale: sizes, images and layout twice as large at 192 DPI as at 96, placements kept in size") {
    const UINT system = KvDpi_ForSystem();
    if (const char* expected = std::getenv("TARROW_TEST_DPI")) REQUIRE(system == static_cast<UINT>(std::atoi(expected)));
    REQUIRE((system == 96 || system == 192));
    const UINT other = system == 96 ? 192 : 96;
    AppSession session;

    {
        // No stored placement: the default 800 x 600 at 96 DPI, as large to the eye at 192.
        TestFrame frame(session);
        ApplyStoredPlacement(frame.window(), g_appContext.settings);
        Pump();
        RECT frame96{0, 0, 800, 600}, client{};
        AdjustWindowRectExForDpi(&frame96, WS_OVERLAPPEDWINDOW, TRUE, WS_EX_ACCEPTFILES, 96);
        GetClientRect(frame.window(), &client);
        const int client96Width = 800 - (frame96.right - frame96.left - 800);
        const int client96Height = 600 - (frame96.bottom - frame96.top - 600);
        MESSAGE("client ", client.right, " x ", client.bottom, " at ", system, " DPI; at 96 DPI ", client96Width, " x ",
                client96Height);
        if (system == 96) {
            CHECK(WindowSize(frame.window()).cx == 800);
            CHECK(WindowSize(frame.window()).cy == 600);
        } else {
            CheckDouble("client width", client96Width, client.right);
            CheckDouble("client height", client96Height, client.bottom);
        }

        // Moved to the other scale and back, as Windows does between monitors.
        SetWindowPos(frame.window(), nullptr, 10, 10, 600 * system / 96, 450 * system / 96, SWP_NOZORDER);
        Pump();
        const ScaleSizes before = Measure(frame);
        const RECT suggested{10, 10, 10 + static_cast<LONG>(600 * other / 96), 10 + static_cast<LONG>(450 * other / 96)};
        ChangeDpi(frame, other, suggested);
        const ScaleSizes after = Measure(frame);
        CHECK(WindowSize(frame.window()).cx == suggested.right - suggested.left);
        CHECK(WindowSize(frame.window()).cy == suggested.bottom - suggested.top);
        const ScaleSizes& at96 = system == 96 ? before : after;
        const ScaleSizes& at192 = system == 96 ? after : before;
        MESSAGE("at 96 DPI: toolbar button ", at96.toolbarButton.cx, "x", at96.toolbarButton.cy, ", tree item ",
                at96.treeItem, ", caption ", at96.caption, ", splitter ", at96.splitter, "; at 192 DPI: ",
                at192.toolbarButton.cx, "x", at192.toolbarButton.cy, ", ", at192.treeItem, ", ", at192.caption, ", ",
                at192.splitter);
        CheckDouble("toolbar button width", at96.toolbarButton.cx, at192.toolbarButton.cx);
        CheckDouble("toolbar button height", at96.toolbarButton.cy, at192.toolbarButton.cy);
        CheckDouble("tree item height", at96.treeItem, at192.treeItem);
        CheckDouble("caption height", at96.caption, at192.caption);
        CHECK(at96.splitter == 6);
        CHECK(at192.splitter == 12);
        CHECK(at96.treeWidth * 2 == at192.treeWidth); // each tree keeps its share of the side
        CheckImages(at96, 16);
        CheckImages(at192, 32);

        ChangeDpi(frame, system, RECT{10, 10, 10 + static_cast<LONG>(600 * system / 96), 10 + static_cast<LONG>(450 * system / 96)});
        const ScaleSizes back = Measure(frame);
        CHECK(back.treeItem == before.treeItem);
        CHECK(back.toolbarButton.cx == before.toolbarButton.cx);
        CHECK(back.treeWidth == before.treeWidth);
        CheckImages(back, system == 96 ? 16 : 32);
    }

    // A placement and tree widths saved at the other scale open at the same size to the eye; ones saved by older
    // versions, which did not say their scale, open as they were.
    WINDOWPLACEMENT stored{};
    stored.length = sizeof(stored);
    stored.showCmd = SW_SHOWNORMAL;
    stored.ptMaxPosition = stored.ptMinPosition = POINT{-1, -1};
    stored.rcNormalPosition = RECT{40, 30, 40 + static_cast<LONG>(500 * other / 96), 30 + static_cast<LONG>(400 * other / 96)};
    REQUIRE(KvSetMetricBinary(g_appContext.settings, SETTING_WINDOW_PLACEMENT, &stored, sizeof(stored)) == S_OK);
    REQUIRE(KvSetMetric(g_appContext.settings, SETTING_PACKAGE_TREE_WIDTH, 200 * other / 96) == S_OK);
    for (bool scaleSaved : {true, false}) {
        CAPTURE(scaleSaved);
        if (scaleSaved) REQUIRE(KvSetMetric(g_appContext.settings, SETTING_PIXELS_DPI, other) == S_OK);
        else REQUIRE(KvDeleteMetric(g_appContext.settings, SETTING_PIXELS_DPI, KV_METRIC_NUMBER) == S_OK);
        const UINT seen = scaleSaved ? system : other;
        TestFrame frame(session);
        CHECK(frame.pane(PANE_PACKAGE).treeWidth == static_cast<int>(200 * seen / 96));
        ApplyStoredPlacement(frame.window(), g_appContext.settings);
        Pump();
        WINDOWPLACEMENT applied{};
        applied.length = sizeof(applied);
        GetWindowPlacement(frame.window(), &applied);
        CHECK(applied.rcNormalPosition.left == 40);
        CHECK(applied.rcNormalPosition.right - applied.rcNormalPosition.left == static_cast<LONG>(500 * seen / 96));
        CHECK(applied.rcNormalPosition.bottom - applied.rcNormalPosition.top == static_cast<LONG>(400 * seen / 96));
        frame.Destroy(); // the next round's settings are written below, not those this frame saves
        REQUIRE(KvSetMetricBinary(g_appContext.settings, SETTING_WINDOW_PLACEMENT, &stored, sizeof(stored)) == S_OK);
        REQUIRE(KvSetMetric(g_appContext.settings, SETTING_PACKAGE_TREE_WIDTH, 200 * other / 96) == S_OK);
    }
}
