// Qt implementations of the desktop services, and the slots that hold the installed ones.
#include "platform/Services.h"

#include "platform/Codepage.h"
#include "platform/FileAssociation.h"
#include "platform/FontMap.h"
#include "platform/Files.h"
#include "platform/PrintServer.h"

#include <QApplication>
#include <QClipboard>
#include <QColorDialog>
#include <QDesktopServices>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QMessageBox>

#include <cstdio>
#include <QMimeDatabase>
#include <QPageLayout>
#include <QPainter>
#include <QPrintDialog>
#include <QPrinter>
#include <QPrintEngine>
#include <QPdfWriter>
#include <QBuffer>
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>

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
std::string FromText(const QString& s) { return QStringToCp1252(s); }
// File names are the file system's bytes, not Windows-1252 text.
QString PathText(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }
std::string FromPath(const QString& s) { return QFile::encodeName(s).toStdString(); }

void CentreOnScreen(QWidget* w)
{
    w->adjustSize();
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return;
    QRect area = screen->availableGeometry();
    QSize size = w->frameGeometry().size().expandedTo(w->size());
    w->move(area.center() - QPoint(size.width() / 2, size.height() / 2));
}

// ---- Message boxes -------------------------------------------------------------------------

class QtMessageBoxes final : public IMessageBoxService {
public:
    int Show(const std::string& text, const std::string& caption, MessageKind kind,
             MessageButtons buttons) override
    {
        EnsureGuiApplication();
        QMessageBox box;
        box.setWindowTitle(Text(caption));
        box.setText(Text(NormalizeLineBreaks(text)));
        switch (kind) {
        case MessageKind::Warning: box.setIcon(QMessageBox::Warning); break;
        case MessageKind::Error: box.setIcon(QMessageBox::Critical); break;
        case MessageKind::Information: box.setIcon(QMessageBox::Information); break;
        case MessageKind::Confirmation: box.setIcon(QMessageBox::Question); break;
        case MessageKind::Custom: box.setIcon(QMessageBox::NoIcon); break;
        }
        QMessageBox::StandardButtons set;
        QMessageBox::StandardButton escape = QMessageBox::Ok;
        switch (buttons) {
        case MessageButtons::OK: set = QMessageBox::Ok; escape = QMessageBox::Ok; break;
        case MessageButtons::OKCancel:
            set = QMessageBox::Ok | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        case MessageButtons::YesNo:
            set = QMessageBox::Yes | QMessageBox::No;
            escape = QMessageBox::No;
            break;
        case MessageButtons::YesNoCancel:
            set = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
            escape = QMessageBox::Cancel;
            break;
        }
        box.setStandardButtons(set);
        box.setEscapeButton(escape);
        CentreOnScreen(&box);
        // Without a screen nobody can answer: say it on stderr and take the escape answer
        // rather than wait for ever.
        int r = escape;
        if (QGuiApplication::platformName() == QLatin1String("offscreen"))
            std::fprintf(stderr, "%s: %s\n", caption.c_str(), NormalizeLineBreaks(text).c_str());
        else
            r = box.exec();
        switch (r) {
        case QMessageBox::Ok: return IDOK;
        case QMessageBox::Yes: return IDYES;
        case QMessageBox::No: return IDNO;
        case QMessageBox::Cancel: return IDCANCEL;
        default:
            return escape == QMessageBox::No ? IDNO : escape == QMessageBox::Ok ? IDOK : IDCANCEL;
        }
    }
};

// ---- File dialogs --------------------------------------------------------------------------

