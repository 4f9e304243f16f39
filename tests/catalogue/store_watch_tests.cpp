// Telling whether the store changed since a load: registry notifications and data-file stamps.
#include <doctest.h>
#include "catalogue_model.h"
#include "store_fixture.h"
#include "store_names.h"
#include "store_watch.h"

using namespace storetest;

namespace {

constexpr wchar_t kPlugIn[] = L"{60000000-0000-4000-8000-000000000006}";

std::wstring PlugInKey() { return std::wstring(STORE_PRESETS_KEY) + L"\\" + kPlugIn; }

// Arms the watch and loads the store through it, as the frame does.
void ArmAndLoad(StoreWatch& watch, CatalogueModel& model) {
    watch.Arm();
    LoadSystemCatalogue(model, &watch.files());
}

} // namespace

TEST_CASE("a loaded store reads as unchanged until a key below it or one of its data files changes") {
    StoreSandbox sandbox;
    REQUIRE(SetBinary(PlugInKey(), L"Inline", Pattern(16, 1)));
    std::wstring file = sandbox.WriteFile(L"big.dxp", Pattern(300, 2));
    REQUIRE(SetText(PlugInKey(), L"In a file", file));
    std::wstring absent = sandbox.file(L"later.dxp");
    REQUIRE(SetText(PlugInKey(), L"Not yet there", absent));
    CatalogueModel model;
    StoreWatch watch;
    CHECK_FALSE(watch.Unchanged()); // never armed

    ArmAndLoad(watch, model);
    CHECK(watch.files().size() == 2); // the file that was read and the one that was missing
    CHECK(watch.Unchanged());
    CHECK(watch.Unchanged()); // looking does not disarm

    SUBCASE("a new value") {
        REQUIRE(SetBinary(PlugInKey(), L"Added", Pattern(8, 3)));
        CHECK_FALSE(watch.Unchanged());
        ArmAndLoad(watch, model);
        CHECK(watch.Unchanged());
    }
    SUBCASE("a data file rewritten with another size") {
        sandbox.WriteFile(L"big.dxp", Pattern(301, 2));
        CHECK_FALSE(watch.Unchanged());
    }
    SUBCASE("a data file rewritten with the same size but a later time") {
        sandbox.WriteFile(L"big.dxp", Pattern(300, 9));
        KvFile handle(CreateFileW(file.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        REQUIRE(handle.valid());
        FILETIME later{};
        GetSystemTimeAsFileTime(&later);
        later.dwHighDateTime += 1; // far enough ahead of the load whatever the clock's resolution
        REQUIRE(SetFileTime(handle.get(), nullptr, nullptr, &later));
        handle.reset();
        CHECK_FALSE(watch.Unchanged());
    }
    SUBCASE("a missing data file that appears") {
        sandbox.WriteFile(L"later.dxp", Pattern(20, 4));
        CHECK_FALSE(watch.Unchanged());
    }
    SUBCASE("a Lathmere store created where none was") {
        REQUIRE(SetBinary(std::wstring(STORE_LATHMERE_KEY) + L"\\Tool", L"P", Pattern(4, 5)));
        CHECK_FALSE(watch.Unchanged());
    }
    SUBCASE("a class registration that names a plug-in") {
        RegisterClassName(kPlugIn, L"Sixth Sense");
        CHECK_FALSE(watch.Unchanged());
        UnregisterClass(kPlugIn);
    }
    SUBCASE("Reset forgets the load") {
        watch.Reset();
        CHECK_FALSE(watch.Unchanged());
        CHECK(watch.files().empty());
    }
}
