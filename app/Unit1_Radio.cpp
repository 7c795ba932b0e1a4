// Applying the selected radio model to the window, and the two settings dialogs.
#include "app/ComportSettingsUnit.h"
#include "app/FreqText.h"
#include "app/Globals.h"
#include "app/RadiotypeUnit.h"
#include "app/Unit1.h"

#include "framework/ComCtrls.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "serial/SerialPort.h"

#include <algorithm>

namespace {

void FillModeSelect(TComboBox* select, const std::vector<std::string>& names)
{
    select->Items()->Clear();
    for (const auto& name : names)
        select->Items()->Add(name);
    select->SetItemIndex(0);
}

// The rows of the current menu set's shown entries; returns the largest menu number.
int FillMenuRows(TStringGrid* grid, int menuSet)
{
    grid->SetRowCount(254);
    int row = 1;
    int highest = 0;
    const TMenuSet& entries = MenuTable[menuSet];
    for (int i = 0; i < MenuEntryCount; ++i) {
        const TMenuEntry& e = entries[std::size_t(i)];
        if (e.MenuValueKind == '9')
            continue;
        grid->SetCell(mnNumber, row, e.MenuNumber);
        grid->SetCell(mnDescription, row, e.MenuDescription);
        grid->SetCell(mnValue, row, "");
        grid->SetCell(mnCode, row, "");
        grid->SetCell(mnEntry, row, IntToStr(i));
        grid->SetCell(mnReceived, row, "");
        highest = std::max(highest, StrToIntDef(e.MenuNumber, 0));
        ++row;
    }
    grid->SetRowCount(std::max(row, 2));
    return highest;
}

} // namespace

void TForm1::ChangeRadioHandle(bool AskUser)
{
    // No model selected: nothing to apply, and the table must not be indexed.
    if (!RadioTypeTable.ValidIndex(CurrentRadio))
        return;
    const TRadioType& radio = CurrentRadioRecord();
    if (!radio.HasSplitData()) {
        SplitData_Setting->SetEnabled(false);
        SplitData_Setting->SetChecked(false);
    } else {
        SplitData_Setting->SetEnabled(true);
    }

    if (AskUser) {
        OKMessage("You have requested to change the Radio type.\r\rAll memory entries will be "
                  "checked. Frequencies\rnot supported by sellected radio will be deleted!\rAll "
                  "Menu options will be deleted!",
                  MessageKind::Information);
        if (!SplitData_Setting->Checked() && radio.HasSplitData())
            OKMessage(std::string("Currently splitmode is switched off. The ") + radio.RadioName +
                          " does support splitmode." + "\r" +
                          "You can switch splitmode on by checking the \"SplitData\" box.",
                      MessageKind::Information);
    }

    RebuildModeTable(radio.ModeList);
    const std::vector<std::string> names = ModeNames();
    FillModeSelect(RXModeSelect, names);
    FillModeSelect(TXModeSelect, names);

    const bool power = radio.HasPowerSwitch();
    RadioSwitchOn->SetEnabled(power);
    RadioSwitchOff->SetEnabled(power);

    MemGrid->SetHint(radio.MemSelect() == TMemSelect::None
                         ? "Use right mouse button for more options."
                         : "Use right mouse button for more options or double click to activate "
                           "memory on radio.");

    CurrentMenuSet = static_cast<std::uint8_t>(radio.MenuSetNumber());
    if (CurrentMenuSet != 0) {
        MenuTabSheet->SetTabVisible(true);
        const int highest = FillMenuRows(MenuGrid, CurrentMenuSet);
        MenuEdit->SetMaxValue(highest);
        MenuEdit->SetMinValue(StrToIntDef(MenuGrid->GetCell(mnNumber, 1), 0));
        if (MenuGrid->RowCount() > 2)
            MenuGrid->SetRow(2);
        MenuGrid->SetRow(1);
    } else {
        VYXPageControl->SetActivePageIndex(0);
        MenuTabSheet->SetTabVisible(false);
    }

    // What a read could not show, or a file could not say, belongs to the model it came with.
    FKeptWhileUnchanged.clear();
    // A memory the new model cannot hold goes whole: half of it would be another memory.
    for (int r = 1; r <= MemoryCount; ++r) {
        const std::string rx = MemGrid->GetCell(mcRxFreq, r);
        const std::string tx = MemGrid->GetCell(mcTxFreq, r);
        const std::string rxInBand = CheckFreqInBands(rx);
        const std::string txInBand = CheckFreqInBands(tx);
        const bool outOfBand = (!rx.empty() && rxInBand.empty()) || (!tx.empty() && txInBand.empty());
        if (outOfBand) {
            for (int c = mcRxFreq; c <= mcDescription; ++c)
                MemGrid->SetCell(c, r, "");
        } else {
            MemGrid->SetCell(mcRxFreq, r, rxInBand);
            MemGrid->SetCell(mcTxFreq, r, txInBand);
        }
        if (outOfBand || rx != rxInBand || tx != txInBand)
            FileChanged = true;
    }

    UpdateEditFields();
    UpdateMemGrid();
    UpdateMemCols(this);
    UpdateMenuCols();
    UpdateTaskBarUsed();
}

