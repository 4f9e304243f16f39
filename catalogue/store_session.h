// What the store writes of one run share: open keys, the "DefLocation" texts, and the data files a key's values
// point at. A run is one sequence of calls, such as the actions of one edit step; other programs may change the
// store between two runs, so a session never outlives its run.
#pragma once
#include <windows.h>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>
#include "kvhandles.h"
#include "store_file_refs.h"

enum StoreArea { STORE_AREA_PRESETS = 0, STORE_AREA_CHAINS = 1 };

class StoreWriteSession {
public:
    StoreWriteSession() = default;
    StoreWriteSession(const StoreWriteSession&) = delete;
    StoreWriteSession& operator=(const StoreWriteSession&) = delete;

    // The area's root key, created when missing; an absent "DefLocation" gets its default on the first call.
    LONG OpenArea(StoreArea area, HKEY* root);
    // The area's "DefLocation" text as stored, read on the first call. Opens the area when needed.
    LONG DefLocation(StoreArea area, std::wstring* text);
    // The key at path under HKEY_CURRENT_USER, opened for all access (created when create is set); it stays open
    // for the rest of the session, and the following calls below refer to it until OpenItem is called again.
    LONG OpenItem(const std::wstring& path, bool create, HKEY* key);
    // The files the values of the item key point at, listed on the first call for that key.
    LONG ItemRefs(DataFileRefs** refs);
    // Keep a listing of the open item key up to date: valueName now points at path, or at no file.
    void NoteItemFile(const wchar_t* valueName, const std::wstring& path);
    void NoteItemInline(const wchar_t* valueName);
    // New data files of new values are written without a flush: no stored data depend on them yet, and the
    // system writes them out on its own soon after. Until then nothing may be deleted that they could be the only
    // other copy of (a renamed entry's old file, say), so every delete in the run first calls FlushWrittenFiles.
    // A file that cannot be flushed stays listed; a session that ends leaves the rest to the system.
    void NoteUnflushedFile(const std::wstring& path);
    HRESULT FlushWrittenFiles();
    // Closes path's key, for one that is about to be deleted.
    void CloseItem(const std::wstring& path);
    // Drops every key and text held: after a failed write, or one whose key someone else deleted. Files still to be
    // flushed stay listed.
    void Forget();

private:
    struct Area {
        KvRegKey key;
        bool defLocationRead = false;
        std::wstring defLocation;
    };
    struct Item {
        std::wstring path;
        KvRegKey key;
        bool refsListed = false;
        DataFileRefs refs;
    };
    Area areas_[2];
    // Every item key opened in the session, by the key of its path for hashing: a copy of many plug-ins opens
    // many, and a search of them all per plug-in would grow with the square.
    std::unordered_map<uint64_t, std::vector<std::unique_ptr<Item>>> items_;
    Item* item_ = nullptr;                      // the one OpenItem last returned
    std::vector<std::wstring> unflushed_;
};
