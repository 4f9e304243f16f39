// Last-resort report of an exception that escaped from start-up or the message loop.
#pragma once
#include <windows.h>

// Composes the report text for the exception; EXCEPTION_EXECUTE_HANDLER, or EXCEPTION_CONTINUE_SEARCH for a data
// misalignment, which is left to the system.
LONG WINAPI AppExceptionFilter(EXCEPTION_POINTERS* exception);

// The text composed by the last call of AppExceptionFilter.
const wchar_t* AppCrashReportText();
