// Running tarrow-cli.exe as a process, and the expected texts and store values the command-line tests share.
#include "cli_test_util.h"
#include <initializer_list>
#include "json_writer.h"
#include "resource.h"
#include "sha256_digest.h"
#include "store_names.h"
#include "test_support.h"
#include "../catalogue/store_fixture.h"

namespace clitest {

// Standard output and error go to temporary files that the child shares with us, read back once it has ended.
CliRun RunTarrowCli(const std::wstring& arguments) {
    static int runs = 0;
    SECURITY_ATTRIBUTES inherit{sizeof(inherit), nullptr, TRUE};
    wchar_t folder[MAX_PATH];
    GetTempPathW(MAX_PATH, folder);
    HANDLE files[2];
    for (HANDLE& file : files)
        file = CreateFileW((folder + std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++runs)).c_str(),
                           GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                           &inherit, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    std::wstring line = L"\"" + testsupport::BuildPath(TARROW_CLI_EXE) + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = files[0];
    startup.hStdError = files[1];
    PROCESS_INFORMATION info{};
    CliRun run;
    if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                       &info)) {
        DWORD code = 0;
        if (WaitForSingleObject(info.hProcess, 60000) == WAIT_OBJECT_0 && GetExitCodeProcess(info.hProcess, &code))
            run.exitCode = long(code);
        else
            TerminateProcess(info.hProcess, 99);
        CloseHandle(info.hThread);
        CloseHandle(info.hProcess);
    }
    for (int i = 0; i < 2; ++i) {
        std::string& text = i ? run.err : run.out;
        text.resize(GetFileSize(files[i], nullptr));
        DWORD got = 0;
        SetFilePointer(files[i], 0, nullptr, FILE_BEGIN);
        ReadFile(files[i], text.data(), DWORD(text.size()), &got, nullptr);
        text.resize(got);
        CloseHandle(files[i]);
    }
    return run;
}

std::string Sha(const std::vector<uint8_t>& data) {
    static Sha256Digest digest;
    char hex[65] = "";
    digest.Hex(data.data(), uint32_t(data.size()), hex);
    return hex;
}

tKVLANG* Language() {
    static tKVLANG* language = nullptr;
    if (!language) KvLang_Open(&language, GetModuleHandleW(nullptr), 0, 0);
    return language;
}

std::string Utf8String(unsigned id, const wchar_t* first, const wchar_t* second) {
    wchar_t text[4096];
    KvPrintFN(text, 4096, KvGetString(Language(), id), first, second);
    return ToUtf8(text);
}

std::string Utf8Count(unsigned id, int count) {
    wchar_t text[4096];
    KvPrintFN(text, 4096, KvGetString(Language(), id), count);
    return ToUtf8(text);
}

std::string UsageText() {
    std::string text;
    for (unsigned id : {IDS_CLI_USAGE, IDS_CLI_USAGE_EXPORT, IDS_CLI_USAGE_IMPORT, IDS_CLI_USAGE_DIFF, IDS_CLI_USAGE_END})
        text += Utf8String(id);
    return text;
}

std::wstring Arg(const std::wstring& path) { return L" \"" + path + L"\""; }

std::string JsonPath(std::wstring path) {
    for (size_t at = 0; (at = path.find(L'\\', at)) != std::wstring::npos; at += 2) path.insert(at, 1, L'\\');
    return std::string("\"").append(ToUtf8(path)).append("\"");
}
std::string Preset(const std::string& jsonName, const std::vector<uint8_t>& data) {
    return "{\"name\":\"" + jsonName + "\",\"size\":" + std::to_string(data.size()) + ",\"sha256\":\"" + Sha(data) +
           "\"}";
}

void ClearStore() {
    // The data files of the store live under its DefLocation folders, which the writes create.
    for (const wchar_t* key : {STORE_PRESETS_KEY, STORE_CHAINS_KEY}) {
        wchar_t folder[MAX_PATH] = L"";
        DWORD bytes = sizeof(folder) - sizeof(wchar_t);
        if (RegGetValueW(HKEY_CURRENT_USER, key, STORE_DEF_LOCATION, RRF_RT_REG_SZ | RRF_RT_REG_EXPAND_SZ |
                         RRF_NOEXPAND, nullptr, folder, &bytes) == ERROR_SUCCESS &&
            std::wstring(folder).ends_with(L"\\Presets"))
            testsupport::RemoveTree(folder);
    }
    storetest::DeleteStoreKeys();
}

} // namespace clitest
