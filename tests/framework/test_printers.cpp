#include "common/TempFolder.h"
#include "framework/Printers.h"
#include "platform/FakeServices.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>

namespace fs = std::filesystem;

namespace {

class Printing : public commontest::TempFolderTest {
protected:
    Printing() : TempFolderTest("qm-prn") {}
    ~Printing() override { SetPrinter(nullptr); }
    fs::path Dir = folder_.Path();
    TPrinter* P = SetPrinter(new TPrinter());
};

int PdfPages(const fs::path& file)
{
    const std::string pdf = commontest::ReadFileText(file);
    int pages = 0;
    for (size_t p = pdf.find("/Type /Page"); p != std::string::npos; p = pdf.find("/Type /Page", p + 1))
        if (pdf.compare(p, 12, "/Type /Pages") != 0)
            ++pages;
    return pages;
}

} // namespace

TEST_F(Printing, TwoPagesOnTheFakePrinter)
{
    FakeServices fakes;
    P->Title = "Memory channels";
    EXPECT_FALSE(P->Printing());
    EXPECT_EQ(P->PageWidth(), 800);
    P->BeginDoc();
    EXPECT_TRUE(P->Printing());
    EXPECT_EQ(P->PageNumber(), 1);
    EXPECT_EQ(GetDeviceCaps(P->Canvas()->GetHandle(), LOGPIXELSX), 100); // the page's own resolution
    P->Canvas()->Brush()->SetColor(clRed);
    P->Canvas()->FillRect(Rect(10, 10, 20, 20));
    P->NewPage();
    EXPECT_EQ(P->PageNumber(), 2);
    P->Canvas()->Brush()->SetColor(clBlue);
    P->Canvas()->FillRect(Rect(30, 30, 40, 40));
    P->EndDoc();
    EXPECT_FALSE(P->Printing());

    ASSERT_EQ(fakes.Printing.Documents.size(), 1u);
    const FakePrintDocument& doc = *fakes.Printing.Documents[0];
    EXPECT_TRUE(doc.Finished);
    EXPECT_EQ(doc.Target.Title, "Memory channels");
    EXPECT_EQ(doc.Target.PrinterName, "");
    EXPECT_TRUE(doc.Target.PdfFileName.empty());
    ASSERT_EQ(doc.Pages.size(), 2u);
    EXPECT_EQ(doc.Pixel(0, 15, 15), RGB(255, 0, 0));
    EXPECT_EQ(doc.Pixel(0, 35, 35), RGB(255, 255, 255));
    EXPECT_EQ(doc.Pixel(1, 35, 35), RGB(0, 0, 255));
    EXPECT_EQ(doc.Pixel(1, 15, 15), RGB(255, 255, 255));
    EXPECT_TRUE(P->OutputFileName().empty());
}

TEST_F(Printing, FontsKeepTheirPointSizeAtThePrintersResolution)
{
    FakeServices fakes;
    fakes.Printing.Page.DpiX = fakes.Printing.Page.DpiY = 300;
    P->Canvas()->Font()->SetSize(10);
    P->BeginDoc();
    EXPECT_EQ(P->Canvas()->Font()->PixelsPerInch, 300);
    EXPECT_EQ(P->Canvas()->Font()->GetSize(), 10);
    EXPECT_EQ(P->Canvas()->Font()->GetHeight(), -42);
    P->EndDoc();
}

