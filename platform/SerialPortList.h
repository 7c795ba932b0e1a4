#pragma once
// The machine's serial ports, published as Windows lists them: the values of
// HKEY_LOCAL_MACHINE\HARDWARE\DEVICEMAP\SERIALCOMM, each named after the device and holding
// its path (the port name CreateFileA takes).
#include "platform/WinTypes.h"

#include <string>
#include <vector>

struct SerialPortEntry {
    std::string name;  // the device's name, e.g. "ttyUSB0"
    std::string path;  // e.g. "/dev/ttyUSB0"
};

// USB and ACM devices and the real UARTs (a ttyS* whose type is not 0) found under
// ttyClassDir, in name order, then every path of the colon-separated extra list (the
// QUILLMERE_SERIAL_PORTS variable; may be null). A path is listed once.
std::vector<SerialPortEntry> ScanSerialPorts(const std::string& ttyClassDir, const char* extra);

// Replaces the SERIALCOMM key's values with a fresh scan of /sys/class/tty and the
// environment. Returns the registry's result (ERROR_SUCCESS on success). Run at start-up
// and again before the list is read.
LONG RefreshSerialPortList();
