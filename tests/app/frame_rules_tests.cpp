// The frame's rules without windows: layout arithmetic, the splitter, pane order and the command states.
#include <doctest.h>
#include <windows.h>
#include <algorithm>
#include <string>
#include <vector>
#include "command_state.h"
#include "document_record.h"
#include "frame_layout.h"
#include "pane_focus.h"
#include "pane_text.h"

namespace {

std::string Text(const RECT& r) {
    return std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
           std::to_string(r.bottom);
}

} // namespace

TEST_CASE("the frame's rectangles: toolbar on top, the package side above the system side") {
    FrameRects rects = ComputeFrameRects(RECT{0, 0, 800, 500}, 810, SIZE{0, 24});
    CHECK(Text(rects.toolbar) == "3,2,810,28"); // the wider of client and new width, less 3; ideal height + 2
    const int h = 494;                            // client height less the bottom margin
    CHECK(Text(rects.sides[0]) == "6,42,794," + std::to_string(h / 2 - 3));
    CHECK(Text(rects.sides[1]) == "6," + std::to_string(h / 2 + 3) + ",794,494");
    // A tiny window gives the package side a negative height; nothing wraps.
    FrameRects tiny = ComputeFrameRects(RECT{0, 0, 20, 11}, 20, SIZE{0, 22});
    CHECK(Text(tiny.sides[0]) == "6,42,14,-1");
    CHECK(Text(tiny.sides[1]) == "6,5,14,5");
}

TEST_CASE("a side's caption, tree and list, and the list's minimum width") {
    const RECT side{6, 42, 406, 300};
    SideRects rects = ComputeSideRects(side, SIZE{90, 14}, 150);
    CHECK(Text(rects.caption) == "6,42,96,56");
    CHECK(Text(rects.tree) == "6,56,156,300");
    CHECK(Text(rects.list) == "162,56,406,300");
    CHECK(rects.treeWidth == 150);

    // 400 wide: a tree of 390 would leave the list 4 pixels; it gives way by 6 so the list keeps exactly 10.
    rects = ComputeSideRects(side, SIZE{90, 14}, 390);
    CHECK(rects.treeWidth == 384);
    CHECK(rects.list.right - rects.list.left == 10);
    CHECK(rects.list.left == rects.tree.right + 6);
    rects = ComputeSideRects(side, SIZE{90, 14}, 380);
    CHECK(rects.treeWidth == 380); // 14 left: nothing to give
    rects = ComputeSideRects(RECT{0, 0, 12, 50}, SIZE{}, 300);
    CHECK(rects.treeWidth == 0); // never below nothing, even when the side cannot hold the list
}

TEST_CASE("the splitter's hit test, drag distance and clamps") {
    const RECT splitters[2] = {SplitterRect(RECT{6, 56, 306, 240}, RECT{312, 56, 794, 240}),
                               SplitterRect(RECT{6, 266, 206, 494}, RECT{212, 266, 794, 494})};
    CHECK(Text(splitters[0]) == "306,56,312,240");
    const int height = 500;
    CHECK(SplitterHitTest(POINT{306, 56}, height, splitters) == 1);  // left and top edges count
    CHECK(SplitterHitTest(POINT{311, 239}, height, splitters) == 1);
    CHECK(SplitterHitTest(POINT{312, 100}, height, splitters) == 0); // the list's first column does not
    CHECK(SplitterHitTest(POINT{306, 240}, height, splitters) == 0);
    CHECK(SplitterHitTest(POINT{208, 300}, height, splitters) == 2);
    // The side is picked by height first: the lower splitter's columns in the upper half are no hit.
    CHECK(SplitterHitTest(POINT{208, 200}, height, splitters) == 0);

    const POINT press{100, 100};
    const SIZE drag{4, 4}; // half-width (4 + 1) / 2 = 2: 98..101 stay still
    CHECK_FALSE(BeyondDragDistance(press, POINT{101, 98}, drag));
    CHECK(BeyondDragDistance(press, POINT{102, 100}, drag));
    CHECK(BeyondDragDistance(press, POINT{97, 100}, drag));
    CHECK(BeyondDragDistance(press, POINT{100, 102}, drag));

    const RECT side{6, 42, 406, 240}; // 400 wide
    CHECK(DraggedTreeWidth(150, 30, side) == 180);
    CHECK(DraggedTreeWidth(150, -1000, side) == 10);
    CHECK(DraggedTreeWidth(150, 1000, side) == 384);
}

