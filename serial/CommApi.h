#pragma once
// The comm calls the serial port component makes, behind one interface so that tests can
// record them and inject failures. The default forwards to the platform's comm API.
#include "platform/Comm.h"
#include "platform/Kernel.h"

class CommApi {
public:
    virtual ~CommApi() = default;

    virtual HANDLE CreateFileA(LPCSTR fileName, DWORD desiredAccess, DWORD shareMode,
                               SECURITY_ATTRIBUTES* securityAttributes,
                               DWORD creationDisposition, DWORD flagsAndAttributes,
                               HANDLE templateFile);
    virtual BOOL CloseHandle(HANDLE h);
    virtual BOOL ReadFile(HANDLE h, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED ov);
    virtual BOOL WriteFile(HANDLE h, LPCVOID buffer, DWORD toWrite, LPDWORD written,
                           LPOVERLAPPED ov);
    virtual BOOL GetOverlappedResult(HANDLE h, LPOVERLAPPED ov, LPDWORD transferred, BOOL wait);
    virtual BOOL CancelOverlapped(HANDLE h, LPOVERLAPPED ov);
    virtual BOOL SetupComm(HANDLE h, DWORD inQueue, DWORD outQueue);
    virtual BOOL SetCommState(HANDLE h, LPDCB dcb);
    virtual BOOL SetCommTimeouts(HANDLE h, LPCOMMTIMEOUTS timeouts);
    virtual BOOL SetCommMask(HANDLE h, DWORD mask);
    virtual BOOL WaitCommEvent(HANDLE h, LPDWORD mask, LPOVERLAPPED ov);
    virtual BOOL ClearCommError(HANDLE h, LPDWORD errors, LPCOMSTAT stat);
    virtual BOOL PurgeComm(HANDLE h, DWORD flags);
    virtual BOOL GetCommModemStatus(HANDLE h, LPDWORD modemStat);
};

// The interface in use; safe to call from any thread.
CommApi& Comm();
// Installs api (nullptr restores the platform's); returns the one it replaces. Install only
// while no port is open.
CommApi* SetCommApi(CommApi* api);