class QtFileDialogs final : public IFileDialogService {
public:
    FileDialogResult Run(const FileDialogRequest& rq) override
    {
        EnsureGuiApplication();
        QFileDialog dlg(nullptr, Text(rq.Title));
        dlg.setAcceptMode(rq.Save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
        if (rq.Save)
            dlg.setFileMode(QFileDialog::AnyFile);
        else if (rq.AllowMultiSelect)
            dlg.setFileMode(QFileDialog::ExistingFiles);
        else
            dlg.setFileMode(rq.FileMustExist ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
        if (rq.Save && !rq.OverwritePrompt)
            dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
        QStringList filters;
        for (const FileFilter& f : rq.Filters)
            filters << Text(QtNameFilter(f));
        if (!filters.isEmpty()) {
            dlg.setNameFilters(filters);
            int i = std::clamp(rq.FilterIndex, 1, static_cast<int>(filters.size())) - 1;
            dlg.selectNameFilter(filters[i]);
        }
        // The suffix a bare name gets follows the filter chosen in the dialog.
        auto suffixFor = [&rq](int index) {
            return index >= 0 && index < static_cast<int>(rq.Filters.size())
                       ? FilterExtension(rq.Filters[std::size_t(index)], rq.DefaultExt)
                       : rq.DefaultExt;
        };
        if (!rq.DefaultExt.empty()) {
            dlg.setDefaultSuffix(Text(suffixFor(rq.FilterIndex - 1)));
            QObject::connect(&dlg, &QFileDialog::filterSelected, &dlg, [&](const QString& filter) {
                dlg.setDefaultSuffix(Text(suffixFor(static_cast<int>(filters.indexOf(filter)))));
            });
        }
        if (!rq.Directory.empty())
            dlg.setDirectory(PathText(rq.Directory));
        if (!rq.FileName.empty())
            dlg.selectFile(PathText(rq.FileName));

        FileDialogResult res;
        res.FilterIndex = rq.FilterIndex;
        if (dlg.exec() != QDialog::Accepted)
            return res;
        for (const QString& f : dlg.selectedFiles())
            res.FileNames.push_back(FromPath(QDir::cleanPath(f)));
        res.Accepted = !res.FileNames.empty();
        int chosen = static_cast<int>(filters.indexOf(dlg.selectedNameFilter()));
        if (chosen >= 0)
            res.FilterIndex = chosen + 1;
        return res;
    }

    bool SelectFolder(const std::string& caption, const std::string& root,
                      std::string& directory) override
    {
        EnsureGuiApplication();
        QString start = PathText(directory.empty() ? root : directory);
        QString dir = QFileDialog::getExistingDirectory(nullptr, Text(caption), start);
        if (dir.isEmpty())
            return false;
        directory = FromPath(QDir::cleanPath(dir));
        return true;
    }
};

// ---- Colours and fonts ---------------------------------------------------------------------

class QtColorDialogs final : public IColorDialogService {
public:
    bool ChooseColor(COLORREF& color) override
    {
        EnsureGuiApplication();
        QColor c = QColorDialog::getColor(ColorRefToQColor(color));
        if (!c.isValid())
            return false;
        color = QColorToColorRef(c);
        return true;
    }
};

class QtFontList final : public IFontListService {
public:
    std::vector<std::string> ScreenFonts() override
    {
        EnsureGuiApplication();
        std::vector<std::string> names;
        // A family installed by several foundries is listed once, under its plain name.
        for (QString f : QFontDatabase::families()) {
            const qsizetype foundry = f.lastIndexOf(QLatin1String(" ["));
            if (foundry > 0 && f.endsWith(QLatin1Char(']')))
                f.truncate(foundry);
            names.push_back(FromText(f));
        }
        // The names our font mapping resolves to an installed face are offered too.
        for (std::string& mapped : MappedFaceNames(names))
            names.push_back(std::move(mapped));
        std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
            return CompareIgnoringCase(a, b) < 0;
        });
        names.erase(std::unique(names.begin(), names.end(),
                                [](const std::string& a, const std::string& b) {
                                    return CompareIgnoringCase(a, b) == 0;
                                }),
                    names.end());
        return names;
    }
};

// ---- Printing ------------------------------------------------------------------------------

// Every job is drawn into a PDF in memory; only a whole document leaves the program, written
// to its file or handed to the print server, whose answer says whether the queue took it.
constexpr int PdfResolution = 300;
// The margins of a page whose printer names none: the toolkit's own for printers.
constexpr double DefaultMarginMm = 10 * 25.4 / 72;
// The toolkit keeps the dialog's page set among the print-server options of its printer.
constexpr auto PrintServerOptions = QPrintEngine::PrintEnginePropertyKey(0xfe00);

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

