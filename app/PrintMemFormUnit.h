#pragma once
// The print window: at once the preview, the place where the fonts and colours of the
// printout are chosen, and the page image that goes to the printer. Its settings persist
// under "PrinterSettings".
#include "app/Globals.h"
#include "framework/Graphics.h"
#include "framework/StdCtrls.h"

#include <cstdint>
#include <string>
#include <vector>

class TCoolBar;
class TToolBar;
class TToolButton;
class TPageControl;
class TTabSheet;
class TLabel;
class TStringGrid;
class TPrinter;

// A drop-down list of colours: a custom colour first (chosen with the colour dialog), then
// the standard colours by name.
class TColorBox : public TComboBox {
    QM_CLASS(TColorBox, TComboBox)
public:
    explicit TColorBox(TComponent* AOwner);
    TColor Selected() const;
    // A colour that is not a standard one becomes the custom colour.
    void SetSelected(TColor Value);

protected:
    void Loaded() override;
    void Select() override;

private:
    void FillColors();
    std::vector<TColor> FColors;
};

class TPrintMemForm : public TForm {
    QM_CLASS(TPrintMemForm, TForm)
public:
    explicit TPrintMemForm(TComponent* AOwner);
    ~TPrintMemForm() override;

    TCoolBar* CoolBar1 = nullptr;
    TToolBar* ToolBar1 = nullptr;
    TToolButton* PrintButton = nullptr;
    TToolButton* CancelButton = nullptr;
    TToolButton* DefaultsButton = nullptr;
    TPageControl* PageControl1 = nullptr;
    TTabSheet* TabSheet1 = nullptr;
    TComboBox* MainFontComboBox = nullptr;
    TTabSheet* TabSheet2 = nullptr;
    TColorBox* TextColor = nullptr;
    TTabSheet* TabSheet3 = nullptr;
    TColorBox* BackgroundColor = nullptr;
    TTabSheet* TabSheet4 = nullptr;
    TComboBox* TableFontComboBox = nullptr;
    TTabSheet* TabSheet5 = nullptr;
    TColorBox* GridTextColor = nullptr;
    TTabSheet* TabSheet6 = nullptr;
    TColorBox* GridBackColor = nullptr;
    TTabSheet* TabSheet7 = nullptr;
    TLabel* Label1 = nullptr;
    TLabel* Label2 = nullptr;
    TLabel* Label3 = nullptr;
    TLabel* Label4 = nullptr;
    TLabel* Label5 = nullptr;
    TLabel* Label6 = nullptr;
    TStringGrid* PrintMemGrid1 = nullptr;
    TStringGrid* PrintMemGrid2 = nullptr;

    // The table printed; set before setup.
    TPrintTable PrintTable = TPrintTable::Memories;

    void setup();
    void DoUpdateAll(TObject* Sender);
    // Prints the page image, and a second page when the layout asks for it: a second job on
    // a printer, a second page of the same file for a PDF. Only the pages the printer set-up
    // chose, in its order; collated copies come out in order. EPrinter when a page could not
    // be drawn or a job not started or completed; then nothing of the printout stays on the
    // printer's queue (EPrintCanceled when the user cancelled a wait for the printer).
    void DoPrint();
    void SavePrinterSettings();

    void DefaultsButtonClick(TObject* Sender);
    void PrintButtonClick(TObject* Sender);
    void CancelButtonClick(TObject* Sender);
    void FormMouseWheelDown(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled);
    void FormMouseWheelUp(TObject* Sender, TShiftState Shift, TPoint MousePos, bool& Handled);

    // The pages of the printout as DoUpdateAll laid it out: 1 or 2.
    int PageCount() const { return FPages; }

    // How far the page image is scrolled up, in pixels.
    int ScrollPosition() const { return FScroll; }
    void SetScrollPosition(int Value);

protected:
    void WMVScroll(TMessage& M) override;

private:
    void UpdateScrollBar();
    void PrintPage(TPrinter* Printer);
    void SetPrintSize(bool Printing);
    int MeasureTable(const bool (&Shown)[MemColumnCount]);
    void SetTableFontSize(int Size);
    void ShowPage(int Page);
    int FScroll = 0;
    int FPages = 1;
    int FSingleLeft = 0;
    // The client width DoUpdateAll laid the page out in.
    int FLayoutWidth = 0;
    // The table font's size before any fitting made it smaller.
    int FTableFontSize = 0;
};

extern TPrintMemForm* PrintMemForm;
// The height of each print grid, set by DoUpdateAll.
extern int GridHeight;

void RegisterPrintMemFormClasses();
