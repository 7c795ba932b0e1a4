// The printing module: pages drawn into PDF documents, the print dialog and the print server,
// loaded by the program on first use (platform/PrintModule.h).
#include "platform/PrintModule.h"

#include "platform/Codepage.h"
#include "platform/Files.h"
#include "platform/Gdi.h"
#include "printing/PrintDialog.h"
#include "printing/PrintServer.h"

#include <QBuffer>
#include <QPageLayout>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

#include <cups/cups.h>

namespace {

QString Text(const std::string& s) { return Cp1252ToQString(s); }

// Every job is drawn into a PDF in memory; only a whole document leaves the program, written
// to its file or handed to the print server, whose answer says whether the queue took it.
constexpr int PdfResolution = 300;
// The margins of a page whose printer names none: the toolkit's own for printers.
constexpr double DefaultMarginMm = 10 * 25.4 / 72;

QPageSize PaperOfSize(double widthMm, double heightMm)
{
    return QPageSize(QSizeF(widthMm, heightMm), QPageSize::Millimeter, QString(),
                     QPageSize::FuzzyMatch);
}

bool UsersPaper(const PrintTarget& t) { return t.PaperWidth > 0 && t.PaperHeight > 0; }

// The queue whose paper and margins a job on t has: its printer (the default one when none is
// named), or for a file the default printer unless the user chose the paper (none: A4). False
// and why when the printer cannot be had; false and no why when the user cancelled.
bool QueueOf(const PrintTarget& t, PrintQueue& queue, std::string& error)
{
    error.clear();
    if (t.PdfFileName.empty())
        return LookUpPrintQueue(t.PrinterName, queue, error);
    if (UsersPaper(t))
        return true;
    std::string why;
    if (!LookUpPrintQueue(std::string(), queue, why)) {
        if (why.empty())
            return false;
        queue = PrintQueue{};
    }
    return true;
}

// The page of a job on t: the user's paper, else the queue's, else A4; the queue's margins.
QPageLayout LayoutOf(const PrintTarget& t, const PrintQueue& queue)
{
    QPageSize paper(QPageSize::A4);
    if (UsersPaper(t))
        paper = PaperOfSize(t.PaperWidth, t.PaperHeight);
    else if (queue.PaperWidth > 0 && queue.PaperHeight > 0)
        paper = PaperOfSize(queue.PaperWidth, queue.PaperHeight);
    auto margin = [](double m) { return m >= 0 ? m : DefaultMarginMm; };
    const QMarginsF margins(margin(queue.MarginLeft), margin(queue.MarginTop), margin(queue.MarginRight),
                            margin(queue.MarginBottom));
    return QPageLayout(paper,
                       t.Orientation == PageOrientation::Landscape ? QPageLayout::Landscape
                                                                   : QPageLayout::Portrait,
                       margins, QPageLayout::Millimeter);
}

PaintDeviceInfo InfoOf(const QPageLayout& layout)
{
    PaintDeviceInfo i;
    QRect page = layout.paintRectPixels(PdfResolution);
    QRect paper = layout.fullRectPixels(PdfResolution);
    i.Width = page.width();
    i.Height = page.height();
    i.DpiX = PdfResolution;
    i.DpiY = PdfResolution;
    i.PhysicalWidth = paper.width();
    i.PhysicalHeight = paper.height();
    i.PhysicalOffsetX = page.left() - paper.left();
    i.PhysicalOffsetY = page.top() - paper.top();
    i.Printer = true;
    return i;
}

// A document that ends as a PDF must: a cross-reference pointer and the end marker.
bool WholePdf(const QByteArray& pdf)
{
    if (!pdf.startsWith("%PDF-"))
        return false;
    const QByteArray tail = pdf.right(1024);
    return tail.contains("startxref") && tail.trimmed().endsWith("%%EOF");
}

bool CannotWrite(const std::string& path, int err, std::string& error)
{
    error = "Cannot write the PDF file \"" + path + "\": " + std::strerror(err) + ".";
    return false;
}

// The folder of path ("." for a bare name).
std::filesystem::path FolderOf(const std::string& path)
{
    const std::filesystem::path folder = std::filesystem::path(path).parent_path();
    return folder.empty() ? "." : folder;
}

// An existing file (a link followed) that may be written, or a new one in a folder that may.
bool MayWrite(const std::string& path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return ::access(path.c_str(), W_OK) == 0;
    return errno == ENOENT && ::access(FolderOf(path).c_str(), W_OK) == 0;
}

// Replaced whole or not at all, as the channel files are: a full disk or a size limit never
// leaves a cut-short PDF under the chosen name.
bool WriteWholeFile(const std::string& path, const QByteArray& bytes, std::string& error)
{
    // Beyond a file-size limit the write is to fail, not to end the program.
    static const bool ignoreSizeSignal = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)ignoreSizeSignal;
    if (!ReplaceFileContents(path, std::string_view(bytes.constData(), size_t(bytes.size())), 0666))
        return CannotWrite(path, errno, error);
    return true;
}

