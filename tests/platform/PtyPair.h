#pragma once
// Kept so the comm tests that include it by its old name still find the shared helper.
#include "common/PtyPair.h"
