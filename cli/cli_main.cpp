// Process entry point of tarrow-cli.exe: the library's start-up, the program's strings, then one command.
#include <windows.h>
#include "cli_commands.h"
#include "kvkernel.h"
#include "kvlang.h"
#include "tarrow_version.h"

int wmain(int argc, wchar_t** argv) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    KvKernel_Init(instance);
    KvPrintF_AddToken(L"AppName", L"Tarrow");
    KvPrintF_AddToken(L"AppName.Full", L"Varden Tarrow");
    KvPrintF_AddToken(L"AppName.Title", L"Varden Tarrow " TARROW_VERSION_TITLE);
    int exitCode = CLI_EXIT_FAILED;
    {
        CliContext context;
        KvLang_Open(&context.language, instance, 0, 0); // without it the strings are empty, nothing worse
        exitCode = RunCli(context, argc, argv);
        KvLang_Close(context.language);
    }
    KvKernel_Exit();
    return exitCode;
}
