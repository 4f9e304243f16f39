// tarrow-cli.exe store over a seeded system store, and the usage text with its exit codes.
#include <doctest.h>
#include <string>
#include "cli_process.h"
#include "resource.h"
#include "store_names.h"

using namespace clitest;

TEST_CASE("store prints the system store's plug-ins, chains and Lathmere destinations") {
    StoreKeys cleanup;
    SUBCASE("an empty store gives empty arrays") {
        CliRun run = RunTarrowCli(L"store");
        CHECK(run.exitCode == 0);
        CHECK(run.out == "{\"plugins\":[],\"chains\":[],\"destinations\":[]}\n");
        CHECK(run.err.empty());
    }
    SUBCASE("a seeded store, in loading order, with display names") {
        const std::vector<uint8_t> warm = Pattern(10, 1), slap = Pattern(6, 2), stream = Pattern(4, 3);
        const std::wstring plugInKey = std::wstring(STORE_PRESETS_KEY) + L"\\{0C1D2E3F-9999-2222-3333-444455556666}";
        REQUIRE(SetBinary(plugInKey, L"Warm \u00E9", warm));
        REQUIRE(SetBinary(plugInKey, L"(Untitled)", warm)); // never a preset of a DirectShow plug-in
        const std::wstring chainKey = std::wstring(STORE_CHAINS_KEY) + L"\\chainX";
        REQUIRE(SetDword(chainKey, L"Flags", 2));
        REQUIRE(SetDword(chainKey, L"Type", 3));
        REQUIRE(SetText(chainKey, L"Name", L"Chain \\ back"));
        REQUIRE(SetBinary(chainKey, L"Stream", stream));
        REQUIRE(SetBinary(std::wstring(STORE_LATHMERE_KEY) + L"\\Delay", L"Slap", slap));
        REQUIRE(CreateKey(std::wstring(STORE_LATHMERE_VERSIONS_KEY) + L"\\8.0")); // listed, though without presets

        CliRun run = RunTarrowCli(L"store");
        CHECK(run.exitCode == 0);
        CHECK(run.err.empty());
        CHECK(run.out ==
              "{\"plugins\":["
              "{\"name\":\"Not Installed 000\",\"classId\":\"{0C1D2E3F-9999-2222-3333-444455556666}\",\"flags\":0,"
              "\"major\":0,\"minor\":0,\"presets\":[{\"name\":\"Warm \xC3\xA9\",\"size\":10,\"sha256\":\"" +
                  Sha(warm) + "\"}]},"
              "{\"name\":\"Moravel Lathmere Delay\",\"classId\":\"\",\"flags\":1,\"major\":6,\"minor\":0,"
              "\"presets\":[{\"name\":\"Slap\",\"size\":6,\"sha256\":\"" + Sha(slap) + "\"}]}],"
              "\"chains\":[{\"name\":\"Chain \\\\ back\",\"identifier\":\"chainX\",\"flags\":2,\"type\":3,\"size\":4,"
              "\"sha256\":\"" + Sha(stream) + "\"}],"
              "\"destinations\":[{\"major\":6,\"minor\":0},{\"major\":8,\"minor\":0}]}\n");
    }
}

TEST_CASE("usage: help on standard output with 0, mistakes on standard error with 2") {
    const std::string usage = Utf8String(IDS_CLI_USAGE);
    REQUIRE(usage.find("repack") != std::string::npos);
    SUBCASE("--help and -h") {
        for (const wchar_t* option : {L"--help", L"-h"}) {
            CliRun run = RunTarrowCli(option);
            CHECK(run.exitCode == 0);
            CHECK(run.out == usage);
            CHECK(run.err.empty());
        }
    }
    SUBCASE("no command at all") {
        CliRun run = RunTarrowCli(L"");
        CHECK(run.exitCode == 2);
        CHECK(run.out.empty());
        CHECK(run.err == usage);
    }
    SUBCASE("wrong operand counts name the command") {
        for (const wchar_t* arguments : {L"dump", L"repack only-one", L"repack a b c", L"store extra", L"-h extra"}) {
            CAPTURE(std::wstring(arguments).size());
            CliRun run = RunTarrowCli(arguments);
            std::wstring command(arguments, wcscspn(arguments, L" "));
            CHECK(run.exitCode == 2);
            CHECK(run.out.empty());
            CHECK(run.err == Utf8String(IDS_CLI_WRONG_ARGUMENTS, command.c_str()) + "\n\n" + usage);
        }
    }
    SUBCASE("an unknown command") {
        CliRun run = RunTarrowCli(L"Dump x");
        CHECK(run.exitCode == 2);
        CHECK(run.err == Utf8String(IDS_CLI_UNKNOWN_COMMAND, L"Dump") + "\n\n" + usage);
    }
}
