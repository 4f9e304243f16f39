// Language instances (string, menu and accelerator resources), the string cache, the token table and KvPrintF.
#pragma once
#include <windows.h>
#include <cstdarg>
#include <cstddef>
#include <utility>

struct tKVLANG; // one per module that owns resources

HRESULT KvLang_Open(tKVLANG** instance, HMODULE module, LANGID language, int ringSize);
HRESULT KvLang_Close(tKVLANG* instance);

int KvLoadString(tKVLANG* instance, UINT id, wchar_t* buffer, int capacity);
const wchar_t* KvGetString(tKVLANG* instance, UINT id); // never null; valid until the instance is closed
wchar_t* KvGetTempStringBuffer(tKVLANG* instance, int characters);

const void* KvLoadResourceCustom(tKVLANG* instance, const wchar_t* name, const wchar_t* type, DWORD* size);
HRSRC KvFindResource(tKVLANG* instance, const wchar_t* name, const wchar_t* type);
HMODULE KvFindResInstance(tKVLANG* instance, const wchar_t* name, const wchar_t* type);
HRSRC KvFindResourceMulti(tKVLANG* instance, const wchar_t* const* names, int count, const wchar_t* type, int* foundIndex);

// An accelerator table that knows whether it was created (and must be destroyed) or belongs to a module.
class KvAcceleratorTable {
public:
    KvAcceleratorTable() = default;
    KvAcceleratorTable(HACCEL table, bool created) : table_(table), created_(created) {}
    KvAcceleratorTable(KvAcceleratorTable&& other) noexcept { *this = std::move(other); }
    KvAcceleratorTable& operator=(KvAcceleratorTable&& other) noexcept {
        if (this != &other) {
            reset();
            table_ = other.table_;
            created_ = other.created_;
            other.table_ = nullptr;
            other.created_ = false;
        }
        return *this;
    }
    KvAcceleratorTable(const KvAcceleratorTable&) = delete;
    KvAcceleratorTable& operator=(const KvAcceleratorTable&) = delete;
    ~KvAcceleratorTable() { reset(); }

    HACCEL get() const { return table_; }
    explicit operator bool() const { return table_ != nullptr; }
    void reset() {
        if (table_ && created_) DestroyAcceleratorTable(table_);
        table_ = nullptr;
        created_ = false;
    }

private:
    HACCEL table_ = nullptr;
    bool created_ = false;
};

KvAcceleratorTable KvLoadAccelerators(tKVLANG* instance, UINT id);
HMENU KvLoadMenu(tKVLANG* instance, UINT id);
HICON KvLoadIcon(tKVLANG* instance, UINT id);
HCURSOR KvLoadCursor(tKVLANG* instance, UINT id);

int KvPrintF_AddToken(const wchar_t* name, const wchar_t* value);
int KvPrintF_DeleteToken(const wchar_t* name);

// Bounded forms: never write more than capacity characters, terminator included; a longer result is cut.
int KvPrintFN(wchar_t* out, size_t capacity, const wchar_t* format, ...);
int KvVPrintFN(wchar_t* out, size_t capacity, const wchar_t* format, va_list args);
// Unbounded forms, for callers that guarantee room for the whole result.
int KvPrintF(wchar_t* out, const wchar_t* format, ...);
int KvVPrintF(wchar_t* out, const wchar_t* format, va_list args);

int KvGetInat(int selector, wchar_t* out);
