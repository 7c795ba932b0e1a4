// The simulated radio, built into this test program (the radio tool's library is not
// linked here).
#include "tools/radiosim/RadioSim.cpp"
#include "tools/radiosim/RadioSimPty.cpp"
