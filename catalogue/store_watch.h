// Telling cheaply whether the system store may have changed since it was last loaded: change notifications on the
// store's registry keys (and the class registrations that name plug-ins), and the data files' sizes and times.
#pragma once
#include <windows.h>
#include <cstdint>
#include <string>
#include <vector>
#include "kvgdi_handles.h"

// One data file as a load saw it; a file that was missing is recorded too, so its arrival counts as a change.
struct StoreFileStamp {
    std::wstring path;
    bool exists = false;
    uint64_t size = 0;
    FILETIME written{};
};
using StoreFileStamps = std::vector<StoreFileStamp>;

// The stamp of a file as it is now.
StoreFileStamp StampFile(const wchar_t* path);
// The stamp of a file open for reading (size and write time from the handle).
StoreFileStamp StampOpenFile(const wchar_t* path, HANDLE file);
bool SameStamp(const StoreFileStamp& first, const StoreFileStamp& second);

class StoreWatch {
public:
    StoreWatch() = default;
    StoreWatch(const StoreWatch&) = delete;
    StoreWatch& operator=(const StoreWatch&) = delete;

    // Arms the notifications; call it before loading, so that a change made during the load is not missed. The
    // stamps of the previous load are forgotten: the load fills files() anew.
    void Arm();
    // False when the store may have changed since Arm (or Arm could not watch everything): reload then.
    bool Unchanged() const;
    // Forgets everything: the next Unchanged is false.
    void Reset();

    StoreFileStamps& files() { return files_; }

private:
    std::vector<KvRegKey> keys_;   // kept open: closing a key ends its notification
    std::vector<KvEvent> events_;  // one per key, signalled on a change below it
    StoreFileStamps files_;
    bool armed_ = false;
};
