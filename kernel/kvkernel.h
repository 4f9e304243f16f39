// The library's own start-up and shutdown: its language instance for library strings, locale values, tokens.
#pragma once
#include <windows.h>
#include "kvlang.h"

HRESULT KvKernel_Init(HINSTANCE instance);
void KvKernel_Exit();
tKVLANG* KvKernel_GetLanguage(); // the library's own strings (ids from 47999 up); null before KvKernel_Init
