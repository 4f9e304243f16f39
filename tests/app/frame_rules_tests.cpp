// The frame's rules without windows: layout, the splitter, pane order, text order and command states.
#include <doctest.h>
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include "command_state.h"
#include "document_record.h"
#include "frame_layout.h"
#include "kvdpi.h"
#include "pane_focus.h"
#include "pane_text.h"

namespace {

std::string Text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

} // namespace

TEST_CASE("layout at 100, 125 and 200 % display scale: sizes scale from 96 DPI, rounded to the nearest pixel") {
    struct Row {
        UINT dpi;
        const char *toolbar, *package, *system; // a client of 800 x 500, the toolbar asking for 24 pixels at 96 DPI
        LONG listLeft;                          // after a tree of 150
        int32_t squeezedTree, draggedMax, draggedMin, image;
        SIZE frame;                             // what the window's frame adds at that scale
        const char* defaultWindow;
    };
    const Row rows[] = {
        {96, "3,2,810,28", "6,42,794,244", "6,250,794,494", 162, 384, 384, 10, 16, {8, 46}, "0,0,800,600"},
        {120, "4,3,810,36", "8,53,792,242", "8,250,792,492", 164, 379, 380, 13, 20, {10, 56}, "0,0,1000,749"},
        {192, "6,4,810,56", "12,84,788,238", "12,250,788,488", 168, 368, 368, 20, 32, {16, 92}, "0,0,1600,1200"},
    };
    const int images[] = {16, 20, 24, 32};
    const RECT side{6, 42, 406, 300}; // 400 wide
    for (const Row& row : rows) {
        CAPTURE(row.dpi);
        FrameRects frame = ComputeFrameRects(RECT{0, 0, 800, 500}, 810, SIZE{0, 24 * LONG(row.dpi) / 96}, row.dpi);
        CHECK(Text(frame.toolbar) == row.toolbar);
        CHECK(Text(frame.sides[0]) == row.package);
        CHECK(Text(frame.sides[1]) == row.system);
        CHECK(ComputeSideRects(side, SIZE{90, 14}, 150, row.dpi).list.left == row.listLeft);
        CHECK(ComputeSideRects(side, SIZE{90, 14}, 390, row.dpi).treeWidth == row.squeezedTree); // the list's minimum
        CHECK(DraggedTreeWidth(150, 1000, side, row.dpi) == row.draggedMax);
        CHECK(DraggedTreeWidth(150, -1000, side, row.dpi) == row.draggedMin);
        CHECK(images[KvDpi_PickSize(images, 4, 16, row.dpi)] == row.image);
        CHECK(Text(DefaultFrameRect(row.dpi, SIZE{8, 46}, row.frame, SIZE{3840, 2160})) == row.defaultWindow);
    }
    CHECK(Text(DefaultFrameRect(192, SIZE{8, 46}, SIZE{16, 92}, SIZE{1280, 1000})) == "0,0,1280,1000"); // fits the screen
    // Sizes are signed, never wrapped; the tree never goes below nothing.
    CHECK(Text(ComputeFrameRects(RECT{0, 0, 20, 11}, 20, SIZE{}, 96).sides[0]) == "6,42,14,-1");
    CHECK(ComputeSideRects(RECT{0, 0, 12, 50}, SIZE{}, 300, 96).treeWidth == 0);

    // A placement keeps its top-left and looks the same size at another scale, within the work area.
    const RECT stored{40, 30, 540, 430};
    CHECK(Text(ScaledPlacementRect(stored, 96, 192, SIZE{3840, 2160})) == "40,30,1040,830");
    CHECK(Text(ScaledPlacementRect(stored, 96, 192, SIZE{800, 600})) == "40,30,840,630");
    CHECK(Text(ScaledPlacementRect(RECT{0, 0, 5000, 4000}, 144, 144, SIZE{800, 600})) == "0,0,5000,4000"); // as it was
}

TEST_CASE("the splitter's hit test, drag distance and clamps") {
    const RECT splitters[2] = {SplitterRect(RECT{6, 56, 306, 240}, RECT{312, 56, 794, 240}),
                               SplitterRect(RECT{6, 266, 206, 494}, RECT{212, 266, 794, 494})};
    CHECK(SplitterHitTest(POINT{306, 56}, 500, splitters) == 1); // left and top edges count
    CHECK(SplitterHitTest(POINT{311, 239}, 500, splitters) == 1);
    CHECK(SplitterHitTest(POINT{312, 100}, 500, splitters) == 0);
    CHECK(SplitterHitTest(POINT{306, 240}, 500, splitters) == 0);
    CHECK(SplitterHitTest(POINT{208, 300}, 500, splitters) == 2);
    CHECK(SplitterHitTest(POINT{208, 200}, 500, splitters) == 0); // the upper half only looks at the upper side

    const POINT press{100, 100};
    const SIZE drag{4, 4}; // half-width (4 + 1) / 2 = 2: 98..101 stay still
    CHECK_FALSE(BeyondDragDistance(press, POINT{101, 98}, drag));
    CHECK(BeyondDragDistance(press, POINT{102, 100}, drag));
    CHECK(BeyondDragDistance(press, POINT{97, 100}, drag));
    CHECK(DraggedTreeWidth(150, 30, RECT{6, 42, 406, 240}, 96) == 180);
}

