// Temporary names of a replacing write: in the target's folder, and never longer than the target's path allows.
#include <doctest.h>
#include <string>
#include "kvreplacefile.h"
#include "wide_string_maker.h"

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
