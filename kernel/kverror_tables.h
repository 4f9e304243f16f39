// The error handler's built-in tables, kept apart from the code that searches them.
#pragma once
#include "kverror.h"

const tKVERRORPAIR* KvErrorHandler_BuiltInTable(int* count);
UINT KvErrorHandler_ContextStringId(UINT_PTR context);
