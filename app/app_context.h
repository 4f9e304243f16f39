// The process-wide application record and the document record shared by the shell and the document code.
#pragma once
#include <windows.h>
#include <cstdint>
#include "document_record.h"
#include "kvlang.h"
#include "recent_files.h"
#include "tarrow_version.h"

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

// Major version in bits 24-31, minor in 16-23, build in 0-15; the settings key is named after major.minor.
constexpr uint32_t APP_VERSION_WORD =
    (uint32_t{TARROW_VERSION_MAJOR} << 24) | (uint32_t{TARROW_VERSION_MINOR} << 16) | TARROW_VERSION_BUILD;
