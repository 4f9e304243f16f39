// tarrow-cli.exe dump and repack, run as a process over packages written by the package writer.
#include <doctest.h>
#include <string>
#include "catalogue.h"
#include "cli_process.h"
#include "json_writer.h"
#include "kverror.h"
#include "kvkernel.h"
#include "package_format.h"
#include "resource.h"
#include "test_support.h"

using namespace clitest;
using Bytes = std::vector<uint8_t>;

namespace {

const wchar_t kClassA[] = L"{0C1D2E3F-1111-2222-3333-444455556666}";
const wchar_t kClassB[] = L"{0C1D2E3F-1111-2222-3333-444455557777}";

PresetEntry* Preset(const std::wstring& name, const Bytes& data) {
    auto* preset = new PresetEntry(name.c_str());
    uint8_t* blob = CatalogueBlobAlloc(static_cast<uint32_t>(data.size()));
    memcpy(blob, data.data(), data.size());
    preset->AdoptData(blob, static_cast<uint32_t>(data.size()));
    return preset;
}

ChainEntry* Chain(const wchar_t* name, const wchar_t* identifier, uint32_t flags, uint32_t type, const Bytes& data) {
    auto* chain = new ChainEntry;
    CatalogueCopyText(chain->name, CATALOGUE_NAME_CHARS, name);
    CatalogueCopyText(chain->identifier, CATALOGUE_ID_CHARS, identifier);
    chain->flags = flags;
    chain->type = type;
    uint8_t* blob = CatalogueBlobAlloc(static_cast<uint32_t>(data.size()));
    memcpy(blob, data.data(), data.size());
    chain->AdoptStream(blob, static_cast<uint32_t>(data.size()));
    return chain;
}

std::string Quoted(const std::wstring& text) {
    std::string out;
    AppendJsonString(out, text.data(), text.size());
    return out;
}

std::string PresetJson(const std::wstring& name, const Bytes& data) {
    return "{\"name\":" + Quoted(name) + ",\"size\":" + std::to_string(data.size()) + ",\"sha256\":\"" + Sha(data) +
           "\"}";
}

std::wstring Arg(const std::wstring& path) { return L"\"" + path + L"\""; }

std::string Utf8(const std::wstring& text) { return ToUtf8(text); }

// A class registration in the throwaway prefix, removed again at the end of the test.
class RegisteredClass {
public:
    RegisteredClass(const wchar_t* classId, const wchar_t* name) : path_(std::wstring(L"CLSID\\") + classId) {
        HKEY key = nullptr;
        if (RegCreateKeyExW(HKEY_CLASSES_ROOT, path_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
            return;
        RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(name),
                       static_cast<DWORD>((wcslen(name) + 1) * sizeof(wchar_t)));
        RegCloseKey(key);
    }
    ~RegisteredClass() { RegDeleteTreeW(HKEY_CLASSES_ROOT, path_.c_str()); }

private:
    std::wstring path_;
};

// Little-endian fields for a hand-made package of the older layout.
struct Builder {
    Bytes b;
    void Id(const char* id) { b.insert(b.end(), id, id + 4); }
    void U32(uint32_t v) {
        for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
    }
    void Text(const wchar_t* text, size_t units) {
        for (size_t i = 0; i < units; ++i) {
            uint16_t c = i < wcslen(text) ? static_cast<uint16_t>(text[i]) : 0;
            b.push_back(static_cast<uint8_t>(c));
            b.push_back(static_cast<uint8_t>(c >> 8));
        }
    }
    void Raw(const Bytes& data) { b.insert(b.end(), data.begin(), data.end()); }
};

} // namespace

TEST_CASE("dump prints a package's plug-ins, presets and chains as one JSON object in file order") {
    testsupport::ScratchDir dir(L"cli-dump");
    RegisteredClass registered(kClassA, L"Friendly \"Tone\"");
    const Bytes warm = Pattern(5, 1), bright = Pattern(300, 2), smile = Pattern(1, 3), broken = Pattern(2, 4);
    const Bytes stream1 = Pattern(7, 5), stream2 = Pattern(2, 6);
    const std::wstring controlName = L"Tab\tNew\nLine\x01";
    const std::wstring surrogateName(L"bad\xD800x", 5);
    {
        PlugInList plugIns;
        auto* first = new PlugInEntry(L"Stored Name", kClassA);
        first->AppendPreset(Preset(L"Warm\\Bright \"x\"", warm));
        first->AppendPreset(Preset(controlName, bright));
        plugIns.Append(first);
        auto* second = new PlugInEntry(L"Not Registered", kClassB);
        second->AppendPreset(Preset(L"\u00DCn\u00EF\u20AC\U0001F600", smile));
        plugIns.Append(second);
        auto* tool = new PlugInEntry(L"Reverb", nullptr);
        tool->flags = PLUGIN_LATHMERE_TOOL | PLUGIN_LATHMERE_VERSIONED;
        tool->majorVersion = 7;
        tool->minorVersion = 1;
        tool->AppendPreset(Preset(surrogateName, broken));
        plugIns.Append(tool);
        ChainList chains;
        chains.Append(Chain(L"Chain \"one\"", L"chain-1", 5, 9, stream1));
        chains.Append(Chain(L"\u00FC", L"c2", 0xFFFFFFFFu, 0, stream2));
        REQUIRE(WritePackageFile(dir.file(L"a.kvpreset").c_str(), &plugIns, &chains) == S_OK);
    }
    const std::string body =
        "\"plugins\":["
        "{\"name\":\"Friendly \\\"Tone\\\"\",\"classId\":\"" + Utf8(kClassA) + "\",\"flags\":0,\"major\":0,\"minor\":0,"
        "\"presets\":[" + PresetJson(L"Warm\\Bright \"x\"", warm) + "," + PresetJson(controlName, bright) + "]},"
        "{\"name\":\"Not Registered\",\"classId\":\"" + Utf8(kClassB) + "\",\"flags\":0,\"major\":0,\"minor\":0,"
        "\"presets\":[" + PresetJson(L"\u00DCn\u00EF\u20AC\U0001F600", smile) + "]},"
        "{\"name\":\"Varden Lathmere 7.1 Reverb\",\"classId\":\"\",\"flags\":3,\"major\":7,\"minor\":1,"
        "\"presets\":[" + PresetJson(surrogateName, broken) + "]}],"
        "\"chains\":["
        "{\"name\":\"Chain \\\"one\\\"\",\"identifier\":\"chain-1\",\"flags\":5,\"type\":9,\"size\":7,\"sha256\":\"" +
        Sha(stream1) + "\"},"
        "{\"name\":\"\xC3\xBC\",\"identifier\":\"c2\",\"flags\":4294967295,\"type\":0,\"size\":2,\"sha256\":\"" +
        Sha(stream2) + "\"}]";

    SUBCASE("one package: the object alone on standard output") {
        CliRun run = RunTarrowCli(L"dump " + Arg(dir.file(L"a.kvpreset")));
        CHECK(run.exitCode == 0);
        CHECK(run.out == "{" + body + "}\n");
        CHECK(run.err.empty());
        // Spot checks that do not go through the test's own escaping.
        CHECK(run.out.find("\"name\":\"Tab\\tNew\\nLine\\u0001\"") != std::string::npos);
        CHECK(run.out.find("\"name\":\"bad\xEF\xBF\xBDx\"") != std::string::npos);
        CHECK(run.out.find("\"name\":\"\xC3\x9Cn\xC3\xAF\xE2\x82\xAC\xF0\x9F\x98\x80\"") != std::string::npos);
    }
    SUBCASE("several packages: one line each with the file first, an error line for an unreadable one") {
        testsupport::WriteWholeFile(dir.file(L"junk.kvpreset"), "RIFF\4\0\0\0WAVE", 12);
        std::wstring a = dir.file(L"a.kvpreset"), junk = dir.file(L"junk.kvpreset"), gone = dir.file(L"gone.kvpreset");
        CliRun run = RunTarrowCli(L"dump " + Arg(a) + L" " + Arg(junk) + L" " + Arg(gone) + L" " + Arg(a));
        CHECK(run.exitCode == 1);
        CHECK(run.out == "{\"file\":" + Quoted(a) + "," + body + "}\n" +
                             "{\"file\":" + Quoted(junk) + ",\"error\":\"0x8004E00B\"}\n" +
                             "{\"file\":" + Quoted(gone) + ",\"error\":\"0x8004E007\"}\n" +
                             "{\"file\":" + Quoted(a) + "," + body + "}\n");
        CHECK(run.err == Utf8String(IDS_OPEN_BAD_FORMAT, junk.c_str()) + "\n0x8004E00B\n" +
                             Utf8String(IDS_OPEN_BAD_FORMAT, gone.c_str()) + "\n0x8004E007\n");
    }
}

TEST_CASE("dump of many packages in one run, and of an empty package") {
    testsupport::ScratchDir dir(L"cli-many");
    REQUIRE(WritePackageFile(dir.file(L"empty.kvpreset").c_str(), nullptr, nullptr) == S_OK);
    CliRun single = RunTarrowCli(L"dump " + Arg(dir.file(L"empty.kvpreset")));
    CHECK(single.exitCode == 0);
    CHECK(single.out == "{\"plugins\":[],\"chains\":[]}\n");

    // Enough lines to pass the output buffer's flush point several times.
    std::wstring arguments = L"dump";
    const int count = 400;
    PlugInList plugIns;
    auto* entry = new PlugInEntry(L"P", kClassB);
    entry->AppendPreset(Preset(L"p", Pattern(600, 9)));
    plugIns.Append(entry);
    for (int i = 0; i < count; ++i) {
        std::wstring name = dir.file(L"p" + std::to_wstring(i) + L".kvpreset");
        if (i < 4) REQUIRE(WritePackageFile(name.c_str(), &plugIns, nullptr) == S_OK);
        arguments += L" " + Arg(name);
    }
    CliRun run = RunTarrowCli(arguments);
    CHECK(run.exitCode == 1);
    size_t lines = 0, errors = 0;
    for (size_t at = 0; (at = run.out.find('\n', at)) != std::string::npos; ++at) ++lines;
    for (size_t at = 0; (at = run.out.find("\"error\":\"0x8004E007\"", at)) != std::string::npos; ++at) ++errors;
    CHECK(lines == count);
    CHECK(errors == count - 4);
    CHECK(run.out.rfind("{\"file\":" + Quoted(dir.file(L"p0.kvpreset")) + ",\"plugins\":[{\"name\":\"P\"", 0) == 0);
}

TEST_CASE("repack rewrites an older package in the current format") {
    testsupport::ScratchDir dir(L"cli-repack");
    const Bytes data = Pattern(3, 7);
    // A version 1.0 package: 608-byte plug-in header without the editor version.
    Builder plugh;
    plugh.U32(1);
    plugh.U32(0);
    plugh.Text(kClassB, 40);
    plugh.Text(L"Old Plug-In", 260);
    Builder psth;
    psth.Text(L"Old Preset", 260);
    psth.U32(3);
    psth.Raw(data);
    psth.b.push_back(0);
    Builder file;
    const uint32_t psetList = 4 + 8 + 528, plstList = 4 + 8 + psetList, plugList = 4 + 8 + 608 + 8 + plstList;
    const uint32_t plgsList = 4 + 8 + plugList;
    file.Id("RIFF"); file.U32(4 + 24 + 8 + plgsList); file.Id("KVPD");
    file.Id("fmt "); file.U32(16); file.U32(PACKAGE_VERSION_1_0); file.U32(1); file.U32(0); file.U32(0);
    file.Id("LIST"); file.U32(plgsList); file.Id("plgs");
    file.Id("LIST"); file.U32(plugList); file.Id("plug");
    file.Id("plgh"); file.U32(608); file.Raw(plugh.b);
    file.Id("LIST"); file.U32(plstList); file.Id("plst");
    file.Id("LIST"); file.U32(psetList); file.Id("pset");
    file.Id("psth"); file.U32(528); file.Raw(psth.b);
    const std::wstring in = dir.file(L"old.kvpreset"), out = dir.file(L"new.kvpreset");
    REQUIRE(testsupport::WriteWholeFile(in, file.b.data(), file.b.size()));

    SUBCASE("the output is what the writer makes of the same catalogue") {
        CliRun run = RunTarrowCli(L"repack " + Arg(in) + L" " + Arg(out));
        CHECK(run.exitCode == 0);
        CHECK(run.out.empty());
        CHECK(run.err.empty());
        PlugInList plugIns;
        auto* entry = new PlugInEntry(L"Old Plug-In", kClassB);
        entry->AppendPreset(Preset(L"Old Preset", data));
        plugIns.Append(entry);
        REQUIRE(WritePackageFile(dir.file(L"expected.kvpreset").c_str(), &plugIns, nullptr) == S_OK);
        Bytes written = testsupport::ReadWholeFile(out);
        CHECK(written == testsupport::ReadWholeFile(dir.file(L"expected.kvpreset")));
        REQUIRE(written.size() > 24);
        CHECK(written[20] == 1); // format version 1.1
        CHECK(written[22] == 1);
    }
    SUBCASE("an unreadable input fails with the open message and leaves no output") {
        CliRun run = RunTarrowCli(L"repack " + Arg(dir.file(L"gone.kvpreset")) + L" " + Arg(out));
        CHECK(run.exitCode == 1);
        CHECK(run.err == Utf8String(IDS_OPEN_BAD_FORMAT, dir.file(L"gone.kvpreset").c_str()) + "\n0x8004E007\n");
        CHECK(GetFileAttributesW(out.c_str()) == INVALID_FILE_ATTRIBUTES);
    }
    SUBCASE("an output that cannot be written fails with the error handler's text") {
        const std::wstring target = dir.file(L"missing-folder\\new.kvpreset");
        CliRun run = RunTarrowCli(L"repack " + Arg(in) + L" " + Arg(target));
        CHECK(run.exitCode == 1);
        KvKernel_Init(GetModuleHandleW(nullptr));
        const std::string expected =
            ToUtf8(KvErrorHandler_GetErrorMessage(0, static_cast<HRESULT>(0x8004E006), target.c_str()));
        CHECK(run.err == expected + "\n0x8004E006\n");
    }
}
