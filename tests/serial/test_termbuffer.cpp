#include <gtest/gtest.h>

#include "serial/SerialEscape.h"
