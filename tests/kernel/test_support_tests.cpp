// The scratch-folder helpers that other tests rely on to leave the prefix clean.
#include <doctest.h>
#include "test_support.h"

using namespace testsupport;

TEST_CASE("scratch folder holds files and is removed with its contents") {
    std::wstring kept;
    {
        ScratchDir dir(L"support");
        kept = dir.path();
        CHECK((GetFileAttributesW(kept.c_str()) & FILE_ATTRIBUTE_DIRECTORY) != 0);
        const char text[] = "abc";
        REQUIRE(WriteWholeFile(dir.file(L"a.bin"), text, 3));
        CreateDirectoryW(dir.file(L"sub").c_str(), nullptr);
        REQUIRE(WriteWholeFile(dir.file(L"sub\\b.bin"), text, 2));
        auto back = ReadWholeFile(dir.file(L"a.bin"));
        CHECK(back == std::vector<unsigned char>{'a', 'b', 'c'});
        CHECK(ReadWholeFile(dir.file(L"missing.bin")).empty());
    }
    CHECK(GetFileAttributesW(kept.c_str()) == INVALID_FILE_ATTRIBUTES);
}
