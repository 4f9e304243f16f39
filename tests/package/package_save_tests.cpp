// Saving over an existing package: any failure leaves the old file byte for byte and no temporary file.
#include <doctest.h>
#include "catalogue.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_save.h"
#include "package_builders.h"
#include "test_support.h"
#include <thread>

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

// Large enough for several block writes, with sizes patched in the file beyond the writer's buffer.
void BuildLargeCatalogue(PlugInList* plugIns, ChainList* chains) {
    for (int p = 0; p < 2; ++p) {
        auto* plugIn = MakePlugIn(L"Echo " + std::to_wstring(p), L"{7A3C0D11-5B2E-" + std::to_wstring(p), {});
        for (int i = 0; i < 30; ++i)
            plugIn->AppendPreset(MakePreset(L"P", Pattern(i % 7 == 3 ? 600001 + i : 1 + 37 * i, p)));
        plugIns->Append(plugIn);
    }
    for (int c = 0; c < 5; ++c)
        chains->Append(MakeChain(L"Chain", L"c" + std::to_wstring(c), c, c, Pattern(c % 2 ? 280001 : 17 + c, c)));
}

const Bytes& OldPackage() {
    static const Bytes old = Riff({Chunk("fmt ", FormatRecord(PACKAGE_VERSION_1_1)), Chunk("old!", Pattern(33, 1))});
    return old;
}

// A second copy of this program saves three packages, each held for good at one step, until it is ended.
#define HELD_SAVES_CASE "saves held at a step until their process is ended"
struct Hold { PackageSaveStep step; int after, passes; };
thread_local Hold t_hold{SAVE_STEP_CREATE, -1, 0}; // -1: never held
HANDLE g_allHeld = nullptr;
LONG g_heldCount = 0;

HRESULT HoldForGood(PackageSaveStep step) {
    if (t_hold.after >= 0 && step == t_hold.step && t_hold.passes++ >= t_hold.after) {
        if (InterlockedIncrement(&g_heldCount) == 3) SetEvent(g_allHeld);
        Sleep(INFINITE);
    }
    return S_OK;
}

} // namespace

TEST_CASE("a failed save leaves the previous package and no temporary file; a good one replaces it") {
    testsupport::ScratchDir dir(L"pkg-save");
    const std::wstring target = dir.file(L"doc.kvpreset");
    const Bytes& old = OldPackage();
    REQUIRE(testsupport::WriteWholeFile(target, old.data(), old.size()));
    PlugInList plugIns;
    ChainList chains;
    BuildLargeCatalogue(&plugIns, &chains);

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
    CHECK(CatalogueDifference(plugIns, chains, readPlugIns, readChains) == "");
}

// Run only by the test below, in a process of its own.
TEST_CASE(HELD_SAVES_CASE * doctest::skip()) {
    wchar_t folder[MAX_PATH] = {}, event[MAX_PATH] = {};
    if (!GetEnvironmentVariableW(L"TARROW_HELD_SAVES", folder, MAX_PATH) ||
        !GetEnvironmentVariableW(L"TARROW_HELD_SAVES_EVENT", event, MAX_PATH))
        return; // not started by that test: nothing to hold
    g_allHeld = OpenEventW(EVENT_MODIFY_STATE, FALSE, event);
    REQUIRE(g_allHeld != nullptr);
    static PlugInList plugIns;
    static ChainList chains;
    BuildLargeCatalogue(&plugIns, &chains);
    SetPackageSaveFault(&HoldForGood);
    const Hold holds[] = {{SAVE_STEP_WRITE, 1, 0}, {SAVE_STEP_FLUSH, 0, 0}, {SAVE_STEP_REPLACE, 0, 0}};
    for (int i = 0; i < 3; ++i) {
        std::thread([hold = holds[i], target = std::wstring(folder) + L"\\" + std::to_wstring(i) + L".kvpreset"] {
            t_hold = hold;
            WritePackageFile(target.c_str(), &plugIns, &chains);
        }).detach();
    }
    Sleep(INFINITE);
}

TEST_CASE("a save whose process is ended leaves the previous package and no temporary file") {
    testsupport::ScratchDir dir(L"pkg-ended");
    for (const wchar_t* name : {L"0.kvpreset", L"1.kvpreset", L"2.kvpreset"})
        REQUIRE(testsupport::WriteWholeFile(dir.file(name), OldPackage().data(), OldPackage().size()));
    const std::wstring eventName = L"Tarrow.Test.HeldSaves." + std::to_wstring(GetCurrentProcessId());
    HANDLE allHeld = CreateEventW(nullptr, TRUE, FALSE, eventName.c_str());
    REQUIRE(allHeld != nullptr);
    wchar_t program[MAX_PATH] = {};
    REQUIRE(GetModuleFileNameW(nullptr, program, MAX_PATH) > 0);
    std::wstring command = L"\"" + std::wstring(program) + L"\" \"--test-case=" HELD_SAVES_CASE "\" --no-skip";
    SetEnvironmentVariableW(L"TARROW_HELD_SAVES", dir.path().c_str());
    SetEnvironmentVariableW(L"TARROW_HELD_SAVES_EVENT", eventName.c_str());
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION child{};
    BOOL started =
        CreateProcessW(program, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &child);
    SetEnvironmentVariableW(L"TARROW_HELD_SAVES", nullptr);
    SetEnvironmentVariableW(L"TARROW_HELD_SAVES_EVENT", nullptr);
    REQUIRE(started);
    HANDLE waits[] = {allHeld, child.hProcess};
    DWORD woke = WaitForMultipleObjects(2, waits, FALSE, 120000);
    TerminateProcess(child.hProcess, 1);
    WaitForSingleObject(child.hProcess, 30000);
    for (HANDLE handle : {child.hThread, child.hProcess, allHeld}) CloseHandle(handle);
    REQUIRE(woke == WAIT_OBJECT_0); // every save reached its step before the end

    for (const wchar_t* name : {L"0.kvpreset", L"1.kvpreset", L"2.kvpreset"})
        CHECK(testsupport::ReadWholeFile(dir.file(name)) == OldPackage());
    CHECK(NoTemporaryFile(dir.path()));
}
