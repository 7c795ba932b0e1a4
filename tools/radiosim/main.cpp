// radiosim: a simulated radio on a pseudo-terminal, to try the program without a radio.
#include "tools/radiosim/RadioSimPty.h"

#include "tools/radiosim/ModelFacts.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

RadioSimPty* ActiveRunner = nullptr;

extern "C" void OnStopSignal(int)
{
    if (ActiveRunner)
        ActiveRunner->StopFromSignal();
}

void PrintUsage(std::FILE* out)
{
    std::fprintf(out,
                 "usage: radiosim [--model NAME] [--latency MS] [--baud N] [--split]\n"
                 "                [--errors N] [--silence] [--drop N] [--load FILE]\n"
                 "                [--menu-walk POLLS]  (steps through every menu, POLLS \"EX;\" each)\n"
                 "                [--simplex-tx copy|zeros]  (how an unwritten transmit half reads)\n"
                 "                [--late N [--late-ms MS]]  (the Nth answer comes MS ms after its command; 500)\n"
                 "The radio starts with 100 empty memories. --load FILE fills them first: FILE holds\n"
                 "radio commands, one a line (# starts a comment), such as the memory write\n"
                 "  MW000300145650000401080;  receive half (0) of memory 03: 145.650 MHz, FM (4),\n"
                 "                            not locked out (0), tone (1) number 08 (88.5 Hz)\n"
                 "tools/radiosim/example-memories.txt in the sources is such a file.\n"
                 "models:");
    for (int i = 1; i <= RadioModelCount; ++i)
        std::fprintf(out, " %s", ModelFacts(i).Name);
    std::fprintf(out, "\n");
}

int Usage()
{
    PrintUsage(stderr);
    return 2;
}

bool ToInt(const char* text, int& value)
{
    char* end = nullptr;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || v < 0 || v > 1000000)
        return false;
    value = int(v);
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    std::string modelName = "TS-2000";
    std::string loadFile;
    int menuWalk = 0;
    RadioSimOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        const bool hasValue = i + 1 < argc;
        if (a == "--help" || a == "-h") {
            PrintUsage(stdout);
            return 0;
        } else if (a == "--model" && hasValue) {
            modelName = argv[++i];
        } else if (a == "--latency" && hasValue) {
            if (!ToInt(argv[++i], options.LatencyMs))
                return Usage();
        } else if (a == "--baud" && hasValue) {
            if (!ToInt(argv[++i], options.Baud))
                return Usage();
        } else if (a == "--errors" && hasValue) {
            if (!ToInt(argv[++i], options.ErrorEvery))
                return Usage();
        } else if (a == "--drop" && hasValue) {
            if (!ToInt(argv[++i], options.DropEvery))
                return Usage();
        } else if (a == "--late" && hasValue) {
            if (!ToInt(argv[++i], options.LateAnswer))
                return Usage();
        } else if (a == "--late-ms" && hasValue) {
            if (!ToInt(argv[++i], options.LateMs))
                return Usage();
        } else if (a == "--simplex-tx" && hasValue) {
            const std::string how = argv[++i];
            if (how == "copy")
                options.SimplexTx = SimplexTransmitHalf::Copy;
            else if (how == "zeros")
                options.SimplexTx = SimplexTransmitHalf::Zeros;
            else
                return Usage();
        } else if (a == "--load" && hasValue) {
            loadFile = argv[++i];
        } else if (a == "--menu-walk" && hasValue) {
            if (!ToInt(argv[++i], menuWalk) || menuWalk == 0)
                return Usage();
        } else if (a == "--split") {
            options.SplitAnswers = true;
        } else if (a == "--silence") {
            options.Silence = true;
        } else {
            return Usage();
        }
    }
    const int model = RadioSim::ModelByName(modelName);
    if (model == 0) {
        std::fprintf(stderr, "radiosim: unknown model %s\n", modelName.c_str());
        return Usage();
    }

    RadioSim sim(model, options);
    if (!loadFile.empty() && !sim.LoadFile(loadFile)) {
        std::fprintf(stderr, "radiosim: cannot read %s\n", loadFile.c_str());
        return 1;
    }
    if (menuWalk > 0)
        sim.SetMenuScript(sim.Menus(), menuWalk);
    try {
        RadioSimPty runner(sim);
        ActiveRunner = &runner;
        struct sigaction sa {};
        sa.sa_handler = OnStopSignal;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGINT, &sa, nullptr);
        sigaction(SIGTERM, &sa, nullptr);
        std::printf("radiosim: %s (%s)\n", runner.SlavePath().c_str(),
                    ModelFacts(model).Name);
        std::fflush(stdout);
        runner.Run();
        ActiveRunner = nullptr;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    return 0;
}
