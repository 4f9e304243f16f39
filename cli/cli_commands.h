// The commands of tarrow-cli.exe: dump, repack, store, diff, export, import and help, with their exit codes.
#pragma once
#include <windows.h>
#include "cli_output.h"
#include "sha256_digest.h"

struct tKVLANG;

constexpr int CLI_EXIT_OK = 0;
constexpr int CLI_EXIT_FAILED = 1;
constexpr int CLI_EXIT_USAGE = 2;
constexpr int CLI_EXIT_DIFFERENT = 3; // diff --exit-code found differences

// What every command needs: the program's strings, the digest provider and the two output streams.
struct CliContext {
    tKVLANG* language = nullptr;
    Sha256Digest digest;
    CliOutput out{STD_OUTPUT_HANDLE};
    CliOutput err{STD_ERROR_HANDLE};
};

// argv as wmain receives it (argv[0] is the program). Returns the exit code; output is flushed.
int RunCli(CliContext& context, int argc, wchar_t** argv);
