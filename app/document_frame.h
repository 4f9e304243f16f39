// The document commands on the frame window: the frame's parts handed to them, and what they changed put on screen.
#pragma once
#include <windows.h>
#include <shellapi.h>

struct FrameState;

// New, Open, Save, Save As and the recent-files entries; false for any other command.
bool OnDocumentCommand(FrameState& frame, UINT command);
// Closing the window (close box, system menu, Exit): asks about unsaved changes; true when the window may go.
bool OnFrameClose(FrameState& frame);
// The first file dropped on the frame opens as the package, without the unsaved-changes question.
void OnFilesDropped(FrameState& frame, HDROP drop);
// Stores the recent-files list in the settings; at the frame's destruction.
void SaveFrameRecentFiles(FrameState& frame);