void TForm1::RadioTypeSettingsClick(TObject*)
{
    RadioTypeForm->SetAll(CurrentRadio);
    if (RadioTypeForm->ShowModal() != mrOk)
        return;
    std::uint8_t chosen = 0;
    RadioTypeForm->GetAll(chosen);
    if (chosen != CurrentRadio && RadioTypeTable.ValidIndex(chosen)) {
        CurrentRadio = chosen;
        ChangeRadioHandle(true);
        ShowStatus("Radio type changed.");
    }
}

void TForm1::CommunicationSettingsMenuClick(TObject*)
{
    TStringList ports;
    try {
        ListSerialPorts(&ports);
    } catch (const std::exception& e) {
        OKMessage(std::string("The list of serial ports could not be read.\r\r") + e.what(),
                  MessageKind::Warning);
    }
    TSerialFlowControl* flow = ComPort->FlowControl();
    ComportSettingsForm->SetAll(
        &ports, ComPort->Port(),
        ComPort->BaudRate() == brCustom
            ? std::to_string(ComPort->CustomBaudRate())
            : SerialNameOfValue(BaudRateNames, BaudRateValues, int(ComPort->BaudRate())),
        SerialNameOfValue(DataBitsNames, DataBitsValues, int(ComPort->DataBits())),
        SerialNameOfValue(StopBitsNames, StopBitsValues, int(ComPort->StopBits())),
        SerialNameOfValue(ParityNames, ParityValues, int(ComPort->Parity()->Bits())),
        SerialNameOfValue(FlowControlNames, FlowControlValues, int(flow->FlowControl())),
        SerialNameOfValue(DTRFlowNames, DTRFlowValues, int(flow->ControlDTR())),
        SerialNameOfValue(RTSFlowNames, RTSFlowValues, int(flow->ControlRTS())));
    if (ComportSettingsForm->ShowModal() == mrOk) {
        std::string port, baudRate, dataBits;
        ComportSettingsForm->GetAll(port, baudRate, dataBits);
        ComPort->SetPort(port);
        // A rate outside the list is the port's custom rate; no selection keeps the rate.
        const bool listed = std::find(BaudRateNames.begin(), BaudRateNames.end(), baudRate) !=
                            BaudRateNames.end();
        if (!listed && IsCustomBaudRate(baudRate)) {
            ComPort->SetCustomBaudRate(std::stoi(baudRate));
            ComPort->SetBaudRate(brCustom);
        } else if (!baudRate.empty()) {
            ComPort->SetBaudRate(TBaudRate(SerialValueOfName(BaudRateNames, BaudRateValues, baudRate)));
        }
        if (!dataBits.empty())
            ComPort->SetDataBits(TDataBits(SerialValueOfName(DataBitsNames, DataBitsValues, dataBits)));
        std::string stopBits, parity, flowControl, dtr, rts;
        ComportSettingsForm->GetLineSettings(stopBits, parity, flowControl, dtr, rts);
        if (!stopBits.empty())
            ComPort->SetStopBits(TStopBits(SerialValueOfName(StopBitsNames, StopBitsValues, stopBits)));
        if (!parity.empty())
            ComPort->Parity()->SetBits(TParityBits(SerialValueOfName(ParityNames, ParityValues, parity)));
        if (!flowControl.empty())
            flow->SetFlowControl(TFlowControl(SerialValueOfName(FlowControlNames, FlowControlValues, flowControl)));
        if (flowControl == "Custom") {
            if (!dtr.empty())
                flow->SetControlDTR(TDTRFlowControl(SerialValueOfName(DTRFlowNames, DTRFlowValues, dtr)));
            if (!rts.empty())
                flow->SetControlRTS(TRTSFlowControl(SerialValueOfName(RTSFlowNames, RTSFlowValues, rts)));
        }
        ShowStatus("Communication settings changed.");
    } else {
        ShowStatus("Nothing changed in the communication settings.");
    }
    try {
        ComPort->SaveSettings(false, std::string("HKEY_CURRENT_USER\\") + SettingsKey);
    } catch (const std::exception& e) {
        OKMessage(std::string("The serial port settings could not be stored.\r\r") + e.what(),
                  MessageKind::Warning);
    }
}
