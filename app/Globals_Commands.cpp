// The command tree of the command-line interpreter: each command under its parent;
// "quit" and "file exit" share one id and so run the same action.
#include "app/Globals.h"

const TOneBasedTable<TMainCmd, CommandCount> CommandTable{{{
    {cmdRoot, "help", cmdHelp, "VYX command-line interpreter help:;  \"help <command>\" will give you help on the specified command.;"}, // 1
    {cmdRoot, "cmd", cmdCommandLine, "Command-Line options"}, // 2
    {cmdRoot, "file", cmdFile, "Use this command for file handling. [Menu - File]"}, // 3
    {cmdRoot, "quit", cmdQuit, "Quit VYX. (\"quit\" = \"file exit\")"}, // 4
    {cmdRoot, "settings", cmdSettings, "Get or set settings of the VYX programm. [Menu - Settings]"}, // 5
    {cmdRoot, "radio", cmdRadio, "Work with the Kenwood radio."}, // 6
    {cmdRoot, "memory", cmdMemory, "Work with memory settings."}, // 7
    {cmdFile, "close", cmdFileClose, "Close the current file."}, // 8
    {cmdFile, "open", cmdFileOpen, "Open a .vyx file.;Syntax: file open <filename>"}, // 9
    {cmdFile, "save", cmdFileSave, "Save a .vyx file.;Syntax:;  file save \"Save current file.\";  file save <filename> \"Save file as <filename>\""}, // 10
    {cmdFile, "print", cmdFilePrint, "Print current open file."}, // 11
    {cmdFile, "status", cmdFileStatus, "Give the status of current file."}, // 12
    {cmdFile, "exit", cmdQuit, "Quit VYX. (\"quit\" = \"file exit\")"}, // 13
    {cmdFilePrint, "memory", cmdPrintMemory, "Print memory channels"}, // 14
    {cmdFilePrint, "menu", cmdPrintMenu, "Print menu items [When available]"}, // 15
    {cmdSettings, "radio", cmdSettingsRadio, "Get or set the radio type.;Syntax:;  settings radio \"Print current radio type\";  settings radio list \"List valid radio types.\";  settings radio detect \"Try to detect radio type\";  settings radio <radio_type> \"Set radio type to <radio_type>\""}, // 16
    {cmdRadio, "switch", cmdRadioSwitch, "Radio power switch status; \"radio switch\" reads to current radio status.; \"radio switch off\" switches the radio off ; \"radio switch on\" switches the radio on"}, // 17
    {cmdRadioSwitch, "on", cmdSwitchOn, "Switches the radio on"}, // 18
    {cmdRadioSwitch, "off", cmdSwitchOff, "Switches the radio off"}, // 19
    {cmdMemory, "get", cmdMemoryGet, ""}, // 20
    {cmdMemory, "set", cmdMemorySet, ""}, // 21
    {cmdMemory, "rx", cmdMemoryRx, ""}, // 22
    {cmdMemory, "tx", cmdMemoryTx, ""}, // 23
    {cmdMemory, "clear", cmdMemoryClear, ""}, // 24
    {cmdCommandLine, "clear", cmdCommandLineClear, "Clear command-line window"}, // 25
}}};
