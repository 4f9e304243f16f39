// tarrow-cli.exe as a process: dump and repack over written packages, store over a seeded store, usage and exit codes.
#include <doctest.h>
#include <string>
#include "catalogue.h"
#include "cli_test_util.h"
#include "json_writer.h"
#include "kvlang.h"
#include "kvresult.h"
#include "package_format.h"
#include "package_builders.h"
#include "resource.h"
#include "sha256_digest.h"
#include "store_names.h"
#include "test_support.h"
#include "../catalogue/store_fixture.h"

using namespace pkgtest;
using namespace clitest;

namespace {

const wchar_t kClassA[] = L"{0C1D2E3F-1111-2222-3333-444455556666}";
const wchar_t kClassB[] = L"{0C1D2E3F-1111-2222-3333-444455557777}";

} // namespace

TEST_CASE("dump: one package as a JSON object; several as a line each, unreadable ones with exit code 1") {
    testsupport::ScratchDir dir(L"cli-dump");
    const Bytes warm = Pattern(5, 1), bright = Pattern(300, 2), smile = Pattern(1, 3), stream = Pattern(7, 5);
    const std::wstring a = dir.file(L"a.kvpreset"), junk = dir.file(L"junk.kvpreset"), gone = dir.file(L"gone");
    PlugInList plugIns;
    ChainList chains;
    plugIns.Append(
        MakePlugIn(L"Stored \"Tone\"", kClassA, {MakePreset(L"W\\B", warm), MakePreset(L"T\tN\nL\x01", bright)}));
    plugIns.Append(MakePlugIn(L"Not Registered", kClassB, {MakePreset(L"\u00DC\u20AC\U0001F600", smile)}));
    plugIns.Append(MakePlugIn(L"Reverb", L"", {MakePreset(std::wstring(L"b\xD800x", 3), warm)}, 3, 7, 1));
    chains.Append(MakeChain(L"Chain \"one\"", L"chain-1", 0xFFFFFFFFu, 9, stream));
    REQUIRE(WritePackageFile(a.c_str(), &plugIns, &chains) == S_OK);
    REQUIRE(testsupport::WriteWholeFile(junk, "RIFF\4\0\0\0WAVE", 12));
    // A versioned tool shows its editor version.
    const std::string body = "\"plugins\":[{\"name\":\"Stored \\\"Tone\\\"\",\"classId\":\"" + ToUtf8(kClassA) +
        "\",\"flags\":0,\"major\":0,\"minor\":0,\"presets\":[" + Preset("W\\\\B", warm) + "," +
        Preset("T\\tN\\nL\\u0001", bright) + "]},{\"name\":\"Not Registered\",\"classId\":\"" + ToUtf8(kClassB) +
        "\",\"flags\":0,\"major\":0,\"minor\":0,\"presets\":[" + Preset("\xC3\x9C\xE2\x82\xAC\xF0\x9F\x98\x80", smile) +
        "]},{\"name\":\"Varden Lathmere 7.1 Reverb\",\"classId\":\"\",\"flags\":3,\"major\":7,\"minor\":1,"
        "\"presets\":[" + Preset("b\xEF\xBF\xBDx", warm) + "]}],\"chains\":[{\"name\":\"Chain \\\"one\\\"\","
        "\"identifier\":\"chain-1\",\"flags\":4294967295,\"type\":9,\"size\":7,\"sha256\":\"" + Sha(stream) + "\"}]";
    CliRun run = RunTarrowCli(L"dump" + Arg(a));
    CHECK(run.exitCode == 0);
    CHECK(run.out == "{" + body + "}\n");
    CHECK(run.err.empty());

    // Hundreds of packages take the output past its buffer's flush point.
    std::wstring arguments = L"dump";
    std::string out, err;
    for (int i = 0; i < 300; ++i) {
        const std::wstring& file = i % 3 == 0 ? a : i % 3 == 1 ? junk : gone;
        const std::string code = i % 3 == 1 ? "0x8004E00B" : "0x8004E007";
        arguments += Arg(file);
        out += "{\"file\":" + JsonPath(file) + "," + (i % 3 ? "\"error\":\"" + code + "\"" : body) + "}\n";
        if (i % 3) err += Utf8String(IDS_OPEN_BAD_FORMAT, file.c_str()) + "\n" + code + "\n";
    }
    run = RunTarrowCli(arguments);
    CHECK(run.exitCode == 1);
    CHECK(run.out == out);
    CHECK(run.err == err);
}

