// The settings store against the real registry of the test prefix, and the window-placement helpers.
#include <doctest.h>
#include <cstring>
#include <string>
#include <vector>
#include "kvhandles.h"
#include "kvmetric.h"
#include "kvresult.h"
#include "wide_string_maker.h"

namespace {

const wchar_t PRODUCT[] = L"TarrowKvMetricTest";
constexpr DWORD VERSION = 0x0200001A;
const std::wstring KEY_PATH = L"Software\\Varden Media Software\\TarrowKvMetricTest\\2.0\\Metrics";
const HKEY BOTH_ROOTS[] = {HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE};

// Type and size of a value as the registry holds it; REG_NONE when it is missing.
DWORD RawType(HKEY root, const wchar_t* name, DWORD* bytes = nullptr, const std::wstring& path = KEY_PATH) {
    DWORD type = REG_NONE, size = 0;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_ANY | RRF_NOEXPAND, &type, nullptr, &size) != ERROR_SUCCESS)
        return REG_NONE;
    if (bytes) *bytes = size;
    return type;
}

// Stores a value behind the store's back, with any type and size.
void WriteRaw(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    REQUIRE(RegSetKeyValueW(HKEY_CURRENT_USER, KEY_PATH.c_str(), name, type, data, bytes) == ERROR_SUCCESS);
}

// The store deletes only the settings key; the test also removes the product keys above it.
void RemoveTestKeys() {
    for (HKEY root : BOTH_ROOTS) RegDeleteTreeW(root, L"Software\\Varden Media Software\\TarrowKvMetricTest");
}

// One open handle on the test product; leaves no key behind.
struct MetricFixture {
    KvMetricHandle* handle = nullptr;
    MetricFixture() {
        RemoveTestKeys();
        REQUIRE(KvMetric_Open(&handle, PRODUCT, VERSION, nullptr) == 0);
        REQUIRE(handle->userKey.valid());
        REQUIRE(handle->machineKey.valid());
    }
    ~MetricFixture() {
        KvMetric_Close(handle);
        RemoveTestKeys();
    }
};

WINDOWPLACEMENT MakePlacement(RECT normal) {
    return WINDOWPLACEMENT{sizeof(WINDOWPLACEMENT), 0, SW_SHOWNORMAL, POINT{-1, -1}, POINT{-1, -1}, normal};
}

// The caption band of a screen rectangle lies on some monitor's work area, wide enough to grab.
void CheckCaptionReachable(const RECT& window) {
    const LONG captionHeight = GetSystemMetrics(SM_CYCAPTION);
    RECT caption{window.left, window.top, window.right, window.top + captionHeight}, shown{};
    MONITORINFO info{sizeof(info), {}, {}, 0};
    REQUIRE(GetMonitorInfoW(MonitorFromRect(&caption, MONITOR_DEFAULTTONULL), &info));
    REQUIRE(IntersectRect(&shown, &caption, &info.rcWork));
    CHECK(shown.right - shown.left >= 32);
    CHECK(shown.bottom - shown.top >= captionHeight / 2);
}

} // namespace

TEST_CASE_FIXTURE(MetricFixture, "a settings subkey too long is refused rather than cut to some other key") {
    KvMetricHandle* other = nullptr;
    CHECK(KvMetric_Open(&other, PRODUCT, VERSION, std::wstring(250, L'k').c_str()) == KV_E_INVALIDARG);
}

TEST_CASE_FIXTURE(MetricFixture, "numbers and binary values: defaults, clamping, sizes") {
    REQUIRE(KvSetMetric(handle, 31010, 20000) == 0);
    CHECK(KvGetMetricEx(handle, 31010, 0, 16384, 300) == 16384);
    CHECK(KvGetMetricEx(handle, 31010, 0, 0, 300) == 20000);
    REQUIRE(KvSetMetric(handle, 31010, -1) == 0);
    CHECK(KvGetMetricEx(handle, 31010, 0, 16384, 300) == 0);
    WriteRaw(L"7", REG_SZ, L"7", 4); // the number's name, another type: absent
    CHECK(KvGetMetricEx(handle, 7, 0, 10, 4) == 4);
    for (KvMetricHandle* none : {static_cast<KvMetricHandle*>(nullptr), KV_METRIC_DEFAULT_HANDLE}) {
        CHECK(KvGetMetricEx(none, 1, 0, 10, 20000) == 20000);
        CHECK(KvSetMetric(none, 1, 1) == KV_E_FAIL);
    }

    const BYTE stored[] = {9, 8, 7, 6, 5};
    REQUIRE(KvSetMetricBinary(handle, 30120, stored, sizeof(stored)) == 0);
    std::vector<BYTE> buffer(8, 0xCC);
    CHECK(KvGetMetricBinary(handle, 30120, buffer.data(), 8) == 5);
    CHECK(buffer == std::vector<BYTE>{9, 8, 7, 6, 5, 0, 0, 0});
    buffer.assign(8, 0xCC);
    CHECK(KvGetMetricBinary(handle, 30120, buffer.data(), 4) == 0); // too small: zero-filled, nothing read
    CHECK(buffer == std::vector<BYTE>{0, 0, 0, 0, 0xCC, 0xCC, 0xCC, 0xCC});
}

