// What the commands tell the user on standard error: failures with their codes, and usage mistakes.
#pragma once
#include <windows.h>
#include <string>
#include "cli_arguments.h"
#include "cli_commands.h"

std::string CodeText(HRESULT code); // "0x8004E007"
void WriteWide(CliOutput& stream, const wchar_t* text);

// The message the program would show, then the code on its own line.
void ReportFailure(CliContext& context, const wchar_t* message, HRESULT code);
// "The file %s is not in a supported format, ...", with the full path as the program shows it.
void ReportUnreadablePackage(CliContext& context, const wchar_t* path, HRESULT code);
// The error handler's message for code, with argument in its placeholder.
void ReportError(CliContext& context, HRESULT code, const wchar_t* argument);
// A message of the string table formatted with up to two arguments, on a line of its own.
void ReportMessage(CliContext& context, UINT messageId, const wchar_t* first = nullptr,
                   const wchar_t* second = nullptr);

// The usage text, which the string table holds in parts.
void WriteUsage(CliContext& context, CliOutput& stream);
// The title and version lines of the About box.
void WriteVersion(CliContext& context, CliOutput& stream);
// The mistake (when messageId is not 0) and the usage text on standard error; returns CLI_EXIT_USAGE.
int UsageError(CliContext& context, UINT messageId, const wchar_t* first = nullptr, const wchar_t* second = nullptr);
int UsageError(CliContext& context, const CliUsageProblem& problem);
