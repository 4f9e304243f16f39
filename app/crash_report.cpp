// Last-resort report of an exception that escaped from start-up or the message loop.
#include "crash_report.h"
#include "kvlang.h"
#include <cwchar>

namespace {

// Composed while the process may be in a bad state, so it lives in static storage.
wchar_t g_reportText[1024];

struct ExceptionName {
    DWORD code;
    const wchar_t* name;
};

const ExceptionName kExceptionNames[] = {
    {0x80000001, L"GUARD_PAGE_VIOLATION"},  {0x80000002, L"DATATYPE_MISALIGNMENT"},
    {0x80000003, L"BREAKPOINT"},            {0x80000004, L"SINGLE_STEP"},
    {0xC0000005, L"ACCESS_VIOLATION"},      {0xC0000006, L"IN_PAGE_ERROR"},
    {0xC0000008, L"INVALID_HANDLE"},        {0xC0000017, L"NO_MEMORY"},
    {0xC000001D, L"ILLEGAL_INSTRUCTION"},   {0xC0000025, L"NONCONTINUABLE_EXCEPTION"},
    {0xC0000026, L"INVALID_DISPOSITION"},   {0xC000008C, L"ARRAY_BOUNDS_EXCEEDED"},
    {0xC000008D, L"FLOAT_DENORMAL_OPERAND"}, {0xC000008E, L"FLOAT_DIVIDE_BY_ZERO"},
    {0xC000008F, L"FLOAT_INEXACT_RESULT"},  {0xC0000090, L"FLOAT_INVALID_OPERATION"},
    {0xC0000091, L"FLOAT_OVERFLOW"},        {0xC0000092, L"FLOAT_STACK_CHECK"},
    {0xC0000093, L"FLOAT_UNDERFLOW"},       {0xC0000094, L"INTEGER_DIVIDE_BY_ZERO"},
    {0xC0000095, L"INTEGER_OVERFLOW"},      {0xC0000096, L"PRIVILEGED_INSTRUCTION"},
    {0xC00000FD, L"STACK_OVERFLOW"},        {0xC000013A, L"CONTROL_C_EXIT"},
};

const wchar_t* ExceptionTypeName(DWORD code) {
    for (const ExceptionName& entry : kExceptionNames)
        if (entry.code == code) return entry.name;
    return L"Unknown Type";
}

// Appends "In Module '<file name>'" when the address lies in a loaded module.
void AppendModuleLine(const void* address, size_t used) {
    MEMORY_BASIC_INFORMATION info{};
    if (!VirtualQuery(address, &info, sizeof(info)) || !info.AllocationBase) return;
    wchar_t path[MAX_PATH];
    if (!GetModuleFileNameW(static_cast<HMODULE>(info.AllocationBase), path, MAX_PATH)) return;
    wchar_t longPath[MAX_PATH];
    DWORD longLength = GetLongPathNameW(path, longPath, MAX_PATH);
    const wchar_t* full = (longLength > 0 && longLength < MAX_PATH) ? longPath : path;
    const wchar_t* name = full;
    for (const wchar_t* p = full; *p; ++p)
        if (*p == L'\\' || *p == L'/') name = p + 1;
    KvPrintFN(g_reportText + used, _countof(g_reportText) - used, L"In Module '%s'\r\n", name);
}

} // namespace

LONG WINAPI AppExceptionFilter(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD* record = exception->ExceptionRecord;
    if (record->ExceptionCode == EXCEPTION_DATATYPE_MISALIGNMENT) return EXCEPTION_CONTINUE_SEARCH;

    wchar_t access[64] = L"";
    if (record->NumberParameters == 2) {
        KvPrintFN(access, _countof(access), L" %s:0x%08I64X", record->ExceptionInformation[0] ? L"WRITE" : L"READ",
                  static_cast<unsigned long long>(record->ExceptionInformation[1]));
    }
    // Addresses of this 64-bit build may not fit eight digits; print them whole.
    int used = KvPrintFN(g_reportText, _countof(g_reportText), L"Exception 0x%08X (%s)%s EIP:0x%08I64X\r\n",
                         static_cast<unsigned>(record->ExceptionCode), ExceptionTypeName(record->ExceptionCode), access,
                         static_cast<unsigned long long>(reinterpret_cast<ULONG_PTR>(record->ExceptionAddress)));
    AppendModuleLine(record->ExceptionAddress, static_cast<size_t>(used));
    return EXCEPTION_EXECUTE_HANDLER;
}

const wchar_t* AppCrashReportText() { return g_reportText; }
