// tarrow-cli diff: two catalogues (packages or the system store) compared item by item.
#include "diff_command.h"
#include <cwchar>
#include <string>
#include "catalogue.h"
#include "catalogue_diff.h"
#include "catalogue_model.h"
#include "cli_arguments.h"
#include "cli_report.h"
#include "json_writer.h"
#include "package_format.h"

namespace {

constexpr wchar_t kStoreOperand[] = L"store";

// Loads the package at operand, or the system store for the word "store", into model; reports a failure.
bool LoadOperand(CliContext& context, const std::wstring& operand, CatalogueModel& model, CatalogueView* view) {
    model.language = context.language;
    if (operand == kStoreOperand) {
        // What the store could not read is left out, as in the window; only a negative code is a failure.
        HRESULT hr = LoadSystemCatalogue(model);
        if (hr < 0) {
            ReportError(context, hr, nullptr);
            return false;
        }
        *view = {model.plugIns[SIDE_SYSTEM], model.chains[SIDE_SYSTEM]};
        return true;
    }
    PlugInList* plugIns = GetPlugInList(model, SIDE_PACKAGE);
    ChainList* chains = GetChainList(model, SIDE_PACKAGE);
    HRESULT hr = plugIns && chains ? ReadPackageFile(operand.c_str(), plugIns, chains) : E_OUTOFMEMORY;
    if (hr < 0) {
        ReportUnreadablePackage(context, operand.c_str(), hr);
        return false;
    }
    *view = {plugIns, chains};
    return true;
}

} // namespace

int DiffCommand(CliContext& context, const wchar_t* command, int count, wchar_t* const* words) {
    DiffOptions options;
    CliUsageProblem problem;
    if (!ParseDiffArguments(command, count, words, &options, &problem)) return UsageError(context, problem);
    CatalogueModel first, second;
    CatalogueView firstView, secondView;
    if (!LoadOperand(context, options.first, first, &firstView) ||
        !LoadOperand(context, options.second, second, &secondView))
        return CLI_EXIT_FAILED;
    CatalogueDifferences differences = CompareCatalogues(firstView, secondView, context.language);
    std::string line;
    JsonWriter json(line);
    json.BeginObject();
    HRESULT hr = WriteDifferencesMembers(json, differences, context.language, context.digest);
    if (hr < 0) {
        ReportError(context, hr, nullptr);
        return CLI_EXIT_FAILED;
    }
    json.EndObject();
    line += '\n';
    context.out.Append(line);
    return options.exitCode && !differences.Empty() ? CLI_EXIT_DIFFERENT : CLI_EXIT_OK;
}
