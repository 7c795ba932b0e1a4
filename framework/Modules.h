#pragma once
// Module start-up and shut-down: each module has an initialise and a finalise function,
// run once each, in a fixed order from main, and finalised in reverse.
#include <string>

struct ModuleEntry {
    std::string Name;
    void (*Initialize)();
    void (*Finalize)();
};

// Adds a module to the end of the start-up order (before InitModules runs).
void AddModule(const ModuleEntry& module);
// Runs the initialisation of every added module that has not run yet, in order.
void InitModules(int argc, char** argv);
// Runs the finalisation of every initialised module, in reverse order.
void FinalizeModules();