TEST_CASE_FIXTURE(MetricFixture, "texts: written with the terminator; cut or unterminated ones read as empty") {
    wchar_t buffer[8]; // the program's callers pass no default text
    DWORD bytes = 0;
    REQUIRE(KvSetMetricString(handle, 31000, L"1234567") == 0);
    CHECK(RawType(HKEY_CURRENT_USER, L"S31000", &bytes) == REG_SZ);
    CHECK(bytes == 16);
    CHECK(KvGetMetricStringEx(handle, 31000, buffer, 8, nullptr, FALSE) == 7);
    CHECK(std::wstring(buffer) == L"1234567");
    REQUIRE(KvSetMetricString(handle, 31000, L"12345678") == 0);
    CHECK(KvGetMetricStringEx(handle, 31000, buffer, 8, nullptr, FALSE) == 0);
    CHECK(buffer[0] == L'\0');
    WriteRaw(L"S31001", REG_SZ, L"abcdefghi", 16); // stored without its terminator
    std::wmemset(buffer, L'#', 8);
    CHECK(KvGetMetricStringEx(handle, 31001, buffer, 8, nullptr, TRUE) == 0);
    CHECK(buffer[0] == L'\0');
    CHECK(KvSetMetricString(KV_METRIC_DEFAULT_HANDLE, 30112, L"x") == KV_E_FAIL);
}

TEST_CASE_FIXTURE(MetricFixture, "window placement with and without a stored record") {
    WINDOWPLACEMENT placement{};
    CHECK(KvLoadWindowPlacement(handle, 100, KV_PLACEMENT_RESTORE_OR_DEFAULT, &placement) == KV_S_NOTHING_TO_DO);
    const WINDOWPLACEMENT expectedDefault = placement;
    WINDOWPLACEMENT stored = MakePlacement(RECT{10, 20, 410, 320});
    REQUIRE(KvSetMetricBinary(handle, 100, &stored, sizeof(stored)) == 0);
    CHECK(KvLoadWindowPlacement(handle, 100, KV_PLACEMENT_RESTORE_OR_DEFAULT, &placement) == 0);
    CHECK(std::memcmp(&placement, &stored, sizeof(stored)) == 0);
    stored.ptMaxPosition = POINT{0, 0}; // marks a record that mode 2 does not trust
    REQUIRE(KvSetMetricBinary(handle, 100, &stored, sizeof(stored)) == 0);
    CHECK(KvLoadWindowPlacement(handle, 100, KV_PLACEMENT_RESTORE_OR_DEFAULT, &placement) == KV_S_NOTHING_TO_DO);
    CHECK(std::memcmp(&placement, &expectedDefault, sizeof(placement)) == 0);
    stored.ptMaxPosition = POINT{-1, -1};
    REQUIRE(KvSetMetricBinary(handle, 100, &stored, 40) == 0); // a record cut short is no record
    CHECK(KvLoadWindowPlacement(handle, 100, KV_PLACEMENT_RESTORE_OR_DEFAULT, &placement) == KV_S_NOTHING_TO_DO);

    SUBCASE("fixing keeps the caption reachable and the size") {
        placement = MakePlacement(RECT{50, 60, 450, 360});
        placement.showCmd = SW_SHOWMINIMIZED;
        CHECK(KvFixWindowPlacement(&placement) == 0);
        CHECK(placement.showCmd == SW_SHOWNORMAL);
        CHECK(placement.rcNormalPosition.left == 50);
        CHECK(placement.rcNormalPosition.top == 60);
        for (RECT off : {RECT{9000, 8000, 9400, 8300}, RECT{-6000, -5000, -5600, -4700}, RECT{100, -290, 500, 10},
                         RECT{-395, 100, 5, 400}}) {
            CAPTURE(off.left);
            placement = MakePlacement(off);
            KvFixWindowPlacement(&placement);
            const RECT& moved = placement.rcNormalPosition;
            CHECK(moved.right - moved.left == 400);
            CHECK(moved.bottom - moved.top == 300);
            CheckCaptionReachable(moved);
        }
    }
}
