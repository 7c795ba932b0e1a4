#pragma once
// A pseudo-terminal for port tests: the test holds the master side and the port under test
// opens the slave by its path. All descriptors are closed on every path.
#include <cerrno>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <stdexcept>
#include <string>
#include <termios.h>
#include <unistd.h>

class PtyPair {
public:
    PtyPair()
    {
        int slave = -1;
        char name[256] = {};
        if (::openpty(&master_, &slave, name, nullptr, nullptr) != 0)
            throw std::runtime_error("openpty failed");
        ::close(slave);  // the port under test opens it by path
        path_ = name;
        int fl = ::fcntl(master_, F_GETFL);
        ::fcntl(master_, F_SETFL, fl | O_NONBLOCK);
        ::fcntl(master_, F_SETFD, FD_CLOEXEC);
    }
    ~PtyPair() { CloseMaster(); }
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& Path() const { return path_; }
    std::string Win32Name() const { return "\\\\.\\" + path_; }
    int Master() const { return master_; }

    void CloseMaster()
    {
        if (master_ >= 0)
            ::close(master_);
        master_ = -1;
    }

    // Writes all bytes, waiting for room when the slave's queue is full.
    bool Send(const std::string& bytes)
    {
        size_t off = 0;
        while (off < bytes.size()) {
            ssize_t n = ::write(master_, bytes.data() + off, bytes.size() - off);
            if (n > 0) {
                off += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EINTR)
                return false;
            pollfd p{master_, POLLOUT, 0};
            if (::poll(&p, 1, 2000) <= 0)
                return false;
        }
        return true;
    }

    // Collects what the port sent until `want` bytes arrived or the time is up.
    std::string Receive(size_t want, int timeoutMs = 5000)
    {
        std::string got;
        auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        while (got.size() < want) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                            end - std::chrono::steady_clock::now()).count();
            if (left <= 0)
                break;
            pollfd p{master_, POLLIN, 0};
            if (::poll(&p, 1, static_cast<int>(left)) <= 0)
                break;
            char buf[4096];
            ssize_t n = ::read(master_, buf, sizeof buf);
            if (n <= 0)
                break;
            got.append(buf, static_cast<size_t>(n));
        }
        return got;
    }

    // The slave's settings as seen through the master.
    termios Settings() const
    {
        termios t{};
        ::tcgetattr(master_, &t);
        return t;
    }

private:
    int master_ = -1;
    std::string path_;
};
