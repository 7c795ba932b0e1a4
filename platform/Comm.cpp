#include "platform/Comm.h"

#include "platform/CommEngine.h"

#include <cstring>

namespace {

std::shared_ptr<CommPort> PortOf(HANDLE h)
{
    auto port = LookupKernelObjectAs<CommPort>(h);
    if (!port)
        SetLastError(ERROR_INVALID_HANDLE);
    return port;
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
    if (path.rfind("\\\\.\\", 0) == 0)
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
    auto port = PortOf(h);
    return port ? port->Read(buffer, toRead, read, ov) : FALSE;
}

BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, LPDWORD written, LPOVERLAPPED ov)
{
    auto port = PortOf(h);
    return port ? port->Write(buffer, toWrite, written, ov) : FALSE;
}

BOOL GetOverlappedResult(HANDLE h, LPOVERLAPPED ov, LPDWORD transferred, BOOL wait)
{
    auto port = PortOf(h);
    return port ? port->OverlappedResult(ov, transferred, wait) : FALSE;
}

BOOL CancelIo(HANDLE h)
{
    auto port = PortOf(h);
    return port ? port->CancelAll() : FALSE;
}

BOOL CancelOverlapped(HANDLE h, LPOVERLAPPED ov)
{
    auto port = PortOf(h);
    return port ? port->Detach(ov) : FALSE;
}

BOOL SetupComm(HANDLE h, DWORD inQueue, DWORD outQueue)
{
    auto port = PortOf(h);
    return port ? port->Setup(inQueue, outQueue) : FALSE;
}

BOOL GetCommState(HANDLE h, LPDCB dcb)
{
    auto port = PortOf(h);
    return port ? port->GetState(dcb) : FALSE;
}

BOOL SetCommState(HANDLE h, LPDCB dcb)
{
    auto port = PortOf(h);
    return port ? port->SetState(dcb) : FALSE;
}

BOOL GetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS timeouts)
{
    auto port = PortOf(h);
    return port ? port->GetTimeouts(timeouts) : FALSE;
}

BOOL SetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS timeouts)
{
    auto port = PortOf(h);
    return port ? port->SetTimeouts(timeouts) : FALSE;
}

BOOL SetCommMask(HANDLE h, DWORD mask)
{
    auto port = PortOf(h);
    return port ? port->SetMask(mask) : FALSE;
}

BOOL GetCommMask(HANDLE h, LPDWORD mask)
{
    auto port = PortOf(h);
    return port ? port->GetMask(mask) : FALSE;
}

BOOL WaitCommEvent(HANDLE h, LPDWORD mask, LPOVERLAPPED ov)
{
    auto port = PortOf(h);
    return port ? port->WaitEvent(mask, ov) : FALSE;
}

BOOL ClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT stat)
{
    auto port = PortOf(h);
    return port ? port->ClearError(errors, stat) : FALSE;
}

BOOL PurgeComm(HANDLE h, DWORD flags)
{
    auto port = PortOf(h);
    return port ? port->Purge(flags) : FALSE;
}

BOOL GetCommModemStatus(HANDLE h, LPDWORD modemStat)
{
    auto port = PortOf(h);
    return port ? port->ModemStatus(modemStat) : FALSE;
}

BOOL EscapeCommFunction(HANDLE h, DWORD func)
{
    auto port = PortOf(h);
    return port ? port->Escape(func) : FALSE;
}

BOOL SetSimulatedModemStatus(HANDLE h, DWORD modemStat)
{
    auto port = PortOf(h);
    return port ? port->SetSimulatedModem(modemStat) : FALSE;
}
