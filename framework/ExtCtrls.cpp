#include "framework/ExtCtrls.h"
#include "framework/StdCtrls.h"
void RegisterStdControlsClasses() {}
