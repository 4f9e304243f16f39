// The fields of a language instance, shared by the string and resource modules of the library.
#pragma once
#include <windows.h>

struct tKVLIST;

struct tKVLANG {
    HMODULE module;             // resources come from here by default
    CRITICAL_SECTION lock;      // guards the ring and the string cache
    bool lockReady;
    int ringCapacity;           // scratch ring size in characters
    int ringReserve;            // slice size handed out when no size is asked for
    int ringPosition;           // next free character of the ring
    wchar_t* ring;
    bool useLanguageModule;     // off at open; this program never turns it on
    HMODULE languageModule;     // "<program>.LNG" beside the program, when it exists
    LANGID language;            // language of lookups in the language module
    tKVLIST* cache;             // CachedString records sorted by identifier
};
