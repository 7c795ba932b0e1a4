#include "framework/Printers.h"

#include <QImage>

#include <algorithm>

#include <sys/stat.h>

QM_CLASS_IMPL(TPrinter, TObject)

namespace {
std::unique_ptr<TPrinter>& ThePrinter()
{
    static std::unique_ptr<TPrinter> p;
    return p;
}

bool PathExists(const std::string& p)
{
    struct stat st;
    return ::stat(p.c_str(), &st) == 0;
}

// A title made safe as a file name: no separators or control characters.
std::string FileSafe(const std::string& title)
{
    std::string out;
    for (char c : title) {
        auto u = static_cast<unsigned char>(c);
        out += (c == '/' || c == '\\' || u < 32) ? '_' : c;
    }
    out = Trim(out);
    while (!out.empty() && out[0] == '.')
        out.erase(0, 1);
    return out.empty() ? "Quillmere" : out;
}

// A service's message as the exception to raise: no message means the user cancelled.
[[noreturn]] void Fail(const std::string& error)
{
    if (error.empty())
        throw EPrintCanceled("Printing canceled.");
    throw EPrinter(error);
}
} // namespace

TPrinter::TPrinter() : FCanvas(std::make_unique<TCanvas>()) {}

TPrinter::~TPrinter()
{
    // The printer is going away with the program: nothing is sent back and forth any more.
    FCanvas->SetHandle(nullptr);
    if (FJob)
        FJob->Abort();
    if (FMeasureDc)
        DeleteDC(FMeasureDc);
}

PrintTarget TPrinter::Target()
{
    if (FPrintout)
        return *FPrintout;
    PrintTarget t;
    t.Title = Title;
    t.Copies = Copies;
    t.Collate = Collate;
    t.PaperWidth = PaperWidth;
    t.PaperHeight = PaperHeight;
    t.MaxPage = MaxPage;
    t.FromPage = FromPage;
    t.ToPage = ToPage;
    t.PageSet = PageSet;
    t.Reverse = Reverse;
    t.Orientation = FOrientation == poLandscape ? PageOrientation::Landscape : PageOrientation::Portrait;
    if (ToFile())
        t.PdfFileName = ResolvePdfName();
    else
        t.PrinterName = FPrinterName;
    return t;
}

void TPrinter::ApplyTarget(const PrintTarget& t)
{
    Copies = t.Copies;
    Collate = t.Collate;
    PaperWidth = t.PaperWidth;
    PaperHeight = t.PaperHeight;
    FromPage = t.FromPage;
    ToPage = t.ToPage;
    PageSet = t.PageSet;
    Reverse = t.Reverse;
    SetOrientation(t.Orientation == PageOrientation::Landscape ? poLandscape : poPortrait);
    if (!t.PdfFileName.empty()) {
        PrintToFile = true;
        FileName = t.PdfFileName;
    } else {
        PrintToFile = false;
        SetPrinterName(t.PrinterName);
    }
}

bool TPrinter::ToFile()
{
    if (FPrintout)
        return !FPrintout->PdfFileName.empty();
    return PrintToFile || (FPrinterName.empty() && Printers().empty());
}

std::string TPrinter::ResolvePdfName() const
{
    if (!FileName.empty())
        return FileName;
    std::string base = IncludeTrailingPathDelimiter(DocumentsFolder()) + FileSafe(Title);
    std::string name = base + ".pdf";
    for (int n = 2; PathExists(name); ++n)
        name = base + " (" + std::to_string(n) + ").pdf";
    return name;
}

void TPrinter::SetOrientation(TPrinterOrientation v)
{
    if (Printing())
        throw EPrinter("Cannot change the orientation while printing");
    FOrientation = v;
}

std::vector<std::string> TPrinter::Printers()
{
    std::vector<std::string> names;
    std::string error;
    if (!PrintService().PrinterNames(names, error))
        Fail(error);
    return names;
}

int TPrinter::GetPrinterIndex()
{
    if (FPrinterName.empty())
        return -1;
    std::vector<std::string> names;
    std::string error;
    if (!PrintService().PrinterNames(names, error))
        return -1;
    const auto found = std::find(names.begin(), names.end(), FPrinterName);
    return found == names.end() ? -1 : int(found - names.begin());
}

// The chosen printer is asked about only when it is printed to.
void TPrinter::SetPrinterName(const std::string& name)
{
    if (Printing())
        throw EPrinter("Cannot change the printer while printing");
    FPrinterName = name;
}

