// The command tree of the command-line interpreter. Id 1 is the root; "quit" and
// "file exit" share id 15 and so run the same action.
#include "app/Globals.h"

const TOneBasedTable<TMainCmd, CommandCount> CommandTable{{{
    {1, "help", 2, "VYX command-line interpreter help:;  \"help <command>\" will give you help on the specified command.;"}, // 1
    {1, "cmd", 50, "Command-Line options"}, // 2
    {1, "file", 3, "Use this command for file handling. [Menu - File]"}, // 3
    {1, "quit", 15, "Quit VYX. (\"quit\" = \"file exit\")"}, // 4
    {1, "settings", 20, "Get or set settings of the VYX programm. [Menu - Settings]"}, // 5
    {1, "radio", 30, "Work with the Kenwood radio."}, // 6
    {1, "memory", 40, "Work with memory settings."}, // 7
    {3, "close", 10, "Close the current file."}, // 8
    {3, "open", 11, "Open a .vyx file.;Syntax: file open <filename>"}, // 9
    {3, "save", 12, "Save a .vyx file.;Syntax:;  file save \"Save current file.\";  file save <filename> \"Save file as <filename>\""}, // 10
    {3, "print", 13, "Print current open file."}, // 11
    {3, "status", 14, "Give the status of current file."}, // 12
    {3, "exit", 15, "Quit VYX. (\"quit\" = \"file exit\")"}, // 13
    {13, "memory", 16, "Print memory channels"}, // 14
    {13, "menu", 17, "Print menu items [When available]"}, // 15
    {20, "radio", 21, "Get or set the radio type.;Syntax:;  settings radio \"Print current radio type\";  settings radio list \"List valid radio types.\";  settings radio detect \"Try to detect radio type\";  settings radio <radio_type> \"Set radio type to <radio_type>\""}, // 16
    {30, "switch", 31, "Radio power switch status; \"radio switch\" reads to current radio status.; \"radio switch off\" switches the radio off ; \"radio switch on\" switches the radio on"}, // 17
    {31, "on", 32, "Switches the radio on"}, // 18
    {31, "off", 33, "Switches the radio off"}, // 19
    {40, "get", 41, ""}, // 20
    {40, "set", 44, ""}, // 21
    {40, "rx", 42, ""}, // 22
    {40, "tx", 43, ""}, // 23
    {40, "clear", 45, ""}, // 24
    {50, "clear", 51, "Clear command-line window"}, // 25
}}};
