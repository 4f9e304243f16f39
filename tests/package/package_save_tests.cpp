// Saving over an existing package: any failure leaves the old file byte for byte and no temporary file.
#include <doctest.h>
#include "catalogue.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_save.h"
#include "package_test_util.h"
#include "test_support.h"

using namespace pkgtest;
using testsupport::ReadWholeFile;
using testsupport::ScratchDir;
using testsupport::WriteWholeFile;

namespace {

// The fault: which step fails, and after how many passes through it.
PackageSaveStep g_failStep = SAVE_STEP_CREATE;
int g_failAfter = 0;
int g_passes = 0;

HRESULT InjectFault(PackageSaveStep step) {
    if (step != g_failStep) return S_OK;
    return g_passes++ >= g_failAfter ? E_FAIL : S_OK;
}

struct FaultScope {
    FaultScope(PackageSaveStep step, int after) {
        g_failStep = step;
        g_failAfter = after;
        g_passes = 0;
        SetPackageSaveFault(&InjectFault);
    }
    ~FaultScope() { SetPackageSaveFault(nullptr); }
};

// A package large enough to need several block writes and size patches in the file.
void FillLarge(PlugInList& plugIns, ChainList& chains) {
    auto* plugIn = MakePlugIn(L"Echo", L"{7A3C0D11-5B2E-4F70-9C31-2D6E8B10A4F1}", {});
    for (int i = 0; i < 6; ++i)
        plugIn->AppendPreset(MakePreset(L"P" + std::to_wstring(i), Pattern(600001 + i * 1000, static_cast<uint8_t>(i))));
    plugIns.Append(plugIn);
    chains.Append(MakeChain(L"Chain", L"c", 0, 0, Pattern(99, 9)));
}

} // namespace

TEST_CASE("a failed save leaves the previous package and no temporary file") {
    ScratchDir dir(L"pkg-save");
    std::wstring target = dir.file(L"doc.kvpreset");
    const Bytes old = Riff("KVPD", {Chunk("fmt ", FormatRecord(0x00010001)), Chunk("old!", Pattern(33, 1))});
    REQUIRE(WriteWholeFile(target, old.data(), old.size()));
    PlugInList plugIns;
    ChainList chains;
    FillLarge(plugIns, chains);

    struct Case { PackageSaveStep step; int after; HRESULT expected; };
    const Case cases[] = {
        {SAVE_STEP_CREATE, 0, KV_E_FILE_CREATE}, {SAVE_STEP_WRITE, 0, KV_E_WRITE}, {SAVE_STEP_WRITE, 1, KV_E_WRITE},
        {SAVE_STEP_WRITE, 3, KV_E_WRITE},        {SAVE_STEP_FLUSH, 0, KV_E_WRITE}, {SAVE_STEP_REPLACE, 0, KV_E_FILE_CREATE},
    };
    for (const Case& c : cases) {
        CAPTURE(static_cast<int>(c.step));
        CAPTURE(c.after);
        {
            FaultScope fault(c.step, c.after);
            CHECK(WritePackageFile(target.c_str(), &plugIns, &chains) == c.expected);
            CHECK(g_passes > c.after); // the fault was reached
        }
        CHECK(ReadWholeFile(target) == old);
        CHECK(TempFilesIn(dir.path()).empty());
        CHECK(FilesIn(dir.path()).size() == 1);
    }

    SUBCASE("a target held open by another program") {
        HANDLE holder = CreateFileW(target.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
        REQUIRE(holder != INVALID_HANDLE_VALUE);
        CHECK(WritePackageFile(target.c_str(), &plugIns, &chains) == KV_E_FILE_CREATE);
        CloseHandle(holder);
        CHECK(ReadWholeFile(target) == old);
        CHECK(TempFilesIn(dir.path()).empty());
    }
    SUBCASE("a read-only target") {
        REQUIRE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
        CHECK(WritePackageFile(target.c_str(), &plugIns, &chains) == KV_E_FILE_CREATE);
        SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
        CHECK(ReadWholeFile(target) == old);
        CHECK(TempFilesIn(dir.path()).empty());
    }
    SUBCASE("a folder that does not exist") {
        std::wstring nowhere = dir.file(L"missing\\doc.kvpreset");
        CHECK(WritePackageFile(nowhere.c_str(), &plugIns, &chains) == KV_E_FILE_CREATE);
    }
    SUBCASE("and a save without faults replaces it completely") {
        REQUIRE(WritePackageFile(target.c_str(), &plugIns, &chains) == S_OK);
        CHECK(TempFilesIn(dir.path()).empty());
        PlugInList readPlugIns;
        ChainList readChains;
        REQUIRE(ReadPackageFile(target.c_str(), &readPlugIns, &readChains) == S_OK);
        REQUIRE(readPlugIns.Count() == 1);
        CHECK(readPlugIns.At(0)->PresetCount() == 6);
        CHECK(DataOf(*readPlugIns.At(0)->PresetAt(5)) == Pattern(605001, 5));
    }
}
