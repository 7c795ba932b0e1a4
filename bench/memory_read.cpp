// Reads 100 memories with their transmit halves from a simulated TS-2000 whose line is
// paced both ways at 9600 baud, with 20 ms latency, through the program's own window, port
// and terminal, and sets the time the read took against the least the line allows: every
// byte's bits both ways at the baud rate, the radio's latency once per answer, and the
// waits the link layer must make (two RxDelay pauses while the link is opened). Prints the
// ratio; above 1.05 the read wastes time the radio does not need.
//   memory_read             the timed read
//   memory_read --reads N   N reads of the first five memories, one after another, and the
//                           resident memory after the first and after the last: repeating a
//                           read must not make the program grow (at most 2 MB over 30 reads).
#include "app/Globals.h"
#include "app/ProgramMain.h"
#include "app/Unit1.h"
#include "framework/ComCtrls.h"
#include "framework/Forms.h"
#include "framework/Grids.h"
#include "framework/Modules.h"
#include "platform/FakeServices.h"
#include "serial/SerialPort.h"
#include "tools/radiosim/RadioSim.h"
#include "tools/radiosim/RadioSimPty.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

void RegisterEmbeddedResources_memory_read();

namespace {

constexpr int Baud = 9600;
constexpr int LatencyMs = 20;
constexpr int Memories = 100;
constexpr int LinkOffBytes = 4; // "AI0;", not answered
constexpr int QueryBytes = 7;   // "MR" + half + filler + memory + ";"
constexpr int RecordBytes = 24;
constexpr double Limit = 1.05;

// Start, data, parity and stop bits of one character as the port is set.
double BitsPerCharacter(const DCB& dcb)
{
    const double stop = dcb.StopBits == ONESTOPBIT ? 1 : dcb.StopBits == ONE5STOPBITS ? 1.5 : 2;
    return 1 + dcb.ByteSize + (dcb.Parity == NOPARITY ? 0 : 1) + stop;
}

constexpr int RepeatedMemories = 5;
constexpr double RepeatGrowthLimitMb = 2.0;

double ResidentMb()
{
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0)
            return std::atof(line.c_str() + 6) / 1024.0;
    return -1;
}

// The read repeated: resident memory after the first and after the last, and whether each
// read came back whole. The user lets each read replace the one before, unsaved.
int RepeatedReads(FakeServices& fakes, int reads)
{
    // Shown, as a user has it: the growth came from painting the controls after each read.
    Form1->Show();
    Application->ProcessMessages();
    double first = -1;
    for (int r = 1; r <= reads; ++r) {
        if (r > 1)
            fakes.Messages.Answers.push_back(IDYES);
        Form1->RX_Action_Mem(0, RepeatedMemories - 1);
        if (Form1->StatusBar->Panels()->Items(2)->Text() != "Ready reading from radio.") {
            std::printf("  read %d failed: %s\n", r, Form1->StatusBar->Panels()->Items(2)->Text().c_str());
            return 1;
        }
        if (r == 1)
            first = ResidentMb();
    }
    const double last = ResidentMb();
    std::printf("repeated read of %d memories: resident memory %.1f MB after the first read, %.1f MB after read %d"
                " (%+.2f MB, must stay within %.0f MB)\n",
                RepeatedMemories, first, last, reads, last - first, RepeatGrowthLimitMb);
    return last - first > RepeatGrowthLimitMb ? 1 : 0;
}

double Seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

// The timed read of 100 memories against the least the line allows.
int TimedRead(const FakeServices& fakes)
{
    const auto t0 = std::chrono::steady_clock::now();
    std::string error;
    try {
        Form1->RX_Action_Mem(0, Memories - 1);
    } catch (const std::exception& e) {
        error = e.what();
    }
    const double read = Seconds(t0);

    // The link test ("AI0;", then "MR0000;" and its record), then two exchanges a memory.
    const int exchanges = 1 + 2 * Memories;
    const int bytes = LinkOffBytes + exchanges * (QueryBytes + RecordBytes);
    const double bits = BitsPerCharacter(Form1->ComPort->BuildDCB());
    const double required = 2 * RxDelay / 1000.0;
    const double limit = bytes * bits / Baud + double(exchanges) * LatencyMs / 1000.0 + required;
    const std::string done = error.empty() ? Form1->StatusBar->Panels()->Items(2)->Text() : error;
    const bool whole = Form1->MemGrid->GetCell(3, Memories) == "144." + std::to_string(Memories - 1) + "0.00";
    std::printf("memory read: %d exchanges at %d baud, %d ms latency\n", exchanges, Baud, LatencyMs);
    std::printf("  read %.3f s, limit %.3f s (%.3f s of them the link's required waits)\n",
                read, limit, required);
    std::printf("  ratio %.3f (must stay under %.2f)\n", read / limit, Limit);
    if (done != "Ready reading from radio." || !whole || !fakes.Messages.Shown.empty()) {
        std::printf("  the read failed: %s\n", done.c_str());
        for (const auto& m : fakes.Messages.Shown)
            std::printf("  message: %s\n", m.Text.c_str());
        return 1;
    }
    return read / limit >= Limit ? 1 : 0;
}

} // namespace

int main(int argc, char** argv)
{
    int reads = 0;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--reads") == 0)
            reads = std::max(1, std::atoi(argv[i + 1]));
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    // The program's settings go to a folder of their own, never the user's.
    char config[] = "/tmp/quillmere-bench-XXXXXX";
    if (!mkdtemp(config)) {
        std::perror("mkdtemp");
        return 1;
    }
    setenv("XDG_CONFIG_HOME", config, 1);

    const int model = RadioSim::ModelByName("TS-2000");
    RadioSimOptions options;
    options.LatencyMs = LatencyMs;
    options.Baud = Baud;
    RadioSim sim(model, options);
    for (int m = 0; m < Memories; ++m) {
        const std::string nn = (m < 10 ? "0" : "") + std::to_string(m);
        // Repeater pairs on 2 m: receive 145.nn0, transmit 144.nn0, FM.
        sim.SetMemory(m, 0, "00145" + nn + "0000" "4" "0" "0" "00" "2");
        sim.SetMemory(m, 1, "00144" + nn + "0000" "4" "0" "0" "00" "2");
    }
    RadioSimPty pty(sim);
    pty.Start();
    setenv("QUILLMERE_SERIAL_PORTS", pty.SlavePath().c_str(), 1);

    RegisterEmbeddedResources_memory_read();
    AddProgramModules();
    int status = 0;
    {
        FakeServices fakes; // a message box would wait for a click: record it instead
        InitModules(1, argv); // the options are the benchmark's, not the program's
        Application->Initialize();
        CreateProgramForms();
        Form1->ComPort->SetPort(pty.SlavePath());
        Form1->ComPort->SetBaudRate(br9600);
        Form1->ComPort->FlowControl()->SetFlowControl(fcNone);
        CurrentRadio = static_cast<std::uint8_t>(model);
        Form1->ChangeRadioHandle(false);

        try {
            status = reads > 0 ? RepeatedReads(fakes, reads) : TimedRead(fakes);
        } catch (const std::exception& e) {
            std::printf("  the read failed: %s\n", e.what());
            status = 1;
        }
        Application->DestroyComponents();
        FinalizeModules();
    }
    pty.Stop();
    std::filesystem::remove_all(config);
    return status;
}
