// The Open and Save dialogs for packages, starting in the folder the user last chose a package in.
#pragma once
#include <windows.h>
#include <commdlg.h>
#include <functional>

struct tKVLANG;
struct KvMetricHandle;

// Runs one prepared common dialog (save: the Save dialog, else the Open dialog) and returns what it returned.
// Tests put their own in place of the system dialogs; an empty runner restores them.
using FileDialogRunner = std::function<BOOL(OPENFILENAMEW& dialog, bool save)>;
FileDialogRunner SetFileDialogRunner(FileDialogRunner runner); // returns the previous runner

// Both take a path buffer of DOC_PATH_CHARS characters and give S_OK with the chosen path, or KV_E_FAIL when the
// user cancelled or the dialog failed (the buffer then holds nothing of use). A chosen path's folder is
// remembered for the next dialog.
HRESULT ShowOpenDialog(HWND owner, tKVLANG* language, KvMetricHandle* settings, wchar_t* path, bool* readOnly);
// path holds the name the dialog starts with.
HRESULT ShowSaveDialog(HWND owner, tKVLANG* language, KvMetricHandle* settings, wchar_t* path);

// The folder a file dialog starts in: the remembered one, else the user's documents folder; empty when neither.
void InitialDialogFolder(KvMetricHandle* settings, wchar_t* folder, int capacity);
