// Printing the memory and menu tables: the preview's layout, the pages the printer gets, the
// stored fonts and colours, and a real PDF.
#include "test_dialogs_support.h"

#include "framework/Grids.h"
#include "framework/Printers.h"
#include "framework/StdCtrls.h"

#include <fstream>

using namespace dlgtest;

namespace {

class Printing : public DialogTest {
protected:
    void BeforeStart() override
    {
        // A grid background no other part of the page has, so the pages can be sampled.
        WriteValue("PrinterSettings", "GridBackground", "255");
    }
    void FillMemories(const std::string& description)
    {
        TStringGrid* g = Form1->MemGrid;
        for (int r = 1; r <= 100; ++r) {
            g->SetCell(1, r, "14.250.000");
            g->SetCell(2, r, "USB");
            g->SetCell(7, r, description);
        }
        g->SetCell(1, 1, "first-row");
        g->SetCell(1, 51, "fifty");
    }
    void SetColumns(bool on)
    {
        Form1->SplitData_Setting->SetChecked(on);
        Form1->ToneNumber_Setting->SetChecked(on);
        Form1->MemoryLockout_Setting->SetChecked(on);
        Form1->Description_Setting->SetChecked(on);
    }
    void PrintWithPreview(bool print, bool confirmSetup = true)
    {
        if (print)
            QueuePrinterSetup(confirmSetup);
        OnNextShow(PrintMemForm, [print] {
            (print ? PrintMemForm->PrintButton : PrintMemForm->CancelButton)->Click();
        });
        Form1->PrintMenuClick(nullptr);
    }
};

TEST_F(Printing, ANarrowMemoryTablePrintsOnOnePageSideBySide)
{
    SetColumns(false);
    FillMemories("");
    PrintWithPreview(true);
    EXPECT_EQ(Status(), "Print request send to print queue.");
    EXPECT_EQ(PrintMemForm->Label6->GetText(), "Page 1/1");
    EXPECT_EQ(PrintMemForm->TabSheet7->GetText(), "1 page");
    EXPECT_EQ(PrintMemForm->Label4->GetText().rfind("Printed Date: ", 0), 0u);
    EXPECT_EQ(PrintMemForm->PrintMemGrid1->GetCell(1, 1), "first-row");
    EXPECT_EQ(PrintMemForm->PrintMemGrid2->GetCell(1, 1), "fifty") << "memories 50 to 99 on the right";
    EXPECT_EQ(PrintMemForm->PrintMemGrid1->ColWidth(7), 0) << "description column hidden";
    EXPECT_EQ(PrintMemForm->PrintMemGrid1->ColWidth(3), 0);
    EXPECT_GT(PrintMemForm->PrintMemGrid1->ColWidth(1), 5);
    EXPECT_TRUE(PrintMemForm->PrintMemGrid2->Visible());
    EXPECT_GT(PrintMemForm->PrintMemGrid2->Left(), PrintMemForm->PrintMemGrid1->Left());

    ASSERT_EQ(DocumentCount(), 1);
    ASSERT_EQ(PageCount(0), 1);
    EXPECT_TRUE(SavePage(0, 0, BuildFolder() + "/PrintPage1of1.png"));
    const int w = PageWidth(0, 0), h = PageHeight(0, 0);
    // Both halves carry the red grid background: left and right of the middle.
    bool left = false, right = false;
    for (int y = h / 10; y < h / 2; y += 3)
        for (int x = 0; x < w; x += 3)
            if (Pixel(0, 0, x, y) == 0x0000FF)
                (x < w / 2 ? left : right) = true;
    EXPECT_TRUE(left);
    EXPECT_TRUE(right);
    // The date and page lines sit below the grids, on the page.
    const auto ink = InkRows(0, 0);
    EXPECT_GT(ink.second, ink.first);
    EXPECT_EQ(ReadValue("PrinterSettings", "GridBackground"), "255");
}

TEST_F(Printing, AWideMemoryTablePrintsTwoCentredPagesAsTwoJobs)
{
    SetColumns(true);
    FillMemories("A long description of this memory channel");
    PrintWithPreview(true);
    ASSERT_EQ(DocumentCount(), 2);
    EXPECT_EQ(PageCount(0), 1);
    EXPECT_EQ(PageCount(1), 1);
    EXPECT_EQ(PrintMemForm->Label6->GetText(), "Page 2/2");
    EXPECT_FALSE(PrintMemForm->PrintMemGrid1->Visible());
    EXPECT_TRUE(PrintMemForm->PrintMemGrid2->Visible());
    EXPECT_GT(PrintMemForm->PrintMemGrid1->Width(), 360);
    EXPECT_TRUE(SavePage(0, 0, BuildFolder() + "/PrintPage1of2.png"));
    EXPECT_TRUE(SavePage(1, 0, BuildFolder() + "/PrintPage2of2.png"));
    // Centred: the red grid spans the middle of each page.
    for (int doc = 0; doc < 2; ++doc)
        EXPECT_EQ(Pixel(doc, 0, PageWidth(doc, 0) / 2, PageHeight(doc, 0) / 5), 0x0000FFu) << doc;
    EXPECT_EQ(PrintMemForm->Height(), 600) << "the on-screen size comes back";
}

TEST_F(Printing, CancelPrintsNothingButKeepsTheDefaults)
{
    WriteValue("PrinterSettings", "MainFont", "No Such Font");
    OnNextShow(PrintMemForm, [] {
        EXPECT_EQ(PrintMemForm->MainFontComboBox->ItemIndex(), -1) << "a missing font selects none";
        EXPECT_EQ(PrintMemForm->GridBackColor->Selected(), TColor(255));
        PrintMemForm->DefaultsButton->Click();
        PrintMemForm->CancelButton->Click();
    });
    Form1->PrintMenuClick(nullptr);
    EXPECT_EQ(Status(), "Printing canceled.");
    EXPECT_EQ(DocumentCount(), 0);
    EXPECT_EQ(ReadValue("PrinterSettings", "GridBackground"), "16777215");
    EXPECT_EQ(ReadValue("PrinterSettings", "GridText"), "8388608");
    EXPECT_EQ(ReadValue("PrinterSettings", "Text"), "8421376");
    EXPECT_EQ(ReadValue("PrinterSettings", "MainFont"), "Arial Black");
    EXPECT_EQ(ReadValue("PrinterSettings", "TableFont"), "Arial");

    // A cancelled printer set-up prints nothing either.
    PrintWithPreview(true, false);
    EXPECT_EQ(Status(), "Printing canceled.");
    EXPECT_EQ(DocumentCount(), 0);
}

TEST_F(Printing, AShortMenuTableIsOneCentredTable)
{
    Form1->VYXPageControl->SetActivePageIndex(1);
    TStringGrid* menu = Form1->MenuGrid;
    menu->SetRowCount(10);
    for (int r = 1; r < 10; ++r)
        menu->SetCell(1, r, "Menu " + std::to_string(r));
    PrintWithPreview(true);
    EXPECT_EQ(PrintMemForm->PrintTable, 1);
    EXPECT_EQ(PrintMemForm->PrintMemGrid1->RowCount(), 10);
    EXPECT_EQ(PrintMemForm->PrintMemGrid1->GetCell(1, 9), "Menu 9");
    EXPECT_FALSE(PrintMemForm->PrintMemGrid2->Visible());
    EXPECT_EQ(PrintMemForm->PrintMemGrid1->ColWidth(5), 0);
    EXPECT_EQ(DocumentCount(), 1);
    EXPECT_FALSE(PrintMemForm->Label3->Visible()) << "no file line without a file";

    menu->SetRowCount(60);
    for (int r = 1; r < 60; ++r)
        menu->SetCell(1, r, "Menu " + std::to_string(r));
    PrintWithPreview(true);
    EXPECT_TRUE(PrintMemForm->PrintMemGrid2->Visible());
    EXPECT_EQ(PrintMemForm->PrintMemGrid2->GetCell(1, 1), "Menu 31") << "the right half starts at h + 1";
    EXPECT_EQ(PrintMemForm->PrintMemGrid2->GetCell(1, 29), "Menu 59");
}

TEST_F(Printing, PreviewScreenshotAndARealPdf)
{
    FillMemories("");
    CurrentFileName = "/tmp/channels.vyx";
    OnNextShow(PrintMemForm, [] {
        EXPECT_TRUE(PrintMemForm->Label3->Visible());
        EXPECT_EQ(PrintMemForm->Label3->GetText(), "/tmp/channels.vyx");
        Screenshot(PrintMemForm, "PrintMemForm");
        PrintMemForm->CancelButton->Click();
    });
    Form1->PrintMenuClick(nullptr);

    UseRealPrinter();
    const std::string pdf = configDir_ + "/memories.pdf";
    Printer()->PrintToFile = true;
    Printer()->FileName = pdf;
    EXPECT_TRUE(Form1->PrintTableWithoutPreview(0));
    Printer()->PrintToFile = false;
    Printer()->FileName.clear();
    std::ifstream in(pdf, std::ios::binary);
    std::string head(4, '\0');
    in.read(head.data(), 4);
    EXPECT_EQ(head, "%PDF");
    EXPECT_GT(std::filesystem::file_size(pdf), 2000u);
}

} // namespace