TCanvas* TPrinter::Canvas()
{
    if (!Printing()) {
        // Measuring only: a small image stands in for the page, with the page's resolution
        // given to the font so that sizes in points come out as on paper.
        if (!FMeasureDc) {
            static QImage scratch(1, 1, QImage::Format_RGB32);
            FMeasureDc = CreateDCOnImage(&scratch);
        }
        if (!FCanvas->HandleAllocated())
            FCanvas->SetHandle(FMeasureDc);
    }
    return FCanvas.get();
}

int TPrinter::PageWidth()
{
    return FJob ? FJob->Page().Width : PrintService().PageInfo(Target()).Width;
}

int TPrinter::PageHeight()
{
    return FJob ? FJob->Page().Height : PrintService().PageInfo(Target()).Height;
}

void TPrinter::AttachCanvas()
{
    FCanvas->SetHandle(FJob->Dc());
    TFont* f = FCanvas->Font();
    int dpi = FJob->Page().DpiY;
    if (dpi > 0 && f->PixelsPerInch != dpi) {
        int size = f->GetSize();
        f->PixelsPerInch = dpi;
        f->SetSize(size);
    }
}

void TPrinter::BeginDoc()
{
    if (Printing())
        throw EPrinter("Printing in progress");
    PrintTarget t = Target();
    std::string error;
    std::unique_ptr<IPrintJob> job = PrintService().Start(t, error);
    if (!job)
        Fail(error);
    FOutputFileName = t.PdfFileName;
    FAborted = false;
    FPageNumber = 1;
    FCanvas->SetHandle(nullptr);
    FJob = std::move(job);
    AttachCanvas();
}

void TPrinter::NewPage()
{
    if (!Printing())
        throw EPrinter("Printer is not currently printing");
    // The job may replace its context for the new page: let go of the old one first.
    FCanvas->SetHandle(nullptr);
    std::string error;
    if (!FJob->NewPage(error)) {
        Abort();
        throw EPrinter(error);
    }
    ++FPageNumber;
    AttachCanvas();
}

void TPrinter::EndJob()
{
    FCanvas->SetHandle(nullptr);
    FJob.reset();
}

void TPrinter::EndDoc()
{
    if (!Printing())
        throw EPrinter("Printer is not currently printing");
    FCanvas->SetHandle(nullptr);
    std::string error;
    const bool ok = FJob->Finish(error);
    std::unique_ptr<IPrintJob> job = std::move(FJob);
    EndJob();
    if (!ok)
        Fail(error);
    // Kept until the printout is complete, to be taken back if a later job fails; a job of its
    // own prints at once.
    if (FPrintout) {
        FSent.push_back(std::move(job));
    } else if (!PrintService().Release({job.get()}, error)) {
        job->Withdraw();
        Fail(error);
    }
    if (!FOutputFileName.empty())
        OnFileWritten(this, FOutputFileName);
}

void TPrinter::Abort()
{
    if (Printing()) {
        FCanvas->SetHandle(nullptr);
        FJob->Abort();
        EndJob();
        FAborted = true;
    }
    for (std::unique_ptr<IPrintJob>& job : FSent) {
        job->Withdraw();
        FAborted = true;
    }
    FSent.clear();
    FPrintout.reset();
    FDrawnCopies = 1;
}

void TPrinter::BeginPrintout(int Pages)
{
    if (Printing() || FPrintout)
        throw EPrinter("Printing in progress");
    PrintTarget t = Target();
    const int copies = std::max(1, Copies);
    FDrawnCopies = !t.PdfFileName.empty() || (Collate && Pages > 1) ? copies : 1;
    t.Copies = copies / FDrawnCopies;
    FAborted = false;
    FPrintout = t;
}

void TPrinter::EndPrintout()
{
    if (Printing())
        throw EPrinter("A print job is still running");
    std::vector<IPrintJob*> jobs;
    for (const std::unique_ptr<IPrintJob>& job : FSent)
        jobs.push_back(job.get());
    std::string error;
    if (!PrintService().Release(jobs, error)) {
        Abort();
        Fail(error);
    }
    FSent.clear();
    FPrintout.reset();
    FDrawnCopies = 1;
}

TPrinter* Printer()
{
    auto& p = ThePrinter();
    if (!p)
        p = std::make_unique<TPrinter>();
    return p.get();
}

TPrinter* SetPrinter(TPrinter* printer)
{
    ThePrinter().reset(printer);
    return printer;
}
