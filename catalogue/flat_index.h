// An open-addressed multimap from 64-bit keys to small values, all in one block: node-based maps take a heap block
// per item, which for a side of 100,000 presets or 20,000 plug-ins costs more than the look-ups save.
#pragma once
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

template <class Value> class FlatIndex {
public:
    // Room for items values without growing.
    void Reserve(size_t items) {
        if ((taken_ + items) * 2 > slots_.size()) Rebuild(live_ + items);
    }

    // True when a value under the same key was there already: every one of them lies on the way to a free slot.
    bool Add(uint64_t key, Value value) {
        if ((taken_ + 1) * 2 > slots_.size()) Rebuild((live_ + 1) * 2); // room to grow as much again
        const size_t mask = slots_.size() - 1;
        size_t at = Home(key, mask);
        bool shared = false;
        for (; slots_[at].state != kFree; at = (at + 1) & mask) // a vacated slot may still lie in another key's run
            shared = shared || (slots_[at].state == kTaken && slots_[at].key == key);
        slots_[at].key = key;
        slots_[at].value = std::move(value);
        slots_[at].state = kTaken;
        ++taken_;
        ++live_;
        return shared;
    }

    // Calls visit(value) for every value under key, until it returns true; returns that value, or null.
    template <class Visit> Value* Find(uint64_t key, Visit visit) {
        Slot* slot = FindSlot(key, visit);
        return slot ? &slot->value : nullptr;
    }

    template <class Visit> const Value* Find(uint64_t key, Visit visit) const {
        return const_cast<FlatIndex*>(this)->Find(key, visit);
    }

    // Takes out the first value under key that match accepts; false when there is none.
    template <class Match> bool Remove(uint64_t key, Match match) {
        Slot* slot = FindSlot(key, match);
        if (!slot) return false;
        slot->value = Value();
        slot->state = kVacated; // keeps the runs through it going
        --live_;
        return true;
    }

    size_t Count() const { return live_; }

    template <class Visit> void ForEachValue(Visit visit) {
        for (Slot& slot : slots_)
            if (slot.state == kTaken) visit(slot.value);
    }

private:
    enum State : uint8_t { kFree, kTaken, kVacated };
    struct Slot {
        uint64_t key = 0;
        Value value = Value();
        State state = kFree;
    };

    template <class Visit> Slot* FindSlot(uint64_t key, Visit& visit) {
        if (slots_.empty()) return nullptr;
        const size_t mask = slots_.size() - 1;
        for (size_t at = Home(key, mask); slots_[at].state != kFree; at = (at + 1) & mask)
            if (slots_[at].state == kTaken && slots_[at].key == key && visit(slots_[at].value)) return &slots_[at];
        return nullptr;
    }

    static size_t Home(uint64_t key, size_t mask) { return static_cast<size_t>(key ^ (key >> 29)) & mask; }

    // At least twice wanted slots, a power of two; the vacated ones are left behind.
    void Rebuild(size_t wanted) {
        size_t size = 16;
        while (size < wanted * 2) size *= 2;
        std::vector<Slot> old(size);
        old.swap(slots_);
        taken_ = live_ = 0;
        for (Slot& slot : old)
            if (slot.state == kTaken) Add(slot.key, std::move(slot.value));
    }

    std::vector<Slot> slots_;
    size_t taken_ = 0; // taken and vacated slots: at most half of them
    size_t live_ = 0;
};
