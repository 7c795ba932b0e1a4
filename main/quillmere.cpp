#include "app/ProgramMain.h"
#include "framework/Resources.h"

void RegisterEmbeddedResources_quillmere();

int main(int argc, char** argv)
{
    RegisterEmbeddedResources_quillmere();
    return ProgramMain(argc, argv);
}
