// Entry point of every test executable. The tests rewrite and delete the per-user preset store, so they run only
// where test.sh has marked the store as a throwaway one.
#define DOCTEST_CONFIG_IMPLEMENT
#include <windows.h>
#include <doctest.h>
#include <cstdio>
#include "test_support.h"

int main(int argc, char** argv) {
    if (!testsupport::InThrowawayStore()) {
        fprintf(stderr,
                "Refusing to run: these tests delete and rewrite the per-user preset store, and this store is not "
                "marked as a throwaway one (HKEY_CURRENT_USER\\%ls, value %ls).\n"
                "Run the tests with ./test.sh, which prepares a throwaway Wine prefix and marks it.\n",
                testsupport::kThrowawayKey, testsupport::kThrowawayValue);
        return 3;
    }
    return doctest::Context(argc, argv).run();
}
