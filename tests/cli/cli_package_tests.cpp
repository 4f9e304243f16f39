// tarrow-cli.exe dump and repack, run as a process over packages written by the package writer.
#include <doctest.h>
#include <string>
#include "catalogue.h"
#include "cli_process.h"
#include "json_writer.h"
#include "kverror.h"
#include "kvkernel.h"
#include "kvresult.h"
#include "package_format.h"
#include "resource.h"
#include "package_test_util.h"
#include "test_support.h"

using namespace clitest;
using namespace pkgtest;

namespace {

const wchar_t kClassA[] = L"{0C1D2E3F-1111-2222-3333-444455556666}";
const wchar_t kClassB[] = L"{0C1D2E3F-1111-2222-3333-444455557777}";

std::string Quoted(const std::wstring& text) {
    std::string out;
    AppendJsonString(out, text.data(), text.size());
    return out;
}

std::string PresetJson(const std::wstring& name, const Bytes& data) {
    return "{\"name\":" + Quoted(name) + ",\"size\":" + std::to_string(data.size()) + ",\"sha256\":\"" + Sha(data) +
           "\"}";
}

std::wstring Arg(const std::wstring& path) { return L" \"" + path + L"\""; }

// A class registration in the throwaway prefix, removed again at the end of the test.
struct RegisteredClass {
    std::wstring path;
    RegisteredClass(const wchar_t* classId, const wchar_t* name) : path(std::wstring(L"CLSID\\") + classId) {
        RegSetKeyValueW(HKEY_CLASSES_ROOT, path.c_str(), nullptr, REG_SZ, name,
                        static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t)));
    }
    ~RegisteredClass() { RegDeleteTreeW(HKEY_CLASSES_ROOT, path.c_str()); }
};

} // namespace

TEST_CASE("dump prints a package's plug-ins, presets and chains as JSON in file order") {
    testsupport::ScratchDir dir(L"cli-dump");
    RegisteredClass registered(kClassA, L"Friendly \"Tone\"");
    const Bytes warm = Pattern(5, 1), bright = Pattern(300, 2), smile = Pattern(1, 3), broken = Pattern(2, 4);
    const Bytes stream1 = Pattern(7, 5), stream2 = Pattern(2, 6);
    const std::wstring control = L"Tab\tNew\nLine\x01", surrogate(L"bad\xD800x", 5);
    const std::wstring unicode = L"\u00DC\u20AC\U0001F600";
    const std::wstring a = dir.file(L"a.kvpreset");
    {
        PlugInList plugIns;
        plugIns.Append(
            MakePlugIn(L"Stored Name", kClassA, {MakePreset(L"Warm\\Bright", warm), MakePreset(control, bright)}));
        plugIns.Append(MakePlugIn(L"Not Registered", kClassB, {MakePreset(unicode, smile)}));
        plugIns.Append(MakePlugIn(L"Reverb", L"", {MakePreset(surrogate, broken)}, 3, 7, 1));
        ChainList chains;
        chains.Append(MakeChain(L"Chain \"one\"", L"chain-1", 5, 9, stream1));
        chains.Append(MakeChain(L"\u00FC", L"c2", 0xFFFFFFFFu, 0, stream2));
        REQUIRE(WritePackageFile(a.c_str(), &plugIns, &chains) == S_OK);
    }
    // The registered name replaces the stored one; a versioned tool shows its editor version.
    const std::string body =
        "\"plugins\":[{\"name\":\"Friendly \\\"Tone\\\"\",\"classId\":" + Quoted(kClassA) +
        ",\"flags\":0,\"major\":0,\"minor\":0,\"presets\":[" + PresetJson(L"Warm\\Bright", warm) + "," +
        PresetJson(control, bright) + "]},{\"name\":\"Not Registered\",\"classId\":" + Quoted(kClassB) +
        ",\"flags\":0,\"major\":0,\"minor\":0,\"presets\":[" + PresetJson(unicode, smile) + "]}," +
        "{\"name\":\"Varden Lathmere 7.1 Reverb\",\"classId\":\"\",\"flags\":3,\"major\":7,\"minor\":1," +
        "\"presets\":[" + PresetJson(surrogate, broken) + "]}]," +
        "\"chains\":[{\"name\":\"Chain \\\"one\\\"\",\"identifier\":\"chain-1\"," +
        "\"flags\":5,\"type\":9,\"size\":7,\"sha256\":\"" + Sha(stream1) + "\"}," +
        "{\"name\":\"\xC3\xBC\",\"identifier\":\"c2\",\"flags\":4294967295,\"type\":0,\"size\":2," +
        "\"sha256\":\"" + Sha(stream2) + "\"}]";

    SUBCASE("one package: the object alone on standard output") {
        CliRun run = RunTarrowCli(L"dump" + Arg(a));
        CHECK(run.exitCode == 0);
        CHECK(run.out == "{" + body + "}\n");
        CHECK(run.err.empty());
        // Escapes spelled out, independently of the test's own use of the writer.
        CHECK(run.out.find("\"Tab\\tNew\\nLine\\u0001\"") != std::string::npos);
        CHECK(run.out.find("\"bad\xEF\xBF\xBDx\"") != std::string::npos);
        CHECK(run.out.find("\"\xC3\x9C\xE2\x82\xAC\xF0\x9F\x98\x80\"") != std::string::npos);
    }
    SUBCASE("several packages: a line each, file first; unreadable ones give an error line and exit code 1") {
        const std::wstring junk = dir.file(L"junk.kvpreset"), gone = dir.file(L"gone.kvpreset");
        testsupport::WriteWholeFile(junk, "RIFF\4\0\0\0WAVE", 12);
        CliRun run = RunTarrowCli(L"dump" + Arg(a) + Arg(junk) + Arg(gone) + Arg(a));
        CHECK(run.exitCode == 1);
        CHECK(run.out == "{\"file\":" + Quoted(a) + "," + body + "}\n{\"file\":" + Quoted(junk) +
                             ",\"error\":\"0x8004E00B\"}\n{\"file\":" + Quoted(gone) + ",\"error\":\"0x8004E007\"}\n" +
                             "{\"file\":" + Quoted(a) + "," + body + "}\n");
        CHECK(run.err == Utf8String(IDS_OPEN_BAD_FORMAT, junk.c_str()) + "\n0x8004E00B\n" +
                             Utf8String(IDS_OPEN_BAD_FORMAT, gone.c_str()) + "\n0x8004E007\n");
    }
    SUBCASE("hundreds of packages in one run, past the output buffer's flush point") {
        std::wstring arguments = L"dump";
        for (int i = 0; i < 300; ++i) arguments += Arg(i % 3 ? dir.file(L"gone.kvpreset") : a);
        CliRun run = RunTarrowCli(arguments);
        CHECK(run.exitCode == 1);
        size_t objects = 0, errors = 0;
        for (size_t at = 0; (at = run.out.find(body + "}\n", at)) != std::string::npos; ++at) ++objects;
        for (size_t at = 0; (at = run.out.find("\"error\":\"0x8004E007\"}\n", at)) != std::string::npos; ++at)
            ++errors;
        CHECK(objects == 100);
        CHECK(errors == 200);
    }
}

