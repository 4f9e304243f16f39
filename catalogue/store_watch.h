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

// A registry key to watch; one that does not exist yet is watched through its nearest existing ancestor.
struct WatchedKey {
    HKEY root;
    const wchar_t* path;
    REGSAM view;
};

// The class registrations that give plug-ins their names: both registry views, and the user's own in case the
// merged view is silent.
extern const WatchedKey kClassRegistrationKeys[3];

// Change notifications on a set of registry keys and everything below them.
class KeyWatch {
public:
    KeyWatch() = default;
    KeyWatch(const KeyWatch&) = delete;
    KeyWatch& operator=(const KeyWatch&) = delete;

    // Arms the notifications; a change made from now on makes Unchanged false. False when not every key could be
    // watched: Unchanged stays false then.
    bool Arm(const WatchedKey* keys, size_t count);
    bool Unchanged() const; // false when not armed
    void Reset();

private:
    std::vector<KvRegKey> keys_;  // kept open: closing a key ends its notification
    std::vector<KvEvent> events_; // one per key, signalled on a change below it
    std::vector<HANDLE> waits_;   // the events' handles, to ask about all of them at once
    bool armed_ = false;
};

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
    KeyWatch store_;   // the store's own keys
    KeyWatch classes_; // the class registrations that name its plug-ins
    StoreFileStamps files_;
};
