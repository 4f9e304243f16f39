// The document commands on the frame window: the frame's parts handed to them, and what they changed put on screen.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include "document_record.h"

struct FrameState;

// New, Open, Save, Save As and the recent-files entries; false for any other command.
bool OnDocumentCommand(FrameState& frame, UINT command);
// Closing the window (close box, system menu, Exit): asks about unsaved changes; true when the window may go.
bool OnFrameClose(FrameState& frame);
// WM_QUERYENDSESSION: true when the session may end. A modified package is asked about as closing asks; a
// cancelled question, a failed or cancelled save, or another box or dialog of the program still open keep it.
bool OnFrameQueryEndSession(FrameState& frame);
// Opens a package as File > Open does once its dialog has closed: the unsaved-changes question first (Cancel, or a
// save that did not happen, stops it with KV_E_CANCELLED), then OpenPackage. Refreshes the title and toolbar.
HRESULT OpenPackageAfterQuestion(FrameState& frame, const DocumentRecord& request);
// The first file dropped on the frame opens as the package, after the unsaved-changes question.
void OnFilesDropped(FrameState& frame, HDROP drop);
// Stores the recent-files list in the settings; at the frame's destruction.
void SaveFrameRecentFiles(FrameState& frame);
