// Saving over an existing package: any failure leaves the old file byte for byte and no temporary file.
#include <doctest.h>
#include "catalogue.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_save.h"
#include "package_test_util.h"
#include "test_support.h"

using namespace pkgtest;

namespace {

// The injected fault: which step fails, after how many passes through it, and the passes so far.
struct Fault { PackageSaveStep step; int after, passes; } g_fault;

HRESULT InjectFault(PackageSaveStep step) {
    return step == g_fault.step && g_fault.passes++ >= g_fault.after ? E_FAIL : S_OK;
}

bool NoTemporaryFile(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*.tmp").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return find == INVALID_HANDLE_VALUE;
}

} // namespace

TEST_CASE("a failed save leaves the previous package and no temporary file; a good one replaces it") {
    testsupport::ScratchDir dir(L"pkg-save");
    const std::wstring target = dir.file(L"doc.kvpreset");
    const Bytes old = Riff({Chunk("fmt ", FormatRecord(PACKAGE_VERSION_1_1)), Chunk("old!", Pattern(33, 1))});
    REQUIRE(testsupport::WriteWholeFile(target, old.data(), old.size()));
    // Large enough for several block writes, with sizes patched in the file beyond the writer's buffer.
    PlugInList plugIns;
    ChainList chains;
    for (int p = 0; p < 2; ++p) {
        auto* plugIn = MakePlugIn(L"Echo " + std::to_wstring(p), L"{7A3C0D11-5B2E-" + std::to_wstring(p), {});
        for (int i = 0; i < 30; ++i)
            plugIn->AppendPreset(MakePreset(L"P", Pattern(i % 7 == 3 ? 600001 + i : 1 + 37 * i, p)));
        plugIns.Append(plugIn);
    }
    for (int c = 0; c < 5; ++c)
        chains.Append(MakeChain(L"Chain", L"c" + std::to_wstring(c), c, c, Pattern(c % 2 ? 280001 : 17 + c, c)));

    const struct { PackageSaveStep step; int after; HRESULT code; } faults[] = {
        {SAVE_STEP_CREATE, 0, KV_E_FILE_CREATE}, {SAVE_STEP_WRITE, 1, KV_E_WRITE},
        {SAVE_STEP_FLUSH, 0, KV_E_WRITE}, {SAVE_STEP_REPLACE, 0, KV_E_FILE_CREATE}};
    for (const auto& fault : faults) {
        CAPTURE(int(fault.step));
        g_fault = {fault.step, fault.after, 0};
        SetPackageSaveFault(&InjectFault);
        CHECK(WritePackageFile(target.c_str(), &plugIns, &chains) == fault.code);
        SetPackageSaveFault(nullptr);
        CHECK(g_fault.passes > fault.after); // the fault was reached
        CHECK(testsupport::ReadWholeFile(target) == old);
        CHECK(NoTemporaryFile(dir.path()));
    }
    REQUIRE(SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_READONLY));
    CHECK(WritePackageFile(target.c_str(), &plugIns, &chains) == KV_E_FILE_CREATE);
    SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
    CHECK(testsupport::ReadWholeFile(target) == old);
    CHECK(NoTemporaryFile(dir.path()));

    REQUIRE(WritePackageFile(target.c_str(), &plugIns, &chains) == S_OK);
    CHECK(NoTemporaryFile(dir.path()));
    PlugInList readPlugIns;
    ChainList readChains;
    REQUIRE(ReadPackageFile(target.c_str(), &readPlugIns, &readChains) == S_OK);
    CheckSameCatalogue(plugIns, chains, readPlugIns, readChains);
}
