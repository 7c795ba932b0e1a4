#include "tools/radiosim/RadioSimPty.h"

#include <algorithm>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

RadioSimPty::RadioSimPty(RadioSim& sim) : sim_(sim)
{
    termios raw{};
    cfmakeraw(&raw);
    cfsetispeed(&raw, B9600);
    cfsetospeed(&raw, B9600);
    char name[256] = {};
    if (::openpty(&master_, &slaveHold_, name, &raw, nullptr) != 0)
        throw std::runtime_error("radiosim: openpty failed");
    slavePath_ = name;
    if (::pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) {
        ::close(master_);
        ::close(slaveHold_);
        throw std::runtime_error("radiosim: pipe failed");
    }
    ::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK);
    ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    ::fcntl(slaveHold_, F_SETFD, FD_CLOEXEC);
}

RadioSimPty::~RadioSimPty()
{
    Stop();
    ::close(master_);
    ::close(slaveHold_);
    ::close(stopPipe_[0]);
    ::close(stopPipe_[1]);
}

void RadioSimPty::Start()
{
    if (thread_.joinable())
        return;
    // A stop asked for before this start must not end the new run at once.
    char buf[64];
    while (::read(stopPipe_[0], buf, sizeof buf) > 0) {
    }
    running_ = true;
    thread_ = std::thread([this] { Run(); });
}

void RadioSimPty::Stop()
{
    StopFromSignal();
    if (thread_.joinable())
        thread_.join();
}

void RadioSimPty::StopFromSignal()
{
    const char c = 'x';
    // A full pipe already holds a stop request.
    [[maybe_unused]] ssize_t n = ::write(stopPipe_[1], &c, 1);
}

RadioSimPty::Clock::duration RadioSimPty::ByteTime() const
{
    const int baud = sim_.Options().Baud;
    return baud > 0
        ? std::chrono::duration_cast<Clock::duration>(std::chrono::microseconds(10'000'000LL / baud))
        : Clock::duration::zero();
}

void RadioSimPty::Receive(const char* bytes, std::size_t count)
{
    const auto byteTime = ByteTime();
    auto due = std::max(Clock::now(), inTail_);
    for (std::size_t i = 0; i < count; ++i) {
        due += byteTime;
        in_.push_back({due, bytes[i]});
    }
    inTail_ = due;
}

void RadioSimPty::FeedDue()
{
    const auto now = Clock::now();
    std::string run;
    while (!in_.empty() && in_.front().Due <= now) {
        const TimedByte b = in_.front();
        in_.pop_front();
        run += b.Byte;
        if (b.Byte == ';' || in_.empty() || in_.front().Due > now) {
            Schedule(sim_.FeedTimed(run), b.Due);
            run.clear();
        }
    }
}

void RadioSimPty::Schedule(const std::vector<RadioSimWrite>& writes, Clock::time_point heard)
{
    const auto byteTime = ByteTime();
    // Answers leave in the order they were asked for: one held back holds back the rest.
    // A byte is readable once its last bit is on the line.
    for (const RadioSimWrite& w : writes) {
        auto due = w.Continues ? tail_ + std::chrono::milliseconds(w.AfterMs)
                               : std::max(heard + std::chrono::milliseconds(w.AfterMs), tail_);
        for (char c : w.Bytes) {
            due += byteTime;
            out_.push_back({due, c});
        }
        tail_ = due;
    }
}

void RadioSimPty::WriteDue()
{
    const auto now = Clock::now();
    std::string chunk;
    for (const TimedByte& b : out_) {
        if (b.Due > now)
            break;
        chunk += b.Byte;
    }
    if (chunk.empty())
        return;
    const ssize_t n = ::write(master_, chunk.data(), chunk.size());
    if (n > 0)
        out_.erase(out_.begin(), out_.begin() + n);
}

void RadioSimPty::Run()
{
    running_ = true;
    char buf[512];
    for (;;) {
        const auto now = Clock::now();
        int timeoutMs = -1;
        bool wantWrite = false;
        // Round up so a wake-up never comes before the byte is due.
        auto wakeFor = [&](Clock::time_point due) {
            const int ms = int(std::chrono::ceil<std::chrono::milliseconds>(due - now).count());
            timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
        };
        if (!out_.empty()) {
            if (out_.front().Due <= now)
                wantWrite = true;
            else
                wakeFor(out_.front().Due);
        }
        if (!in_.empty())
            wakeFor(std::max(in_.front().Due, now));
        pollfd fds[2] = {{stopPipe_[0], POLLIN, 0},
                         {master_, short(POLLIN | (wantWrite ? POLLOUT : 0)), 0}};
        const int r = ::poll(fds, 2, timeoutMs);
        if (r < 0 && errno != EINTR)
            break;
        if (fds[0].revents & POLLIN) {
            while (::read(stopPipe_[0], buf, sizeof buf) > 0) {
            }
            break;
        }
        if (fds[1].revents & POLLIN) {
            const ssize_t n = ::read(master_, buf, sizeof buf);
            if (n > 0)
                Receive(buf, std::size_t(n));
        }
        if (!in_.empty())
            FeedDue();
        if (!out_.empty())
            WriteDue();
    }
    running_ = false;
}
