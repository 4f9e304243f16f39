// What the commands tell the user on standard error: failures with their codes, and usage mistakes.
#include "cli_report.h"
#include <cstdio>
#include <cwchar>
#include <initializer_list>
#include "json_writer.h"
#include "kverror.h"
#include "kvlang.h"
#include "resource.h"
#include "tarrow_version.h"

namespace {
constexpr size_t kMessageChars = 2048;
}

std::string CodeText(HRESULT code) {
    char text[16];
    snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(code));
    return text;
}

void WriteWide(CliOutput& stream, const wchar_t* text) {
    AppendUtf8(stream.Buffer(), text, wcslen(text));
}

void ReportFailure(CliContext& context, const wchar_t* message, HRESULT code) {
    WriteWide(context.err, message);
    context.err.Append("\n");
    context.err.Append(CodeText(code));
    context.err.Append("\n");
}

void ReportUnreadablePackage(CliContext& context, const wchar_t* path, HRESULT code) {
    wchar_t fullPath[MAX_PATH * 4];
    DWORD length = GetFullPathNameW(path, _countof(fullPath), fullPath, nullptr);
    const wchar_t* shown = (length > 0 && length < _countof(fullPath)) ? fullPath : path;
    wchar_t message[kMessageChars];
    KvPrintFN(message, kMessageChars, KvGetString(context.language, IDS_OPEN_BAD_FORMAT), shown);
    ReportFailure(context, message, code);
}

void ReportError(CliContext& context, HRESULT code, const wchar_t* argument) {
    ReportFailure(context, KvErrorHandler_GetErrorMessage(0, code, argument), code);
}

void ReportMessage(CliContext& context, UINT messageId, const wchar_t* first, const wchar_t* second) {
    wchar_t message[kMessageChars];
    KvPrintFN(message, kMessageChars, KvGetString(context.language, messageId), first, second);
    WriteWide(context.err, message);
    context.err.Append("\n");
}

void WriteUsage(CliContext& context, CliOutput& stream) {
    for (UINT id : {IDS_CLI_USAGE, IDS_CLI_USAGE_EXPORT, IDS_CLI_USAGE_IMPORT, IDS_CLI_USAGE_DIFF, IDS_CLI_USAGE_END})
        WriteWide(stream, KvGetString(context.language, id));
}

void WriteVersion(CliContext& context, CliOutput& stream) {
    wchar_t text[256];
    KvPrintFN(text, _countof(text), L"$(AppName.Title)\n");
    WriteWide(stream, text);
    KvPrintFN(text, _countof(text), KvGetString(context.language, IDS_ABOUT_VERSION), TARROW_VERSION_TEXT_ARGS);
    WriteWide(stream, text);
    stream.Append("\n");
}

int UsageError(CliContext& context, UINT messageId, const wchar_t* first, const wchar_t* second) {
    if (messageId) {
        ReportMessage(context, messageId, first, second);
        context.err.Append("\n");
    }
    WriteUsage(context, context.err);
    return CLI_EXIT_USAGE;
}

int UsageError(CliContext& context, const CliUsageProblem& problem) {
    return UsageError(context, problem.messageId, problem.first.c_str(), problem.second.c_str());
}
