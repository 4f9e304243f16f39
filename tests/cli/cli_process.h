// Runs tarrow-cli.exe as a separate process with its output captured through pipes, and what the tests compare with.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

namespace clitest {

struct CliRun {
    long exitCode = -1; // -1: the process did not start or did not end in time
    std::string out, err; // the bytes written to standard output and standard error
};

CliRun RunTarrowCli(const std::wstring& arguments);

std::string Sha(const std::vector<uint8_t>& data);                         // lower-case SHA-256 hex
std::string Utf8String(unsigned id, const wchar_t* argument = nullptr); // the program's string, formatted

} // namespace clitest