class PdfPrintJob final : public IPrintJob {
public:
    PdfPrintJob(PrintTarget target, QPageLayout layout)
        : target_(std::move(target)), layout_(std::move(layout)), buffer_(&bytes_)
    {
    }
    ~PdfPrintJob() override { Abort(); }

    bool Begin(std::string& error)
    {
        buffer_.open(QIODevice::WriteOnly);
        writer_ = std::make_unique<QPdfWriter>(&buffer_);
        writer_->setResolution(PdfResolution);
        writer_->setPageLayout(layout_);
        writer_->setTitle(Text(target_.Title));
        writer_->setCreator(QStringLiteral("Quillmere"));
        if (!painter_.begin(writer_.get())) {
            error = "The print job cannot be started.";
            writer_.reset();
            return false;
        }
        info_ = InfoOf(layout_);
        dc_ = CreateDCOnPainter(&painter_, info_);
        return true;
    }

    HDC Dc() override { return dc_; }
    const PaintDeviceInfo& Page() const override { return info_; }

    bool NewPage(std::string& error) override
    {
        if (!writer_ || !writer_->newPage()) {
            error = "The printer could not start a new page.";
            return false;
        }
        return true;
    }

    bool Finish(std::string& error) override
    {
        if (!writer_) {
            error = "The print job is not running.";
            return false;
        }
        ReleaseDc();
        const bool ended = painter_.end();
        writer_.reset();
        buffer_.close();
        const QByteArray pdf = std::exchange(bytes_, QByteArray());
        if (!ended || !WholePdf(pdf)) {
            error = "The page could not be made into a PDF document.";
            return false;
        }
        if (!target_.PdfFileName.empty())
            return WriteWholeFile(target_.PdfFileName, pdf, error);
        PrintSubmission job;
        job.Printer = target_.PrinterName;
        job.Title = target_.Title;
        const QSizeF mm = layout_.pageSize().size(QPageSize::Millimeter);
        if (pwg_media_t* media = pwgMediaForSize(int(mm.width() * 100 + 0.5), int(mm.height() * 100 + 0.5)))
            job.Media = media->pwg;
        job.Copies = target_.Copies;
        job.Document.assign(pdf.constData(), size_t(pdf.size()));
        return SubmitPrintJob(job, submitted_, error);
    }

    void Abort() override
    {
        ReleaseDc();
        if (painter_.isActive())
            painter_.end();
        writer_.reset();
    }

    void Withdraw() override
    {
        if (submitted_.Id > 0)
            WithdrawPrintJobs({submitted_});
        submitted_ = SubmittedJob{};
    }

    // The job on its printer's queue; none for a file, or before Finish.
    const SubmittedJob& Submitted() const { return submitted_; }

private:
    void ReleaseDc()
    {
        if (dc_)
            DeleteDC(dc_);
        dc_ = nullptr;
    }
    PrintTarget target_;
    QPageLayout layout_;
    QByteArray bytes_;
    QBuffer buffer_;
    std::unique_ptr<QPdfWriter> writer_;
    QPainter painter_;
    HDC dc_ = nullptr;
    PaintDeviceInfo info_;
    SubmittedJob submitted_;
};

class QtPrinting final : public IPrintService {
public:
    bool PrinterNames(std::vector<std::string>& names, std::string& error) override
    {
        std::string defaultName;
        return ListPrintQueues(names, defaultName, error);
    }
    PaintDeviceInfo PageInfo(const PrintTarget& target) override
    {
        // Only a measure: a printer that cannot be asked gives the page without its paper.
        PrintQueue queue;
        std::string error;
        QueueOf(target, queue, error);
        return InfoOf(LayoutOf(target, queue));
    }
    bool SetupDialog(PrintTarget& target, std::string& error) override
    {
        EnsureGuiApplication();
        std::vector<std::string> names;
        std::string defaultName;
        if (!ListPrintQueues(names, defaultName, error))
            return false;
        return ExecPrintSetupDialog(target, names, defaultName);
    }
    std::unique_ptr<IPrintJob> Start(const PrintTarget& target, std::string& error) override
    {
        EnsureGuiApplication();
        // A file that cannot be written is known before anything is drawn.
        if (!target.PdfFileName.empty() && !MayWrite(target.PdfFileName)) {
            CannotWrite(target.PdfFileName, errno, error);
            return nullptr;
        }
        PrintQueue queue;
        if (!QueueOf(target, queue, error))
            return nullptr;
        PrintTarget resolved = target;
        if (target.PdfFileName.empty())
            resolved.PrinterName = queue.Name;
        auto job = std::make_unique<PdfPrintJob>(resolved, LayoutOf(target, queue));
        if (!job->Begin(error))
            return nullptr;
        return job;
    }
    bool Release(const std::vector<IPrintJob*>& jobs, std::string& error) override
    {
        std::vector<SubmittedJob> held;
        for (IPrintJob* job : jobs)
            if (auto* pdf = dynamic_cast<PdfPrintJob*>(job); pdf && pdf->Submitted().Id > 0)
                held.push_back(pdf->Submitted());
        return ReleasePrintJobs(held, error);
    }
};

} // namespace

extern "C" __attribute__((visibility("default"))) IPrintService* QmPrintModuleService()
{
    static QtPrinting service;
    return &service;
}
