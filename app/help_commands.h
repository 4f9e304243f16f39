// The Help menu's commands: the user guide (F1), the home page, and What's This (Shift+F1).
#pragma once
#include <windows.h>
#include <string>

// Opens a file or a web address in the program the user chose for it; returns 0 or a failure code.
// The frame uses the shell's open verb; tests put a recorder in its place.
struct HelpOpener {
    HRESULT (*open)(void* data, HWND owner, const wchar_t* target);
    void* data;
};

HelpOpener ShellHelpOpener();

// Where the user guide belongs: help\index.html in the folder of the running program, so that a copied
// program finds the guide copied with it.
std::wstring HelpGuidePath();

// Handles 33100 (open the guide) and 33103 (open the home page) and returns true. Any other command, What's This
// (33101) included, is not handled here: false sends it to the frame's default processing, which does nothing.
// A guide that is missing or cannot be opened, and a home page that cannot be opened, are reported to the user.
bool HandleHelpCommand(HWND frame, UINT id, const HelpOpener& opener = ShellHelpOpener());
