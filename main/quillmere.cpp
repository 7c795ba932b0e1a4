#include "framework/Modules.h"
#include "platform/SerialPortList.h"
#include "platform/WinReg.h"

int main(int argc, char** argv)
{
    AddModule({"SerialPortList", [] { RefreshSerialPortList(); }, nullptr});
    InitModules(argc, argv);
    FinalizeModules();
    RegistryShutdown();
    return 0;
}
