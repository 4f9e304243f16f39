// The library's own start-up and shutdown: its language instance, the locale values and its separator tokens.
#include "kvkernel.h"
#include "kvlang_internal.h"
#include "kvresult.h"

namespace {

tKVLANG* g_libraryLanguage = nullptr;

struct TokenDefinition {
    const wchar_t* name;
    const wchar_t* value;
};

// Time-code and musical-time separators, and labels spelled with them.
const TokenDefinition kSeparatorTokens[] = {
    {L"SMPTE.Whole", L":"},
    {L"SMPTE.NonDrop", L"."},
    {L"SMPTE.Drop", L","},
    {L"m.b", L"."},
    {L"b.t", L"."},
};

const TokenDefinition kLabelTokens[] = {
    {L"SMPTE.Label.NonDrop", L"hh$(SMPTE.Whole)mm$(SMPTE.Whole)ss$(SMPTE.NonDrop)ff"},
    {L"SMPTE.Label.Drop", L"hh$(SMPTE.Whole)mm$(SMPTE.Whole)ss$(SMPTE.Drop)ff"},
    {L"SMPTE.Label.NonDrop.Full",
     L"Hours$(SMPTE.Whole)Minutes$(SMPTE.Whole)Seconds$(SMPTE.NonDrop)Frames"},
    {L"SMPTE.Label.Drop.Full", L"Hours$(SMPTE.Whole)Minutes$(SMPTE.Whole)Seconds$(SMPTE.Drop)Frames"},
    {L"MusicTime.Label", L"m$(m.b)b$(b.t)t"},
    {L"MusicTime.Label.Full", L"Measures$(m.b)Beats$(b.t)Ticks"},
};

} // namespace

HRESULT KvKernel_Init(HINSTANCE instance) {
    if (g_libraryLanguage) return S_OK;
    HRESULT result = KvLang_Open(&g_libraryLanguage, instance, 0, 0);
    if (FAILED(result)) return result;
    KvPrintF_LoadUserLocale();
    bool added = true;
    for (const TokenDefinition& token : kSeparatorTokens) added = KvPrintF_AddToken(token.name, token.value) && added;
    for (const TokenDefinition& token : kLabelTokens) {
        wchar_t value[128];
        KvPrintFN(value, 128, token.value);
        added = KvPrintF_AddToken(token.name, value) && added;
    }
    if (!added) { // the token table only fails when memory runs out
        KvKernel_Exit();
        return KV_E_OUTOFMEMORY;
    }
    return S_OK;
}

void KvKernel_Exit() {
    KvLang_Close(g_libraryLanguage);
    g_libraryLanguage = nullptr;
}

tKVLANG* KvKernel_GetLanguage() { return g_libraryLanguage; }
