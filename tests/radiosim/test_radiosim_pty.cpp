// The simulated radio served on a pseudo-terminal, seen from a client on the slave side.
#include "tools/radiosim/RadioSimPty.h"

#include <algorithm>
#include <chrono>
#include <csignal>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <memory>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

long long MsSince(Clock::time_point t)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - t).count();
}

int ThreadCount()
{
    int n = 0;
    if (DIR* d = ::opendir("/proc/self/task")) {
        while (dirent* e = ::readdir(d))
            if (e->d_name[0] != '.')
                ++n;
        ::closedir(d);
    }
    return n;
}

// A serial client in plain termios raw mode.
class Client {
public:
    explicit Client(const std::string& path)
    {
        fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ >= 0) {
            termios t{};
            ::tcgetattr(fd_, &t);
            ::cfmakeraw(&t);
            ::tcsetattr(fd_, TCSANOW, &t);
        }
    }
    ~Client()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool Ok() const { return fd_ >= 0; }

    void Send(const std::string& s) { ASSERT_EQ(::write(fd_, s.data(), s.size()), ssize_t(s.size())); }

    // One read: what has arrived when the first bytes come, or "" after timeoutMs.
    std::string ReadOnce(int timeoutMs)
    {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, timeoutMs) <= 0)
            return {};
        char buf[256];
        const ssize_t n = ::read(fd_, buf, sizeof buf);
        return n > 0 ? std::string(buf, std::size_t(n)) : std::string();
    }

    // Reads until the text holds `count` semicolons or timeoutMs passed.
    std::string ReadAnswers(int count, int timeoutMs = 5000)
    {
        std::string got;
        const auto start = Clock::now();
        while (std::count(got.begin(), got.end(), ';') < count) {
            const long long left = timeoutMs - MsSince(start);
            if (left <= 0)
                break;
            got += ReadOnce(int(left));
        }
        return got;
    }

private:
    int fd_ = -1;
};

int Model(const char* name) { return RadioSim::ModelByName(name); }

// A TS-2000 with the options, served on a pseudo-terminal, and a client on its slave side.
struct ServedRadio {
    explicit ServedRadio(const RadioSimOptions& o) : sim(Model("TS-2000"), o), pty(sim)
    {
        pty.Start();
        client = std::make_unique<Client>(pty.SlavePath());
    }
    RadioSim sim;
    RadioSimPty pty;
    std::unique_ptr<Client> client;
};

} // namespace

TEST(RadioSimPty, AnswersAClientOnTheSlaveAndSurvivesReopening)
{
    RadioSim sim(Model("TS-2000"));
    RadioSimPty pty(sim);
    pty.Start();
    {
        Client c(pty.SlavePath());
        ASSERT_TRUE(c.Ok());
        c.Send("AI0;ID;MR0000;");
        const std::string got = c.ReadAnswers(2);
        EXPECT_EQ(got, "ID019;" + sim.MemoryRecord(0, 0));
    }
    // With no client the runner keeps serving: the next one is answered as well.
    Client again(pty.SlavePath());
    ASSERT_TRUE(again.Ok());
    again.Send("LK0;LK;");
    EXPECT_EQ(again.ReadAnswers(1), "LK0;");
    pty.Stop();
    EXPECT_FALSE(pty.Running());
}

