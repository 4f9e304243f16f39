// The error handler: composes "context sentence + code message" and shows it in the library's dialog.
#include "kverror.h"
#include "kverror_tables.h"
#include "kvkernel.h"
#include "kvmsgbox.h"
#include "kvresult.h"
#include "resource.h"
#include <cwchar>
#include <mutex>
#include <string>

namespace {

struct AddedTable {
    const tKVERRORPAIR* pairs;
    int count;
};

AddedTable g_addedTables[KVERR_MAX_TABLES];
int g_addedCount = 0;

// Detail lines waiting for the next error box; the first thread to add a line owns them until they are taken.
struct DetailsBuffer {
    std::mutex lock;
    std::wstring text;
    DWORD ownerThread = 0;
};
DetailsBuffer g_details;

const wchar_t* LibraryString(UINT id) { return KvGetString(KvKernel_GetLanguage(), id); }

const wchar_t* MessageText(UINT_PTR message) {
    return message < 0x10000 ? LibraryString(static_cast<UINT>(message)) : reinterpret_cast<const wchar_t*>(message);
}

// Positive codes are the registry's and the system's own statuses; the tables hold them in HRESULT form.
HRESULT TableForm(HRESULT code) {
    return code > 0 ? HRESULT_FROM_WIN32(static_cast<unsigned long>(code)) : code;
}

const tKVERRORPAIR* FindIn(const tKVERRORPAIR* pairs, int count, HRESULT code) {
    HRESULT alternative = TableForm(code);
    for (int i = 0; i < count; ++i)
        if (pairs[i].code == code || pairs[i].code == alternative) return &pairs[i];
    return nullptr;
}

const tKVERRORPAIR* FindPair(HRESULT code) {
    for (int i = 0; i < g_addedCount; ++i)
        if (const tKVERRORPAIR* pair = FindIn(g_addedTables[i].pairs, g_addedTables[i].count, code)) return pair;
    int count = 0;
    const tKVERRORPAIR* builtIn = KvErrorHandler_BuiltInTable(&count);
    return FindIn(builtIn, count, code);
}

const wchar_t* ContextText(UINT_PTR context) {
    if (context >= 0x10000) return reinterpret_cast<const wchar_t*>(context);
    const wchar_t* text = LibraryString(KvErrorHandler_ContextStringId(context));
    // A context without a text of its own still names a failure.
    return *text ? text : LibraryString(IDS_KV_CTX_GENERAL);
}

// The dialog formats its text once more. Text that must appear as it is, such as a sentence that already holds
// its argument (a file name like "50%s.kvpreset" or "my$stuff"), has every "%" and "$" doubled, so no placeholder
// reads an argument that is not there and no token is expanded.
std::wstring EscapeAll(const wchar_t* text, size_t length) {
    std::wstring escaped;
    for (size_t i = 0; i < length; ++i) {
        escaped += text[i];
        if (text[i] == L'%' || text[i] == L'$') escaped += text[i];
    }
    return escaped;
}

// A library message may still name tokens ("$(AppName)") for the dialog to expand; every other "%" and "$" is
// doubled, so its formatting reads no argument either.
std::wstring EscapeAllButTokens(const wchar_t* text) {
    std::wstring escaped;
    for (const wchar_t* c = text; *c; ++c) {
        escaped += *c;
        if (*c == L'%' || (*c == L'$' && c[1] != L'(')) escaped += *c;
    }
    return escaped;
}

std::wstring TakeDetails() {
    std::lock_guard<std::mutex> guard(g_details.lock);
    std::wstring taken;
    taken.swap(g_details.text);
    g_details.ownerThread = 0;
    return taken;
}

// Windows' own text for a system status that no table of ours holds, without its closing line break.
bool SystemMessageText(HRESULT code, std::wstring* text) {
    DWORD status;
    if (code > 0) status = static_cast<DWORD>(code);
    else if (HRESULT_FACILITY(code) == FACILITY_WIN32) status = HRESULT_CODE(code);
    else return false;
    wchar_t buffer[512];
    DWORD length = FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, status, 0,
                                  buffer, static_cast<DWORD>(sizeof(buffer) / sizeof(buffer[0])), nullptr);
    while (length > 0 && (buffer[length - 1] == L'\r' || buffer[length - 1] == L'\n' || buffer[length - 1] == L' '))
        --length;
    if (length == 0) return false;
    text->assign(buffer, length);
    return true;
}

