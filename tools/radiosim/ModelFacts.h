#pragma once
// What each simulated radio model does, kept apart from the program's own model tables so
// that the program and the simulated radio are two witnesses: a slip in either table shows
// as a disagreement on the line.
#include <string>

struct RadioBand {
    long long Low = 0;  // Hz, included
    long long High = 0; // Hz, included
};

struct RadioModelFacts {
    const char* Name;
    RadioBand Bands[3];       // an unused band is {0, 0}
    const char* Id;           // the three characters of its "ID" answer
    char Filler;              // position 4 of its "MW" commands
    bool TransmitHalf;        // memories have a separate transmit half ("MR1"/"MW1")
    int MenuCount;            // menus 0..MenuCount-1 ("EX"); 0: none
    bool PowerSwitch;         // takes "PS0;"/"PS1;"
    bool MemorySelect;        // takes "MC"
    bool SecondBeatCanceller; // takes "BC2;"
    bool InterfaceBoard;      // answers the "EQ;" probe
};

constexpr int RadioModelCount = 18;

// model: 1..RadioModelCount; std::out_of_range otherwise.
const RadioModelFacts& ModelFacts(int model);
// The model whose name equals the text, ASCII case ignored; 0 when none.
int ModelFactsByName(const std::string& name);
