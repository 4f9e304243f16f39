// The command-line words of diff, export and import in process: options, operands and the mistakes in them.
#include <doctest.h>
#include <functional>
#include <initializer_list>
#include <string>
#include <vector>
#include "cli_arguments.h"
#include "json_writer.h"
#include "resource.h"

namespace {

// Words as wmain would pass them, kept alive for the parse.
struct Words {
    Words(std::initializer_list<const wchar_t*> list) : text(list.begin(), list.end()) {
        for (std::wstring& word : text) pointers.push_back(word.data());
    }
    int count() const { return static_cast<int>(pointers.size()); }
    wchar_t* const* data() const { return pointers.data(); }
    std::vector<std::wstring> text;
    std::vector<wchar_t*> pointers;
};

} // namespace

TEST_CASE("options and operands: both value forms, a lone dash, and -- before names that begin with a dash") {
    static const CliOptionSpec specs[] = {{L"--name", true}, {L"--flag", false}};
    Words words{L"a", L"--name", L"--flag", L"-", L"--name=x=y", L"--flag", L"--", L"--flag", L"-b"};
    CliArguments arguments;
    CliUsageProblem problem;
    REQUIRE(ParseCliArguments(words.count(), words.data(), specs, 2, &arguments, &problem));
    std::vector<std::wstring> operands(arguments.operands.begin(), arguments.operands.end());
    CHECK(operands == std::vector<std::wstring>{L"a", L"-", L"--flag", L"-b"});
    REQUIRE(arguments.options.size() == 3);
    CHECK(std::wstring(arguments.options[0].value) == L"--flag"); // the next word is the value, whatever it is
    CHECK(std::wstring(arguments.options[1].value) == L"x=y");    // only the first "=" separates
    CHECK(arguments.options[2].spec == &specs[1]);
}

TEST_CASE("mistakes in the words: each named with the option or command it concerns") {
    auto parseExport = [](int n, wchar_t* const* w, CliUsageProblem* p) {
        ExportOptions o;
        return ParseExportArguments(L"cmd", n, w, &o, p);
    };
    auto parseImport = [](int n, wchar_t* const* w, CliUsageProblem* p) {
        ImportOptions o;
        return ParseImportArguments(L"cmd", n, w, &o, p);
    };
    auto parseDiff = [](int n, wchar_t* const* w, CliUsageProblem* p) {
        DiffOptions o;
        return ParseDiffArguments(L"cmd", n, w, &o, p);
    };
    using Parse = std::function<bool(int, wchar_t* const*, CliUsageProblem*)>;
    const struct { Parse parse; Words words; UINT messageId; std::wstring first, second; } mistakes[] = {
        {parseDiff, {L"a"}, IDS_CLI_WRONG_ARGUMENTS, L"cmd", L""},
        {parseDiff, {L"a", L"b", L"-x"}, IDS_CLI_UNKNOWN_OPTION, L"-x", L""},
        {parseDiff, {L"a", L"b", L"--exit-code=1"}, IDS_CLI_OPTION_TAKES_NO_VALUE, L"--exit-code", L""},
        {parseExport, {}, IDS_CLI_WRONG_ARGUMENTS, L"cmd", L""},
        {parseExport, {L"out", L"--plugin"}, IDS_CLI_OPTION_NEEDS_VALUE, L"--plugin", L""},
        {parseExport, {L"out", L"--chain", L"C", L"--no-chains"}, IDS_CLI_OPTIONS_CONFLICT, L"--chain", L"--no-chains"},
        {parseImport, {L"p", L"--skip", L"--overwrite"}, IDS_CLI_OPTIONS_CONFLICT, L"--overwrite", L"--skip"},
        {parseImport, {L"p", L"--destination=7.0", L"--destination", L"7.0"}, IDS_CLI_OPTION_REPEATED,
         L"--destination", L""},
        {parseImport, {L"p", L"--destination", L"7"}, IDS_CLI_DESTINATION_FORMAT, L"7", L""},
    };
    for (const auto& mistake : mistakes) {
        CAPTURE(ToUtf8(mistake.first));
        CliUsageProblem problem;
        CHECK_FALSE(mistake.parse(mistake.words.count(), mistake.words.data(), &problem));
        CHECK(problem.messageId == mistake.messageId);
        CHECK(problem.first == mistake.first);
        CHECK(problem.second == mistake.second);
    }
}

TEST_CASE("a destination is decimal digits, a dot and decimal digits, each part within 32 bits") {
    uint32_t major = 0, minor = 0;
    REQUIRE(ParseDestinationText(L"4294967295.01", &major, &minor));
    CHECK(major == 4294967295u);
    CHECK(minor == 1);
    for (const wchar_t* text : {L"4294967296.0", L"7.", L".0", L"7.0.1", L"7,0", L"-7.0", L" 7.0", L"7.0 ", L""}) {
        CAPTURE(ToUtf8(text));
        CHECK_FALSE(ParseDestinationText(text, &major, &minor));
    }
}
