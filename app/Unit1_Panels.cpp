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
    RXFreqEdit->SetText(MemGrid->GetCell(1, r));
    TXFreqEdit->SetText(MemGrid->GetCell(3, r));
    if (!MemGrid->GetCell(1, r).empty())
        RXModeSelect->SetItemIndex(ModeIndexByName(MemGrid->GetCell(2, r)));
    if (!MemGrid->GetCell(3, r).empty())
        TXModeSelect->SetItemIndex(ModeIndexByName(MemGrid->GetCell(4, r)));
    ToneNumber->SetItemIndex(ToneIndexByText(MemGrid->GetCell(5, r)));
    MemLock->SetItemIndex(MemGrid->GetCell(6, r) == "TRUE" ? 0 : 1);
    Description->SetText(MemGrid->GetCell(7, r));
}

std::string TForm1::PanelFrequency(const std::string& Text) const
{
    // A frequency the row already holds passed the band check when it was typed or loaded,
    // or is what the radio holds; only a new one is held against the model's bands.
    const int r = MemGrid->Row();
    if (!Text.empty() && (Text == MemGrid->GetCell(1, r) || Text == MemGrid->GetCell(3, r)))
        return HzToFreqText(FreqTextToHz(Text));
    return CheckFreqInBands(Text);
}

void TForm1::UpdateMemGrid()
{
    const int r = MemGrid->Row();
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
    MemGrid->SetCell(2, r, ModeNameByIndex(RXModeSelect->ItemIndex()));
    MemGrid->SetCell(4, r, ModeNameByIndex(TXModeSelect->ItemIndex()));
    const std::string rx = PanelFrequency(RXFreqEdit->Text());
    const std::string tx = PanelFrequency(TXFreqEdit->Text());
    MemGrid->SetCell(1, r, rx);
    MemGrid->SetCell(3, r, tx);
    const int tone = ToneNumber->ItemIndex();
    MemGrid->SetCell(5, r, ToneTable[std::size_t(tone >= 0 && tone < ToneCount ? tone : 0)].ToneText);
    MemGrid->SetCell(6, r, MemLock->ItemIndex() == 0 ? "TRUE" : "FALSE");
    MemGrid->SetCell(7, r, Description->Text());
    for (int c : {1, 3})
        if (MemGrid->GetCell(c, r) == "00.000.00")
            MemGrid->SetCell(c, r, "");
    if (MemGrid->GetCell(3, r).empty())
        MemGrid->SetCell(4, r, "");
    if (MemGrid->GetCell(1, r).empty())
        for (int c : {2, 5, 6, 7})
            MemGrid->SetCell(c, r, "");
}

void TForm1::UpdateMemCols(TObject*)
{
    const bool split = SplitData_Setting->Checked();
    const std::string rxTitle = split ? "RX Freq." : "Frequency";
    TXeditPanel->SetVisible(split);
    MemGrid->SetCell(1, 0, rxTitle);
    RXFreqEdit->EditLabel()->SetCaption(rxTitle);
    RXmodeLabel->SetCaption(split ? "RX Mode" : "Mode");
    MemGrid->SetColWidth(3, split ? FreqColWidth() : 0);
    MemGrid->SetColWidth(4, split ? 40 : 0);

    MemDescriptionPanel->SetVisible(Description_Setting->Checked());
    MemGrid->SetColWidth(7, Description_Setting->Checked() ? 155 : 0);
    FMSubTonePanel->SetVisible(ToneNumber_Setting->Checked());
    MemGrid->SetColWidth(5, ToneNumber_Setting->Checked() ? 40 : 0);
    MemLockoutPanel->SetVisible(MemoryLockout_Setting->Checked());
    MemGrid->SetColWidth(6, MemoryLockout_Setting->Checked() ? 60 : 0);
}

void TForm1::UpdateMenuCols()
{
    const bool shown = MenuValue_setting->Checked();
    MenuGrid->SetColWidth(3, shown ? 27 : 0);
    MenuGrid->SetColWidth(2, shown ? 84 : 111);
}

void TForm1::MenuValue_settingClick(TObject*) { UpdateMenuCols(); }