TEST_CASE("repack rewrites a package of the older format in the current one") {
    testsupport::ScratchDir dir(L"cli-repack");
    const Bytes data = Pattern(3, 7);
    // Version 1.0: a 608-byte plug-in header without the editor version.
    const Bytes file = Riff("KVPD", {Chunk("fmt ", FormatRecord(PACKAGE_VERSION_1_0, 1)),
        List("plgs", {List("plug", {Chunk("plgh", PlugInHeader10(0, kClassB, L"Old Plug-In")),
            List("plst", {List("pset", {Chunk("psth", PresetRecord(L"Old Preset", data))})})})})});
    const std::wstring in = dir.file(L"old.kvpreset"), out = dir.file(L"new.kvpreset");
    REQUIRE(testsupport::WriteWholeFile(in, file.data(), file.size()));

    SUBCASE("the output is what the writer makes of the same catalogue") {
        CliRun run = RunTarrowCli(L"repack" + Arg(in) + Arg(out));
        CHECK(run.exitCode == 0);
        CHECK(run.out + run.err == "");
        PlugInList plugIns;
        plugIns.Append(MakePlugIn(L"Old Plug-In", kClassB, {MakePreset(L"Old Preset", data)}));
        REQUIRE(WritePackageFile(dir.file(L"expected.kvpreset").c_str(), &plugIns, nullptr) == S_OK);
        CHECK(testsupport::ReadWholeFile(out) == testsupport::ReadWholeFile(dir.file(L"expected.kvpreset")));
    }
    SUBCASE("an unreadable input: the open message, no output file") {
        CliRun run = RunTarrowCli(L"repack" + Arg(dir.file(L"gone.kvpreset")) + Arg(out));
        CHECK(run.exitCode == 1);
        CHECK(run.err == Utf8String(IDS_OPEN_BAD_FORMAT, dir.file(L"gone.kvpreset").c_str()) + "\n0x8004E007\n");
        CHECK(GetFileAttributesW(out.c_str()) == INVALID_FILE_ATTRIBUTES);
    }
    SUBCASE("an output that cannot be created: the error handler's text") {
        const std::wstring target = dir.file(L"missing-folder\\new.kvpreset");
        CliRun run = RunTarrowCli(L"repack" + Arg(in) + Arg(target));
        CHECK(run.exitCode == 1);
        KvKernel_Init(GetModuleHandleW(nullptr));
        const wchar_t* message = KvErrorHandler_GetErrorMessage(0, KV_E_FILE_CREATE, target.c_str());
        CHECK(run.err == ToUtf8(message) + "\n0x8004E006\n");
    }
}
