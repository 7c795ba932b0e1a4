#include "tools/radiosim/RadioSimPty.h"

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

void RadioSimPty::Schedule(const std::vector<RadioSimWrite>& writes)
{
    const int baud = sim_.Options().Baud;
    const auto now = Clock::now();
    const auto byteTime = baud > 0
        ? std::chrono::duration_cast<Clock::duration>(std::chrono::microseconds(10'000'000LL / baud))
        : Clock::duration::zero();
    // Answers leave in the order they were asked for: one held back holds back the rest.
    for (const RadioSimWrite& w : writes) {
        auto due = w.Continues ? tail_ + std::chrono::milliseconds(w.AfterMs)
                               : std::max(now + std::chrono::milliseconds(w.AfterMs), tail_);
        for (char c : w.Bytes) {
            out_.push_back({due, c});
            due += byteTime;
        }
        tail_ = due;
    }
}

void RadioSimPty::WriteDue()
{
    const auto now = Clock::now();
    std::string chunk;
    for (const OutByte& b : out_) {
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
        int timeoutMs = -1;
        bool wantWrite = false;
        if (!out_.empty()) {
            const auto left = out_.front().Due - Clock::now();
            if (left <= Clock::duration::zero()) {
                wantWrite = true;
                timeoutMs = -1;
            } else {
                // Round up so a wake-up never comes before the byte is due.
                timeoutMs = int(std::chrono::ceil<std::chrono::milliseconds>(left).count());
            }
        }
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
                Schedule(sim_.FeedTimed(std::string(buf, std::size_t(n))));
        }
        if (!out_.empty())
            WriteDue();
    }
    running_ = false;
}