// The dialog's printer as the target names it.
void Configure(QPrinter& p, const PrintTarget& t, const QPageSize& paper)
{
    if (!t.PdfFileName.empty()) {
        p.setOutputFormat(QPrinter::PdfFormat);
        p.setOutputFileName(PathText(t.PdfFileName));
        p.setResolution(PdfResolution);
    } else {
        p.setOutputFormat(QPrinter::NativeFormat);
        if (!t.PrinterName.empty())
            p.setPrinterName(Text(t.PrinterName));
    }
    p.setDocName(Text(t.Title));
    if (paper.isValid())
        p.setPageSize(paper);
    p.setPageOrientation(t.Orientation == PageOrientation::Landscape ? QPageLayout::Landscape
                                                                     : QPageLayout::Portrait);
    p.setCopyCount(std::max(1, t.Copies));
    p.setCollateCopies(t.Collate);
    p.setPageOrder(t.Reverse ? QPrinter::LastPageFirst : QPrinter::FirstPageFirst);
    if (t.FromPage > 0 && t.ToPage >= t.FromPage) {
        p.setPrintRange(QPrinter::PageRange);
        p.setFromTo(t.FromPage, t.ToPage);
    }
}

PrintPageSet PageSetOf(QPrinter& p)
{
    const QStringList options = p.printEngine()->property(PrintServerOptions).toStringList();
    for (qsizetype i = 0; i + 1 < options.size(); i += 2)
        if (options[i] == QLatin1String("page-set"))
            return options[i + 1] == QLatin1String("odd")    ? PrintPageSet::Odd
                   : options[i + 1] == QLatin1String("even") ? PrintPageSet::Even
                                                             : PrintPageSet::All;
    return PrintPageSet::All;
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
        return SubmitPrintJob(job, jobId_, error);
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
        std::string error;
        if (jobId_ > 0)
            CancelPrintJob(target_.PrinterName, jobId_, error);
        jobId_ = 0;
    }

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
    int jobId_ = 0;
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
        // The dialog asks the print server on this thread, where nothing ends a wait: the
        // server has to answer here first. The paper offered is the chosen printer's.
        std::vector<std::string> names;
        std::string defaultName;
        if (!ListPrintQueues(names, defaultName, error))
            return false;
        QPageSize paper;
        PrintQueue queue;
        if (UsersPaper(target))
            paper = PaperOfSize(target.PaperWidth, target.PaperHeight);
        else if (target.PdfFileName.empty() && !names.empty() && LookUpPrintQueue(target.PrinterName, queue, error) &&
                 queue.PaperWidth > 0)
            paper = PaperOfSize(queue.PaperWidth, queue.PaperHeight);
        error.clear();

        QPrinter p(QPrinter::HighResolution);
        Configure(p, target, paper);
        QPrintDialog dlg(&p);
        dlg.setMinMax(1, std::max(1, target.MaxPage));
        // The toolkit's free-form "Pages" box refuses every entry: the from-to range stays.
        for (const char* name : {"pagesRadioButton", "pagesLineEdit"})
            if (auto* box = dlg.findChild<QWidget*>(QLatin1String(name)))
                box->hide();
        const QString offeredPrinter = p.outputFormat() == QPrinter::NativeFormat ? p.printerName() : QString();
        const QPageSize offered = p.pageLayout().pageSize();
        if (dlg.exec() != QDialog::Accepted)
            return false;
        const bool toFile = p.outputFormat() == QPrinter::PdfFormat && !p.outputFileName().isEmpty();
        if (toFile) {
            target.PdfFileName = FromPath(p.outputFileName());
        } else {
            target.PdfFileName.clear();
            target.PrinterName = FromText(p.printerName());
        }
        const QPageLayout layout = p.pageLayout();
        // Paper the user picked is theirs. Paper left alone follows the printer: the dialog
        // goes on showing the previous printer's paper when another one is picked.
        if (!layout.pageSize().isEquivalentTo(offered)) {
            const QSizeF size = layout.pageSize().size(QPageSize::Millimeter);
            target.PaperWidth = size.width();
            target.PaperHeight = size.height();
        } else if ((toFile ? QString() : p.printerName()) != offeredPrinter) {
            target.PaperWidth = target.PaperHeight = 0;
        }
        target.Orientation = layout.orientation() == QPageLayout::Landscape
                                 ? PageOrientation::Landscape
                                 : PageOrientation::Portrait;
        target.Copies = p.copyCount();
        target.Collate = p.collateCopies();
        target.PageSet = PageSetOf(p);
        target.Reverse = p.pageOrder() == QPrinter::LastPageFirst;
        if (p.printRange() == QPrinter::PageRange && p.fromPage() > 0) {
            target.FromPage = p.fromPage();
            target.ToPage = std::max(p.fromPage(), p.toPage());
        } else {
            target.FromPage = target.ToPage = 0;
        }
        return true;
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
};

