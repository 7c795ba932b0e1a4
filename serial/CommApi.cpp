#include "serial/CommApi.h"

#include <atomic>

HANDLE CommApi::CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                            SECURITY_ATTRIBUTES* securityAttributes, DWORD creationDisposition,
                            DWORD flagsAndAttributes, HANDLE templateFile)
{
    return ::CreateFileA(fileName, desiredAccess, shareMode, securityAttributes,
                         creationDisposition, flagsAndAttributes, templateFile);
}
BOOL CommApi::CloseHandle(HANDLE h) { return ::CloseHandle(h); }
BOOL CommApi::ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED ov)
{
    return ::ReadFile(h, buffer, toRead, read, ov);
}
BOOL CommApi::WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, LPDWORD written,
                        LPOVERLAPPED ov)
{
    return ::WriteFile(h, buffer, toWrite, written, ov);
}
BOOL CommApi::GetOverlappedResult(HANDLE h, LPOVERLAPPED ov, LPDWORD transferred, BOOL wait)
{
    return ::GetOverlappedResult(h, ov, transferred, wait);
}
BOOL CommApi::CancelOverlapped(HANDLE h, LPOVERLAPPED ov) { return ::CancelOverlapped(h, ov); }
BOOL CommApi::SetupComm(HANDLE h, DWORD inQueue, DWORD outQueue)
{
    return ::SetupComm(h, inQueue, outQueue);
}
BOOL CommApi::SetCommState(HANDLE h, LPDCB dcb) { return ::SetCommState(h, dcb); }
BOOL CommApi::SetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS timeouts)
{
    return ::SetCommTimeouts(h, timeouts);
}
BOOL CommApi::SetCommMask(HANDLE h, DWORD mask) { return ::SetCommMask(h, mask); }
BOOL CommApi::WaitCommEvent(HANDLE h, LPDWORD mask, LPOVERLAPPED ov)
{
    return ::WaitCommEvent(h, mask, ov);
}
BOOL CommApi::ClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT stat)
{
    return ::ClearCommError(h, errors, stat);
}
BOOL CommApi::PurgeComm(HANDLE h, DWORD flags) { return ::PurgeComm(h, flags); }
BOOL CommApi::GetCommModemStatus(HANDLE h, LPDWORD modemStat)
{
    return ::GetCommModemStatus(h, modemStat);
}

namespace {
CommApi gPlatformComm;
std::atomic<CommApi*> gComm{&gPlatformComm};
} // namespace

CommApi& Comm() { return *gComm.load(std::memory_order_acquire); }

CommApi* SetCommApi(CommApi* api)
{
    return gComm.exchange(api ? api : &gPlatformComm, std::memory_order_acq_rel);
}
