// The two transfers between the memory grid's current row and the edit panel, and the
// column layout of both grids by their option check boxes.
#include "app/FreqText.h"
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"

void TForm1::UpdateEditFields()
{
    const int r = MemGrid->Row();
    MemEdit->SetValue(r - 1);
    RXFreqEdit->SetText(MemGrid->GetCell(mcRxFreq, r));
    TXFreqEdit->SetText(MemGrid->GetCell(mcTxFreq, r));
    if (!MemGrid->GetCell(mcRxFreq, r).empty())
        RXModeSelect->SetItemIndex(ModeIndexByName(MemGrid->GetCell(mcRxMode, r)));
    if (!MemGrid->GetCell(mcTxFreq, r).empty())
        TXModeSelect->SetItemIndex(ModeIndexByName(MemGrid->GetCell(mcTxMode, r)));
    ToneNumber->SetItemIndex(ToneIndexByText(MemGrid->GetCell(mcTone, r)));
    MemLock->SetItemIndex(MemGrid->GetCell(mcLockOut, r) == "TRUE" ? 0 : 1);
    Description->SetText(MemGrid->GetCell(mcDescription, r));
}

std::string TForm1::PanelFrequency(const std::string& Text) const
{
    // A frequency the row already holds passed the band check when it was typed, or is
    // what the radio or a channel file holds; only a new one is held against the bands.
    const int r = MemGrid->Row();
    if (!Text.empty() && (Text == MemGrid->GetCell(mcRxFreq, r) || Text == MemGrid->GetCell(mcTxFreq, r)))
        return HzToFreqText(FreqTextToHz(Text));
    return CheckFreqInBands(Text);
}

void TForm1::UpdateMemGrid()
{
    const int r = MemGrid->Row();
    // A simplex memory stays simplex when only its receive half is changed: the transmit
    // fields, left as the row holds them, follow it rather than keep the old frequency as a
    // split nobody typed.
    const std::string rxCell = MemGrid->GetCell(mcRxFreq, r);
    const bool simplex = !rxCell.empty() && MemGrid->GetCell(mcTxFreq, r) == rxCell &&
                         MemGrid->GetCell(mcTxMode, r) == MemGrid->GetCell(mcRxMode, r);
    if (simplex && !RXFreqEdit->Text().empty() && TXFreqEdit->Text() == rxCell &&
        ModeNameByIndex(TXModeSelect->ItemIndex()) == MemGrid->GetCell(mcTxMode, r)) {
        TXFreqEdit->SetText(RXFreqEdit->Text());
        TXModeSelect->SetItemIndex(RXModeSelect->ItemIndex());
    }
    if (TXFreqEdit->Text().empty()) {
        TXFreqEdit->SetText(RXFreqEdit->Text());
        TXModeSelect->SetItemIndex(RXModeSelect->ItemIndex());
    }
    if (RXFreqEdit->Text().empty()) {
        RXFreqEdit->SetText(TXFreqEdit->Text());
        RXModeSelect->SetItemIndex(TXModeSelect->ItemIndex());
    }
    if (!SplitData_Setting->Checked()) {
        TXFreqEdit->SetText(RXFreqEdit->Text());
        TXModeSelect->SetItemIndex(RXModeSelect->ItemIndex());
    }
    MemGrid->SetCell(mcRxMode, r, ModeNameByIndex(RXModeSelect->ItemIndex()));
    MemGrid->SetCell(mcTxMode, r, ModeNameByIndex(TXModeSelect->ItemIndex()));
    const std::string rx = PanelFrequency(RXFreqEdit->Text());
    const std::string tx = PanelFrequency(TXFreqEdit->Text());
    MemGrid->SetCell(mcRxFreq, r, rx);
    MemGrid->SetCell(mcTxFreq, r, tx);
    const int tone = ToneNumber->ItemIndex();
    MemGrid->SetCell(mcTone, r, ToneTable[std::size_t(tone >= 0 && tone < ToneCount ? tone : 0)].ToneText);
    MemGrid->SetCell(mcLockOut, r, MemLock->ItemIndex() == 0 ? "TRUE" : "FALSE");
    MemGrid->SetCell(mcDescription, r, Description->Text());
    for (int c : {mcRxFreq, mcTxFreq})
        if (MemGrid->GetCell(c, r) == "00.000.00")
            MemGrid->SetCell(c, r, "");
    if (MemGrid->GetCell(mcTxFreq, r).empty())
        MemGrid->SetCell(mcTxMode, r, "");
    if (MemGrid->GetCell(mcRxFreq, r).empty())
        for (int c : {mcRxMode, mcTone, mcLockOut, mcDescription})
            MemGrid->SetCell(c, r, "");
}

void TForm1::UpdateMemCols(TObject*)
{
    const bool split = SplitData_Setting->Checked();
    const std::string rxTitle = split ? "RX Freq." : "Frequency";
    TXeditPanel->SetVisible(split);
    MemGrid->SetCell(mcRxFreq, 0, rxTitle);
    RXFreqEdit->EditLabel()->SetCaption(rxTitle);
    RXmodeLabel->SetCaption(split ? "RX Mode" : "Mode");
    MemGrid->SetColWidth(mcTxFreq, split ? FreqColWidth() : 0);
    MemGrid->SetColWidth(mcTxMode, split ? 40 : 0);

    FMSubTonePanel->SetVisible(ToneNumber_Setting->Checked());
    MemGrid->SetColWidth(mcTone, ToneNumber_Setting->Checked() ? 40 : 0);
    MemLockoutPanel->SetVisible(MemoryLockout_Setting->Checked());
    MemGrid->SetColWidth(mcLockOut, MemoryLockout_Setting->Checked() ? 60 : 0);
    MemDescriptionPanel->SetVisible(Description_Setting->Checked());
    MemGrid->SetColWidth(mcDescription, Description_Setting->Checked() ? DescriptionColWidth() : 0);
}

void TForm1::UpdateMenuCols()
{
    const bool shown = MenuValue_setting->Checked();
    MenuGrid->SetColWidth(3, shown ? 27 : 0);
    MenuGrid->SetColWidth(2, shown ? 84 : 111);
}

void TForm1::MenuValue_settingClick(TObject*) { UpdateMenuCols(); }
