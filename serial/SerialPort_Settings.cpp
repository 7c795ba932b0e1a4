// The settings store (registry key or ini section), the text forms of the settings and the
// list of the machine's serial ports.
#include "serial/SerialPort.h"

#include "framework/IniFiles.h"
#include "framework/Registry.h"
#include "platform/ScopeExit.h"
#include "platform/SerialPortList.h"
#include "platform/WinReg.h"

#include <functional>

// ---- Text forms ----------------------------------------------------------------------------

namespace {
const char* const kBaudRateNames[] = {"Custom", "110",   "300",   "600",   "1200",  "2400",
                                      "4800",   "9600",  "14400", "19200", "38400", "56000",
                                      "57600",  "115200", "128000", "256000"};
const char* const kStopBitsNames[] = {"1", "1.5", "2"};
const char* const kDataBitsNames[] = {"5", "6", "7", "8"};
const char* const kParityNames[] = {"None", "Odd", "Even", "Mark", "Space"};
const char* const kFlowControlNames[] = {"Hardware", "Software", "None", "Custom"};
const char* const kDtrNames[] = {"Disable", "Enable", "Handshake"};
const char* const kRtsNames[] = {"Disable", "Enable", "Handshake", "Toggle"};

template <size_t N> int NameIndex(const char* const (&names)[N], const std::string& text, int fallback)
{
    const std::string upper = UpperCase(text);
    for (size_t i = 0; i < N; ++i)
        if (UpperCase(names[i]) == upper)
            return static_cast<int>(i);
    return fallback;
}
} // namespace

std::string BaudRateText(TBaudRate Value) { return kBaudRateNames[Value]; }
TBaudRate BaudRateValue(const std::string& Text)
{
    return static_cast<TBaudRate>(NameIndex(kBaudRateNames, Text, br9600));
}
std::string StopBitsText(TStopBits Value) { return kStopBitsNames[Value]; }
TStopBits StopBitsValue(const std::string& Text)
{
    return static_cast<TStopBits>(NameIndex(kStopBitsNames, Text, sbOneStopBit));
}
std::string DataBitsText(TDataBits Value) { return kDataBitsNames[Value]; }
TDataBits DataBitsValue(const std::string& Text)
{
    return static_cast<TDataBits>(NameIndex(kDataBitsNames, Text, dbEight));
}
std::string ParityText(TParityBits Value) { return kParityNames[Value]; }
TParityBits ParityValue(const std::string& Text)
{
    return static_cast<TParityBits>(NameIndex(kParityNames, Text, prNone));
}
std::string FlowControlText(TFlowControl Value) { return kFlowControlNames[Value]; }
TFlowControl FlowControlValue(const std::string& Text)
{
    return static_cast<TFlowControl>(NameIndex(kFlowControlNames, Text, fcCustom));
}
std::string DtrModeText(TDTRFlowControl Value) { return kDtrNames[Value]; }
TDTRFlowControl DtrModeValue(const std::string& Text)
{
    return static_cast<TDTRFlowControl>(NameIndex(kDtrNames, Text, dtrDisable));
}
std::string RtsModeText(TRTSFlowControl Value) { return kRtsNames[Value]; }
TRTSFlowControl RtsModeValue(const std::string& Text)
{
    return static_cast<TRTSFlowControl>(NameIndex(kRtsNames, Text, rtsDisable));
}
std::string YesNoText(bool Value) { return Value ? "Yes" : "No"; }
bool YesNoValue(const std::string& Text) { return UpperCase(Text) == "YES"; }

std::string CharText(char Value)
{
    const int code = static_cast<unsigned char>(Value);
    if (code >= 33 && code <= 127)
        return std::string(1, Value);
    return "#" + IntToStr(code);
}

char CharValue(const std::string& Text)
{
    if (Text.empty())
        return '\0';
    if (Text[0] == '#' && Text.size() > 1) {
        int code = 0;
        if (!TryStrToInt(Text.substr(1), code))
            return '\0';
        return static_cast<char>(code & 0xFF);
    }
    return Text[0];
}

// ---- The stored values -----------------------------------------------------------------------

struct TCustomSerialPort::StoredValue {
    TStoredGroup Group;
    const char* Name;
    bool IsInteger;
    std::function<std::string(TCustomSerialPort&)> Text;
    std::function<void(TCustomSerialPort&, const std::string&)> SetText;
    std::function<int(TCustomSerialPort&)> Int;
    std::function<void(TCustomSerialPort&, int)> SetInt;
    // Stored only while this holds; null: always.
    bool (*When)(TCustomSerialPort&) = nullptr;
};

