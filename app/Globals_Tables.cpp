// The constant tables of radio types, tones and serial-setting names.
#include "app/Globals.h"

namespace {
constexpr const char* StdModes = "LSB:1,USB:2,CW:3,FM:4,AM:5,FSK:6,CW-R:7,FSK-R:9";
// No model has been tried on a real radio yet; the credit line says so.
constexpr const char* TestedByNone = "Not tested with a radio; checked against the published command set";
} // namespace

const TOneBasedTable<TRadioType, RadioTypeCount> RadioTypeTable{{{
    {"TS-440", // 1
     "30000:30000000",
     "You need to set the communication settings to:;  Baud=4800 - Parity=None - Stop Bits=2 - Data Bits=8;Known bug: The TX freqs [split data] of channels;90 through 99 are not supported yet.",
     TestedByNone,
     "7", " ", "    ", "004", "1", "0", "1", "2",
     StdModes},
    {"TS-450S", // 2
     "30000:40000000",
     "You need to set the communication settings to:;  Baud=4800 - Parity=None - Stop Bits=2 - Data Bits=8",
     TestedByNone,
     "4", " ", "0   ", "010", "0", "0", "0", "0",
     StdModes},
    {"TS-570D", // 3
     "30000:30000000",
     "See menu entry 35 on the Kenwood radio to set the correct baud rate. After changing this setting on the radio you should turn the radio off and then on again. This is needed to activate changes on the Kenwood radio.",
     TestedByNone,
     "1", "0", "002 ", "017", "0", "1", "1", "1",
     StdModes},
    {"TS-570DG", // 4
     "30000:30000000",
     "See menu entry 35 on the Kenwood radio to set the correct baud rate. After changing this setting on the radio you should turn the radio off and then on again. This is needed to activate changes on the Kenwood radio.",
     TestedByNone,
     "1", "0", "002 ", "G17", "0", "3", "1", "1",
     StdModes},
    {"TS-570S", // 5
     "500000:30000000,50000000:54000000",
     "See menu entry 35 on the Kenwood radio to set the correct baud rate. After changing this setting on the radio you should turn the radio off and then on again. This is needed to activate changes on the Kenwood radio.",
     TestedByNone,
     "1", "0", "002 ", "018", "0", "1", "1", "1",
     StdModes},
    {"TS-570SG", // 6
     "500000:30000000,50000000:54000000",
     "See menu entry 35 on the Kenwood radio to set the correct baud rate. After changing this setting on the radio you should turn the radio off and then on again. This is needed to activate changes on the Kenwood radio.",
     TestedByNone,
     "1", "0", "002 ", "G18", "0", "3", "1", "1",
     StdModes},
    {"TS-690S", // 7
     "30000:30000000,50000000:53000000",
     "You need to set the communication settings to:;  Baud=4800 - Parity=None - Stop Bits=2 - Data Bits=8",
     TestedByNone,
     "4", " ", "0   ", "011", "0", "0", "0", "2",
     StdModes},
    {"TS-811", // 8
     "150000:30000000,430000000:450000000",
     "VYX does not support this radio at this moment..",
     TestedByNone,
     "0", "0", "002 ", "002", "0", "0", "1", "1",
     StdModes},
    {"TS-711", // 9
     "150000:30000000,144000000:148000000",
     "VYX does not support this radio at this moment..",
     TestedByNone,
     "0", "0", "002 ", "001", "0", "0", "1", "2",
     StdModes},
    {"TS-790", // 10
     "30000:30000000,50000000:53000000,144000000:148000000,430000000:450000000,1240000000:1300000000",
     "VYX does not (yet) support this radio.",
     TestedByNone,
     "9", " ", "0   ", "007", "1", "0", "0", "2",
     StdModes},
    {"TS-850SAT", // 11
     "30000:30000000",
     "",
     TestedByNone,
     "8", "0", "002 ", "009", "0", "0", "1", "1",
     StdModes},
    {"TS-870S", // 12
     "100000:30000000",
     "See menu entry 56 of TS-870S to set the correct baud rate.",
     TestedByNone,
     "2", "0", "002 ", "015", "0", "2", "1", "1",
     StdModes},
    {"TS-930", // 13
     "58000:29999999",
     "VYX will detect the 930 when using the PIEXX-board.;Set the communication settings to: 4800 Baud, No parity, 2 stop, 1 start bit",
     TestedByNone,
     "10", "0", "002 ", "P17", "0", "0", "1", "1",
     "AM:5"},
    {"TS-940", // 14
     "150000:30000000",
     "VYX does not support this radio at this moment..",
     TestedByNone,
     "5", "0", "002 ", "003", "0", "0", "1", "2",
     StdModes},
    {"TS-950S", // 15
     "10000:30000000",
     "You need to set the communication settings to:;  Baud=4800 - Stop Bits=2;;Also tested with USB based controller.",
     TestedByNone,
     "3", "0", "002 ", "008", "0", "0", "1", "1",
     StdModes},
    {"TS-950SDX", // 16
     "10000:30000000",
     "You need to set the communication settings to:;  Baud=4800 - Stop Bits=2;;Also tested with USB based controller.",
     TestedByNone,
     "3", "0", "002 ", "012", "0", "0", "1", "1",
     StdModes},
    {"TS-2000", // 17
     "10000:800000000,1240000000:1300000000",
     "Download the Kenwood program \"mcp_2000.exe\";This program is specially made for the TS-2000;Maybe VYX will support this radio in the future.",
     TestedByNone,
     "6", "0", "002 ", "019", "0", "0", "1", "2",
     StdModes},
    {"R-5000", // 18
     "30000:30000000",
     "You need to set the communication settings to:;  Baud=4800 - Parity=None - Stop Bits=2 - Data Bits=8",
     TestedByNone,
     "7", " ", "    ", "005", "1", "0", "1", "1",
     StdModes},
}}};

