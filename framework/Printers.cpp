#include "framework/Printers.h"

#include <QImage>

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
} // namespace

TPrinter::TPrinter() : FCanvas(std::make_unique<TCanvas>()) {}

TPrinter::~TPrinter()
{
    Abort();
    FCanvas->SetHandle(nullptr);
    if (FMeasureDc)
        DeleteDC(FMeasureDc);
}

PrintTarget TPrinter::Target()
{
    PrintTarget t;
    t.Title = Title;
    t.Copies = Copies;
    t.Collate = Collate;
    t.PaperWidth = PaperWidth;
    t.PaperHeight = PaperHeight;
    t.MaxPage = MaxPage;
    t.FromPage = FromPage;
    t.ToPage = ToPage;
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
    return PrintToFile || PrintService().PrinterNames().empty();
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

std::vector<std::string> TPrinter::Printers() { return PrintService().PrinterNames(); }

void TPrinter::SetPrinterIndex(int v)
{
    if (Printing())
        throw EPrinter("Cannot change the printer while printing");
    if (v == -1) {
        FPrinterIndex = -1;
        FPrinterName.clear();
        return;
    }
    std::vector<std::string> names = Printers();
    if (v < 0 || v >= static_cast<int>(names.size()))
        throw EPrinter("Printer index out of range");
    FPrinterIndex = v;
    FPrinterName = names[static_cast<size_t>(v)];
}

void TPrinter::SetPrinterName(const std::string& name)
{
    std::vector<std::string> names = Printers();
    for (size_t i = 0; i < names.size(); ++i)
        if (names[i] == name) {
            FPrinterIndex = static_cast<int>(i);
            FPrinterName = name;
            return;
        }
    FPrinterIndex = -1;
    FPrinterName.clear();
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
        throw EPrinter("Printing could not be started: " +
                       (error.empty() ? std::string("unknown error.") : error));
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
        throw EPrinter("Printing failed: " + error);
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
    bool ok = FJob->Finish(error);
    EndJob();
    if (!ok)
        throw EPrinter("Printing failed: " + (error.empty() ? std::string("unknown error.") : error));
    if (!FOutputFileName.empty())
        OnFileWritten(this, FOutputFileName);
}

void TPrinter::Abort()
{
    if (!Printing())
        return;
    FCanvas->SetHandle(nullptr);
    FJob->Abort();
    EndJob();
    FAborted = true;
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
