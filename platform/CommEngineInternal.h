#pragma once
// What the parts of the comm engine share: completion codes of the overlapped records and
// the failure path of its calls.
#include "platform/CommEngine.h"

#include <chrono>
#include <cstdint>

namespace comm_detail {

constexpr DWORD kStatusSuccess = 0;
constexpr DWORD kStatusCancelled = 0xC0000120u;
constexpr DWORD kStatusFailed = 0xC0000001u;

inline std::chrono::milliseconds Ms(uint64_t v) { return std::chrono::milliseconds(v); }

inline BOOL Fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

}  // namespace comm_detail
