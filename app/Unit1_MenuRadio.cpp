// Reading and writing the radio's menu settings with the "EX" command, storing one
// received value, the menu tool buttons and the menu progress bar.
#include "app/Globals.h"
#include "app/Unit1.h"

#include "framework/ExtCtrls.h"
#include "framework/Grids.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"

#include <algorithm>

void TForm1::SetMenuProgressBar(std::uint8_t N)
{
    TProgressBar* bar = MenuProgressBar;
    if (N > bar->Max())
        bar->SetPosition(bar->Max());
    else if (N < bar->Min())
        bar->SetPosition(bar->Min());
    else
        bar->SetPosition(N);
}

void TForm1::SubRX_Action_Menu(const std::string& MenuNumber, const std::string& Value, bool Report)
{
    int n = -1;
    const std::uint8_t row = TryStrToInt(MenuNumber, n) && n >= 0 && n <= 255
                                 ? FromMenuOptionToMenuGrid(static_cast<std::uint8_t>(n))
                                 : 0;
    if (row == 0) {
        ShowStatus("Unknown memory option (" + MenuNumber + ") received.");
        return;
    }
    MenuGrid->SetCell(mnCode, row, Value);
    MenuGrid->SetCell(mnReceived, row, MenuReceived);
    MenuGrid->SetRow(row);
    UpdateMenuEditFields();
    if (Report)
        ShowStatus("Menu (" + MenuNumber + ") received.");
}

namespace {

// Zero-filled on the left to width characters; a longer text is kept whole.
std::string ZeroFilled(const std::string& text, std::size_t width)
{
    return text.size() >= width ? text : std::string(width - text.size(), '0') + text;
}

} // namespace

void TForm1::RX_Action_Menu(std::uint8_t From, std::uint8_t To)
{
    if (RXHelpMsg_Setting->Checked())
        OKMessage("It is not possible for VYX to read the menu settings automatically.\r"
                  "Please enter the menu on the radio and scroll through the menus.\r"
                  "This way VYX can discover the menu settings on the radio.",
                  MessageKind::Information);
    ShowStatus("Enter menu and scroll throug the menu options.");
    ChangeEnabled(false);
    MenuReadActive = true;
    try {
        if (!OpenAndCheckCom()) {
            ReportLinkError();
        } else {
            int rf = 0, rt = -1;
            const bool any = MenuRangeRows(From, To, rf, rt);
            const int count = any ? rt - rf + 1 : 0;
            SetMenuProgressRange(0, static_cast<std::uint8_t>(count));
            for (int r = 1; r < MenuGrid->RowCount(); ++r)
                MenuGrid->SetCell(mnReceived, r, MenuAwaited);
            // A range without a shown menu has nothing to wait for.
            if (count == 0)
                MenuReadActive = false;
            int last = 0;
            bool first = true;
            // StopRequest ends the read too: a close asked for during the read relies on it.
            while (MenuReadActive && !StopRequest) {
                Send("EX;");
                Delay(50);
                std::string a;
                Receive(a);
                if (Copy(a, 1, 2) != "EX" || a.size() < 5)
                    continue;
                std::string t = Copy(a, 4, 2);
                if (t[0] == '0')
                    t.erase(0, 1);
                int n = 0;
                int value = 0;
                // A garbled answer is noise like any other: poll again.
                if (!TryStrToInt(t, n) || n < 0 || !TryStrToInt(Copy(a, 6, 4), value) || value < 0)
                    continue;
                if (first) {
                    // The menu shown when reading starts only sets the starting point.
                    first = false;
                    last = n;
                    continue;
                }
                if (n == last)
                    continue;
                if (n >= From && n <= To) {
                    FileChanged = true;
                    SubRX_Action_Menu(t, IntToStr(value), true);
                } else {
                    ShowStatus("Menu (" + t + ") out of selected range.");
                }
                last = n;
                int k = 0;
                for (int r = rf; r <= rt; ++r)
                    if (MenuGrid->GetCell(mnReceived, r) == MenuReceived)
                        ++k;
                if (k > 0)
                    SetMenuProgressBar(static_cast<std::uint8_t>(k));
                if (k == count) {
                    MenuReadActive = false;
                    OKMessage("All (selected) memory entries have been red successfully.",
                              MessageKind::Information);
                }
            }
            ComPortClose();
        }
    } catch (...) {
        MenuReadActive = false;
        AbortRadioAction();
        throw;
    }
    MenuReadActive = false;
    ShowStatus("");
    ChangeEnabled(true);
}

void TForm1::TX_Action_Menu(std::uint8_t From, std::uint8_t To)
{
    const int s = MenuEdit->Value();
    RunOnCheckedLink("Starting to send menu options to radio.", [&] {
        int rf = 0, rt = -1;
        if (MenuRangeRows(From, To, rf, rt))
            SetMenuProgressRange(static_cast<std::uint8_t>(rf), static_cast<std::uint8_t>(rt));
        for (int r = rf; r <= rt && !StopRequest; ++r) {
            SetMenuProgressBar(static_cast<std::uint8_t>(r));
            // Showing the row empties an illegal value before it could be sent.
            if (MenuGrid->Row() != r)
                MenuGrid->SetRow(r);
            else
                MenuGridClick(MenuGrid);
            const std::string m = MenuGrid->GetCell(mnNumber, r);
            const std::string text = MenuGrid->GetCell(mnValue, r);
            const std::string code = Trim(MenuGrid->GetCell(mnCode, r));
            int v = 0;
            if (text.empty() || !TryStrToInt(code, v) || v < 0 || v > 9999) {
                ShowStatus("Menu option " + m + " is empty.");
                continue;
            }
            ShowStatus("Sending Menu option " + m + " to radio.");
            const std::string body = ZeroFilled(m + ZeroFilled(IntToStr(v), 4), 7);
            // The radio confirms nothing: each setting goes twice.
            for (int i = 0; i < 2; ++i) {
                Send("EX" + body + ";");
                Delay(static_cast<unsigned>(std::max(TxDelay, 0)));
            }
        }
        ShowStatus("Finished Menu TX.");
    });
    MenuEdit->SetValue(s);
}

void TForm1::MenuSetRXButtonClick(TObject*)
{
    RX_Action_Menu(static_cast<std::uint8_t>(MenuEdit->MinValue()),
                   static_cast<std::uint8_t>(MenuEdit->MaxValue()));
}

void TForm1::MenuSetTXButtonClick(TObject*)
{
    TX_Action_Menu(static_cast<std::uint8_t>(MenuEdit->MinValue()),
                   static_cast<std::uint8_t>(MenuEdit->MaxValue()));
}

void TForm1::MenuSetStopButtonClick(TObject*) { StopAllCom(); }
