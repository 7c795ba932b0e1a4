#pragma once
// The program's entry: module start-up in order, the windows in their fixed order, the
// deferred start-up step, the message loop and the clean-up in reverse.
#include <string>
#include <vector>

int ProgramMain(int argc, char** argv);

// Adds the program's modules to the start-up order (idempotent): forms and controls,
// serial port list, terminal control, serial-port library, application tables, the
// main window unit. Tests call it to start the same modules as the program.
void AddProgramModules();

// Registers the classes of the nine windows beside the main window.
void RegisterDialogFormClasses();

// Creates the ten windows in their fixed order; Application must exist.
void CreateProgramForms();

// From now on SIGTERM, SIGHUP and SIGINT close the main window as a request nobody can be
// asked about (TForm1::CloseOnRequest), instead of ending the process at once.
void WatchProgramSignals();