// ---- Clipboard and shell -------------------------------------------------------------------

class QtClipboard final : public IClipboardService {
public:
    bool HasText() override
    {
        EnsureGuiApplication();
        return !QGuiApplication::clipboard()->text().isEmpty();
    }
    std::string GetText() override
    {
        EnsureGuiApplication();
        return FromText(QGuiApplication::clipboard()->text());
    }
    void SetText(const std::string& text) override
    {
        EnsureGuiApplication();
        QGuiApplication::clipboard()->setText(Text(text));
    }
    void Clear() override
    {
        EnsureGuiApplication();
        QGuiApplication::clipboard()->clear();
    }
};

class QtShell final : public IShellService {
public:
    bool OpenUrl(const std::string& url) override
    {
        EnsureGuiApplication();
        QUrl u;
        if (!url.empty() && url[0] == '/')
            u = QUrl::fromLocalFile(PathText(url));
        else
            u = QUrl(Text(url));
        return u.isValid() && QDesktopServices::openUrl(u);
    }
    bool HasHandlerForExtension(const std::string& extension) override
    {
        std::string ext = extension;
        if (!ext.empty() && ext[0] == '.')
            ext.erase(0, 1);
        if (ext.empty())
            return false;
        QMimeDatabase db;
        for (const QMimeType& t : db.mimeTypesForFileName("x." + Text(ext)))
            if (MimeTypeHasHandler(FromText(t.name())))
                return true;
        // A type registered by a package file that the compiled database does not know yet.
        for (const std::string& mime : MimeTypesDeclaredForExtension(ext))
            if (MimeTypeHasHandler(mime))
                return true;
        return false;
    }
};

template <class I> struct Slot {
    I* installed = nullptr;
    I* Install(I* s)
    {
        I* old = installed;
        installed = s;
        return old;
    }
    // The Qt implementation is only built when nothing else is installed.
    I& Current(I& (*fallback)()) { return installed ? *installed : fallback(); }
};

template <class Impl> Impl& Instance()
{
    static Impl s;
    return s;
}

Slot<IMessageBoxService> gMessageBoxes;
Slot<IFileDialogService> gFileDialogs;
Slot<IColorDialogService> gColorDialogs;
Slot<IFontListService> gFontList;
Slot<IPrintService> gPrinting;
Slot<IClipboardService> gClipboard;
Slot<IShellService> gShell;

} // namespace

// ---- Shared helpers ------------------------------------------------------------------------

std::string MessageKindCaption(MessageKind kind)
{
    switch (kind) {
    case MessageKind::Warning: return "Warning";
    case MessageKind::Error: return "Error";
    case MessageKind::Information: return "Information";
    default: return "Note";
    }
}

std::string NormalizeLineBreaks(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r') {
            out += '\n';
            if (i + 1 < text.size() && text[i + 1] == '\n')
                ++i;
        } else {
            out += text[i];
        }
    }
    return out;
}