TEST(RadioSimPty, LatencyAndPacingAreHonoured)
{
    RadioSimOptions o;
    o.LatencyMs = 200;
    ServedRadio r(o);
    Client& c = *r.client;
    ASSERT_TRUE(c.Ok());

    auto start = Clock::now();
    c.Send("ID;");
    EXPECT_EQ(c.ReadAnswers(1), "ID019;");
    const long long latency = MsSince(start);
    EXPECT_GE(latency, 200);
    EXPECT_LT(latency, 5000);

    // 300 baud: 30 bytes a second both ways. The 7-byte query is heard only when its last
    // byte is in, and the 24-byte record is read when its last byte is.
    o.LatencyMs = 0;
    o.Baud = 300;
    r.sim.SetOptions(o);
    start = Clock::now();
    c.Send("MR0000;");
    ::usleep(150'000);
    EXPECT_EQ(r.sim.Received().size(), 1u) << "the query was heard before it was all on the line";
    EXPECT_EQ(c.ReadAnswers(1, 10000), r.sim.MemoryRecord(0, 0));
    const long long paced = MsSince(start);
    EXPECT_GE(paced, (7 + 24) * 1000 / 30);
    EXPECT_LT(paced, 10000);
}

TEST(RadioSimPty, SplitAnswerArrivesAsTwoWrites)
{
    RadioSimOptions o;
    o.SplitAnswers = true;
    o.SplitGapMs = 800;
    ServedRadio r(o);
    Client& c = *r.client;
    ASSERT_TRUE(c.Ok());
    c.Send("ID;");
    EXPECT_EQ(c.ReadOnce(5000), "ID0");
    EXPECT_EQ(c.ReadAnswers(1), "19;");
}

TEST(RadioSimPty, SilentRadioSendsNothing)
{
    RadioSimOptions o;
    o.Silence = true;
    ServedRadio r(o);
    Client& c = *r.client;
    ASSERT_TRUE(c.Ok());
    c.Send("ID;");
    EXPECT_EQ(c.ReadOnce(300), "");
}

TEST(RadioSimPty, StopIsPromptAndLeavesNoThread)
{
    const int before = ThreadCount();
    RadioSim sim(Model("TS-870S"));
    {
        RadioSimPty pty(sim);
        pty.Start();
        EXPECT_EQ(ThreadCount(), before + 1);
        Client c(pty.SlavePath());
        ASSERT_TRUE(c.Ok());
        c.Send("EX;");
        EXPECT_EQ(c.ReadAnswers(1), "EX0000000;");

        // A long pending answer does not hold the stop back.
        RadioSimOptions o;
        o.LatencyMs = 60000;
        sim.SetOptions(o);
        c.Send("ID;");
        const auto start = Clock::now();
        pty.Stop();
        EXPECT_LT(MsSince(start), 2000);
        EXPECT_FALSE(pty.Running());
        EXPECT_EQ(ThreadCount(), before);
        pty.Stop();
    }
    // Stopping a runner that never started returns at once.
    RadioSimPty idle(sim);
    const auto start = Clock::now();
    idle.Stop();
    EXPECT_LT(MsSince(start), 2000);
}

TEST(RadioSimPty, IdleRunnerUsesNoProcessor)
{
    // With and without a client on the slave, waiting must block, not spin.
    RadioSim sim(Model("TS-2000"));
    RadioSimPty pty(sim);
    pty.Start();
    auto cpuMs = [] {
        timespec t{};
        ::clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
        return t.tv_sec * 1000LL + t.tv_nsec / 1000000;
    };
    const long long before = cpuMs();
    ::usleep(400'000);
    {
        Client c(pty.SlavePath());
        ASSERT_TRUE(c.Ok());
        c.Send("ID;");
        EXPECT_EQ(c.ReadAnswers(1), "ID019;");
    }
    ::usleep(400'000);
    EXPECT_LT(cpuMs() - before, 300);
}

TEST(RadioSimPty, LateAnswerHoldsBackTheAnswersBehindIt)
{
    RadioSimOptions o;
    o.LatencyMs = 0;
    o.LateAnswer = 1;
    o.LateMs = 400;
    ServedRadio r(o);
    Client& c = *r.client;
    ASSERT_TRUE(c.Ok());
    const auto start = Clock::now();
    c.Send("ID;");
    c.Send("LK;");
    // Nothing before the late answer is due, then both answers in the order asked.
    EXPECT_EQ(c.ReadOnce(250), "");
    EXPECT_EQ(c.ReadAnswers(2), "ID019;LK0;");
    EXPECT_GE(MsSince(start), 400);
}

namespace {

// Starts the radiosim program with arguments; its standard output comes through Out.
struct Tool {
    explicit Tool(const std::vector<std::string>& args)
    {
        int fds[2];
        if (::pipe(fds) != 0)
            return;
        Pid = ::fork();
        if (Pid == 0) {
            ::dup2(fds[1], 1);
            ::close(fds[0]);
            std::vector<char*> argv{const_cast<char*>(RADIOSIM_TOOL)};
            for (const std::string& a : args)
                argv.push_back(const_cast<char*>(a.c_str()));
            argv.push_back(nullptr);
            ::execv(RADIOSIM_TOOL, argv.data());
            ::_exit(127);
        }
        ::close(fds[1]);
        Out = fds[0];
    }
    ~Tool()
    {
        if (Pid > 0) {
            ::kill(Pid, SIGTERM);
            Wait();
        }
        if (Out >= 0)
            ::close(Out);
    }
    // The first line it prints, or all it printed before ending.
    std::string Line(bool whole = false)
    {
        std::string text;
        char c;
        pollfd p{Out, POLLIN, 0};
        while (::poll(&p, 1, 5000) > 0 && ::read(Out, &c, 1) == 1) {
            if (c == '\n' && !whole)
                break;
            text += c;
        }
        return text;
    }
    int Wait()
    {
        int status = -1;
        ::waitpid(Pid, &status, 0);
        Pid = -1;
        return status;
    }
    pid_t Pid = -1;
    int Out = -1;
};

} // namespace

// What a newcomer does first: asks for help, then starts the radio with the shipped example
// and reads a memory of it.
TEST(RadioSimTool, HelpSaysWhatLoadTakesAndTheShippedExampleIsServed)
{
    Tool help({"--help"});
    const std::string text = help.Line(true);
    EXPECT_EQ(help.Wait(), 0);
    EXPECT_NE(text.find("--load FILE"), std::string::npos) << text;
    EXPECT_NE(text.find("example-memories.txt"), std::string::npos) << text;

    Tool radio({"--load", RADIOSIM_EXAMPLE});
    const std::string first = radio.Line();
    ASSERT_EQ(first.rfind("radiosim: /dev/", 0), 0u) << first;
    Client c(first.substr(10, first.find(' ', 10) - 10));
    ASSERT_TRUE(c.Ok());
    c.Send("MR0002;MR1002;MR0009;");
    EXPECT_EQ(c.ReadAnswers(3), "MR000200145650000401080;MR100200145050000401080;MR0009" + std::string(17, '0') + ";");
}
