// The document commands' surroundings for in-process tests: a language instance, a settings key of the tests'
// own, a document, a recent-files list and a catalogue, with message boxes and file dialogs answered in turn.
#pragma once
#include <windows.h>
#include <doctest.h>
#include <deque>
#include <optional>
#include <string>
#include <vector>
#include "catalogue_model.h"
#include "document_commands.h"
#include "document_open.h"
#include "file_dialogs.h"
#include "kvkernel.h"
#include "kvlang.h"
#include "kvmetric.h"
#include "kvmsgbox.h"
#include "recent_files.h"
#include "test_support.h"
#include "../kernel/wide_string_maker.h"

namespace apptest {

inline const wchar_t kSettingsProduct[] = L"TarrowDocumentTest";
inline const wchar_t kSettingsRoot[] = L"Software\\Varden Media Software\\TarrowDocumentTest";

// One message box as the display hook saw it.
struct ShownBox {
    std::wstring text;
    UINT style;
};

// One file dialog as the runner saw it.
struct ShownDialog {
    bool save;
    std::wstring title, initialFolder, initialName, filter, defaultExtension;
    DWORD flags;
};

// What the next file dialog does: choose a path (with the read-only box ticked or not), or be cancelled.
struct DialogAnswer {
    std::optional<std::wstring> path;
    bool readOnly = false;
};

// Answers boxes and dialogs from queues; anything asked beyond them is cancelled and recorded as unexpected.
class Answers {
public:
    Answers() {
        if (!KvKernel_GetLanguage()) KvKernel_Init(GetModuleHandleW(nullptr));
        KvMsgBoxSetAppData(GetModuleHandleW(nullptr), nullptr, L"Tarrow Document Test");
        KvMsgBoxSetHook([](void* data, HWND, const wchar_t* text, const wchar_t*, UINT style) {
            auto* self = static_cast<Answers*>(data);
            self->boxes.push_back({text ? text : L"", style});
            if (self->boxAnswers.empty()) {
                ++self->unexpected;
                return static_cast<int>(IDCANCEL);
            }
            int answer = self->boxAnswers.front();
            self->boxAnswers.pop_front();
            return answer;
        }, this);
        SetFileDialogRunner([this](OPENFILENAMEW& dialog, bool save) { return Dialog(dialog, save); });
    }
    ~Answers() {
        SetFileDialogRunner(nullptr);
        KvMsgBoxSetHook(nullptr, nullptr);
    }
    Answers(const Answers&) = delete;
    Answers& operator=(const Answers&) = delete;

    std::deque<int> boxAnswers;
    std::deque<DialogAnswer> dialogAnswers;
    std::vector<ShownBox> boxes;
    std::vector<ShownDialog> dialogs;
    int unexpected = 0;

private:
    BOOL Dialog(OPENFILENAMEW& dialog, bool save) {
        ShownDialog shown{save, dialog.lpstrTitle ? dialog.lpstrTitle : L"",
                          dialog.lpstrInitialDir ? dialog.lpstrInitialDir : L"", dialog.lpstrFile, L"",
                          dialog.lpstrDefExt ? dialog.lpstrDefExt : L"", dialog.Flags};
        for (const wchar_t* piece = dialog.lpstrFilter; piece && *piece; piece += wcslen(piece) + 1)
            shown.filter += std::wstring(piece) + L"|";
        dialogs.push_back(shown);
        if (dialogAnswers.empty()) {
            ++unexpected;
            return FALSE;
        }
        DialogAnswer answer = dialogAnswers.front();
        dialogAnswers.pop_front();
        if (!answer.path) return FALSE;
        wcsncpy(dialog.lpstrFile, answer.path->c_str(), dialog.nMaxFile - 1);
        dialog.lpstrFile[dialog.nMaxFile - 1] = L'\0';
        if (answer.readOnly) dialog.Flags |= OFN_READONLY;
        return TRUE;
    }
};

// A settings handle on the tests' own key, removed before and after.
class TestSettings {
public:
    TestSettings() {
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRoot);
        REQUIRE(KvMetric_Open(&handle, kSettingsProduct, 0x0200001A, nullptr) == 0);
    }
    ~TestSettings() {
        KvMetric_Close(handle);
        RegDeleteTreeW(HKEY_CURRENT_USER, kSettingsRoot);
        RegDeleteTreeW(HKEY_LOCAL_MACHINE, kSettingsRoot);
    }
    TestSettings(const TestSettings&) = delete;
    TestSettings& operator=(const TestSettings&) = delete;
    KvMetricHandle* handle = nullptr;
};

// The program's own string table, read from the test executable.
class TestLanguage {
public:
    TestLanguage() { REQUIRE(KvLang_Open(&instance, GetModuleHandleW(nullptr), 3, 0) == 0); }
    ~TestLanguage() { KvLang_Close(instance); }
    TestLanguage(const TestLanguage&) = delete;
    TestLanguage& operator=(const TestLanguage&) = delete;
    tKVLANG* instance = nullptr;
};

// Everything a document command needs, starting as the untitled document with an empty package.
struct DocumentFixture {
    testsupport::ScratchDir dir{L"documents"};
    TestLanguage language;
    TestSettings settings;
    Answers answers;
    DocumentRecord document{};
    RecentFileList recent;
    CatalogueModel model;
    DocumentSession session;

    DocumentFixture() {
        MakeUntitledDocument(document, language.instance);
        session.language = language.instance;
        session.settings = settings.handle;
        session.document = &document;
        session.recentFiles = &recent;
        session.model = &model;
    }

    // One plug-in with one preset of the given name in the package side.
    void AddPackagePreset(const wchar_t* name) {
        PlugInList* plugIns = GetPlugInList(model, SIDE_PACKAGE);
        REQUIRE(plugIns != nullptr);
        auto* plugIn = new PlugInEntry(L"Echo", L"{11111111-2222-3333-4444-555555555555}");
        auto* preset = new PresetEntry(name);
        uint8_t* blob = CatalogueBlobAlloc(4);
        REQUIRE(blob != nullptr);
        preset->AdoptData(blob, 4);
        REQUIRE(plugIn->AppendPreset(preset) == 0);
        REQUIRE(plugIns->Append(plugIn) == 0);
    }

    void MakeNamed(const std::wstring& path, uint32_t flags) {
        document = DocumentRecord{};
        wcsncpy(document.path, path.c_str(), DOC_PATH_CHARS - 1);
        document.flags = flags;
    }
};

} // namespace apptest
