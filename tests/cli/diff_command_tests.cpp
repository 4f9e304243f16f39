// tarrow-cli diff as a process: packages and the store compared, the JSON, and the exit codes.
#include <doctest.h>
#include <string>
#include "catalogue.h"
#include "cli_test_util.h"
#include "json_writer.h"
#include "package_format.h"
#include "package_builders.h"
#include "resource.h"
#include "store_names.h"
#include "test_support.h"
#include "../catalogue/store_fixture.h"

using namespace pkgtest;
using namespace clitest;

namespace {

const wchar_t kClass[] = L"{0C1D2E3F-4444-2222-3333-444455556666}";
const std::string kNoDifferences = "{\"onlyInA\":{\"plugins\":[],\"chains\":[]},\"onlyInB\":{\"plugins\":[],"
                                   "\"chains\":[]},\"different\":{\"plugins\":[],\"chains\":[]}}\n";

std::string Data(const Bytes& data) {
    return "{\"size\":" + std::to_string(data.size()) + ",\"sha256\":\"" + Sha(data) + "\"}";
}

} // namespace

TEST_CASE("diff: a package with itself is empty; one changed preset is named alone, with --exit-code 3") {
    testsupport::ScratchDir dir(L"cli-diff");
    const Bytes warm = Pattern(40, 1), hall = Pattern(400, 2), changed = Pattern(40, 9), stream = Pattern(6, 3);
    const std::wstring a = dir.file(L"a.kvpreset"), b = dir.file(L"b.kvpreset");
    for (const std::wstring& path : {a, b}) {
        PlugInList plugIns;
        ChainList chains;
        plugIns.Append(MakePlugIn(L"Tone", kClass, {MakePreset(L"Warm", path == a ? warm : changed),
                                                    MakePreset(L"Cold", warm)}));
        plugIns.Append(MakePlugIn(L"Reverb", L"", {MakePreset(L"Hall", hall)},
                                  PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED, 7, 0));
        chains.Append(MakeChain(L"Live", L"live-1", 1, 2, stream));
        REQUIRE(WritePackageFile(path.c_str(), &plugIns, &chains) == S_OK);
    }
    const struct { std::wstring arguments; long exitCode; std::string out; } runs[] = {
        {L"diff --exit-code" + Arg(a) + Arg(a), 0, kNoDifferences},
        {L"diff" + Arg(a) + Arg(b) + L" --exit-code", 3,
         "{\"onlyInA\":{\"plugins\":[],\"chains\":[]},\"onlyInB\":{\"plugins\":[],\"chains\":[]},\"different\":{"
         "\"plugins\":[{\"name\":\"Tone\",\"classId\":\"" + ToUtf8(kClass) + "\",\"flags\":0,\"major\":0,"
         "\"minor\":0,\"presets\":[{\"name\":\"Warm\",\"a\":" + Data(warm) + ",\"b\":" + Data(changed) + "}]}],"
         "\"chains\":[]}}\n"},
    };
    for (const auto& expected : runs) {
        CliRun run = RunTarrowCli(expected.arguments);
        CHECK(run.exitCode == expected.exitCode);
        CHECK(run.out == expected.out);
        CHECK(run.err == "");
    }
    CHECK(RunTarrowCli(L"diff" + Arg(a) + Arg(b)).exitCode == 0); // differences alone are no failure
}

TEST_CASE("diff against the store: what only one side holds, a changed chain, and the store's own names") {
    ClearStore();
    testsupport::ScratchDir dir(L"cli-diff-store");
    const Bytes kept = Pattern(12, 1), stored = Pattern(7, 2), packed = Pattern(5, 3), stream = Pattern(4, 4);
    const std::wstring plugInKey = std::wstring(STORE_PRESETS_KEY) + L"\\" + kClass;
    REQUIRE(storetest::SetBinary(plugInKey, L"Kept", kept));
    REQUIRE(storetest::SetBinary(plugInKey, L"Stored Only", stored));
    storetest::SeedChain(L"mix", L"Mix", 5, 6, stream);
    const std::wstring package = dir.file(L"p.kvpreset");
    PlugInList plugIns;
    ChainList chains;
    plugIns.Append(MakePlugIn(L"Tone", kClass, {MakePreset(L"KEPT", kept), MakePreset(L"Packed Only", packed)}));
    chains.Append(MakeChain(L"mix", L"mix", 5, 7, stream)); // another type
    REQUIRE(WritePackageFile(package.c_str(), &plugIns, &chains) == S_OK);
    CliRun run = RunTarrowCli(L"diff store" + Arg(package));
    // An unreadable operand: no JSON, the message and the code.
    const std::wstring junk = dir.file(L"junk.kvpreset");
    REQUIRE(testsupport::WriteWholeFile(junk, "RIFF\4\0\0\0WAVE", 12));
    CliRun bad = RunTarrowCli(L"diff store" + Arg(junk));
    ClearStore();
    CHECK(bad.exitCode == 1);
    CHECK(bad.out == "");
    CHECK(bad.err == Utf8String(IDS_OPEN_BAD_FORMAT, junk.c_str()) + "\n0x8004E00B\n");
    CHECK(run.exitCode == 0);
    CHECK(run.err == "");
    const std::string plugIn = "\"classId\":\"" + ToUtf8(kClass) + "\",\"flags\":0,\"major\":0,\"minor\":0,";
    CHECK(run.out == "{\"onlyInA\":{\"plugins\":[{\"name\":\"Not Installed 000\"," + plugIn + "\"presets\":[" +
                         Preset("Stored Only", stored) + "]}],\"chains\":[]},"
                     "\"onlyInB\":{\"plugins\":[{\"name\":\"Tone\"," + plugIn + "\"presets\":[" +
                         Preset("Packed Only", packed) + "]}],\"chains\":[]},"
                     "\"different\":{\"plugins\":[],\"chains\":[{\"name\":\"Mix\",\"a\":{\"identifier\":\"mix\","
                     "\"flags\":5,\"type\":6,\"size\":4,\"sha256\":\"" + Sha(stream) + "\"},\"b\":{\"identifier\":"
                     "\"mix\",\"flags\":5,\"type\":7,\"size\":4,\"sha256\":\"" + Sha(stream) + "\"}}]}}\n");
}
