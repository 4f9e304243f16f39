// The 32-bit result codes shared by every layer: 0 success, 1 nothing to do, negative failure.
#pragma once
#include <windows.h>

// System codes used as they are.
constexpr HRESULT KV_E_FAIL              = static_cast<HRESULT>(0x80004005);
constexpr HRESULT KV_E_OUTOFMEMORY       = static_cast<HRESULT>(0x8007000E);
constexpr HRESULT KV_E_INVALIDARG        = static_cast<HRESULT>(0x80070057);

// The library's own codes.
constexpr HRESULT KV_E_FILE_CREATE       = static_cast<HRESULT>(0x8004E006);
constexpr HRESULT KV_E_FILE_OPEN         = static_cast<HRESULT>(0x8004E007);
constexpr HRESULT KV_E_READ              = static_cast<HRESULT>(0x8004E008);
constexpr HRESULT KV_E_WRITE             = static_cast<HRESULT>(0x8004E009);
constexpr HRESULT KV_E_NOT_FOUND         = static_cast<HRESULT>(0x8004E00A);
constexpr HRESULT KV_E_UNSUPPORTED       = static_cast<HRESULT>(0x8004E00B);
constexpr HRESULT KV_E_CANCELLED         = static_cast<HRESULT>(0x8004E00C);
constexpr HRESULT KV_E_WINDOW_CREATE     = static_cast<HRESULT>(0x8004E00F);
constexpr HRESULT KV_E_DATA_FILE_MISSING = static_cast<HRESULT>(0x8004E032);
constexpr HRESULT KV_E_BUFFER_TOO_SMALL  = static_cast<HRESULT>(0x8004E03C);

// RIFF layer.
constexpr HRESULT KV_E_RIFF_NOT_RIFF     = static_cast<HRESULT>(0x8004E080);
constexpr HRESULT KV_E_RIFF_NOT_LIST     = static_cast<HRESULT>(0x8004E081);
constexpr HRESULT KV_E_RIFF_ZERO_LENGTH  = static_cast<HRESULT>(0x8004E082);
constexpr HRESULT KV_E_RIFF_NEG_LENGTH   = static_cast<HRESULT>(0x8004E083);

constexpr HRESULT KV_S_NOTHING_TO_DO     = 1;
