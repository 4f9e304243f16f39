// Small file-system questions of the library.
#include "kvfile.h"
#include "kvhandles.h"

BOOL KvDoesFileExist(const wchar_t* path) {
    if (!path || !*path) return FALSE;
    KvFile file(CreateFileW(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
    if (file.valid()) return TRUE;
    return GetLastError() == ERROR_SHARING_VIOLATION;
}
