// Runs tarrow-cli.exe as a separate process with its output captured through pipes; registry and package helpers.
#include "cli_process.h"
#include <thread>
#include "json_writer.h"
#include "kvlang.h"
#include "sha256_digest.h"
#include "store_names.h"

namespace clitest {

namespace {

std::wstring ToWindowsPath(const char* unixPath) {
    std::string text = unixPath;
    std::wstring path = text.starts_with('/') ? L"Z:" : L"";
    for (char c : text) path += (c == '/') ? L'\\' : static_cast<wchar_t>(static_cast<unsigned char>(c));
    return path;
}

// Owns one pipe end.
class Handle {
public:
    ~Handle() { Close(); }
    void Close() {
        if (h) CloseHandle(h);
        h = nullptr;
    }
    HANDLE h = nullptr;
};

void Drain(HANDLE pipe, std::string* target) {
    char block[4096];
    DWORD read = 0;
    while (ReadFile(pipe, block, sizeof(block), &read, nullptr) && read > 0) target->append(block, read);
}

bool MakePipe(Handle& readEnd, Handle& writeEnd) {
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    if (!CreatePipe(&readEnd.h, &writeEnd.h, &inherit, 0)) return false;
    return SetHandleInformation(readEnd.h, HANDLE_FLAG_INHERIT, 0) != 0;
}

} // namespace

CliRun RunTarrowCli(const std::wstring& arguments) {
    CliRun run;
    Handle outRead, outWrite, errRead, errWrite;
    if (!MakePipe(outRead, outWrite) || !MakePipe(errRead, errWrite)) return run;
    std::wstring line = L"\"" + ToWindowsPath(TARROW_CLI_EXE) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = outWrite.h;
    startup.hStdError = errWrite.h;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                        &info))
        return run;
    outWrite.Close(); // the pipes end when the child's copies close
    errWrite.Close();
    std::thread errReader(Drain, errRead.h, &run.err);
    Drain(outRead.h, &run.out);
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

std::vector<uint8_t> Pattern(size_t size, unsigned seed) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>((i * 37 + seed * 11 + (i >> 7)) & 0xFF);
    return bytes;
}

namespace {

bool SetValue(const std::wstring& path, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr))
        return false;
    LONG status = RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(key);
    return status == ERROR_SUCCESS;
}

void DeleteStoreKeys() {
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\DirectShow");
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\Moravel");
    RegDeleteTreeW(HKEY_CURRENT_USER, STORE_LATHMERE_VERSIONS_KEY);
}

} // namespace

bool SetBinary(const std::wstring& key, const wchar_t* name, const std::vector<uint8_t>& data) {
    return SetValue(key, name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
}

bool SetText(const std::wstring& key, const wchar_t* name, const std::wstring& text) {
    return SetValue(key, name, REG_SZ, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

bool SetDword(const std::wstring& key, const wchar_t* name, DWORD value) {
    return SetValue(key, name, REG_DWORD, &value, sizeof(value));
}

bool CreateKey(const std::wstring& key) {
    HKEY handle = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &handle, nullptr))
        return false;
    RegCloseKey(handle);
    return true;
}

StoreKeys::StoreKeys() { DeleteStoreKeys(); }
StoreKeys::~StoreKeys() { DeleteStoreKeys(); }

} // namespace clitest