namespace {
using P = TCustomSerialPort;
using SV = TCustomSerialPort::StoredValue;

template <class Get, class Put> SV TextValue(TStoredGroup g, const char* name, Get get, Put put)
{
    SV v{g, name, false, get, put, nullptr, nullptr};
    return v;
}
template <class Get, class Put> SV IntValue(TStoredGroup g, const char* name, Get get, Put put)
{
    SV v{g, name, true, nullptr, nullptr, get, put};
    return v;
}
} // namespace

const std::vector<TCustomSerialPort::StoredValue>& TCustomSerialPort::StoredValues()
{
    static const std::vector<StoredValue> values = [] {
        std::vector<StoredValue> v;
        v.push_back(TextValue(sgBasic, "Port", [](P& p) { return p.Port(); },
                              [](P& p, const std::string& s) { p.SetPort(s); }));
        v.push_back(TextValue(sgBasic, "BaudRate", [](P& p) { return BaudRateText(p.BaudRate()); },
                              [](P& p, const std::string& s) { p.SetBaudRate(BaudRateValue(s)); }));
        SV custom = IntValue(sgBasic, "CustomBaudRate", [](P& p) { return p.CustomBaudRate(); },
                             [](P& p, int n) { p.SetCustomBaudRate(n); });
        custom.When = [](P& p) { return p.BaudRate() == brCustom; };
        v.push_back(custom);
        v.push_back(TextValue(sgBasic, "StopBits", [](P& p) { return StopBitsText(p.StopBits()); },
                              [](P& p, const std::string& s) { p.SetStopBits(StopBitsValue(s)); }));
        v.push_back(TextValue(sgBasic, "DataBits", [](P& p) { return DataBitsText(p.DataBits()); },
                              [](P& p, const std::string& s) { p.SetDataBits(DataBitsValue(s)); }));
        v.push_back(TextValue(sgBasic, "Parity", [](P& p) { return ParityText(p.Parity()->Bits()); },
                              [](P& p, const std::string& s) { p.Parity()->SetBits(ParityValue(s)); }));
        v.push_back(TextValue(
            sgBasic, "FlowControl",
            [](P& p) { return FlowControlText(p.FlowControl()->FlowControl()); },
            [](P& p, const std::string& s) { p.FlowControl()->SetFlowControl(FlowControlValue(s)); }));

        v.push_back(TextValue(sgEventChar, "EventChar", [](P& p) { return CharText(p.EventChar()); },
                              [](P& p, const std::string& s) { p.SetEventChar(CharValue(s)); }));
        v.push_back(TextValue(sgEventChar, "DiscardNull", [](P& p) { return YesNoText(p.DiscardNull()); },
                              [](P& p, const std::string& s) { p.SetDiscardNull(YesNoValue(s)); }));

        v.push_back(TextValue(sgParityDetails, "Parity.Check",
                              [](P& p) { return YesNoText(p.Parity()->Check()); },
                              [](P& p, const std::string& s) { p.Parity()->SetCheck(YesNoValue(s)); }));
        v.push_back(TextValue(sgParityDetails, "Parity.Replace",
                              [](P& p) { return YesNoText(p.Parity()->Replace()); },
                              [](P& p, const std::string& s) { p.Parity()->SetReplace(YesNoValue(s)); }));
        v.push_back(TextValue(sgParityDetails, "Parity.ReplaceChar",
                              [](P& p) { return CharText(p.Parity()->ReplaceChar()); },
                              [](P& p, const std::string& s) { p.Parity()->SetReplaceChar(CharValue(s)); }));

        v.push_back(IntValue(sgBuffer, "Buffer.OutputSize", [](P& p) { return p.Buffer()->OutputSize(); },
                             [](P& p, int n) { p.Buffer()->SetOutputSize(n); }));
        v.push_back(IntValue(sgBuffer, "Buffer.InputSize", [](P& p) { return p.Buffer()->InputSize(); },
                             [](P& p, int n) { p.Buffer()->SetInputSize(n); }));

        v.push_back(IntValue(sgTimeouts, "Timeouts.ReadInterval",
                             [](P& p) { return p.Timeouts()->ReadInterval(); },
                             [](P& p, int n) { p.Timeouts()->SetReadInterval(n); }));
        v.push_back(IntValue(sgTimeouts, "Timeouts.ReadTotalConstant",
                             [](P& p) { return p.Timeouts()->ReadTotalConstant(); },
                             [](P& p, int n) { p.Timeouts()->SetReadTotalConstant(n); }));
        v.push_back(IntValue(sgTimeouts, "Timeouts.ReadTotalMultiplier",
                             [](P& p) { return p.Timeouts()->ReadTotalMultiplier(); },
                             [](P& p, int n) { p.Timeouts()->SetReadTotalMultiplier(n); }));
        v.push_back(IntValue(sgTimeouts, "Timeouts.WriteTotalConstant",
                             [](P& p) { return p.Timeouts()->WriteTotalConstant(); },
                             [](P& p, int n) { p.Timeouts()->SetWriteTotalConstant(n); }));
        v.push_back(IntValue(sgTimeouts, "Timeouts.WriteTotalMultiplier",
                             [](P& p) { return p.Timeouts()->WriteTotalMultiplier(); },
                             [](P& p, int n) { p.Timeouts()->SetWriteTotalMultiplier(n); }));

        auto flowFlag = [&v](const char* name, bool (TSerialFlowControl::*get)() const,
                             void (TSerialFlowControl::*set)(bool)) {
            v.push_back(TextValue(sgFlowDetails, name,
                                  [get](P& p) { return YesNoText((p.FlowControl()->*get)()); },
                                  [set](P& p, const std::string& s) { (p.FlowControl()->*set)(YesNoValue(s)); }));
        };
        v.push_back(TextValue(sgFlowDetails, "FlowControl.ControlRTS",
                              [](P& p) { return RtsModeText(p.FlowControl()->ControlRTS()); },
                              [](P& p, const std::string& s) { p.FlowControl()->SetControlRTS(RtsModeValue(s)); }));
        v.push_back(TextValue(sgFlowDetails, "FlowControl.ControlDTR",
                              [](P& p) { return DtrModeText(p.FlowControl()->ControlDTR()); },
                              [](P& p, const std::string& s) { p.FlowControl()->SetControlDTR(DtrModeValue(s)); }));
        flowFlag("FlowControl.DSRSensitivity", &TSerialFlowControl::DSRSensitivity,
                 &TSerialFlowControl::SetDSRSensitivity);
        flowFlag("FlowControl.OutCTSFlow", &TSerialFlowControl::OutCTSFlow, &TSerialFlowControl::SetOutCTSFlow);
        flowFlag("FlowControl.OutDSRFlow", &TSerialFlowControl::OutDSRFlow, &TSerialFlowControl::SetOutDSRFlow);
        flowFlag("FlowControl.TxContinueOnXoff", &TSerialFlowControl::TxContinueOnXoff,
                 &TSerialFlowControl::SetTxContinueOnXoff);
        flowFlag("FlowControl.XonXoffIn", &TSerialFlowControl::XonXoffIn, &TSerialFlowControl::SetXonXoffIn);
        flowFlag("FlowControl.XonXoffOut", &TSerialFlowControl::XonXoffOut, &TSerialFlowControl::SetXonXoffOut);
        v.push_back(TextValue(sgFlowDetails, "FlowControl.XoffChar",
                              [](P& p) { return CharText(p.FlowControl()->XoffChar()); },
                              [](P& p, const std::string& s) { p.FlowControl()->SetXoffChar(CharValue(s)); }));
        v.push_back(TextValue(sgFlowDetails, "FlowControl.XonChar",
                              [](P& p) { return CharText(p.FlowControl()->XonChar()); },
                              [](P& p, const std::string& s) { p.FlowControl()->SetXonChar(CharValue(s)); }));
        // Every save and restore goes group by group in this order.
        const TStoredGroup order[] = {sgBasic, sgEventChar, sgParityDetails, sgBuffer, sgTimeouts,
                                      sgFlowDetails};
        std::vector<StoredValue> sorted;
        for (TStoredGroup g : order)
            for (const StoredValue& s : v)
                if (s.Group == g)
                    sorted.push_back(s);
        return sorted;
    }();
    return values;
}

