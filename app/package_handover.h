// A second start of the program hands the package on its command line to the running instance: the path travels
// in WM_COPYDATA to the frame, which opens it as File > Open would once nothing else is in progress.
#pragma once
#include <windows.h>
#include <string>

struct FrameState;

// Marks a WM_COPYDATA whose data are a package path: UTF-16, terminated, absolute.
constexpr ULONG_PTR HANDOVER_PACKAGE_PATH = 0x54415250;
// Posted by the frame to itself, so that the sender of WM_COPYDATA is not kept waiting on a question.
constexpr UINT WM_TARROW_HANDOVER = WM_APP + 0x11;
// Retries a hand-over that arrived while the user was in the middle of something.
constexpr UINT_PTR HANDOVER_RETRY_TIMER = 0x5441;

// What the frame keeps between receiving a path and opening it.
struct PackageHandOver {
    std::wstring path; // the last path handed over and not opened yet; empty when none waits
};

// Second start: when a frame of the program runs, activates it (restoring it when minimised), hands it the package
// that commandLine names, if any, and returns true. An unreadable command line only activates.
bool HandOverToRunningInstance(const wchar_t* commandLine);

// The frame's WM_COPYDATA: keeps a well-formed path, restores and raises the window, and posts the opening. TRUE
// when the data were taken.
LRESULT OnHandOverCopyData(FrameState& frame, const COPYDATASTRUCT* data);
// WM_TARROW_HANDOVER and the retry timer: opens the kept path, or waits while FrameIsBusy.
void OpenHandedOverPackage(FrameState& frame);