std::string QtNameFilter(const FileFilter& filter)
{
    std::string patterns;
    for (char c : filter.Mask)
        patterns += c == ';' ? ' ' : c;
    std::string tail = "(" + filter.Mask + ")";
    const std::string& d = filter.Description;
    if (d.size() >= tail.size() && d.compare(d.size() - tail.size(), tail.size(), tail) == 0 &&
        filter.Mask.find(';') == std::string::npos)
        return d;
    return d + " (" + patterns + ")";
}

int MessageBoxA(HWND, LPCSTR text, LPCSTR caption, UINT type)
{
    MessageButtons buttons = MessageButtons::OK;
    switch (type & 0x0F) {
    case MB_OKCANCEL: buttons = MessageButtons::OKCancel; break;
    case MB_YESNOCANCEL: buttons = MessageButtons::YesNoCancel; break;
    case MB_YESNO: buttons = MessageButtons::YesNo; break;
    default: break;
    }
    MessageKind kind = MessageKind::Custom;
    switch (type & 0xF0) {
    case MB_ICONERROR: kind = MessageKind::Error; break;
    case MB_ICONQUESTION: kind = MessageKind::Confirmation; break;
    case MB_ICONWARNING: kind = MessageKind::Warning; break;
    case MB_ICONINFORMATION: kind = MessageKind::Information; break;
    default: break;
    }
    return MessageBoxService().Show(text ? text : "", caption ? caption : "Error", kind, buttons);
}

HANDLE ShellExecuteA(HWND, LPCSTR verb, LPCSTR file, LPCSTR, LPCSTR, int)
{
    auto fail = reinterpret_cast<HANDLE>(static_cast<intptr_t>(ERROR_FILE_NOT_FOUND));
    if (!file || !*file)
        return fail;
    if (verb && *verb && std::strcmp(verb, "open") != 0)
        return fail;
    return ShellService().OpenUrl(file) ? reinterpret_cast<HANDLE>(static_cast<intptr_t>(42))
                                        : fail;
}

// ---- Installed services --------------------------------------------------------------------

IMessageBoxService& QtMessageBoxService() { return Instance<QtMessageBoxes>(); }
IFileDialogService& QtFileDialogService() { return Instance<QtFileDialogs>(); }
IColorDialogService& QtColorDialogService() { return Instance<QtColorDialogs>(); }
IFontListService& QtFontListService() { return Instance<QtFontList>(); }
IPrintService& QtPrintService() { return Instance<QtPrinting>(); }
IClipboardService& QtClipboardService() { return Instance<QtClipboard>(); }
IShellService& QtShellService() { return Instance<QtShell>(); }

IMessageBoxService& MessageBoxService() { return gMessageBoxes.Current(QtMessageBoxService); }
IMessageBoxService* InstallMessageBoxService(IMessageBoxService* s) { return gMessageBoxes.Install(s); }
IFileDialogService& FileDialogService() { return gFileDialogs.Current(QtFileDialogService); }
IFileDialogService* InstallFileDialogService(IFileDialogService* s) { return gFileDialogs.Install(s); }
IColorDialogService& ColorDialogService() { return gColorDialogs.Current(QtColorDialogService); }
IColorDialogService* InstallColorDialogService(IColorDialogService* s) { return gColorDialogs.Install(s); }
IFontListService& FontListService() { return gFontList.Current(QtFontListService); }
IFontListService* InstallFontListService(IFontListService* s) { return gFontList.Install(s); }
IPrintService& PrintService() { return gPrinting.Current(QtPrintService); }
IPrintService* InstallPrintService(IPrintService* s) { return gPrinting.Install(s); }
IClipboardService& ClipboardService() { return gClipboard.Current(QtClipboardService); }
IClipboardService* InstallClipboardService(IClipboardService* s) { return gClipboard.Install(s); }
IShellService& ShellService() { return gShell.Current(QtShellService); }
IShellService* InstallShellService(IShellService* s) { return gShell.Install(s); }

std::string DocumentsFolder()
{
    QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!docs.isEmpty() && QFileInfo(docs).isDir())
        return FromPath(docs);
    return FromPath(QDir::homePath());
}
