// tarrow-cli import: a whole package copied into the system store, with the overwrite question answered by a flag.
#include "import_command.h"
#include "catalogue.h"
#include "catalogue_model.h"
#include "cli_report.h"
#include "json_writer.h"
#include "kvlang.h"
#include "package_format.h"
#include "resource.h"
#include "whole_side_copy.h"

namespace {

// Selects the destination the options name; false when the store lists no such version.
bool SelectDestination(const ImportOptions& options, CatalogueModel& model) {
    for (int i = 0; model.destinations && i < model.destinations->count; ++i) {
        const auto* destination = static_cast<const LathmereDestination*>(model.destinations->items[i]);
        if (destination->majorVersion == options.destinationMajor &&
            destination->minorVersion == options.destinationMinor) {
            model.selectedDestination = i;
            return true;
        }
    }
    return false;
}

const char* ResultText(ImportResult result) {
    switch (result) {
    case IMPORT_WRITTEN: return "imported";
    case IMPORT_CONFLICTS: return "conflicts";
    case IMPORT_DRY_RUN: return "dry run";
    case IMPORT_FAILED: return "failed";
    default: return "unchanged";
    }
}

// One array of the records with the given result: presets with their plug-in, chains by name.
void WriteRecords(JsonWriter& json, const char* key, const std::vector<CopyRecord>& records, CopyResult result,
                  bool all) {
    json.Key(key);
    json.BeginArray();
    for (const CopyRecord& record : records) {
        if (!all && record.result != result) continue;
        json.BeginObject();
        json.Key("type");
        json.Ascii(record.chain ? "chain" : "preset");
        if (!record.chain) {
            json.Key("plugin");
            json.String(record.plugIn);
        }
        json.Key("name");
        json.String(record.name);
        json.EndObject();
    }
    json.EndArray();
}

std::string ReportJson(const ImportReport& report) {
    static const std::vector<CopyRecord> kNone;
    const bool conflicts = report.result == IMPORT_CONFLICTS;
    const std::vector<CopyRecord>& done = conflicts ? kNone : report.records;
    std::string line;
    JsonWriter json(line);
    json.BeginObject();
    json.Key("result");
    json.Ascii(ResultText(report.result));
    json.Key("destination");
    if (report.hasDestination) {
        json.BeginObject();
        json.Key("major");
        json.Number(report.destination.majorVersion);
        json.Key("minor");
        json.Number(report.destination.minorVersion);
        json.EndObject();
    } else {
        json.Null();
    }
    WriteRecords(json, "added", done, COPY_ADDED, false);
    WriteRecords(json, "replaced", done, COPY_REPLACED, false);
    WriteRecords(json, "skipped", done, COPY_SKIPPED, false);
    WriteRecords(json, "refused", done, COPY_REFUSED, false);
    WriteRecords(json, "conflicts", conflicts ? report.records : kNone, COPY_SKIPPED, true);
    json.EndObject();
    line += '\n';
    return line;
}

} // namespace

HRESULT ImportPackage(const ImportOptions& options, tKVLANG* language, ImportReport* report) {
    *report = ImportReport();
    CatalogueModel model;
    model.language = language;
    PlugInList* packagePlugIns = GetPlugInList(model, SIDE_PACKAGE);
    ChainList* packageChains = GetChainList(model, SIDE_PACKAGE);
    HRESULT hr = packagePlugIns && packageChains ? ReadPackageFile(options.path.c_str(), packagePlugIns, packageChains)
                                                 : E_OUTOFMEMORY;
    if (hr < 0) {
        report->packageUnreadable = true;
        report->result = IMPORT_FAILED;
        return hr;
    }
    // What the store could not read is left out, as in the window; only a negative code is a failure.
    hr = LoadSystemCatalogue(model);
    if (hr < 0) {
        report->result = IMPORT_FAILED;
        return hr;
    }
    if (options.hasDestination && !SelectDestination(options, model)) {
        report->unknownDestination = true;
        return S_OK;
    }
    // An empty store still gets its (empty) lists: the copy ends everything at the first refused Lathmere preset
    // when the target has no plug-in list, and an import should refuse that preset and go on.
    if (!GetPlugInList(model, SIDE_SYSTEM) || !GetChainList(model, SIDE_SYSTEM)) return E_OUTOFMEMORY;
    const LathmereDestination* destination = CurrentLathmereDestination(model);
    if (destination) {
        report->hasDestination = true;
        report->destination = *destination;
    }

    EditHistory history;
    EditSession session{model, history, nullptr, destination};
    // Without an answer every existing item is skipped while recording, and any skip then cancels the import.
    CopyOutcome outcome;
    hr = CopySelection(session, WholeSide(SIDE_PACKAGE),
                       UnattendedCopy(options.answer == IMPORT_OVERWRITE_ALL ? ANSWER_YES_TO_ALL : ANSWER_NO_TO_ALL),
                       &outcome);
    report->records = std::move(outcome.records);
    if (hr < 0) {
        report->result = IMPORT_FAILED;
        return hr;
    }
    if (options.answer == IMPORT_REFUSE_CONFLICTS) {
        std::vector<CopyRecord> conflicts;
        for (const CopyRecord& record : report->records)
            if (record.result == COPY_SKIPPED) conflicts.push_back(record);
        if (!conflicts.empty()) {
            history.DiscardEdit();
            report->records = std::move(conflicts);
            report->result = IMPORT_CONFLICTS;
            return S_OK;
        }
    }
    if (hr == KV_S_NOTHING_TO_DO) {
        report->result = IMPORT_UNCHANGED;
        return S_OK;
    }
    if (options.dryRun) {
        history.DiscardEdit();
        report->result = IMPORT_DRY_RUN;
        return S_OK;
    }
    EditOutcome applied;
    hr = history.CommitEdit(model, &applied);
    if (hr < 0) {
        report->result = IMPORT_FAILED;
        report->failedItem = applied.failedItem;
        return hr;
    }
    report->result = IMPORT_WRITTEN;
    return S_OK;
}

int ImportCommand(CliContext& context, const wchar_t* command, int count, wchar_t* const* words) {
    ImportOptions options;
    CliUsageProblem problem;
    if (!ParseImportArguments(command, count, words, &options, &problem)) return UsageError(context, problem);
    ImportReport report;
    HRESULT hr = ImportPackage(options, context.language, &report);
    if (report.unknownDestination)
        return UsageError(context, IDS_CLI_UNKNOWN_DESTINATION, options.destinationText.c_str());
    if (report.packageUnreadable) {
        ReportUnreadablePackage(context, options.path.c_str(), hr);
        return CLI_EXIT_FAILED;
    }
    if (hr < 0) {
        // A failed store write leaves what was applied before and after it in the store: say what was attempted.
        if (!report.records.empty()) context.out.Append(ReportJson(report));
        ReportError(context, hr, report.failedItem.empty() ? nullptr : report.failedItem.c_str());
        return CLI_EXIT_FAILED;
    }
    context.out.Append(ReportJson(report));
    if (report.result == IMPORT_CONFLICTS) {
        wchar_t message[1024];
        KvPrintFN(message, _countof(message), KvGetString(context.language, IDS_CLI_IMPORT_CONFLICTS),
                  static_cast<int>(report.records.size()));
        WriteWide(context.err, message);
        context.err.Append("\n");
        return CLI_EXIT_FAILED;
    }
    return CLI_EXIT_OK;
}
