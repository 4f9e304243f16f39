// tarrow-cli diff: two catalogues (packages or the system store) compared item by item.
#pragma once
#include "cli_commands.h"

// words are the words after the command's name. Exit code 3 only with --exit-code and differences.
int DiffCommand(CliContext& context, const wchar_t* command, int count, wchar_t* const* words);