void TCustomSerialPort::SaveToRegistry(TRegistry* Reg)
{
    for (const StoredValue& v : StoredValues()) {
        if (!StoredGroups.Contains(v.Group) || (v.When && !v.When(*this)))
            continue;
        if (v.IsInteger)
            Reg->WriteInteger(v.Name, v.Int(*this));
        else
            Reg->WriteString(v.Name, v.Text(*this));
    }
}

void TCustomSerialPort::LoadFromRegistry(TRegistry* Reg)
{
    for (const StoredValue& v : StoredValues()) {
        if (!StoredGroups.Contains(v.Group) || (v.When && !v.When(*this)))
            continue;
        if (v.IsInteger)
            v.SetInt(*this, Reg->ReadInteger(v.Name));
        else
            v.SetText(*this, Reg->ReadString(v.Name));
    }
}

void TCustomSerialPort::SaveToIni(TCustomIniFile* Ini)
{
    for (const StoredValue& v : StoredValues()) {
        if (!StoredGroups.Contains(v.Group) || (v.When && !v.When(*this)))
            continue;
        if (v.IsInteger)
            Ini->WriteInteger(Name(), v.Name, v.Int(*this));
        else
            Ini->WriteString(Name(), v.Name, v.Text(*this));
    }
}

void TCustomSerialPort::LoadFromIni(TCustomIniFile* Ini)
{
    for (const StoredValue& v : StoredValues()) {
        if (!StoredGroups.Contains(v.Group) || (v.When && !v.When(*this)))
            continue;
        // A missing entry keeps the current setting, except the custom rate.
        if (v.IsInteger) {
            int def = v.When ? 9600 : v.Int(*this);
            v.SetInt(*this, Ini->ReadInteger(Name(), v.Name, def));
        } else {
            v.SetText(*this, Ini->ReadString(Name(), v.Name, v.Text(*this)));
        }
    }
}

