#pragma once
// Printing lives in a module of its own beside the executable, loaded on the first print,
// preview, printer list or printer set-up: the PDF writer, the print dialog and the print
// server's client library are no part of a start that prints nothing. The module hands out its service
// through one function; it draws with this program's own painting code, which the executable
// exports for it.
#include "platform/Services.h"

#include <string>

constexpr const char* PrintModuleFileName = "quillmere-print.so";
// extern "C" IPrintService* QmPrintModuleService(): the module's one service, never null.
constexpr const char* PrintModuleEntry = "QmPrintModuleService";
using PrintModuleEntryFunction = IPrintService* (*)();

// The folder of the running executable, where the module is.
std::string ExecutableFolder();
// The print service of the module at path (loaded once, kept until the program ends), or null
// and a message that says which module cannot be loaded and why.
IPrintService* LoadPrintModule(const std::string& path, std::string& error);
