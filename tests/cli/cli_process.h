// Runs tarrow-cli.exe as a separate process with its output captured through pipes; registry and package helpers.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>

namespace clitest {

struct CliRun {
    long exitCode = -1; // -1: the process did not start or did not end in time
    std::string out;    // the bytes written to standard output
    std::string err;    // the bytes written to standard error
};

CliRun RunTarrowCli(const std::wstring& arguments);

// Lower-case SHA-256 hex text of the bytes.
std::string Sha(const std::vector<uint8_t>& data);
// The program's string, as UTF-8, formatted with one text argument when given.
std::string Utf8String(unsigned id, const wchar_t* argument = nullptr);
std::vector<uint8_t> Pattern(size_t size, unsigned seed);

// Values under HKEY_CURRENT_USER; keys are created on the way.
bool SetBinary(const std::wstring& key, const wchar_t* name, const std::vector<uint8_t>& data);
bool SetText(const std::wstring& key, const wchar_t* name, const std::wstring& text);
bool SetDword(const std::wstring& key, const wchar_t* name, DWORD value);
bool CreateKey(const std::wstring& key);

// Removes every store key on construction and on destruction, so each test starts and leaves the store empty.
class StoreKeys {
public:
    StoreKeys();
    ~StoreKeys();
    StoreKeys(const StoreKeys&) = delete;
    StoreKeys& operator=(const StoreKeys&) = delete;
};

} // namespace clitest
