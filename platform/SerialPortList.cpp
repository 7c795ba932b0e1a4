#include "platform/SerialPortList.h"

#include "platform/WinReg.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <set>

namespace {

// A ttyS node exists for every possible UART; only a detected one has a non-zero type.
bool RealUart(const std::filesystem::path& dir)
{
    std::ifstream in(dir / "type");
    long type = 0;
    return static_cast<bool>(in >> type) && type != 0;
}

}  // namespace

std::vector<SerialPortEntry> ScanSerialPorts(const std::string& ttyClassDir, const char* extra)
{
    std::vector<SerialPortEntry> found;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator(ttyClassDir, ec)) {
        std::string name = entry.path().filename().string();
        bool wanted = name.starts_with("ttyUSB") || name.starts_with("ttyACM") ||
                      (name.starts_with("ttyS") && RealUart(entry.path()));
        if (wanted)
            found.push_back({name, "/dev/" + name});
    }
    std::sort(found.begin(), found.end(),
              [](const SerialPortEntry& a, const SerialPortEntry& b) { return a.name < b.name; });

    std::set<std::string> seen;
    for (const auto& e : found)
        seen.insert(e.path);
    std::string list = extra ? extra : "";
    size_t start = 0;
    while (start <= list.size()) {
        size_t end = list.find(':', start);
        if (end == std::string::npos)
            end = list.size();
        std::string path = list.substr(start, end - start);
        start = end + 1;
        if (path.empty() || !seen.insert(path).second)
            continue;
        std::string name = path.starts_with("/dev/") ? path.substr(5) : path;
        found.push_back({name, path});
    }
    return found;
}

LONG RefreshSerialPortList()
{
    HKEY key = nullptr;
    LONG r = RegCreateKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, nullptr,
                             REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr);
    if (r != ERROR_SUCCESS)
        return r;
    // Devices come and go: the old list goes entirely.
    std::vector<std::string> old;
    for (DWORD i = 0;; ++i) {
        char name[1024];
        DWORD len = sizeof name;
        LONG e = RegEnumValueA(key, i, name, &len, nullptr, nullptr, nullptr, nullptr);
        if (e != ERROR_SUCCESS)
            break;
        old.emplace_back(name, len);
    }
    for (const auto& name : old)
        RegDeleteValueA(key, name.c_str());
    for (const auto& port : ScanSerialPorts("/sys/class/tty", std::getenv("QUILLMERE_SERIAL_PORTS"))) {
        r = RegSetValueExA(key, port.name.c_str(), 0, REG_SZ,
                           reinterpret_cast<const BYTE*>(port.path.c_str()),
                           static_cast<DWORD>(port.path.size() + 1));
        if (r != ERROR_SUCCESS)
            break;
    }
    RegCloseKey(key);
    return r;
}