// The context sentence formatted with its argument, then the code's message; returns the sentence's length.
size_t ComposeErrorMessage(wchar_t* out, size_t capacity, UINT_PTR context, HRESULT code, const wchar_t* argument) {
    out[0] = L'\0';
    KvPrintFN(out, capacity, ContextText(context), argument ? argument : L"");
    size_t used = wcslen(out);
    if (used + 1 >= capacity) return used;

    std::wstring system;
    if (const tKVERRORPAIR* pair = FindPair(code)) {
        wcsncat(out, MessageText(pair->message), capacity - used - 1);
    } else if (SystemMessageText(code, &system)) {
        KvPrintFN(out + used, capacity - used, LibraryString(IDS_KV_MESSAGE_SYSTEM), system.c_str(),
                  static_cast<unsigned>(TableForm(code)));
    } else {
        KvPrintFN(out + used, capacity - used, LibraryString(IDS_KV_MESSAGE_MISSING), static_cast<unsigned>(code));
    }
    return used;
}

// text is ready for the dialog's formatting pass.
int ShowErrorText(HWND owner, UINT style, const std::wstring& text, BOOL warning) {
    style &= ~KVMB_DETAILSMASK;
    std::wstring details = TakeDetails();
    if (!details.empty()) style |= KVMB_DETAILS;
    std::wstring shown = warning ? EscapeAllButTokens(LibraryString(IDS_KV_WARNING_PREFIX)) : L"";
    shown += text;
    return KvMsgBox_Custom(owner, style, details.empty() ? nullptr : details.c_str(), shown.c_str());
}

} // namespace

int KvErrorHandler_FormatErrorMessage(wchar_t* out, size_t capacity, UINT_PTR context, HRESULT code,
                                      const wchar_t* argument) {
    if (!out || capacity == 0) return 0;
    ComposeErrorMessage(out, capacity, context, code, argument);
    return static_cast<int>(wcslen(out));
}

const wchar_t* KvErrorHandler_GetErrorMessage(UINT_PTR context, HRESULT code, const wchar_t* argument) {
    static thread_local wchar_t fallback[KVERR_TEXT_CAPACITY];
    tKVLANG* language = KvKernel_GetLanguage();
    wchar_t* buffer = language ? KvGetTempStringBuffer(language, static_cast<int>(KVERR_TEXT_CAPACITY)) : nullptr;
    if (!buffer) buffer = fallback;
    KvErrorHandler_FormatErrorMessage(buffer, KVERR_TEXT_CAPACITY, context, code, argument);
    return buffer;
}

const wchar_t* KvErrorHandler_GetHresultString(HRESULT code) {
    const tKVERRORPAIR* pair = FindPair(code);
    return pair ? MessageText(pair->message) : nullptr;
}

int KvErrorHandler_AddErrorTable(const tKVERRORPAIR* table, int count) {
    if (g_addedCount >= KVERR_MAX_TABLES) return 1;
    if (!table || count <= 0) return 0; // nothing to search
    g_addedTables[g_addedCount++] = AddedTable{table, count};
    return 0;
}

void KvErrorHandler_RemoveErrorTables() { g_addedCount = 0; }

HRESULT KvErrorHandler_DetailsAddString(const wchar_t* format, ...) {
    if (!format) return KV_E_INVALIDARG;
    wchar_t line[KVERR_TEXT_CAPACITY];
    va_list args;
    va_start(args, format);
    KvVPrintFN(line, KVERR_TEXT_CAPACITY, format, args);
    va_end(args);

    std::lock_guard<std::mutex> guard(g_details.lock);
    DWORD thread = GetCurrentThreadId();
    if (!g_details.text.empty() && g_details.ownerThread != thread) return KV_E_FAIL;
    size_t characters = g_details.text.size() + wcslen(line) + 2 + 1; // the line, "\r\n" and the terminator
    if (characters * sizeof(wchar_t) > KVERR_DETAILS_BYTES) return KV_E_OUTOFMEMORY;
    g_details.text += line;
    g_details.text += L"\r\n";
    g_details.ownerThread = thread;
    return S_OK;
}

void KvErrorHandler_DetailsClear() { TakeDetails(); }

int KvErrorHandler_MsgBoxText(HWND owner, UINT style, const wchar_t* text, BOOL warning) {
    return ShowErrorText(owner, style, EscapeAllButTokens(text ? text : L""), warning);
}

int KvErrorHandler_MsgBox(HWND owner, UINT style, UINT_PTR context, HRESULT code, const wchar_t* argument,
                          BOOL warning) {
    if (code == KV_E_CANCELLED) return 1;
    wchar_t text[KVERR_TEXT_CAPACITY];
    size_t sentence = ComposeErrorMessage(text, KVERR_TEXT_CAPACITY, context, code, argument);
    // The sentence's tokens are expanded already and its argument is shown as it is; only the code's message
    // still has tokens to expand.
    return ShowErrorText(owner, style, EscapeAll(text, sentence) + EscapeAllButTokens(text + sentence), warning);
}
