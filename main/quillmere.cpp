#include "framework/Modules.h"

int main(int argc, char** argv)
{
    InitModules(argc, argv);
    FinalizeModules();
    return 0;
}
