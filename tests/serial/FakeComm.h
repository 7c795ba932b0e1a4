#pragma once
// A recording comm API: every call is logged by name, any call can be made to fail with a
// given error, comm events are fired by the test, reads are served from a scripted input.
#include "serial/CommApi.h"

#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

class FakeComm : public CommApi {
public:
    FakeComm() { previous_ = SetCommApi(this); }
    ~FakeComm() override { SetCommApi(previous_); }

    // Names of the calls so far, optionally only those in `only`.
    std::vector<std::string> Calls()
    {
        std::lock_guard<std::mutex> g(m_);
        return calls_;
    }
    int Count(const std::string& name)
    {
        std::lock_guard<std::mutex> g(m_);
        int n = 0;
        for (auto& c : calls_)
            n += c == name;
        return n;
    }
    void ClearCalls()
    {
        std::lock_guard<std::mutex> g(m_);
        calls_.clear();
    }
    void FailOn(const std::string& name, DWORD error)
    {
        std::lock_guard<std::mutex> g(m_);
        fail_[name] = error;
    }
    // Completes the pending WaitCommEvent with mask (or the next one, when none pends).
    void FireEvents(DWORD mask)
    {
        std::lock_guard<std::mutex> g(m_);
        if (waitOv_) {
            *waitMask_ = mask;
            waitOv_->Internal = 0;
            SetEvent(waitOv_->hEvent);
            waitOv_ = nullptr;
        } else {
            queued_.push_back(mask);
        }
    }
    // Bytes the next reads return (and ClearCommError reports as queued).
    void SetInput(const std::string& bytes)
    {
        std::lock_guard<std::mutex> g(m_);
        input_ = bytes;
    }
    // Blocks (up to ms) until the named call was made at least n times.
    bool WaitForCalls(const std::string& name, int n, int ms = 10000)
    {
        std::unique_lock<std::mutex> g(m_);
        return cv_.wait_for(g, std::chrono::milliseconds(ms), [&] {
            int c = 0;
            for (auto& x : calls_)
                c += x == name;
            return c >= n;
        });
    }

    DWORD lineErrors = 0;
    DWORD modemStatus = MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON;
    bool writesPend = false; // WriteFile leaves the operation in flight
    std::string openedName;
    DCB lastDcb{};
    COMMTIMEOUTS lastTimeouts{};
    DWORD setupIn = 0, setupOut = 0, lastPurge = 0, lastMask = 0;
    const void* lastWriteBuffer = nullptr;
    std::string written;
    HANDLE handle = INVALID_HANDLE_VALUE;

