// A catalogue model over the throwaway prefix's store, an edit history, and scripted answers to every question.
#pragma once
#include <doctest.h>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "editing.h"
#include "kvmsgbox.h"
#include "store_fixture.h"

namespace edittest {

using namespace storetest;

constexpr wchar_t kAlpha[] = L"{E0000000-0000-4000-8000-0000000000A1}";
constexpr wchar_t kBeta[] = L"{E0000000-0000-4000-8000-0000000000B2}";
const std::wstring kAlphaKey = std::wstring(STORE_PRESETS_KEY) + L"\\" + kAlpha;
inline HWND const kOwner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234));

// Answers questions from a script (Cancel once it runs out, so that no test ever waits) and records them.
class Answers {
public:
    struct Question {
        HWND owner;
        std::wstring text, caption;
        UINT style;
    };
    Answers() {
        KvMsgBoxSetHook([](void* data, HWND owner, const wchar_t* text, const wchar_t* caption, UINT style) {
            auto* self = static_cast<Answers*>(data);
            self->asked.push_back({owner, text ? text : L"", caption ? caption : L"", style});
            if (self->whileAsked) self->whileAsked();
            return self->next < self->script.size() ? self->script[self->next++] : IDCANCEL;
        }, this);
    }
    ~Answers() { KvMsgBoxSetHook(nullptr, nullptr); }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;
    void Script(std::vector<int> answers) {
        script = std::move(answers);
        next = 0;
        asked.clear();
    }
    std::vector<Question> asked;
    std::function<void()> whileAsked; // what happens while a question is open, a reload say

private:
    std::vector<int> script;
    size_t next = 0;
};

struct EditFixture {
    StoreSandbox sandbox;
    CatalogueModel model;
    EditHistory history;
    const LathmereDestination* destination = nullptr;
    Answers answers;

    EditFixture() {
        sandbox.UseScratchDefLocations();
        model.language = TestLanguage();
        RegisterClassName(kAlpha, L"Alpha");
        RegisterClassName(kBeta, L"Beta");
    }
    ~EditFixture() {
        UnregisterClass(kAlpha);
        UnregisterClass(kBeta);
    }
    EditSession Session() { return EditSession{model, history, kOwner, destination}; }
    PlugInList& Plugins(CatalogueSide side) { return *GetPlugInList(model, side); }
    ChainList& Chains(CatalogueSide side) { return *GetChainList(model, side); }
    PlugInEntry* Add(CatalogueSide side, PlugInEntry* entry) {
        Plugins(side).Append(entry);
        return entry;
    }
    std::string State(CatalogueSide side) { return Dump(model.plugIns[side]) + Dump(model.chains[side]); }
    // What the store holds now, read back through the loader.
    std::string Stored() {
        CatalogueModel loaded;
        loaded.language = model.language;
        LoadSystemCatalogue(loaded);
        return State(loaded, SIDE_SYSTEM);
    }
    static std::string State(CatalogueModel& other, CatalogueSide side) {
        return Dump(other.plugIns[side]) + Dump(other.chains[side]);
    }
    std::wstring PresetFolder(const wchar_t* classId) const { return sandbox.folder() + L"\\presets\\" + classId; }
};

inline Selection Rows(CatalogueSide side, NodeKind listed, std::wstring parent, std::vector<std::wstring> names) {
    Selection selection;
    selection.side = side;
    selection.focusedPane = PANE_LIST;
    selection.nodeKind = listed;
    selection.parent = std::move(parent);
    selection.names = std::move(names);
    return selection;
}

inline Selection TreeNode(CatalogueSide side, NodeKind kind, std::wstring text) {
    Selection selection;
    selection.side = side;
    selection.focusedPane = PANE_TREE;
    selection.nodeKind = kind;
    selection.names = {std::move(text)};
    return selection;
}

inline std::wstring LathmereToolKey(const wchar_t* tool, unsigned major, unsigned minor) {
    if (major <= 6) return std::wstring(STORE_LATHMERE_KEY) + L"\\" + tool;
    return LathmereVersionedKey(major, minor) + L"\\" + tool;
}

} // namespace edittest