TEST_CASE("Ctrl+Tab order: forward and backward, wrapping, passing over panes without items") {
    const bool all[4] = {true, true, true, true};
    const bool emptySystem[4] = {true, true, false, false};
    const bool noneButSystemList[4] = {false, false, false, true};
    const bool none[4] = {false, false, false, false};
    struct Row {
        uint32_t side;
        FocusedPane pane;
        bool forward;
        const bool* items;
        int expected;
    };
    const Row rows[] = {
        {PANE_PACKAGE, PANE_TREE, true, all, 1},  {PANE_PACKAGE, PANE_LIST, true, all, 2},
        {PANE_SYSTEM, PANE_LIST, true, all, 0},   {PANE_PACKAGE, PANE_TREE, false, all, 3},
        {PANE_SYSTEM, PANE_TREE, false, all, 1},  {PANE_PACKAGE, PANE_NONE, true, all, 1},
        {PANE_SYSTEM, PANE_NONE, true, all, 3},   {PANE_SYSTEM, PANE_NONE, false, all, 2},
        {PANE_PACKAGE, PANE_LIST, true, emptySystem, 0},
        {PANE_PACKAGE, PANE_TREE, false, emptySystem, 1},
        {PANE_PACKAGE, PANE_TREE, true, noneButSystemList, 3},
        {PANE_SYSTEM, PANE_LIST, true, noneButSystemList, 3}, // only itself to go to
        {PANE_PACKAGE, PANE_TREE, true, none, -1},
    };
    for (const Row& row : rows) {
        CAPTURE(row.side);
        CAPTURE(static_cast<int>(row.pane));
        CAPTURE(row.forward);
        PaneFocus focus{row.side, row.pane};
        CHECK(NextPaneIndex(focus, row.forward, row.items) == row.expected);
    }
}

TEST_CASE("command states over snapshots") {
    CommandSnapshot state;
    state.sideEmpty[PANE_PACKAGE] = false;
    state.sideEmpty[PANE_SYSTEM] = false;
    state.packageHasContent = true;
    state.focusedPaneHasSelection = true;

    SUBCASE("the system side focused with a selection copies to the file only") {
        state.activeSide = PANE_SYSTEM;
        state.focusedPane = PANE_LIST;
        CHECK(CanCopyToFile(state));
        CHECK_FALSE(CanCopyToSystem(state));
        CHECK(CanDelete(state));
        state.sideEmpty[PANE_SYSTEM] = true;
        CHECK_FALSE(CanCopyToFile(state));
        CHECK_FALSE(CanDelete(state));
    }
    SUBCASE("the package side active: Copy to File never, whatever is selected") {
        state.activeSide = PANE_PACKAGE;
        for (FocusedPane pane : {PANE_TREE, PANE_LIST}) {
            state.focusedPane = pane;
            CHECK_FALSE(CanCopyToFile(state));
            CHECK(CanCopyToSystem(state));
        }
    }
    SUBCASE("without the focus on a pane, or without a selection, nothing is copied or deleted") {
        state.activeSide = PANE_PACKAGE;
        state.focusedPane = PANE_NONE;
        CHECK_FALSE(CanDelete(state));
        CHECK_FALSE(CanCopyToSystem(state));
        state.focusedPane = PANE_TREE;
        state.focusedPaneHasSelection = false;
        CHECK_FALSE(CanDelete(state));
        CHECK_FALSE(CanCopyToSystem(state));
    }
    SUBCASE("Save needs a modified document that holds something") {
        CHECK_FALSE(CanSave(state));
        state.documentFlags = DOC_MODIFIED | DOC_UNTITLED;
        CHECK(CanSave(state));
        state.sideEmpty[PANE_PACKAGE] = true;
        CHECK_FALSE(CanSave(state));
        CHECK(SideIsEmpty(state, PANE_PACKAGE));
        CHECK(SideIsEmpty(state, 7)); // no such side holds nothing
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
    // Equal ignoring case keeps the given order.
    auto position = [&order](size_t index) { return std::find(order.begin(), order.end(), index) - order.begin(); };
    CHECK(position(1) < position(10)); // "Alpha" before "alpha"
    CHECK(SortKey(L"") == SortKey(std::wstring()));
    CHECK(SortedOrder({}).empty());

    const std::pair<const wchar_t*, const wchar_t*> pairs[] = {
        {L"Bright Reverb", L"bRIGHT rEVERB"}, {L"\u00e9t\u00e9", L"\u00c9T\u00c9"}, {L"stra\u00dfe", L"STRASSE"},
        {L"a-b", L"A_B"}, {L"\u03c3\u03bf\u03c6\u03af\u03b1", L"\u03a3\u039f\u03a6\u0399\u0391"}};
    for (const auto& [first, second] : pairs) {
        CAPTURE(std::wstring(first).size());
        bool ordinalEqual = CompareStringOrdinal(first, -1, second, -1, TRUE) == CSTR_EQUAL;
        CHECK((FoldedKey(first) == FoldedKey(second)) == ordinalEqual);
    }
}
