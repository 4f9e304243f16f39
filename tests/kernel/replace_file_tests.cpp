// Replacing writes: temporary names in the target's folder and within its path's length; which commits flush.
#include <doctest.h>
#include <cstring>
#include <string>
#include <vector>
#include "kvreplacefile.h"
#include "kvresult.h"
#include "test_support.h"
#include "wide_string_maker.h"

namespace {

using Bytes = std::vector<unsigned char>;

bool WriteText(KvReplacingFile& file, const char* text) {
    DWORD written = 0;
    DWORD size = static_cast<DWORD>(strlen(text));
    return WriteFile(file.File(), text, size, &written, nullptr) && written == size;
}

Bytes BytesOf(const char* text) { return Bytes(text, text + strlen(text)); }

int CountEntries(const std::wstring& folder) {
    int count = 0;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    for (bool more = find != INVALID_HANDLE_VALUE; more; more = FindNextFileW(find, &found))
        count += wcscmp(found.cFileName, L".") != 0 && wcscmp(found.cFileName, L"..") != 0;
    if (find != INVALID_HANDLE_VALUE) FindClose(find);
    return count;
}

} // namespace

TEST_CASE("temporary names stay in the target's folder and within its path's length") {
    CHECK(KvTemporaryPathBeside(L"C:\\p\\doc.kvpreset", 0x1234ABCDu) == L"C:\\p\\~kvp1234ABCD.tmp");
    CHECK(KvTemporaryPathBeside(L"C:doc.kvpreset", 0xFu) == L"C:~kvp0000000F.tmp");
    // 259-character targets whose names leave the temporary name less and less room.
    for (size_t nameLength : {40, 16, 15, 10, 2, 1}) {
        CAPTURE(nameLength);
        const std::wstring folder = L"C:\\" + std::wstring(259 - 4 - nameLength, L'd') + L"\\";
        const std::wstring temp = KvTemporaryPathBeside(folder + std::wstring(nameLength, L'n'), 0xFEDCBA98u);
        CHECK(temp.size() <= 259);
        CHECK(temp.compare(0, folder.size(), folder) == 0);
        CHECK(temp.find(L'\\', folder.size()) == std::wstring::npos);
        if (nameLength >= 2) CHECK(temp.substr(folder.size(), 1) == L"~");
    }
    // Beyond the limit (a system that allows long paths) the target's own length is the bound.
    const std::wstring deep = L"C:\\" + std::wstring(300, L'd') + L"\\target.bin";
    CHECK(KvTemporaryPathBeside(deep, 1).size() <= deep.size());
}

TEST_CASE("a commit that may skip the flush skips it only for a new file, and then never replaces one") {
    testsupport::ScratchDir scratch(L"replacing");
    const std::wstring target = scratch.file(L"data.bin");
    KvReplacingFile file;
    REQUIRE(file.Create(target.c_str()) == S_OK);
    REQUIRE(WriteText(file, "first"));
    REQUIRE(file.Commit(KV_COMMIT_FLUSH_REPLACING) == S_OK);
    CHECK_FALSE(file.Flushed());
    CHECK(testsupport::ReadWholeFile(target) == BytesOf("first"));

    // Replacing what is there now: flushed first, whatever the caller allowed.
    REQUIRE(file.Create(target.c_str()) == S_OK);
    REQUIRE(WriteText(file, "second"));
    REQUIRE(file.Commit(KV_COMMIT_FLUSH_REPLACING) == S_OK);
    CHECK(file.Flushed());
    CHECK(testsupport::ReadWholeFile(target) == BytesOf("second"));

    // A file that appears at the target after Create stays, and nothing is left beside it.
    const std::wstring late = scratch.file(L"late.bin");
    REQUIRE(file.Create(late.c_str()) == S_OK);
    REQUIRE(WriteText(file, "unflushed"));
    REQUIRE(testsupport::WriteWholeFile(late, "theirs", 6));
    CHECK(file.Commit(KV_COMMIT_FLUSH_REPLACING) == KV_E_FILE_CREATE);
    CHECK(testsupport::ReadWholeFile(late) == BytesOf("theirs"));
    CHECK(CountEntries(scratch.path()) == 2);

    // The default always flushes, also for a new file.
    const std::wstring fresh = scratch.file(L"fresh.bin");
    REQUIRE(file.Create(fresh.c_str()) == S_OK);
    REQUIRE(WriteText(file, "durable"));
    REQUIRE(file.Commit() == S_OK);
    CHECK(file.Flushed());
}
