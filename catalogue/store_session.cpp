// Keys and texts shared by the store writes of one run.
#include "store_session.h"
#include "catalogue_lookup.h"
#include "store_files.h"
#include "store_handles.h"
#include "store_names.h"

namespace {

constexpr DWORD kDefLocationBytes = 520;

const wchar_t* AreaKey(StoreArea area) { return area == STORE_AREA_CHAINS ? STORE_CHAINS_KEY : STORE_PRESETS_KEY; }
const wchar_t* AreaDefaultTail(StoreArea area) {
    return area == STORE_AREA_CHAINS ? L"Presets\\FX Packages" : L"Presets";
}

LONG EnsureDefLocation(HKEY key, StoreArea area) {
    if (RegQueryValueExW(key, STORE_DEF_LOCATION, nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS)
        return ERROR_SUCCESS;
    std::wstring folder = ProgramFolder() + AreaDefaultTail(area);
    return RegSetValueExW(key, STORE_DEF_LOCATION, 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(folder.c_str()),
                          static_cast<DWORD>((folder.size() + 1) * sizeof(wchar_t)));
}

bool SameKeyPath(const std::wstring& first, const std::wstring& second) {
    return CompareStringOrdinal(first.c_str(), static_cast<int>(first.size()), second.c_str(),
                                static_cast<int>(second.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

LONG StoreWriteSession::OpenArea(StoreArea area, HKEY* root) {
    Area& held = areas_[area];
    if (!held.key) {
        KvRegKey key;
        LONG status = CreateKey(&key, HKEY_CURRENT_USER, AreaKey(area));
        if (status != ERROR_SUCCESS) return status;
        status = EnsureDefLocation(key.get(), area);
        if (status != ERROR_SUCCESS) return status;
        held.key = std::move(key);
    }
    *root = held.key.get();
    return ERROR_SUCCESS;
}

LONG StoreWriteSession::DefLocation(StoreArea area, std::wstring* text) {
    Area& held = areas_[area];
    if (!held.defLocationRead) {
        HKEY root = nullptr;
        LONG status = OpenArea(area, &root);
        if (status != ERROR_SUCCESS) return status;
        wchar_t value[kDefLocationBytes / sizeof(wchar_t) + 1] = {};
        DWORD bytes = kDefLocationBytes;
        status = RegQueryValueExW(root, STORE_DEF_LOCATION, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &bytes);
        if (status != ERROR_SUCCESS) return status;
        held.defLocation = value;
        held.defLocationRead = true;
    }
    *text = held.defLocation;
    return ERROR_SUCCESS;
}

LONG StoreWriteSession::OpenItem(const std::wstring& path, bool create, HKEY* key) {
    if (!item_ || !SameKeyPath(item_->path, path)) {
        item_ = nullptr;
        auto bucket = items_.find(CatalogueNameKey(path.c_str()));
        if (bucket != items_.end())
            for (const std::unique_ptr<Item>& held : bucket->second)
                if (SameKeyPath(held->path, path)) item_ = held.get();
    }
    if (!item_) {
        auto opened = std::make_unique<Item>();
        LONG status = create ? CreateKey(&opened->key, HKEY_CURRENT_USER, path.c_str())
                             : OpenKey(&opened->key, HKEY_CURRENT_USER, path.c_str(), KEY_ALL_ACCESS);
        if (status != ERROR_SUCCESS) return status;
        opened->path = path;
        item_ = opened.get();
        items_[CatalogueNameKey(path.c_str())].push_back(std::move(opened));
    }
    *key = item_->key.get();
    return ERROR_SUCCESS;
}

LONG StoreWriteSession::ItemRefs(DataFileRefs** refs) {
    if (!item_) return ERROR_INVALID_HANDLE;
    if (!item_->refsListed) {
        LONG status = item_->refs.Load(item_->key.get());
        if (status != ERROR_SUCCESS) return status;
        item_->refsListed = true;
    }
    *refs = &item_->refs;
    return ERROR_SUCCESS;
}

void StoreWriteSession::NoteItemFile(const wchar_t* valueName, const std::wstring& path) {
    if (item_ && item_->refsListed) item_->refs.Set(valueName, path);
}

void StoreWriteSession::NoteItemInline(const wchar_t* valueName) {
    if (item_ && item_->refsListed) item_->refs.Remove(valueName);
}

void StoreWriteSession::NoteUnflushedFile(const std::wstring& path) { unflushed_.push_back(path); }

HRESULT StoreWriteSession::FlushWrittenFiles() {
    while (!unflushed_.empty()) {
        HRESULT hr = FlushDataFile(unflushed_.back());
        if (hr < 0) return hr;
        unflushed_.pop_back();
    }
    return S_OK;
}

void StoreWriteSession::CloseItem(const std::wstring& path) {
    auto bucket = items_.find(CatalogueNameKey(path.c_str()));
    if (bucket == items_.end()) return;
    std::vector<std::unique_ptr<Item>>& held = bucket->second;
    for (size_t i = 0; i < held.size(); ++i)
        if (SameKeyPath(held[i]->path, path)) {
            if (item_ == held[i].get()) item_ = nullptr;
            held.erase(held.begin() + static_cast<std::ptrdiff_t>(i));
            return;
        }
}

void StoreWriteSession::Forget() {
    for (Area& area : areas_) area = Area();
    item_ = nullptr;
    items_.clear();
}
