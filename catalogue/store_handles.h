// Move-only owners of the registry keys and file handles that the store functions open.
#pragma once
#include <windows.h>
#include <utility>

class StoreKey {
public:
    StoreKey() = default;
    explicit StoreKey(HKEY key) : key_(key) {}
    ~StoreKey() { Reset(); }
    StoreKey(StoreKey&& other) noexcept : key_(std::exchange(other.key_, nullptr)) {}
    StoreKey& operator=(StoreKey&& other) noexcept {
        if (this != &other) { Reset(); key_ = std::exchange(other.key_, nullptr); }
        return *this;
    }
    StoreKey(const StoreKey&) = delete;
    StoreKey& operator=(const StoreKey&) = delete;

    HKEY Get() const { return key_; }
    HKEY* Put() { Reset(); return &key_; }
    void Reset() {
        if (key_) RegCloseKey(key_);
        key_ = nullptr;
    }

    LONG Open(HKEY parent, const wchar_t* path, REGSAM access) { return RegOpenKeyExW(parent, path, 0, access, Put()); }
    LONG Create(HKEY parent, const wchar_t* path) {
        return RegCreateKeyExW(parent, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, Put(),
                               nullptr);
    }

private:
    HKEY key_ = nullptr;
};

class StoreFile {
public:
    StoreFile() = default;
    explicit StoreFile(HANDLE handle) : handle_(handle) {}
    ~StoreFile() { Close(); }
    StoreFile(const StoreFile&) = delete;
    StoreFile& operator=(const StoreFile&) = delete;

    bool Valid() const { return handle_ != INVALID_HANDLE_VALUE; }
    HANDLE Get() const { return handle_; }
    bool Close() {
        bool ok = true;
        if (Valid()) ok = CloseHandle(handle_) != FALSE;
        handle_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};
