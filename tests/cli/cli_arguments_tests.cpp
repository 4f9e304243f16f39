// The command-line words of diff, export and import in process: options, operands and the mistakes in them.
#include <doctest.h>
#include <initializer_list>
#include <string>
#include <vector>
#include "cli_arguments.h"
#include "json_writer.h"
#include "resource.h"

namespace {

// Words as wmain would pass them, kept alive for the parse.
struct Words {
    Words(std::initializer_list<const wchar_t*> list) {
        for (const wchar_t* word : list) text.emplace_back(word);
        for (std::wstring& word : text) pointers.push_back(word.data());
    }
    int count() const { return static_cast<int>(pointers.size()); }
    wchar_t* const* data() const { return pointers.data(); }
    std::vector<std::wstring> text;
    std::vector<wchar_t*> pointers;
};

struct Mistake {
    Words words;
    UINT messageId;
    std::wstring first, second;
};

template <class Options, class Parse> void CheckMistakes(Parse parse, std::initializer_list<Mistake> mistakes) {
    for (const Mistake& mistake : mistakes) {
        CAPTURE(mistake.words.count());
        CAPTURE(mistake.messageId);
        Options options;
        CliUsageProblem problem;
        CHECK_FALSE(parse(L"cmd", mistake.words.count(), mistake.words.data(), &options, &problem));
        CHECK(problem.messageId == mistake.messageId);
        CHECK(problem.first == mistake.first);
        CHECK(problem.second == mistake.second);
    }
}

} // namespace

TEST_CASE("options and operands: both value forms, a lone dash, and -- before names that begin with a dash") {
    static const CliOptionSpec specs[] = {{L"--name", true}, {L"--flag", false}};
    Words words{L"a", L"--name", L"--flag", L"-", L"--name=x=y", L"--flag", L"--", L"--flag", L"-b"};
    CliArguments arguments;
    CliUsageProblem problem;
    REQUIRE(ParseCliArguments(words.count(), words.data(), specs, 2, &arguments, &problem));
    REQUIRE(arguments.operands.size() == 4);
    CHECK(std::wstring(arguments.operands[0]) == L"a");
    CHECK(std::wstring(arguments.operands[1]) == L"-");
    CHECK(std::wstring(arguments.operands[2]) == L"--flag");
    CHECK(std::wstring(arguments.operands[3]) == L"-b");
    REQUIRE(arguments.options.size() == 3);
    CHECK(arguments.options[0].spec == &specs[0]);
    CHECK(std::wstring(arguments.options[0].value) == L"--flag"); // the next word is the value, whatever it is
    CHECK(std::wstring(arguments.options[1].value) == L"x=y");    // only the first "=" separates
    CHECK(arguments.options[2].spec == &specs[1]);
    CHECK(arguments.options[2].value == nullptr);
}

TEST_CASE("diff takes two operands and --exit-code in any place") {
    DiffOptions options;
    CliUsageProblem problem;
    Words words{L"--exit-code", L"a.kvpreset", L"store"};
    REQUIRE(ParseDiffArguments(L"diff", words.count(), words.data(), &options, &problem));
    CHECK(options.first == L"a.kvpreset");
    CHECK(options.second == L"store");
    CHECK(options.exitCode);
    Words plain{L"a", L"b"};
    REQUIRE(ParseDiffArguments(L"diff", plain.count(), plain.data(), &options, &problem));
    CHECK_FALSE(options.exitCode);
    CheckMistakes<DiffOptions>(ParseDiffArguments, {
        {{L"a"}, IDS_CLI_WRONG_ARGUMENTS, L"cmd", L""},
        {{L"a", L"b", L"c"}, IDS_CLI_WRONG_ARGUMENTS, L"cmd", L""},
        {{L"a", L"b", L"--exit"}, IDS_CLI_UNKNOWN_OPTION, L"--exit", L""},
        {{L"a", L"b", L"--exit-code=1"}, IDS_CLI_OPTION_TAKES_NO_VALUE, L"--exit-code", L""},
        {{L"a", L"b", L"-x"}, IDS_CLI_UNKNOWN_OPTION, L"-x", L""},
    });
}

