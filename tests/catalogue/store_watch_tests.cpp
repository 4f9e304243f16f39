// Telling whether the store changed since a load: registry notifications and data-file stamps.
#include <doctest.h>
#include "catalogue_model.h"
#include "store_fixture.h"
#include "store_names.h"
#include "store_watch.h"

using namespace storetest;

TEST_CASE("a loaded store reads as unchanged until a key below it or one of its data files changes") {
    StoreSandbox sandbox;
    const wchar_t classId[] = L"{60000000-0000-4000-8000-000000000006}";
    const std::wstring key = std::wstring(STORE_PRESETS_KEY) + L"\\" + classId;
    std::wstring file = sandbox.WriteFile(L"big.dxp", Pattern(300, 2));
    REQUIRE(SetText(key, L"In a file", file));
    REQUIRE(SetText(key, L"Not yet there", sandbox.file(L"later.dxp")));
    CatalogueModel model;
    StoreWatch watch;
    CHECK_FALSE(watch.Unchanged()); // never armed
    auto armAndLoad = [&] {
        watch.Arm(); // as the frame does: armed first, so that a change during the load is not missed
        LoadSystemCatalogue(model, &watch.files());
    };
    armAndLoad();
    CHECK(watch.files().size() == 2); // the file that was read and the one that was missing
    CHECK(watch.Unchanged());
    CHECK(watch.Unchanged()); // looking does not disarm

    SUBCASE("a new value, then a fresh load") {
        REQUIRE(SetBinary(key, L"Added", Pattern(8, 3)));
        CHECK_FALSE(watch.Unchanged());
        armAndLoad();
        CHECK(watch.Unchanged());
    }
    SUBCASE("a data file rewritten with the same size and a later time") {
        sandbox.WriteFile(L"big.dxp", Pattern(300, 9));
        KvFile handle(CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        FILETIME later{};
        GetSystemTimeAsFileTime(&later);
        later.dwHighDateTime += 1; // well after the load, whatever the clock's resolution
        REQUIRE(SetFileTime(handle.get(), nullptr, nullptr, &later));
        handle.reset();
        CHECK_FALSE(watch.Unchanged());
    }
    SUBCASE("a missing data file that appears") {
        sandbox.WriteFile(L"later.dxp", Pattern(20, 4));
        CHECK_FALSE(watch.Unchanged());
    }
    SUBCASE("a Lathmere store created where none was, watched through an existing parent") {
        REQUIRE(SetBinary(std::wstring(STORE_LATHMERE_KEY) + L"\\Tool", L"P", Pattern(4, 5)));
        CHECK_FALSE(watch.Unchanged());
    }
    SUBCASE("a class registration that names a plug-in") {
        RegisterClassName(classId, L"Sixth Sense");
        CHECK_FALSE(watch.Unchanged());
        UnregisterClass(classId);
    }
}
