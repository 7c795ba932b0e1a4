#include "platform/Comm.h"

#include "platform/CommEngine.h"

#include <cstring>
#include <functional>

namespace {

std::shared_ptr<CommPort> PortOf(HANDLE h)
{
    auto port = LookupKernelObjectAs<CommPort>(h);
    if (!port)
        SetLastError(ERROR_INVALID_HANDLE);
    return port;
}

// Every comm call fails alike on a handle that is not an open port.
template <class Method, class... Args>
BOOL OnPort(HANDLE h, Method method, Args... args)
{
    auto port = PortOf(h);
    return port ? std::invoke(method, *port, args...) : FALSE;
}

}  // namespace

HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                   SECURITY_ATTRIBUTES* securityAttributes, DWORD creationDisposition,
                   DWORD flagsAndAttributes, HANDLE templateFile)
{
    (void)desiredAccess;
    (void)securityAttributes;
    (void)flagsAndAttributes;
    (void)templateFile;
    if (!fileName || !*fileName) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return INVALID_HANDLE_VALUE;
    }
    // Devices can only be opened, never created, and a comm port is never shared.
    if (creationDisposition != OPEN_EXISTING || shareMode != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    std::string path = fileName;
    if (path.starts_with("\\\\.\\"))
        path.erase(0, 4);
    DWORD error = 0;
    auto port = CommPort::Open(path, error);
    if (!port) {
        SetLastError(error);
        return INVALID_HANDLE_VALUE;
    }
    return RegisterKernelObject(port);
}

BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED ov)
{
    return OnPort(h, &CommPort::Read, buffer, toRead, read, ov);
}

BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED ov)
{
    return OnPort(h, &CommPort::Write, buffer, toWrite, written, ov);
}

BOOL GetOverlappedResult(HANDLE h, LPOVERLAPPED ov, LPDWORD transferred, BOOL wait)
{
    return OnPort(h, &CommPort::OverlappedResult, ov, transferred, wait);
}

BOOL CancelOverlapped(HANDLE h, LPOVERLAPPED ov)
{
    return OnPort(h, &CommPort::Detach, ov);
}

BOOL SetupComm(HANDLE h, DWORD inQueue, DWORD outQueue)
{
    return OnPort(h, &CommPort::Setup, inQueue, outQueue);
}

BOOL GetCommState(HANDLE h, LPDCB dcb)
{
    return OnPort(h, &CommPort::GetState, dcb);
}

BOOL SetCommState(HANDLE h, LPDCB dcb)
{
    return OnPort(h, &CommPort::SetState, dcb);
}

BOOL GetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS timeouts)
{
    return OnPort(h, &CommPort::GetTimeouts, timeouts);
}

BOOL SetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS timeouts)
{
    return OnPort(h, &CommPort::SetTimeouts, timeouts);
}

BOOL SetCommMask(HANDLE h, DWORD mask)
{
    return OnPort(h, &CommPort::SetMask, mask);
}

BOOL GetCommMask(HANDLE h, LPDWORD mask)
{
    return OnPort(h, &CommPort::GetMask, mask);
}

BOOL WaitCommEvent(HANDLE h, LPDWORD mask, LPOVERLAPPED ov)
{
    return OnPort(h, &CommPort::WaitEvent, mask, ov);
}

BOOL ClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT stat)
{
    return OnPort(h, &CommPort::ClearError, errors, stat);
}

BOOL PurgeComm(HANDLE h, DWORD flags)
{
    return OnPort(h, &CommPort::Purge, flags);
}

BOOL GetCommModemStatus(HANDLE h, LPDWORD modemStat)
{
    return OnPort(h, &CommPort::ModemStatus, modemStat);
}

BOOL EscapeCommFunction(HANDLE h, DWORD func)
{
    return OnPort(h, &CommPort::Escape, func);
}

BOOL SetSimulatedModemStatus(HANDLE h, DWORD modemStat)
{
    return OnPort(h, &CommPort::SetSimulatedModem, modemStat);
}