TEST_CASE("export collects the named plug-ins and chains in order; --chain and --no-chains exclude each other") {
    ExportOptions options;
    CliUsageProblem problem;
    Words words{L"--plugin", L"Reverb", L"out.kvpreset", L"--chain=Live", L"--plugin={0C1D}", L"--chain", L"Mix"};
    REQUIRE(ParseExportArguments(L"export", words.count(), words.data(), &options, &problem));
    CHECK(options.path == L"out.kvpreset");
    CHECK(options.plugIns == std::vector<std::wstring>{L"Reverb", L"{0C1D}"});
    CHECK(options.chains == std::vector<std::wstring>{L"Live", L"Mix"});
    CHECK_FALSE(options.noChains);
    ExportOptions noChains;
    Words second{L"out", L"--no-chains", L"--plugin", L"X"};
    REQUIRE(ParseExportArguments(L"export", second.count(), second.data(), &noChains, &problem));
    CHECK(noChains.noChains);
    CHECK(noChains.plugIns == std::vector<std::wstring>{L"X"});
    CheckMistakes<ExportOptions>(ParseExportArguments, {
        {{}, IDS_CLI_WRONG_ARGUMENTS, L"cmd", L""},
        {{L"out", L"--plugin"}, IDS_CLI_OPTION_NEEDS_VALUE, L"--plugin", L""},
        {{L"out", L"--chain", L"C", L"--no-chains"}, IDS_CLI_OPTIONS_CONFLICT, L"--chain", L"--no-chains"},
        {{L"out", L"--overwrite"}, IDS_CLI_UNKNOWN_OPTION, L"--overwrite", L""},
    });
}

TEST_CASE("import: the answer, the destination as MAJOR.MINOR given once, and dry run") {
    const struct { Words words; ImportAnswer answer; bool dryRun; } cases[] = {
        {{L"p"}, IMPORT_REFUSE_CONFLICTS, false},
        {{L"--overwrite", L"p", L"--overwrite"}, IMPORT_OVERWRITE_ALL, false},
        {{L"p", L"--skip", L"--dry-run"}, IMPORT_SKIP_ALL, true},
    };
    for (const auto& c : cases) {
        ImportOptions options;
        CliUsageProblem problem;
        REQUIRE(ParseImportArguments(L"import", c.words.count(), c.words.data(), &options, &problem));
        CHECK(options.path == L"p");
        CHECK(options.answer == c.answer);
        CHECK(options.dryRun == c.dryRun);
        CHECK_FALSE(options.hasDestination);
    }
    ImportOptions options;
    CliUsageProblem problem;
    Words words{L"p", L"--destination", L"10.25"};
    REQUIRE(ParseImportArguments(L"import", words.count(), words.data(), &options, &problem));
    CHECK(options.hasDestination);
    CHECK(options.destinationMajor == 10);
    CHECK(options.destinationMinor == 25);
    CHECK(options.destinationText == L"10.25");
    CheckMistakes<ImportOptions>(ParseImportArguments, {
        {{L"p", L"q"}, IDS_CLI_WRONG_ARGUMENTS, L"cmd", L""},
        {{L"p", L"--skip", L"--overwrite"}, IDS_CLI_OPTIONS_CONFLICT, L"--overwrite", L"--skip"},
        {{L"p", L"--destination=7.0", L"--destination", L"7.0"}, IDS_CLI_OPTION_REPEATED, L"--destination", L""},
        {{L"p", L"--destination"}, IDS_CLI_OPTION_NEEDS_VALUE, L"--destination", L""},
        {{L"p", L"--destination", L"7"}, IDS_CLI_DESTINATION_FORMAT, L"7", L""},
    });
}

TEST_CASE("a destination is decimal digits, a dot and decimal digits, each part within 32 bits") {
    const struct { const wchar_t* text; bool valid; uint32_t major, minor; } cases[] = {
        {L"7.0", true, 7, 0},        {L"6.00", true, 6, 0},  {L"4294967295.1", true, 4294967295u, 1},
        {L"4294967296.0", false, 0, 0}, {L"7.", false, 0, 0},   {L".0", false, 0, 0},
        {L"7.0.1", false, 0, 0},     {L"7,0", false, 0, 0},  {L"-7.0", false, 0, 0},
        {L" 7.0", false, 0, 0},      {L"7.0 ", false, 0, 0}, {L"", false, 0, 0},
    };
    for (const auto& c : cases) {
        CAPTURE(ToUtf8(c.text));
        uint32_t major = 99, minor = 99;
        CHECK(ParseDestinationText(c.text, &major, &minor) == c.valid);
        if (c.valid) {
            CHECK(major == c.major);
            CHECK(minor == c.minor);
        }
    }
}
