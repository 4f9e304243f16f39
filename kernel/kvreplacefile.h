// A file written under a temporary name beside its target and moved over the target only once complete.
#pragma once
#include <windows.h>
#include <string>

// Until Commit the temporary file is marked for deletion, so the system removes it whenever its handle closes
// without a commit, also when the process dies half-way: no partly written file ever stays behind.
class KvReplacingFile {
public:
    KvReplacingFile() = default;
    ~KvReplacingFile(); // an uncommitted file disappears
    KvReplacingFile(const KvReplacingFile&) = delete;
    KvReplacingFile& operator=(const KvReplacingFile&) = delete;

    // Creates the temporary file in target's folder. 0x8004E006 when it cannot be made, or when target is
    // read-only or a folder (replacing it would either fail late or ignore the protection).
    HRESULT Create(const wchar_t* target);
    HANDLE File() const { return file_; }
    const std::wstring& TemporaryPath() const { return temp_; }
    // Flushes and closes the file (0x8004E009), then moves it over the target (0x8004E006). On failure the
    // temporary file is gone and the target is as it was.
    HRESULT Commit();
    void Abandon();

private:
    std::wstring target_;
    std::wstring temp_;
    HANDLE file_ = INVALID_HANDLE_VALUE;
    bool marked_ = false; // the system deletes the file when its handle closes
};

// The temporary path Create tries for target with the given tag: in target's folder, "~kvp", eight hexadecimal
// digits and ".tmp"; in a folder too deep for that, a shorter "~" name, so that the temporary path is never longer
// than both the target and the system's path limit.
std::wstring KvTemporaryPathBeside(const std::wstring& target, unsigned tag);