TEST_CASE("Ctrl+Tab order: both ways, wrapping, passing over panes without items") {
    const bool all[4] = {true, true, true, true}, emptySystem[4] = {true, true, false, false};
    const bool onlySystemList[4] = {false, false, false, true}, none[4] = {};
    struct Row {
        PaneFocus focus;
        bool forward;
        const bool* items;
        int expected;
    };
    const Row rows[] = {
        {{PANE_SYSTEM, PANE_LIST}, true, all, 0},          {{PANE_PACKAGE, PANE_TREE}, false, all, 3},
        {{PANE_SYSTEM, PANE_TREE}, false, all, 1},         {{PANE_SYSTEM, PANE_NONE}, true, all, 3},
        {{PANE_SYSTEM, PANE_NONE}, false, all, 2},         {{PANE_PACKAGE, PANE_TREE}, false, emptySystem, 1},
        {{PANE_PACKAGE, PANE_TREE}, true, onlySystemList, 3}, {{PANE_SYSTEM, PANE_LIST}, true, onlySystemList, 3},
        {{PANE_PACKAGE, PANE_TREE}, true, none, -1},
    };
    for (const Row& row : rows) {
        CAPTURE(row.focus.activeSide);
        CAPTURE(static_cast<int>(row.focus.focusedPaneKind));
        CAPTURE(row.forward);
        CHECK(NextPaneIndex(row.focus, row.forward, row.items) == row.expected);
    }
}

TEST_CASE("pane texts: sorted as the user's locale sorts them ignoring case, equal as ordinal comparison ignoring case") {
    const std::vector<std::wstring> texts = {L"zeta", L"Alpha", L"co-op", L"coop", L"Beta 10", L"beta 9", L"_under",
                                             L"\u00c9clair", L"eclair", L"Delta", L"alpha", L"10 Band", L"ab", L"a b"};
    std::vector<size_t> order = SortedOrder(texts);
    REQUIRE(order.size() == texts.size());
    for (size_t i = 1; i < order.size(); ++i) {
        CAPTURE(i);
        CHECK(lstrcmpiW(texts[order[i - 1]].c_str(), texts[order[i]].c_str()) <= 0);
    }
    auto position = [&order](size_t index) { return std::find(order.begin(), order.end(), index) - order.begin(); };
    CHECK(position(1) < position(10)); // equal ignoring case: "Alpha" stays before "alpha"

    const std::pair<const wchar_t*, const wchar_t*> pairs[] = {
        {L"Bright Reverb", L"bRIGHT rEVERB"}, {L"Zeta", L"zETA"}, {L"\u00e9t\u00e9", L"\u00c9T\u00c9"}, {L"stra\u00dfe", L"STRASSE"},
        {L"a-b", L"A_B"}, {L"\u03c3\u03bf\u03c6\u03af\u03b1", L"\u03a3\u039f\u03a6\u0399\u0391"}};
    for (const auto& [first, second] : pairs) {
        bool ordinalEqual = CompareStringOrdinal(first, -1, second, -1, TRUE) == CSTR_EQUAL;
        CHECK((FoldedKey(first) == FoldedKey(second)) == ordinalEqual);
    }
}

TEST_CASE("command states over snapshots") {
    CommandSnapshot state;
    state.sideEmpty[PANE_PACKAGE] = state.sideEmpty[PANE_SYSTEM] = false;
    state.focusedPaneHasSelection = true;
    state.activeSide = PANE_SYSTEM;
    state.focusedPane = PANE_LIST;
    CHECK(CanCopyToFile(state));
    CHECK_FALSE(CanCopyToSystem(state));
    CHECK(CanDelete(state));
    state.activeSide = PANE_PACKAGE; // whatever is selected, Copy to File needs the system side active
    CHECK_FALSE(CanCopyToFile(state));
    CHECK(CanCopyToSystem(state));
    state.sideEmpty[PANE_PACKAGE] = true;
    CHECK_FALSE(CanCopyToSystem(state));
    CHECK_FALSE(CanDelete(state));
    state.sideEmpty[PANE_PACKAGE] = false;
    state.focusedPane = PANE_NONE;
    CHECK_FALSE(CanDelete(state));
    state.focusedPane = PANE_TREE;
    state.focusedPaneHasSelection = false;
    CHECK_FALSE(CanDelete(state));

    CHECK_FALSE(CanSave(state));
    state.documentFlags = DOC_MODIFIED | DOC_UNTITLED;
    CHECK(CanSave(state));
    state.sideEmpty[PANE_PACKAGE] = true; // a modified package that holds nothing
    CHECK_FALSE(CanSave(state));
}
