// Runs tarrow-cli.exe as a separate process with its output captured through pipes, and what the tests compare with.
#include "cli_process.h"
#include <thread>
#include "json_writer.h"
#include "kvlang.h"
#include "sha256_digest.h"

namespace clitest {

namespace {

std::wstring ToWindowsPath(const char* unixPath) {
    std::string text = unixPath;
    std::wstring path = text.starts_with('/') ? L"Z:" : L"";
    for (char c : text) path += (c == '/') ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path;
}

struct Pipe {
    HANDLE read = nullptr, write = nullptr;
    ~Pipe() {
        if (read) CloseHandle(read);
        CloseWrite();
    }
    bool Open() {
        SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
        return CreatePipe(&read, &write, &inherit, 0) && SetHandleInformation(read, HANDLE_FLAG_INHERIT, 0);
    }
    void CloseWrite() {
        if (write) CloseHandle(write);
        write = nullptr;
    }
    void Drain(std::string* target) const {
        char block[4096];
        DWORD got = 0;
        while (ReadFile(read, block, sizeof(block), &got, nullptr) && got > 0) target->append(block, got);
    }
};

} // namespace

CliRun RunTarrowCli(const std::wstring& arguments) {
    CliRun run;
    Pipe out, err;
    if (!out.Open() || !err.Open()) return run;
    std::wstring line = L"\"" + ToWindowsPath(TARROW_CLI_EXE) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = out.write;
    startup.hStdError = err.write;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &info))
        return run;
    out.CloseWrite(); // the pipes end when the child's copies close
    err.CloseWrite();
    std::thread errReader([&] { err.Drain(&run.err); });
    out.Drain(&run.out);
    if (WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0) {
        DWORD code = 0;
        GetExitCodeProcess(info.hProcess, &code);
        run.exitCode = static_cast<long>(code);
    } else {
        TerminateProcess(info.hProcess, 99);
    }
    errReader.join();
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
    return run;
}

std::string Sha(const std::vector<uint8_t>& data) {
    static Sha256Digest digest;
    char hex[65] = "";
    digest.Hex(data.data(), static_cast<uint32_t>(data.size()), hex);
    return hex;
}

std::string Utf8String(unsigned id, const wchar_t* argument) {
    static tKVLANG* language = nullptr;
    if (!language) KvLang_Open(&language, GetModuleHandleW(nullptr), 0, 0);
    wchar_t text[4096];
    KvPrintFN(text, 4096, KvGetString(language, id), argument);
    return ToUtf8(text);
}

} // namespace clitest
