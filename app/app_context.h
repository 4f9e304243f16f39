// The process-wide application record and the document record shared by the shell and the document code.
#pragma once
#include <windows.h>
#include <cstdint>
#include "document_record.h"
#include "kvlang.h"
#include "recent_files.h"

struct KvMetricHandle;
struct FrameState;

struct AppContext {
    HINSTANCE instance;
    KvMetricHandle* settings;
    tKVLANG* language;
    wchar_t productName[128];
    HWND frameWindow;
    KvAcceleratorTable accelerators; // loaded by the frame, released when it is destroyed
    DocumentRecord document;
    RecentFileList recentFiles;
    FrameState* frameState;
};

// The one record of the running process; empty until start-up fills it.
extern AppContext g_appContext;

constexpr uint32_t APP_VERSION_WORD = 0x0200001A; // major 2, minor 0, build 26
