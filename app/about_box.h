// The About box: program title, version text and the About bitmap.
#pragma once
#include <windows.h>

void ShowAboutBox(HWND owner);