    HANDLE CreateFileA(LPCSTR fileName, DWORD, DWORD, SECURITY_ATTRIBUTES*, DWORD, DWORD,
                       HANDLE) override
    {
        if (Fails("CreateFileA"))
            return INVALID_HANDLE_VALUE;
        openedName = fileName;
        handle = RegisterKernelObject(std::make_shared<KernelObject>());
        return handle;
    }
    BOOL CloseHandle(HANDLE h) override
    {
        Log("CloseHandle");
        return ::CloseHandle(h);
    }
    BOOL ReadFile(HANDLE, LPVOID buffer, DWORD toRead, LPDWORD read, LPOVERLAPPED ov) override
    {
        if (Fails("ReadFile"))
            return FALSE;
        std::lock_guard<std::mutex> g(m_);
        DWORD n = std::min<DWORD>(toRead, static_cast<DWORD>(input_.size()));
        std::memcpy(buffer, input_.data(), n);
        input_.erase(0, n);
        *read = n;
        ov->Internal = 0;
        ov->InternalHigh = n;
        SetEvent(ov->hEvent);
        return TRUE;
    }
    BOOL WriteFile(HANDLE, LPCVOID buffer, DWORD toWrite, LPDWORD wr, LPOVERLAPPED ov) override
    {
        if (Fails("WriteFile"))
            return FALSE;
        std::lock_guard<std::mutex> g(m_);
        lastWriteBuffer = buffer;
        written.append(static_cast<const char*>(buffer), toWrite);
        if (writesPend) {
            ResetEvent(ov->hEvent);
            ov->Internal = STATUS_PENDING;
            *wr = 0;
            ::SetLastError(ERROR_IO_PENDING);
            return FALSE;
        }
        ov->Internal = 0;
        ov->InternalHigh = toWrite;
        *wr = toWrite;
        SetEvent(ov->hEvent);
        return TRUE;
    }
    BOOL GetOverlappedResult(HANDLE, LPOVERLAPPED ov, LPDWORD transferred, BOOL) override
    {
        if (Fails("GetOverlappedResult"))
            return FALSE;
        *transferred = static_cast<DWORD>(ov->InternalHigh);
        return TRUE;
    }
    BOOL CancelOverlapped(HANDLE, LPOVERLAPPED ov) override
    {
        Log("CancelOverlapped");
        std::lock_guard<std::mutex> g(m_);
        if (waitOv_ == ov)
            waitOv_ = nullptr;
        return TRUE;
    }
    BOOL SetupComm(HANDLE, DWORD in, DWORD out) override
    {
        if (Fails("SetupComm"))
            return FALSE;
        setupIn = in;
        setupOut = out;
        return TRUE;
    }
    BOOL SetCommState(HANDLE, LPDCB dcb) override { return Record("SetCommState", lastDcb, *dcb); }
    BOOL SetCommTimeouts(HANDLE, LPCOMMTIMEOUTS t) override { return Record("SetCommTimeouts", lastTimeouts, *t); }
    BOOL SetCommMask(HANDLE, DWORD mask) override { return Record("SetCommMask", lastMask, mask); }
    BOOL WaitCommEvent(HANDLE, LPDWORD mask, LPOVERLAPPED ov) override
    {
        if (Fails("WaitCommEvent"))
            return FALSE;
        std::lock_guard<std::mutex> g(m_);
        if (!queued_.empty()) {
            *mask = queued_.front();
            queued_.erase(queued_.begin());
            ov->Internal = 0;
            SetEvent(ov->hEvent);
            return TRUE;
        }
        ResetEvent(ov->hEvent);
        ov->Internal = STATUS_PENDING;
        waitOv_ = ov;
        waitMask_ = mask;
        ::SetLastError(ERROR_IO_PENDING);
        return FALSE;
    }
    BOOL ClearCommError(HANDLE, LPDWORD errors, LPCOMSTAT stat) override
    {
        if (Fails("ClearCommError"))
            return FALSE;
        std::lock_guard<std::mutex> g(m_);
        *errors = lineErrors;
        *stat = COMSTAT{};
        stat->cbInQue = static_cast<DWORD>(input_.size());
        return TRUE;
    }
    BOOL PurgeComm(HANDLE, DWORD flags) override { return Record("PurgeComm", lastPurge, flags); }
    BOOL GetCommModemStatus(HANDLE, LPDWORD status) override
    {
        if (Fails("GetCommModemStatus"))
            return FALSE;
        *status = modemStatus;
        return TRUE;
    }

private:
    void Log(const std::string& name)
    {
        {
            std::lock_guard<std::mutex> g(m_);
            calls_.push_back(name);
        }
        cv_.notify_all();
    }
    // Logs the call; true (with the last error set) when it is to fail.
    // A setting call: kept in its slot unless the call is made to fail.
    template <class T> BOOL Record(const std::string& name, T& slot, const T& value)
    {
        if (Fails(name))
            return FALSE;
        slot = value;
        return TRUE;
    }
    bool Fails(const std::string& name)
    {
        Log(name);
        std::lock_guard<std::mutex> g(m_);
        auto it = fail_.find(name);
        if (it == fail_.end())
            return false;
        ::SetLastError(it->second);
        return true;
    }

    CommApi* previous_;
    std::mutex m_;
    std::condition_variable cv_;
    std::vector<std::string> calls_;
    std::map<std::string, DWORD> fail_;
    std::vector<DWORD> queued_;
    std::string input_;
    OVERLAPPED* waitOv_ = nullptr;
    LPDWORD waitMask_ = nullptr;
};
