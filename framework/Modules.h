#pragma once
// Module start-up and shut-down: each module has an initialise and a finalise function,
// run once each, in a fixed order from main, and finalised in reverse.
#include <string>
#include <vector>

struct ModuleEntry {
    std::string Name;
    void (*Initialize)();
    void (*Finalize)();
};

// Adds a module to the end of the start-up order; a name already added is ignored. The
// framework's own modules ("Translation", then "Classes") come first.
void AddModule(const ModuleEntry& module);
// Takes a module that is not initialised out of the start-up order (tests); false when it
// is unknown or initialised.
bool RemoveModule(const std::string& name);
// Runs the initialisation of every added module that has not run yet, in order, and
// records the command line. Calls nest: only the outermost InitModules/FinalizeModules pair
// starts and ends the modules, but a module added since runs on the next InitModules.
void InitModules(int argc, char** argv);
// Ends one InitModules; the outermost one finalises the initialised modules in reverse
// order. An exception from a module's initialisation propagates after the modules that
// were initialised are recorded; one from a finalisation does not stop the others.
void FinalizeModules();
// The names of the initialised modules, in start-up order.
std::vector<std::string> InitializedModules();
