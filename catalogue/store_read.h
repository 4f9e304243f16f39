// Loading the system store (registry and data files) into new catalogue collections.
#pragma once
#include <windows.h>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>
#include "catalogue.h"
#include "store_watch.h"
#include "kvhandles.h"

// One installed Lathmere version that can receive presets; 6.0 stands for the unversioned store.
struct LathmereDestination {
    uint32_t majorVersion;
    uint32_t minorVersion;
};

// Reads one preset or stream value: REG_BINARY inline, or REG_SZ naming a data file. Registry statuses come back
// positive; 0x8004E032 missing file, 0x8004E008 unreadable file, 0x8007000E empty data, 13 any other type.
// A blob allocated before a failure is still handed out, for its owner to release. With stamps, a data file's
// stamp is appended.
HRESULT ReadValueData(HKEY key, const wchar_t* valueName, uint8_t** data, uint32_t* size,
                      StoreFileStamps* stamps = nullptr);

// The registered display name of a class (the default value of "CLSID\<id>"), looked up in this program's own
// registry view first and then in the other one. Returns a Win32 status.
LONG GetPlugInFriendlyName(const wchar_t* classIdText, wchar_t* buffer, DWORD capacityBytes);

// The same look-up for many classes in a row: the classes root of each view is resolved once, on construction,
// rather than once per class, which is most of a single look-up's cost. FriendlyName gives what
// GetPlugInFriendlyName gives for the same class.
class PlugInClassNames {
public:
    // lookups: about how many classes will be looked up. Past a few hundred, the registered classes are listed
    // once, so that a class that is not registered costs no failed open in each view. A listing is kept, and
    // serves any look-ups of the process, until a class registration changes.
    explicit PlugInClassNames(size_t lookups = 0);
    LONG FriendlyName(const wchar_t* classIdText, wchar_t* buffer, DWORD capacityBytes) const;
    // False only when a listing says the class is not registered: FriendlyName would find nothing.
    bool MayBeRegistered(const wchar_t* classIdText) const;
    bool HasListing() const { return registered_ != nullptr; }

private:
    mutable KvRegKey views_[2]; // "CLSID" in this program's own registry view, then in the other one
    mutable bool opened_ = false;
    // The name hashes of every class key of both views, sorted; null when not listed.
    std::shared_ptr<const std::vector<uint64_t>> registered_;
};

// New collections from the store; null out-values when nothing loadable was found. The codes are informational.
// With stamps, every data file the load looked at is recorded.
HRESULT LoadStoreChains(ChainList** chainList, StoreFileStamps* stamps = nullptr);
HRESULT LoadStorePresets(PlugInList** plugInList, StoreFileStamps* stamps = nullptr);

// Refills a list of LathmereDestination records (KVLIST_OWNS_ITEMS) with the installed versions.
HRESULT LoadLathmereDestinations(tKVLIST* destinations);
