// KvOwnedList: a tKVLIST of pointers whose objects it owns and deletes, for collections of heap objects.
#pragma once
#include <memory>
#include "kvlist.h"
#include "kvresult.h"

template <class T>
class KvOwnedList {
public:
    explicit KvOwnedList(uint32_t options = KVLIST_LOCKED) {
        if (KvList_CreateExZ(&list_, sizeof(void*), -1, -1, options) < 0) list_ = nullptr;
    }
    ~KvOwnedList() {
        Clear();
        KvList_Destroy(list_);
    }
    KvOwnedList(const KvOwnedList&) = delete;
    KvOwnedList& operator=(const KvOwnedList&) = delete;

    bool valid() const { return list_ != nullptr; }
    int Count() const { return list_ ? list_->count : 0; }
    T* At(int index) const { return index >= 0 && index < Count() ? static_cast<T*>(list_->items[index]) : nullptr; }

    // Takes the item at index (-1 appends); on failure the item is deleted and the code returned.
    HRESULT Insert(int index, std::unique_ptr<T> item) {
        if (!item || !list_) return KV_E_OUTOFMEMORY;
        T* raw = item.get();
        HRESULT hr = KvList_InsertList(list_, index, &raw, 1);
        if (hr >= 0) item.release();
        return hr;
    }
    HRESULT Append(std::unique_ptr<T> item) { return Insert(-1, std::move(item)); }

    // Removes the slot and hands its object to the caller; null for an index out of range.
    std::unique_ptr<T> Take(int index) {
        T* item = At(index);
        if (!item || KvList_DeleteList(list_, index, 1, FALSE) < 0) return nullptr;
        return std::unique_ptr<T>(item);
    }
    void DeleteAt(int index) { Take(index); }
    void Clear() {
        if (!list_) return;
        for (int i = Count() - 1; i >= 0; --i) delete At(i);
        KvList_DeleteList(list_, 0, -1, FALSE);
    }

private:
    tKVLIST* list_ = nullptr;
};
