// Running tarrow-cli.exe as a process, and the expected texts and store values the command-line tests share.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>
#include "kvlang.h"

namespace clitest {

struct CliRun { long exitCode = -1; std::string out, err; }; // -1: not started, or not ended in time

// Runs tarrow-cli.exe with the arguments; standard output and error are collected whole.
CliRun RunTarrowCli(const std::wstring& arguments);

std::string Sha(const std::vector<uint8_t>& data);                    // lower-case SHA-256 hex
tKVLANG* Language();                                                   // the program's strings
// The program's string, formatted with up to two arguments.
std::string Utf8String(unsigned id, const wchar_t* first = nullptr, const wchar_t* second = nullptr);
// The program's string formatted with one number.
std::string Utf8Count(unsigned id, int count);
std::string UsageText();                                               // all parts of the usage text

std::wstring Arg(const std::wstring& path); // a quoted argument with its leading blank
std::string JsonPath(std::wstring path);    // a path's only escapes are its backslashes
std::string Preset(const std::string& jsonName, const std::vector<uint8_t>& data); // {"name","size","sha256"}

// Removes every key of the system store the tests write: presets, chains, Lathmere stores and versions.
void ClearStore();

} // namespace clitest
