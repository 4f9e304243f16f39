// Buffered UTF-8 output to a standard handle with WriteFile, so bytes reach pipes and files unchanged.
#include "cli_output.h"

namespace {
constexpr size_t kFlushThreshold = 64 * 1024;
}

void CliOutput::Written() {
    if (buffer_.size() >= kFlushThreshold) Flush();
}

void CliOutput::Append(const std::string& text) {
    buffer_ += text;
    Written();
}

bool CliOutput::Flush() {
    bool ok = true;
    size_t done = 0;
    while (ok && done < buffer_.size()) {
        DWORD chunk = static_cast<DWORD>(buffer_.size() - done > 0x40000000 ? 0x40000000 : buffer_.size() - done);
        DWORD written = 0;
        ok = handle_ && handle_ != INVALID_HANDLE_VALUE &&
             WriteFile(handle_, buffer_.data() + done, chunk, &written, nullptr) && written > 0;
        done += written;
    }
    buffer_.clear();
    return ok;
}
