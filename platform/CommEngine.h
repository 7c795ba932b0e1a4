#pragma once
// The per-port I/O engine behind a comm handle: it owns the terminal's descriptor and one
// thread that reads into the input ring, completes overlapped operations, keeps the event
// history and the line errors. The Win32 calls in Comm.cpp are thin fronts on CommPort.
#include "platform/Comm.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

struct termios;

// Splits the terminal's marked input stream (every error and break flagged with 0xFF 0x00,
// a real 0xFF doubled) into plain bytes, errors and breaks. Keeps its state across reads,
// since a marker may be cut by a read boundary.
class MarkedInputDecoder {
public:
    enum class Kind { Byte, Error, Break };
    struct Item {
        Kind kind;
        uint8_t byte;
    };
    void Feed(const uint8_t* data, size_t n, std::vector<Item>& out);
    void Reset() { state_ = State::Normal; }

private:
    enum class State { Normal, GotFF, GotFF00 };
    State state_ = State::Normal;
};

// Baud rates through the kernel's arbitrary-rate interface (kept in its own source file,
// as its headers clash with <termios.h>). Both return false and leave errno on failure.
bool CommSetBaudRate(int fd, uint32_t baud);
bool CommGetBaudRate(int fd, uint32_t& baud);

// The terminal settings a DCB stands for (speed aside), laid over t's other flags.
void CommTermiosFromDcb(const DCB& dcb, struct termios& t);

class CommPort : public KernelObject {
public:
    // Opens a device path; on failure returns nullptr with the Win32 error in error.
    static std::shared_ptr<CommPort> Open(const std::string& path, DWORD& error);
    ~CommPort() override;
    void Close() override;

    BOOL Read(void* buffer, DWORD count, DWORD* done, OVERLAPPED* ov);
    BOOL Write(const void* buffer, DWORD count, DWORD* done, OVERLAPPED* ov);
    BOOL WaitEvent(DWORD* mask, OVERLAPPED* ov);
    BOOL OverlappedResult(OVERLAPPED* ov, DWORD* transferred, BOOL wait);
    BOOL Detach(OVERLAPPED* ov);
    BOOL Setup(DWORD inQueue, DWORD outQueue);
    BOOL GetState(DCB* dcb);
    BOOL SetState(const DCB* dcb);
    BOOL GetTimeouts(COMMTIMEOUTS* t);
    BOOL SetTimeouts(const COMMTIMEOUTS* t);
    BOOL SetMask(DWORD mask);
    BOOL GetMask(DWORD* mask);
    BOOL ClearError(DWORD* errors, COMSTAT* stat);
    BOOL Purge(DWORD flags);
    BOOL ModemStatus(DWORD* status);
    BOOL Escape(DWORD func);
    BOOL SetSimulatedModem(DWORD status);

private:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;

    struct ReadOp {
        OVERLAPPED* ov;
        HANDLE event;
        uint8_t* buffer;
        DWORD want;
        std::vector<uint8_t> got;
        std::optional<TimePoint> total;
        DWORD interval;  // 0: no interval limit
        TimePoint lastByte;
        bool firstByteReturns;
    };
    struct WriteOp {
        OVERLAPPED* ov;
        HANDLE event;
        std::vector<uint8_t> data;
        size_t sent;
        std::optional<TimePoint> deadline;
    };
    struct WaitOp {
        OVERLAPPED* ov;
        HANDLE event;
        DWORD* mask;
    };

    explicit CommPort(int fd, std::string path);
    // Locks the port for a call that starts an operation on ov (a transfer of count bytes at
    // buffer); an empty lock, the error set, when the call cannot start: a closed port, or a
    // hung-up one when `live` is asked.
    std::unique_lock<std::mutex> BeginCall(OVERLAPPED* ov, const void* buffer, DWORD count, bool live);
    void Run();
    void Wake();
    void FlushSignals(std::unique_lock<std::mutex>& lk);

    // All below run with mu_ held.
    void Service(TimePoint now);
    void ReadDevice(short revents, TimePoint now);
    void Deliver(const uint8_t* raw, size_t n, TimePoint now);
    void FeedReads(TimePoint now);
    void ServiceWrites(TimePoint now);
    void PollModem(TimePoint now);
    void CheckInputFlow();
    void Raise(DWORD events);
    void TryCompleteWait();
    void CompleteRead(ReadOp& op, DWORD status);
    void CompleteWrite(WriteOp& op, DWORD status, DWORD count);
    void CompleteWait(WaitOp& op, DWORD events);
    void CancelReads();
    void EndWrites(DWORD status); // each with the count it sent
    void ReleaseWait();           // a pending wait ends with no event
    void Finish(OVERLAPPED* ov, HANDLE event, DWORD status, DWORD count);
    void HangUp();
    void SetLine(int bit, bool on);
    DWORD CurrentModem();
    bool OutputHeld();
    size_t OutQueueBytes();
    int PollTimeout(TimePoint now);
    bool ApplyTermios(const DCB& dcb, DWORD& error);
    void ApplyLines(const DCB& dcb);
    bool IsTracked(OVERLAPPED* ov) const;

    int fd_;
    int wakeFd_ = -1;
    std::string path_;
    std::thread engine_;

    mutable std::mutex mu_;
    std::condition_variable done_;  // any operation completed
    bool closed_ = false;
    bool stopping_ = false;
    bool hungUp_ = false;

    DCB dcb_{};
    COMMTIMEOUTS timeouts_{};
    DWORD mask_ = 0;
    DWORD history_ = 0;
    DWORD errors_ = 0;

    std::deque<uint8_t> ring_;
    size_t capacity_ = 4096;
    bool inputHeld_ = false;  // we asked the peer to stop sending
    MarkedInputDecoder decoder_;

    std::deque<ReadOp> reads_;
    std::deque<WriteOp> writes_;
    std::optional<WaitOp> wait_;
    std::optional<TimePoint> drainCheck_;
    bool wantOut_ = false;

    bool isPty_ = false;
    bool modemReal_ = true;  // modem-line ioctls work on this device
    DWORD simulatedModem_ = MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON;
    DWORD lastModem_ = 0;
    std::optional<TimePoint> nextModemPoll_;
    struct Counters {
        int cts = 0, dsr = 0, rng = 0, dcd = 0, frame = 0, parity = 0, overrun = 0, brk = 0,
            bufOverrun = 0;
    };
    std::optional<Counters> counters_;

    std::vector<HANDLE> toSignal_;
};
