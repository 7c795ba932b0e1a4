#include "platform/Kernel.h"
