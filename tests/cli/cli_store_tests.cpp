// tarrow-cli.exe store over a seeded system store, and the usage text with its exit codes.
#include <doctest.h>
#include <string>
#include "cli_process.h"
#include "package_test_util.h"
#include "resource.h"
#include "store_names.h"

using namespace clitest;
using pkgtest::Pattern;

namespace {

void DeleteStoreKeys() {
    for (const wchar_t* key : {L"Software\\DirectShow", L"Software\\Moravel", STORE_LATHMERE_VERSIONS_KEY})
        RegDeleteTreeW(HKEY_CURRENT_USER, key);
}

bool Set(const std::wstring& key, const wchar_t* name, DWORD type, const void* data, size_t size) {
    return RegSetKeyValueW(HKEY_CURRENT_USER, key.c_str(), name, type, data, static_cast<DWORD>(size)) == 0;
}

} // namespace

TEST_CASE("store prints the system store's plug-ins, chains and Lathmere destinations") {
    struct Cleanup {
        Cleanup() { DeleteStoreKeys(); }
        ~Cleanup() { DeleteStoreKeys(); }
    } cleanup;
    SUBCASE("an empty store gives empty arrays") {
        CliRun run = RunTarrowCli(L"store");
        CHECK(run.exitCode == 0);
        CHECK(run.out == "{\"plugins\":[],\"chains\":[],\"destinations\":[]}\n");
        CHECK(run.err.empty());
    }
    SUBCASE("a seeded store, in loading order, with display names") {
        const std::vector<uint8_t> warm = Pattern(10, 1), slap = Pattern(6, 2), stream = Pattern(4, 3);
        const std::wstring plugIn = std::wstring(STORE_PRESETS_KEY) + L"\\{0C1D2E3F-9999-2222-3333-444455556666}";
        const std::wstring chain = std::wstring(STORE_CHAINS_KEY) + L"\\chainX";
        const DWORD flags = 2, type = 3;
        const wchar_t name[] = L"Chain \\ back";
        REQUIRE(Set(plugIn, L"Warm \u00E9", REG_BINARY, warm.data(), warm.size()));
        REQUIRE(Set(plugIn, L"(Untitled)", REG_BINARY, warm.data(), warm.size())); // never a DirectShow preset
        REQUIRE(Set(chain, L"Flags", REG_DWORD, &flags, 4));
        REQUIRE(Set(chain, L"Type", REG_DWORD, &type, 4));
        REQUIRE(Set(chain, L"Name", REG_SZ, name, sizeof(name)));
        REQUIRE(Set(chain, L"Stream", REG_BINARY, stream.data(), stream.size()));
        REQUIRE(Set(std::wstring(STORE_LATHMERE_KEY) + L"\\Delay", L"Slap", REG_BINARY, slap.data(), slap.size()));
        // A version key without presets is still a destination.
        REQUIRE(Set(std::wstring(STORE_LATHMERE_VERSIONS_KEY) + L"\\8.0", L"Other", REG_DWORD, &flags, 4));

        CliRun run = RunTarrowCli(L"store");
        CHECK(run.exitCode == 0);
        CHECK(run.err.empty());
        CHECK(run.out ==
              "{\"plugins\":[{\"name\":\"Not Installed 000\",\"classId\":\"{0C1D2E3F-9999-2222-3333-444455556666}\","
              "\"flags\":0,\"major\":0,\"minor\":0,\"presets\":[{\"name\":\"Warm \xC3\xA9\",\"size\":10,\"sha256\":\"" +
                  Sha(warm) + "\"}]},{\"name\":\"Moravel Lathmere Delay\",\"classId\":\"\",\"flags\":1,\"major\":6,"
                  "\"minor\":0,\"presets\":[{\"name\":\"Slap\",\"size\":6,\"sha256\":\"" + Sha(slap) + "\"}]}],"
              "\"chains\":[{\"name\":\"Chain \\\\ back\",\"identifier\":\"chainX\",\"flags\":2,\"type\":3,\"size\":4,"
              "\"sha256\":\"" + Sha(stream) + "\"}],\"destinations\":[{\"major\":6,\"minor\":0},{\"major\":8,"
              "\"minor\":0}]}\n");
    }
}

TEST_CASE("usage: help on standard output with 0, mistakes on standard error with 2") {
    const std::string usage = Utf8String(IDS_CLI_USAGE);
    REQUIRE(usage.find("repack") != std::string::npos);
    for (const wchar_t* option : {L"--help", L"-h"}) {
        CliRun run = RunTarrowCli(option);
        CHECK(run.exitCode == 0);
        CHECK(run.out == usage);
        CHECK(run.err.empty());
    }
    const struct {
        const wchar_t* arguments;
        std::string message; // what precedes the usage on standard error
    } mistakes[] = {
        {L"", ""},
        {L"dump", Utf8String(IDS_CLI_WRONG_ARGUMENTS, L"dump") + "\n\n"},
        {L"repack only-one", Utf8String(IDS_CLI_WRONG_ARGUMENTS, L"repack") + "\n\n"},
        {L"store extra", Utf8String(IDS_CLI_WRONG_ARGUMENTS, L"store") + "\n\n"},
        {L"Dump x", Utf8String(IDS_CLI_UNKNOWN_COMMAND, L"Dump") + "\n\n"},
    };
    for (const auto& mistake : mistakes) {
        CAPTURE(mistake.message);
        CliRun run = RunTarrowCli(mistake.arguments);
        CHECK(run.exitCode == 2);
        CHECK(run.out.empty());
        CHECK(run.err == mistake.message + usage);
    }
}