TEST_CASE("repack writes an old-format package as the writer would") {
    testsupport::ScratchDir dir(L"cli-repack");
    const Bytes data = Pattern(3, 7);
    const Bytes file = Riff({Chunk("fmt ", FormatRecord(PACKAGE_VERSION_1_0, 1)),
        List("plgs", {List("plug", {Chunk("plgh", PlugInHeader(1, 0, kClassB, L"Old Plug-In", true)),
            List("plst", {List("pset", {Chunk("psth", PresetRecord(L"Old Preset", data))})})})})});
    const std::wstring in = dir.file(L"old"), out = dir.file(L"new"), expected = dir.file(L"expected");
    REQUIRE(testsupport::WriteWholeFile(in, file.data(), file.size()));
    PlugInList plugIns;
    plugIns.Append(MakePlugIn(L"Old Plug-In", kClassB, {MakePreset(L"Old Preset", data)}));
    REQUIRE(WritePackageFile(expected.c_str(), &plugIns, nullptr) == S_OK);
    CliRun run = RunTarrowCli(L"repack" + Arg(in) + Arg(out));
    CHECK(run.exitCode == 0);
    CHECK(run.out + run.err == "");
    CHECK(testsupport::ReadWholeFile(out) == testsupport::ReadWholeFile(expected));

}

TEST_CASE("store prints a seeded system store's plug-ins, chains and Lathmere destinations") {
    ClearStore();
    const Bytes warm = Pattern(10, 1), slap = Pattern(6, 2), stream = Pattern(4, 3);
    REQUIRE(storetest::SetBinary(std::wstring(STORE_PRESETS_KEY) + L"\\{0C1D2E3F-9999-2222-3333-444455556666}",
                                 L"Warm \u00E9", warm));
    storetest::SeedChain(L"chainX", L"Chain \\ back", 2, 3, stream);
    REQUIRE(storetest::SetBinary(std::wstring(STORE_LATHMERE_KEY) + L"\\Delay", L"Slap", slap));
    // A version key without presets is still a destination.
    REQUIRE(storetest::SetDword(std::wstring(STORE_LATHMERE_VERSIONS_KEY) + L"\\8.0", L"Other", 2));
    CliRun run = RunTarrowCli(L"store");
    ClearStore();
    CHECK(run.exitCode == 0);
    CHECK(run.err.empty());
    CHECK(run.out ==
          "{\"plugins\":[{\"name\":\"Not Installed 000\",\"classId\":\"{0C1D2E3F-9999-2222-3333-444455556666}\","
          "\"flags\":0,\"major\":0,\"minor\":0,\"presets\":[" + Preset("Warm \xC3\xA9", warm) + "]},"
          "{\"name\":\"Moravel Lathmere Delay\",\"classId\":\"\",\"flags\":1,\"major\":6,\"minor\":0,\"presets\":[" +
          Preset("Slap", slap) + "]}],\"chains\":[{\"name\":\"Chain \\\\ back\",\"identifier\":\"chainX\",\"flags\":2,"
          "\"type\":3,\"size\":4,\"sha256\":\"" + Sha(stream) + "\"}],"
          "\"destinations\":[{\"major\":6,\"minor\":0},{\"major\":8,\"minor\":0}]}\n");
}

TEST_CASE("usage: help on standard output with 0, mistakes on standard error with 2") {
    const std::string usage = UsageText();
    REQUIRE(usage.find("repack") != std::string::npos);
    REQUIRE(usage.find("--exit-code") != std::string::npos); // the parts after the first are there too
    const struct { const wchar_t* arguments; long exitCode; std::string out, err; } runs[] = {
        {L"--help", 0, usage, ""},
        {L"dump", 2, "", Utf8String(IDS_CLI_WRONG_ARGUMENTS, L"dump") + "\n\n" + usage},
        {L"Dump x", 2, "", Utf8String(IDS_CLI_UNKNOWN_COMMAND, L"Dump") + "\n\n" + usage},
        {L"diff store", 2, "", Utf8String(IDS_CLI_WRONG_ARGUMENTS, L"diff") + "\n\n" + usage}, // the parsers' mistakes
    };
    for (const auto& expected : runs) {
        CAPTURE(ToUtf8(expected.arguments));
        CliRun run = RunTarrowCli(expected.arguments);
        CHECK(run.exitCode == expected.exitCode);
        CHECK(run.out == expected.out);
        CHECK(run.err == expected.err);
    }
}