void OpenSettingsKey(TRegistry* Reg, const std::string& Path, const std::string& Name)
{
    const int slash = Pos("\\", Path);
    if (slash == 0)
        throw ERegistryException("The settings path names no registry key: " + Path);
    const std::string root = UpperCase(Copy(Path, 1, slash - 1));
    if (root == "HKEY_LOCAL_MACHINE")
        Reg->SetRootKey(HKEY_LOCAL_MACHINE);
    else
        Reg->SetRootKey(HKEY_CURRENT_USER);
    std::string key = Copy(Path, slash + 1, static_cast<int>(Path.size()));
    if (!key.empty() && key.back() != '\\')
        key += '\\';
    key += Name;
    if (!Reg->OpenKey(key, true))
        throw ERegistryException("Cannot open the registry key " + key);
}

void TCustomSerialPort::SaveSettings(bool ToIni, const std::string& Path)
{
    try {
        if (!ToIni) {
            TRegistry reg;
            OpenSettingsKey(&reg, Path, Name());
            SaveToRegistry(&reg);
        } else {
            TIniFile ini(Path);
            SaveToIni(&ini);
        }
    } catch (...) {
        throw ESerialPort::CreateNoWinCode(16);
    }
}

void TCustomSerialPort::RestoreSettings(bool FromIni, const std::string& Path)
{
    bool failed = false;
    DeferApply();
    try {
        if (!FromIni) {
            TRegistry reg;
            OpenSettingsKey(&reg, Path, Name());
            LoadFromRegistry(&reg);
        } else {
            TIniFile ini(Path);
            LoadFromIni(&ini);
        }
    } catch (...) {
        failed = true;
    }
    try {
        ResumeApply();
    } catch (...) {
        failed = true;
    }
    if (failed)
        throw ESerialPort::CreateNoWinCode(17);
}

// ---- Port list -------------------------------------------------------------------------------

void ListSerialPorts(TStrings* List)
{
    RefreshSerialPortList();
    HKEY key = nullptr;
    LONG r = RegOpenKeyExA(HKEY_LOCAL_MACHINE, "HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_READ, &key);
    if (r != ERROR_SUCCESS)
        throw ESerialPort(23, r);
    TStringList names;
    ScopeExit close([key] { RegCloseKey(key); });
    for (DWORD index = 0;; ++index) {
        char name[256];
        char data[256];
        DWORD nameLen = sizeof name;
        DWORD dataLen = sizeof data;
        DWORD type = 0;
        r = RegEnumValueA(key, index, name, &nameLen, nullptr, &type,
                          reinterpret_cast<LPBYTE>(data), &dataLen);
        if (r == ERROR_SUCCESS) {
            std::string value(data, std::min<DWORD>(dataLen, sizeof data));
            // The terminating NUL, when there is one, and anything after it.
            size_t nul = value.find('\0');
            if (nul != std::string::npos)
                value.resize(nul);
            names.Add(value);
        } else if (r == static_cast<LONG>(ERROR_NO_MORE_ITEMS)) {
            break;
        } else {
            throw ESerialPort(23, r);
        }
    }
    names.Sort();
    List->Assign(&names);
}
