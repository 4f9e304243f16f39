// Saving through a temporary file in the target's folder, so a failed save never damages the previous file.
#include "package_save.h"
#include "kvresult.h"

namespace {

PackageSaveFault g_saveFault = nullptr;

} // namespace

PackageSaveFault SetPackageSaveFault(PackageSaveFault fault) {
    PackageSaveFault previous = g_saveFault;
    g_saveFault = fault;
    return previous;
}

HRESULT CheckPackageSaveFault(PackageSaveStep step) { return g_saveFault ? g_saveFault(step) : S_OK; }

HRESULT SafeSave::Begin(const wchar_t* target) {
    if (CheckPackageSaveFault(SAVE_STEP_CREATE) < 0) return KV_E_FILE_CREATE;
    return file_.Create(target);
}

HRESULT SafeSave::Commit() {
    if (file_.File() == INVALID_HANDLE_VALUE) return KV_E_FILE_CREATE;
    if (CheckPackageSaveFault(SAVE_STEP_FLUSH) < 0) {
        file_.Abandon();
        return KV_E_WRITE;
    }
    if (CheckPackageSaveFault(SAVE_STEP_REPLACE) < 0) {
        file_.Abandon();
        return KV_E_FILE_CREATE;
    }
    return file_.Commit();
}
