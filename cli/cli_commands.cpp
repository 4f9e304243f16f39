// The dispatch of tarrow-cli.exe, and its small commands: dump, repack, store, help and version.
#include "cli_commands.h"
#include <cwchar>
#include <string>
#include "catalogue.h"
#include "catalogue_json.h"
#include "catalogue_model.h"
#include "cli_report.h"
#include "diff_command.h"
#include "export_command.h"
#include "import_command.h"
#include "json_writer.h"
#include "kvlang.h"
#include "package_format.h"
#include "resource.h"

namespace {

// One package's object, the file name first when asked; nothing is written when the package cannot be read.
HRESULT DumpPackage(CliContext& context, const wchar_t* path, bool withFile, std::string& line) {
    PlugInList plugIns;
    ChainList chains;
    HRESULT hr = ReadPackageFile(path, &plugIns, &chains);
    if (hr < 0) return hr;
    JsonWriter json(line);
    json.BeginObject();
    if (withFile) {
        json.Key("file");
        json.String(path);
    }
    hr = WriteCatalogueMembers(json, &plugIns, &chains, context.language, context.digest);
    if (hr < 0) return hr;
    json.EndObject();
    line += '\n';
    return S_OK;
}

int DumpOne(CliContext& context, const wchar_t* path) {
    std::string line;
    HRESULT hr = DumpPackage(context, path, false, line);
    if (hr < 0) {
        ReportUnreadablePackage(context, path, hr);
        return CLI_EXIT_FAILED;
    }
    context.out.Append(line);
    return CLI_EXIT_OK;
}

int DumpMany(CliContext& context, int count, wchar_t** paths) {
    int exitCode = CLI_EXIT_OK;
    std::string line;
    for (int i = 0; i < count; ++i) {
        line.clear();
        HRESULT hr = DumpPackage(context, paths[i], true, line);
        if (hr < 0) {
            line.clear();
            JsonWriter json(line);
            json.BeginObject();
            json.Key("file");
            json.String(paths[i]);
            json.Key("error");
            json.Ascii(CodeText(hr).c_str());
            json.EndObject();
            line += '\n';
            ReportUnreadablePackage(context, paths[i], hr);
            exitCode = CLI_EXIT_FAILED;
        }
        context.out.Append(line);
    }
    return exitCode;
}

int Repack(CliContext& context, const wchar_t* source, const wchar_t* target) {
    PlugInList plugIns;
    ChainList chains;
    HRESULT hr = ReadPackageFile(source, &plugIns, &chains);
    if (hr < 0) {
        ReportUnreadablePackage(context, source, hr);
        return CLI_EXIT_FAILED;
    }
    hr = WritePackageFile(target, &plugIns, &chains);
    if (hr < 0) {
        ReportError(context, hr, target);
        return CLI_EXIT_FAILED;
    }
    return CLI_EXIT_OK;
}

int Store(CliContext& context) {
    CatalogueModel model;
    model.language = context.language;
    // The loaders' codes are informational: what could not be read is left out, as in the window.
    HRESULT hr = LoadSystemCatalogue(model);
    if (hr < 0) {
        ReportError(context, hr, nullptr);
        return CLI_EXIT_FAILED;
    }
    std::string line;
    JsonWriter json(line);
    json.BeginObject();
    hr = WriteCatalogueMembers(json, model.plugIns[SIDE_SYSTEM], model.chains[SIDE_SYSTEM], context.language,
                               context.digest);
    if (hr < 0) {
        ReportError(context, hr, nullptr);
        return CLI_EXIT_FAILED;
    }
    WriteDestinationsMember(json, model.destinations);
    json.EndObject();
    line += '\n';
    context.out.Append(line);
    return CLI_EXIT_OK;
}

int Dispatch(CliContext& context, int argc, wchar_t** argv) {
    if (argc < 2) return UsageError(context, 0, nullptr);
    const wchar_t* command = argv[1];
    int operands = argc - 2;
    if (wcscmp(command, L"--help") == 0 || wcscmp(command, L"-h") == 0) {
        if (operands != 0) return UsageError(context, IDS_CLI_WRONG_ARGUMENTS, command);
        WriteUsage(context, context.out);
        return CLI_EXIT_OK;
    }
    if (wcscmp(command, L"--version") == 0) {
        if (operands != 0) return UsageError(context, IDS_CLI_WRONG_ARGUMENTS, command);
        WriteVersion(context, context.out);
        return CLI_EXIT_OK;
    }
    if (wcscmp(command, L"dump") == 0) {
        if (operands < 1) return UsageError(context, IDS_CLI_WRONG_ARGUMENTS, command);
        return operands == 1 ? DumpOne(context, argv[2]) : DumpMany(context, operands, argv + 2);
    }
    if (wcscmp(command, L"repack") == 0) {
        if (operands != 2) return UsageError(context, IDS_CLI_WRONG_ARGUMENTS, command);
        return Repack(context, argv[2], argv[3]);
    }
    if (wcscmp(command, L"store") == 0) {
        if (operands != 0) return UsageError(context, IDS_CLI_WRONG_ARGUMENTS, command);
        return Store(context);
    }
    if (wcscmp(command, L"export") == 0) return ExportCommand(context, command, operands, argv + 2);
    if (wcscmp(command, L"import") == 0) return ImportCommand(context, command, operands, argv + 2);
    if (wcscmp(command, L"diff") == 0) return DiffCommand(context, command, operands, argv + 2);
    return UsageError(context, IDS_CLI_UNKNOWN_COMMAND, command);
}

} // namespace

int RunCli(CliContext& context, int argc, wchar_t** argv) {
    int exitCode = Dispatch(context, argc, argv);
    context.out.Flush();
    context.err.Flush();
    return exitCode;
}