TEST_F(Printing, MisuseAndFailuresAreReported)
{
    FakeServices fakes;
    EXPECT_THROW(P->NewPage(), EPrinter);
    EXPECT_THROW(P->EndDoc(), EPrinter);
    P->Abort(); // nothing running: no effect
    EXPECT_FALSE(P->Aborted());

    P->BeginDoc();
    EXPECT_THROW(P->BeginDoc(), EPrinter);
    EXPECT_THROW(P->SetOrientation(poLandscape), EPrinter);
    P->Abort();
    EXPECT_TRUE(P->Aborted());
    EXPECT_FALSE(P->Printing());
    EXPECT_TRUE(fakes.Printing.Documents.back()->Aborted);

    fakes.Printing.FailStart = "The printer is out of paper.";
    try {
        P->BeginDoc();
        FAIL() << "a failed start must raise";
    } catch (const EPrinter& e) {
        EXPECT_NE(std::string(e.what()).find("out of paper"), std::string::npos);
    }
    EXPECT_FALSE(P->Printing());

    fakes.Printing.FailStart.clear();
    fakes.Printing.FailFinish = "The spooler stopped.";
    P->BeginDoc();
    EXPECT_THROW(P->EndDoc(), EPrinter);
    EXPECT_FALSE(P->Printing()); // the job is over either way
    EXPECT_FALSE(fakes.Printing.Documents.back()->Finished);

    // The jobs of a printout print only once all are sent; one the printer refuses takes all
    // of them back.
    fakes.Printing.FailFinish.clear();
    for (const std::string refusal : {"", "The printer aborted the print job."}) {
        fakes.Printing.FailRelease = refusal;
        fakes.Printing.Documents.clear();
        P->BeginPrintout(2);
        P->BeginDoc();
        P->EndDoc();
        P->BeginDoc();
        P->EndDoc();
        ASSERT_EQ(fakes.Printing.Documents.size(), 2u);
        EXPECT_FALSE(fakes.Printing.Documents[0]->Released) << "held while page 2 is made";
        if (refusal.empty())
            P->EndPrintout();
        else
            EXPECT_THROW(P->EndPrintout(), EPrinter);
        for (const auto& doc : fakes.Printing.Documents) {
            EXPECT_EQ(doc->Released, refusal.empty()) << refusal;
            EXPECT_EQ(doc->Withdrawn, !refusal.empty()) << refusal;
        }
    }
}

TEST_F(Printing, WithoutPrintersAPdfFileNamedAfterTheTitle)
{
    FakeServices fakes;
    fakes.Printing.Printers.clear();
    std::string oldHome = std::getenv("HOME") ? std::getenv("HOME") : "";
    std::string oldConfig = std::getenv("XDG_CONFIG_HOME") ? std::getenv("XDG_CONFIG_HOME") : "";
    setenv("HOME", Dir.c_str(), 1);
    setenv("XDG_CONFIG_HOME", (Dir / "config").c_str(), 1);
    fs::create_directories(Dir / "Documents");
    P->Title = "Print/Settings";
    std::string expected = (Dir / "Documents/Print_Settings.pdf").string();
    EXPECT_EQ(P->Target().PdfFileName, expected);
    std::ofstream(expected) << "someone's file";
    EXPECT_EQ(P->Target().PdfFileName, (Dir / "Documents/Print_Settings (2).pdf").string());
    std::string reported;
    P->OnFileWritten = decltype(P->OnFileWritten)(
        [&](TObject*, const std::string& name) { reported = name; });
    P->BeginDoc();
    EXPECT_EQ(P->OutputFileName(), (Dir / "Documents/Print_Settings (2).pdf").string());
    P->EndDoc();
    EXPECT_EQ(reported, P->OutputFileName());
    EXPECT_EQ(fakes.Printing.Documents.back()->Target.PdfFileName, reported);
    setenv("HOME", oldHome.c_str(), 1);
    if (oldConfig.empty())
        unsetenv("XDG_CONFIG_HOME");
    else
        setenv("XDG_CONFIG_HOME", oldConfig.c_str(), 1);
}

TEST_F(Printing, TwoPagePdfHeadlessAndAnUnwritablePath)
{
    // The real print service, into a file.
    P->PrintToFile = true;
    P->FileName = (Dir / "table.pdf").string();
    P->Title = "Quillmere";
    P->BeginDoc();
    EXPECT_EQ(GetDeviceCaps(P->Handle(), LOGPIXELSX), 300);
    EXPECT_GT(P->PageHeight(), P->PageWidth());
    P->Canvas()->Font()->SetSize(12);
    P->Canvas()->TextOut(100, 100, "Page 1/2");
    P->NewPage();
    P->Canvas()->TextOut(100, 100, "Page 2/2");
    P->EndDoc();
    ASSERT_TRUE(fs::exists(Dir / "table.pdf"));
    EXPECT_EQ(PdfPages(Dir / "table.pdf"), 2);
    if (FILE* f = popen(("pdfinfo '" + (Dir / "table.pdf").string() + "' 2>/dev/null").c_str(), "r")) {
        char line[256];
        std::string out;
        while (fgets(line, sizeof line, f))
            out += line;
        if (pclose(f) == 0) {
            EXPECT_TRUE(std::regex_search(out, std::regex("Pages:\\s+2\\n"))) << out;
        }
    }

    P->FileName = (Dir / "no/such/folder/table.pdf").string();
    try {
        P->BeginDoc();
        FAIL() << "an unwritable PDF path must raise";
    } catch (const EPrinter& e) {
        EXPECT_NE(std::string(e.what()).find("no/such/folder/table.pdf"), std::string::npos) << e.what();
    }
    EXPECT_FALSE(P->Printing());
}
