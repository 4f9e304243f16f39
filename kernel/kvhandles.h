// Move-only owners for system handles: registry keys and file handles.
#pragma once
#include <windows.h>

// Traits: the value that means "no handle", and how to release a real one.
struct KvRegKeyTraits {
    using Handle = HKEY;
    static Handle Empty() noexcept { return nullptr; }
    static bool IsValid(Handle handle) noexcept { return handle != nullptr; }
    static void Close(Handle handle) noexcept { RegCloseKey(handle); }
};

// CreateFile reports failure as INVALID_HANDLE_VALUE, other file APIs as null: neither is ever closed.
struct KvFileTraits {
    using Handle = HANDLE;
    static Handle Empty() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(Handle handle) noexcept { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }
    static void Close(Handle handle) noexcept { CloseHandle(handle); }
};

template <typename Traits>
class KvUniqueHandle {
public:
    using Handle = typename Traits::Handle;

    KvUniqueHandle() noexcept = default;
    explicit KvUniqueHandle(Handle handle) noexcept : handle_(handle) {}
    ~KvUniqueHandle() { reset(); }

    KvUniqueHandle(const KvUniqueHandle&) = delete;
    KvUniqueHandle& operator=(const KvUniqueHandle&) = delete;
    KvUniqueHandle(KvUniqueHandle&& other) noexcept : handle_(other.release()) {}
    KvUniqueHandle& operator=(KvUniqueHandle&& other) noexcept {
        if (this != &other)
            reset(other.release());
        return *this;
    }

    Handle get() const noexcept { return handle_; }
    bool valid() const noexcept { return Traits::IsValid(handle_); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without closing.
    Handle release() noexcept {
        Handle handle = handle_;
        handle_ = Traits::Empty();
        return handle;
    }

    void reset(Handle handle = Traits::Empty()) noexcept {
        Handle old = handle_;
        handle_ = handle;
        if (Traits::IsValid(old) && old != handle)
            Traits::Close(old);
    }

    // Closes the current handle and lends the slot to an API that returns a handle through a pointer.
    Handle* put() noexcept {
        reset();
        return &handle_;
    }

private:
    Handle handle_ = Traits::Empty();
};

using KvRegKey = KvUniqueHandle<KvRegKeyTraits>;
using KvFile = KvUniqueHandle<KvFileTraits>;
