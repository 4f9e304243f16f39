// File tests shared by the program's file commands.
#include "kvfile.h"
#include "kvhandles.h"

BOOL KvDoesFileExist(const wchar_t* path) {
    if (!path || !*path) return FALSE;
    KvFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file) return TRUE;
    return GetLastError() == ERROR_SHARING_VIOLATION;
}
