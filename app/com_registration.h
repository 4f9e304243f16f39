// The program's COM class registration: names the executable as the local server of its class.
#pragma once
#include <windows.h>

constexpr wchar_t APP_CLASS_ID[] = L"{61C55EE1-8812-4f99-BA80-599621BFB261}";

HRESULT AppRegisterServer(HINSTANCE instance);
