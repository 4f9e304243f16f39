// tarrow-cli export: the system store, or the named part of it, copied into a new package and saved.
#include "export_command.h"
#include <vector>
#include "catalogue.h"
#include "catalogue_model.h"
#include "cli_report.h"
#include "json_writer.h"
#include "package_format.h"
#include "resource.h"
#include "whole_side_copy.h"

namespace {

bool NamesPlugIn(const PlugInEntry& plugIn, const std::wstring& name, tKVLANG* language) {
    return plugIn.MatchesName(name.c_str(), language) ||
           (plugIn.classIdText[0] && CatalogueNamesEqual(plugIn.classIdText, name.c_str()));
}

// Leaves on the system side only the plug-ins (every entry a name matches, such as one tool in several Lathmere
// versions) and chains the options name. This changes the loaded copy in memory only: the store is never written
// by an export. False with the report's missing fields set when a name matches nothing.
bool KeepNamedItems(const ExportOptions& options, CatalogueModel& model, ExportReport* report) {
    PlugInList* plugIns = model.plugIns[SIDE_SYSTEM];
    ChainList* chains = model.chains[SIDE_SYSTEM];
    const bool namesSome = !options.plugIns.empty() || !options.chains.empty();
    if (namesSome) {
        std::vector<bool> keep(static_cast<size_t>(plugIns ? plugIns->Count() : 0));
        for (const std::wstring& name : options.plugIns) {
            bool found = false;
            for (int i = 0; plugIns && i < plugIns->Count(); ++i) {
                if (!plugIns->At(i) || !NamesPlugIn(*plugIns->At(i), name, model.language)) continue;
                keep[static_cast<size_t>(i)] = true;
                found = true;
            }
            if (!found) {
                report->missingMessage = IDS_CLI_NO_SUCH_PLUGIN;
                report->missingName = name;
                return false;
            }
        }
        for (const std::wstring& name : options.chains) {
            if (!chains || chains->FindByName(name.c_str()) < 0) {
                report->missingMessage = IDS_CLI_NO_SUCH_CHAIN;
                report->missingName = name;
                return false;
            }
        }
        for (int i = plugIns ? plugIns->Count() - 1 : -1; i >= 0; --i)
            if (!keep[static_cast<size_t>(i)]) plugIns->DeleteAt(i);
    }
    for (int i = chains ? chains->Count() - 1 : -1; i >= 0; --i) {
        bool named = false;
        for (const std::wstring& name : options.chains)
            named = named || (chains->At(i) && CatalogueNamesEqual(chains->At(i)->name, name.c_str()));
        if (options.noChains || (namesSome && !named)) chains->DeleteAt(i);
    }
    return true;
}

} // namespace

HRESULT ExportStore(const ExportOptions& options, tKVLANG* language, ExportReport* report) {
    *report = ExportReport();
    CatalogueModel model;
    model.language = language;
    // What the store could not read is left out, as in the window; only a negative code is a failure.
    HRESULT hr = LoadSystemCatalogue(model);
    if (hr < 0) return hr;
    if (!KeepNamedItems(options, model, report)) return S_OK;

    // The whole system side as the window's tree root would give it, to a package side that starts empty: there is
    // nothing to overwrite, and the answer is set all the same so that no question can ever be asked.
    EditHistory history;
    EditSession session{model, history, nullptr, nullptr};
    CopyOutcome outcome;
    hr = CopySelection(session, WholeSide(SIDE_SYSTEM), UnattendedCopy(ANSWER_NO_TO_ALL), &outcome);
    if (hr == S_OK) hr = history.CommitEdit(model, &outcome);
    if (hr < 0) return hr;

    const PlugInList* plugIns = model.plugIns[SIDE_PACKAGE];
    const ChainList* chains = model.chains[SIDE_PACKAGE];
    hr = WritePackageFile(options.path.c_str(), plugIns, chains);
    if (hr < 0) return hr;
    report->plugIns = plugIns ? plugIns->Count() : 0;
    report->presets = plugIns ? plugIns->TotalPresetCount() : 0;
    report->chains = chains ? chains->Count() : 0;
    WIN32_FILE_ATTRIBUTE_DATA attributes;
    if (GetFileAttributesExW(options.path.c_str(), GetFileExInfoStandard, &attributes))
        report->bytes = (static_cast<uint64_t>(attributes.nFileSizeHigh) << 32) | attributes.nFileSizeLow;
    return S_OK;
}

int ExportCommand(CliContext& context, const wchar_t* command, int count, wchar_t* const* words) {
    ExportOptions options;
    CliUsageProblem problem;
    if (!ParseExportArguments(command, count, words, &options, &problem)) return UsageError(context, problem);
    ExportReport report;
    HRESULT hr = ExportStore(options, context.language, &report);
    if (hr < 0) {
        ReportError(context, hr, options.path.c_str());
        return CLI_EXIT_FAILED;
    }
    if (report.missingMessage) {
        ReportMessage(context, report.missingMessage, report.missingName.c_str());
        return CLI_EXIT_FAILED;
    }
    std::string line;
    JsonWriter json(line);
    json.BeginObject();
    json.Key("file");
    json.String(options.path);
    json.Key("plugins");
    json.Number(static_cast<uint64_t>(report.plugIns));
    json.Key("presets");
    json.Number(static_cast<uint64_t>(report.presets));
    json.Key("chains");
    json.Number(static_cast<uint64_t>(report.chains));
    json.Key("bytes");
    json.Number(report.bytes);
    json.EndObject();
    line += '\n';
    context.out.Append(line);
    return CLI_EXIT_OK;
}
