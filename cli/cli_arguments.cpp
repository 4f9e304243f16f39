// The words after a command: options from the command's own table, operands, and the mistakes found in them.
#include "cli_arguments.h"
#include <cwchar>
#include "resource.h"

namespace {

bool Fail(CliUsageProblem* problem, UINT messageId, const std::wstring& first, const std::wstring& second = {}) {
    problem->messageId = messageId;
    problem->first = first;
    problem->second = second;
    return false;
}

const CliOptionSpec* FindSpec(const CliOptionSpec* specs, size_t specCount, const wchar_t* name, size_t length) {
    for (size_t i = 0; i < specCount; ++i)
        if (wcslen(specs[i].name) == length && wcsncmp(specs[i].name, name, length) == 0) return &specs[i];
    return nullptr;
}

bool Has(const CliArguments& arguments, const CliOptionSpec& spec) {
    for (const CliOption& option : arguments.options)
        if (option.spec == &spec) return true;
    return false;
}

// Parses the words and checks the operand count; the common start of every command's parser.
bool ParseWithOperands(const wchar_t* command, int count, wchar_t* const* words, const CliOptionSpec* specs,
                       size_t specCount, size_t operands, CliArguments* arguments, CliUsageProblem* problem) {
    if (!ParseCliArguments(count, words, specs, specCount, arguments, problem)) return false;
    if (arguments->operands.size() != operands) return Fail(problem, IDS_CLI_WRONG_ARGUMENTS, command);
    return true;
}

bool ParseNumber(const wchar_t* begin, const wchar_t* end, uint32_t* value) {
    if (begin == end) return false;
    uint64_t number = 0;
    for (const wchar_t* at = begin; at < end; ++at) {
        if (*at < L'0' || *at > L'9') return false;
        number = number * 10 + static_cast<uint64_t>(*at - L'0');
        if (number > 0xFFFFFFFFu) return false;
    }
    *value = static_cast<uint32_t>(number);
    return true;
}

} // namespace

bool ParseCliArguments(int count, wchar_t* const* words, const CliOptionSpec* specs, size_t specCount,
                       CliArguments* arguments, CliUsageProblem* problem) {
    bool optionsEnded = false;
    for (int i = 0; i < count; ++i) {
        const wchar_t* word = words[i];
        if (optionsEnded || word[0] != L'-' || word[1] == 0) {
            arguments->operands.push_back(word);
            continue;
        }
        if (wcscmp(word, L"--") == 0) {
            optionsEnded = true;
            continue;
        }
        const wchar_t* equals = wcschr(word, L'=');
        size_t nameLength = equals ? static_cast<size_t>(equals - word) : wcslen(word);
        const CliOptionSpec* spec = FindSpec(specs, specCount, word, nameLength);
        if (!spec) return Fail(problem, IDS_CLI_UNKNOWN_OPTION, std::wstring(word, nameLength));
        const wchar_t* value = nullptr;
        if (spec->takesValue) {
            if (equals) value = equals + 1;
            else if (i + 1 < count) value = words[++i];
            else return Fail(problem, IDS_CLI_OPTION_NEEDS_VALUE, spec->name);
        } else if (equals) {
            return Fail(problem, IDS_CLI_OPTION_TAKES_NO_VALUE, spec->name);
        }
        arguments->options.push_back({spec, value});
    }
    return true;
}

bool ParseDestinationText(const wchar_t* text, uint32_t* major, uint32_t* minor) {
    const wchar_t* dot = wcschr(text, L'.');
    return dot && ParseNumber(text, dot, major) && ParseNumber(dot + 1, dot + wcslen(dot), minor);
}

bool ParseDiffArguments(const wchar_t* command, int count, wchar_t* const* words, DiffOptions* options,
                        CliUsageProblem* problem) {
    static const CliOptionSpec kSpecs[] = {{L"--exit-code", false}};
    CliArguments arguments;
    if (!ParseWithOperands(command, count, words, kSpecs, _countof(kSpecs), 2, &arguments, problem)) return false;
    options->first = arguments.operands[0];
    options->second = arguments.operands[1];
    options->exitCode = Has(arguments, kSpecs[0]);
    return true;
}

bool ParseExportArguments(const wchar_t* command, int count, wchar_t* const* words, ExportOptions* options,
                          CliUsageProblem* problem) {
    enum { PLUGIN, CHAIN, NO_CHAINS };
    static const CliOptionSpec kSpecs[] = {{L"--plugin", true}, {L"--chain", true}, {L"--no-chains", false}};
    CliArguments arguments;
    if (!ParseWithOperands(command, count, words, kSpecs, _countof(kSpecs), 1, &arguments, problem)) return false;
    options->path = arguments.operands[0];
    for (const CliOption& option : arguments.options) {
        if (option.spec == &kSpecs[PLUGIN]) options->plugIns.push_back(option.value);
        else if (option.spec == &kSpecs[CHAIN]) options->chains.push_back(option.value);
        else options->noChains = true;
    }
    if (options->noChains && !options->chains.empty())
        return Fail(problem, IDS_CLI_OPTIONS_CONFLICT, kSpecs[CHAIN].name, kSpecs[NO_CHAINS].name);
    return true;
}

bool ParseImportArguments(const wchar_t* command, int count, wchar_t* const* words, ImportOptions* options,
                          CliUsageProblem* problem) {
    enum { OVERWRITE, SKIP, DESTINATION, DRY_RUN };
    static const CliOptionSpec kSpecs[] = {
        {L"--overwrite", false}, {L"--skip", false}, {L"--destination", true}, {L"--dry-run", false}};
    CliArguments arguments;
    if (!ParseWithOperands(command, count, words, kSpecs, _countof(kSpecs), 1, &arguments, problem)) return false;
    options->path = arguments.operands[0];
    if (Has(arguments, kSpecs[OVERWRITE]) && Has(arguments, kSpecs[SKIP]))
        return Fail(problem, IDS_CLI_OPTIONS_CONFLICT, kSpecs[OVERWRITE].name, kSpecs[SKIP].name);
    if (Has(arguments, kSpecs[OVERWRITE])) options->answer = IMPORT_OVERWRITE_ALL;
    if (Has(arguments, kSpecs[SKIP])) options->answer = IMPORT_SKIP_ALL;
    options->dryRun = Has(arguments, kSpecs[DRY_RUN]);
    for (const CliOption& option : arguments.options) {
        if (option.spec != &kSpecs[DESTINATION]) continue;
        if (options->hasDestination) return Fail(problem, IDS_CLI_OPTION_REPEATED, option.spec->name);
        if (!ParseDestinationText(option.value, &options->destinationMajor, &options->destinationMinor))
            return Fail(problem, IDS_CLI_DESTINATION_FORMAT, option.value);
        options->hasDestination = true;
        options->destinationText = option.value;
    }
    return true;
}