const std::array<TTone, ToneCount> ToneTable{{
    {"00", "N/A"},
    {"01", "67.0"},
    {"02", "71.9"},
    {"03", "74.4"},
    {"04", "77.0"},
    {"05", "79.7"},
    {"06", "82.5"},
    {"07", "85.4"},
    {"08", "88.5"},
    {"09", "91.5"},
    {"10", "94.8"},
    {"11", "97.4"},
    {"12", "100.0"},
    {"13", "103.5"},
    {"14", "107.2"},
    {"15", "110.9"},
    {"16", "114.8"},
    {"17", "118.8"},
    {"18", "123.0"},
    {"19", "127.3"},
    {"20", "131.8"},
    {"21", "136.5"},
    {"22", "141.3"},
    {"23", "146.2"},
    {"24", "151.4"},
    {"25", "156.7"},
    {"26", "162.2"},
    {"27", "167.9"},
    {"28", "173.8"},
    {"29", "179.9"},
    {"30", "186.2"},
    {"31", "192.8"},
    {"32", "203.5"},
    {"33", "210.7"},
    {"34", "218.1"},
    {"35", "225.7"},
    {"36", "233.6"},
    {"37", "241.8"},
    {"38", "250.3"},
    {"39", "1750"},
}};

// Ordinals of the port's enumerations, in the order the port declares them.
const std::array<const char*, 15> BaudRateNames{"110", "300", "600", "1200", "2400",
    "4800", "9600", "14400", "19200", "38400", "56000", "57600", "115200", "128000", "256000"};
const std::array<int, 15> BaudRateValues{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
const std::array<const char*, 3> StopBitsNames{"1", "2", "1.5"};
// sbOneStopBit, sbTwoStopBits, sbOne5StopBits: the list is not in the enumeration's order.
const std::array<int, 3> StopBitsValues{0, 2, 1};
const std::array<const char*, 4> DataBitsNames{"5", "6", "7", "8"};
const std::array<int, 4> DataBitsValues{0, 1, 2, 3};
const std::array<const char*, 5> ParityNames{"None", "Odd", "Even", "Mark", "Space"};
const std::array<int, 5> ParityValues{0, 1, 2, 3, 4};
const std::array<const char*, 4> FlowControlNames{"Hardware", "Software", "None", "Custom"};
const std::array<int, 4> FlowControlValues{0, 1, 2, 3};
const std::array<const char*, 3> DTRFlowNames{"Disable", "Enable", "Handshake"};
const std::array<int, 3> DTRFlowValues{0, 1, 2};
const std::array<const char*, 4> RTSFlowNames{"Disable", "Enable", "Handshake", "Toggle"};
const std::array<int, 4> RTSFlowValues{0, 1, 2, 3};
