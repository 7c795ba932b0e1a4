#pragma once
// The printer: one print job at a time, drawn on a canvas in the printer's device pixels,
// going to a printer or, when there is none (or a file is asked for), to a PDF file.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "framework/Graphics.h"
#include "framework/SysUtils.h"
#include "platform/Services.h"

QM_EXCEPTION(EPrinter, Exception)
// The user cancelled while the printer was being waited for.
QM_EXCEPTION(EPrintCanceled, EPrinter)

QM_ENUM(TPrinterOrientation, poPortrait, poLandscape)

class TPrinter : public TObject {
    QM_CLASS(TPrinter, TObject)
public:
    TPrinter();
    ~TPrinter() override;

    // Starts a job; EPrinter when one is running or it cannot be started.
    void BeginDoc();
    // EPrinter when no job is running or the page cannot be started.
    void NewPage();
    // Completes the job; EPrinter when it is not running or the output failed (a PDF that
    // could not be written, a printer error). The job is over either way.
    void EndDoc();
    // Drops the running job (a partial PDF is removed) and takes back the jobs of the running
    // printout that were already sent; nothing happens without either.
    void Abort();

    // A printout of Pages pages in one or more jobs (a printer gets each page as a job of its
    // own): where it goes is decided once, here, and a failure of any job ends all of it. A
    // printer makes the copies of each job, except collated copies of several pages: those the
    // printout draws itself, in order, DrawnCopies times, as it does for a file.
    void BeginPrintout(int Pages);
    // The printout is complete: its jobs, held by their printers until now, may print. EPrinter
    // (and all of them taken back) when a printer does not take one.
    void EndPrintout();
    int DrawnCopies() const { return FDrawnCopies; }

    // Draws on the current page while printing; before, it measures at the page's resolution.
    TCanvas* Canvas();
    HDC Handle() { return Canvas()->GetHandle(); }
    int PageWidth();
    int PageHeight();
    int PageNumber() const { return FPageNumber; }
    bool Printing() const { return FJob != nullptr; }
    bool Aborted() const { return FAborted; }

    std::string Title;
    int Copies = 1;
    bool Collate = true;
    // The paper's portrait size in millimetres; 0: the printer's default paper.
    double PaperWidth = 0;
    double PaperHeight = 0;
    // The pages the next printout has, offered by the set-up dialog, and the range the user
    // chose there (0: all pages).
    int MaxPage = 1;
    int FromPage = 0;
    int ToPage = 0;
    // Which pages of that range, and last page first.
    PrintPageSet PageSet = PrintPageSet::All;
    bool Reverse = false;
    TPrinterOrientation GetOrientation() const { return FOrientation; }
    void SetOrientation(TPrinterOrientation v);

    // Printer names; EPrinter when they cannot be had. PrinterIndex -1 is the default printer,
    // or a chosen one that is not listed.
    std::vector<std::string> Printers();
    int GetPrinterIndex();
    // The name of the chosen printer ("" for the default one). A chosen printer stays the
    // chosen one even when it is not listed (any more): printing to it then fails.
    std::string PrinterName() const { return FPrinterName; }
    void SetPrinterName(const std::string& name);

    // Print into a PDF file instead of a printer; so does a machine without any printer as long
    // as no printer was chosen.
    bool PrintToFile = false;
    // The PDF file; empty: the Title (or "Quillmere") + ".pdf" in the documents folder (the
    // home folder when there is none), never replacing an existing file.
    std::string FileName;
    // The PDF file of the last job ("" when it went to a printer); known from BeginDoc on.
    std::string OutputFileName() const { return FOutputFileName; }
    // Told the PDF file's path when a job into a file has been completed.
    Event<void(TObject* Sender, const std::string& FileName)> OnFileWritten;

    // The target the next job goes to (for the set-up dialog), and taking back its choice.
    PrintTarget Target();
    void ApplyTarget(const PrintTarget& target);

    // Whether the next job (or the running printout) goes to a PDF file: asked for, or there
    // is no printer and none was chosen.
    bool ToFile();

private:
    std::string ResolvePdfName() const;
    void AttachCanvas();
    void EndJob();
    std::unique_ptr<IPrintJob> FJob;
    // The running printout: where it goes, and its jobs already sent.
    std::optional<PrintTarget> FPrintout;
    std::vector<std::unique_ptr<IPrintJob>> FSent;
    int FDrawnCopies = 1;
    std::unique_ptr<TCanvas> FCanvas;
    HDC FMeasureDc = nullptr;
    int FPageNumber = 0;
    bool FAborted = false;
    TPrinterOrientation FOrientation = poPortrait;
    std::string FPrinterName;
    std::string FOutputFileName;
};

// The program's printer object, created on first use.
TPrinter* Printer();
// Replaces it (taking ownership; the old one is freed) and returns the new one.
TPrinter* SetPrinter(TPrinter* printer);
