// Buffered UTF-8 output to a standard handle with WriteFile, so bytes reach pipes and files unchanged.
#pragma once
#include <windows.h>
#include <string>

class CliOutput {
public:
    explicit CliOutput(DWORD standardHandle) : handle_(GetStdHandle(standardHandle)) {}
    ~CliOutput() { Flush(); }
    CliOutput(const CliOutput&) = delete;
    CliOutput& operator=(const CliOutput&) = delete;

    // Callers append here and call Written after each record; the buffer goes out in large blocks.
    std::string& Buffer() { return buffer_; }
    void Written();
    void Append(const std::string& text);
    bool Flush(); // false when the handle refused the bytes (they are dropped)

private:
    HANDLE handle_;
    std::string buffer_;
};
