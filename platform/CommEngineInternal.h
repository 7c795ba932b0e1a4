#pragma once
// What the parts of the comm engine share: completion codes of the overlapped records, the
// failure path of its calls, and the modem lines as events.
#include "platform/CommEngine.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <utility>

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

// The `second` of each pair whose `first` is set in bits.
template <size_t N>
DWORD MapBits(unsigned bits, const std::pair<unsigned, DWORD> (&table)[N])
{
    DWORD out = 0;
    for (const auto& [from, to] : table)
        if (bits & from)
            out |= to;
    return out;
}

// The events a change of the modem lines raises: any change of CTS, DSR or RLSD, and a ring
// that starts.
inline DWORD ModemEvents(DWORD before, DWORD now)
{
    static constexpr std::pair<unsigned, DWORD> kChanges[] = {
        {MS_CTS_ON, EV_CTS}, {MS_DSR_ON, EV_DSR}, {MS_RLSD_ON, EV_RLSD}};
    const DWORD ring = (now & MS_RING_ON) && !(before & MS_RING_ON) ? EV_RING : 0;
    return MapBits(before ^ now, kChanges) | ring;
}

// Hands the caller a value read under the port's lock; a null place for it is refused.
template <class T, class Read>
BOOL ReadOut(std::mutex& mu, T* out, Read read)
{
    if (!out)
        return Fail(ERROR_INVALID_PARAMETER);
    std::lock_guard lk(mu);
    *out = read();
    return TRUE;
}

}  // namespace comm_detail
