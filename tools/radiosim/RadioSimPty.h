#pragma once
// Serves a RadioSim on the master side of a pseudo-terminal: a client opens SlavePath()
// as its serial port. Latency, byte pacing (both ways, as on a serial line) and split
// answers are kept with timers on one poll() loop; Stop() (or StopFromSignal()) ends it
// through a pipe.
#include "tools/radiosim/RadioSim.h"

#include <atomic>
#include <chrono>
#include <deque>
#include <string>
#include <thread>

class RadioSimPty {
public:
    // Opens the pty pair; std::runtime_error when that fails.
    explicit RadioSimPty(RadioSim& sim);
    ~RadioSimPty();
    RadioSimPty(const RadioSimPty&) = delete;
    RadioSimPty& operator=(const RadioSimPty&) = delete;

    const std::string& SlavePath() const { return slavePath_; }

    // Serves in the calling thread until stopped.
    void Run();
    // Serves in a thread of its own.
    void Start();
    // Ends the loop and joins the thread started by Start(); prompt, and safe to repeat.
    void Stop();
    // Only asks the loop to end: async-signal-safe, for SIGINT/SIGTERM handlers.
    void StopFromSignal();

    bool Running() const { return running_; }

private:
    using Clock = std::chrono::steady_clock;
    struct TimedByte {
        Clock::time_point Due;
        char Byte;
    };

    Clock::duration ByteTime() const;
    // Command bytes the client wrote arrive one byte time after another.
    void Receive(const char* bytes, std::size_t count);
    // Hands the sim the bytes that have arrived, each command when its last byte did.
    void FeedDue();
    // Answers to a command whose last byte arrived at `heard`.
    void Schedule(const std::vector<RadioSimWrite>& writes, Clock::time_point heard);
    void WriteDue();

    RadioSim& sim_;
    int master_ = -1;
    int slaveHold_ = -1; // kept open so the master never sees a hang-up between clients
    int stopPipe_[2] = {-1, -1};
    std::string slavePath_;
    std::deque<TimedByte> in_;
    Clock::time_point inTail_{};
    std::deque<TimedByte> out_;
    Clock::time_point tail_{};
    std::thread thread_;
    std::atomic<bool> running_{false};
};
