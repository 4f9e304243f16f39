// The rows a list pane answers its control with: their order, a rename in place, and the searches typing runs.
#include <doctest.h>
#include <string>
#include <vector>
#include "pane_rows.h"

TEST_CASE("list rows keep the order given, take a new name in place and are searched from a row, wrapping or not") {
    const std::vector<std::wstring> texts{L"Room", L"hall", L"Plate", L"hallway"};
    PaneRows rows;
    rows.Assign(texts, {1, 3, 2, 0}, 5);
    REQUIRE(rows.Count() == 4);
    CHECK(std::wstring(rows.Text(0)) == L"hall");
    CHECK(std::wstring(rows.Text(3)) == L"Room");
    CHECK(std::wstring(rows.Text(4)) == L"");
    CHECK(rows.Image() == 5);

    CHECK(rows.Find(L"PLATE", 0, false, false) == 2);
    CHECK(rows.Find(L"hall", 1, false, false) == -1); // the exact name lies before the start
    CHECK(rows.Find(L"hall", 1, false, true) == 0);
    CHECK(rows.Find(L"HALL", 1, true, false) == 1); // "hallway" begins with it
    CHECK(rows.Find(L"Roomy", 0, true, true) == -1);

    CHECK(rows.SetText(1, L"Corridor"));
    CHECK(std::wstring(rows.Text(1)) == L"Corridor");
    CHECK(rows.Find(L"hallway", 0, false, true) == -1);
    CHECK(std::wstring(rows.Text(2)) == L"Plate"); // its neighbours keep theirs
    CHECK_FALSE(rows.SetText(4, L"Beyond"));

    rows.Clear();
    CHECK(rows.Count() == 0);
    CHECK(rows.Find(L"Plate", 0, false, true) == -1);
}
