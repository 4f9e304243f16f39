// Identifiers of the test-only resources in kvlang_tests.rc (a range the program never uses).
#pragma once

#define IDS_TEST_MARKED         61000
#define IDS_TEST_MARKER_ONLY    61001
#define IDS_TEST_MARKER_INSIDE  61002
#define IDR_TEST_MENU           61010
