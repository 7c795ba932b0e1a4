// Qt implementations of the desktop services, and the slots that hold the installed ones.
#include "platform/Services.h"

#include "platform/Codepage.h"
#include "platform/FileAssociation.h"
#include "platform/FontMap.h"

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
#include <QPrinterInfo>
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

QPageSize PaperOfSize(double widthMm, double heightMm)
{
    return QPageSize(QSizeF(widthMm, heightMm), QPageSize::Millimeter, QString(),
                     QPageSize::FuzzyMatch);
}

std::string DefaultDestination()
{
    cups_dest_t* dests = nullptr;
    const int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    cups_dest_t* d = cupsGetDest(nullptr, nullptr, n, dests);
    std::string name = d && d->name ? d->name : "";
    cupsFreeDests(n, dests);
    return name;
}

// The paper a printer uses unless told otherwise: its queue's default medium.
QPageSize PrinterPaper(const std::string& printer)
{
    cups_dest_t* dests = nullptr;
    const int n = cupsGetDests2(CUPS_HTTP_DEFAULT, &dests);
    cups_dest_t* d = cupsGetDest(printer.empty() ? nullptr : printer.c_str(), nullptr, n, dests);
    const char* media = d ? cupsGetOption("media", d->num_options, d->options) : nullptr;
    pwg_media_t* pwg = nullptr;
    if (media && *media) {
        pwg = pwgMediaForPWG(media);
        if (!pwg)
            pwg = pwgMediaForLegacy(media);
        if (!pwg)
            pwg = pwgMediaForPPD(media);
    }
    QPageSize size;
    if (pwg && pwg->width > 0 && pwg->length > 0)
        size = PaperOfSize(pwg->width / 100.0, pwg->length / 100.0);
    cupsFreeDests(n, dests);
    if (size.isValid())
        return size;
    QPrinterInfo info = printer.empty() ? QPrinterInfo::defaultPrinter()
                                        : QPrinterInfo::printerInfo(Text(printer));
    if (!info.isNull() && info.defaultPageSize().isValid())
        return info.defaultPageSize();
    return QPageSize(QPageSize::A4);
}

// The user's paper, else the printer's (for a file: the default printer's, A4 without one).
QPageSize PaperOf(const PrintTarget& t)
{
    if (t.PaperWidth > 0 && t.PaperHeight > 0)
        return PaperOfSize(t.PaperWidth, t.PaperHeight);
    if (!t.PdfFileName.empty() && QPrinterInfo::availablePrinterNames().isEmpty())
        return QPageSize(QPageSize::A4);
    return PrinterPaper(t.PdfFileName.empty() ? t.PrinterName : std::string());
}

void Configure(QPrinter& p, const PrintTarget& t)
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
    p.setPageSize(PaperOf(t));
    p.setPageOrientation(t.Orientation == PageOrientation::Landscape ? QPageLayout::Landscape
                                                                     : QPageLayout::Portrait);
    p.setCopyCount(std::max(1, t.Copies));
    p.setCollateCopies(t.Collate);
    if (t.FromPage > 0 && t.ToPage >= t.FromPage) {
        p.setPrintRange(QPrinter::PageRange);
        p.setFromTo(t.FromPage, t.ToPage);
    }
}

// The page of a job on t: its paper and orientation, with the printer's margins.
QPageLayout LayoutOf(const PrintTarget& t)
{
    QPrinter p(QPrinter::HighResolution);
    PrintTarget probe = t;
    if (probe.PdfFileName.empty() && !p.isValid())
        probe.PdfFileName = "/dev/null";
    Configure(p, probe);
    QMarginsF margins = p.pageLayout().margins(QPageLayout::Millimeter);
    return QPageLayout(PaperOf(t),
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

bool WriteAll(int fd, const char* data, size_t size)
{
    while (size > 0) {
        ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= size_t(n);
    }
    return true;
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

// Written beside the target and moved into place only when complete, so a full disk or a
// size limit never leaves a cut-short PDF under the chosen name.
bool WriteWholeFile(const std::string& path, const QByteArray& bytes, std::string& error)
{
    // Beyond a file-size limit the write is to fail, not to end the program.
    static const bool ignoreSizeSignal = [] {
        std::signal(SIGXFSZ, SIG_IGN);
        return true;
    }();
    (void)ignoreSizeSignal;
    const std::string name = std::filesystem::path(path).filename().string();
    std::string temp = (FolderOf(path) / ("." + name + ".XXXXXX")).string();
    auto fail = [&](int err) { return CannotWrite(path, err, error); };
    int fd = ::mkstemp(temp.data());
    if (fd < 0)
        return fail(errno);
    const mode_t mask = ::umask(0);
    ::umask(mask);
    bool ok = ::fchmod(fd, 0666 & ~mask) == 0 && WriteAll(fd, bytes.constData(), size_t(bytes.size())) &&
              ::fsync(fd) == 0;
    int err = errno;
    if (::close(fd) != 0 && ok) {
        ok = false;
        err = errno;
    }
    if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
        ok = false;
        err = errno;
    }
    if (!ok) {
        ::unlink(temp.c_str());
        return fail(err);
    }
    return true;
}

// Hands the document to the print server as one job; the queue's refusal is the error.
bool Submit(const PrintTarget& t, const QPageLayout& layout, const QByteArray& pdf,
            std::string& error)
{
    const std::string printer = t.PrinterName.empty() ? DefaultDestination() : t.PrinterName;
    if (printer.empty()) {
        error = "There is no printer.";
        return false;
    }
    const std::string utf8Title = Text(t.Title.empty() ? std::string("Quillmere") : t.Title).toStdString();
    cups_option_t* options = nullptr;
    int count = 0;
    const QSizeF mm = layout.pageSize().size(QPageSize::Millimeter);
    if (pwg_media_t* media = pwgMediaForSize(int(mm.width() * 100 + 0.5), int(mm.height() * 100 + 0.5)))
        count = cupsAddOption("media", media->pwg, count, &options);
    if (t.Copies > 1)
        count = cupsAddOption("copies", std::to_string(t.Copies).c_str(), count, &options);
    const int job = cupsCreateJob(CUPS_HTTP_DEFAULT, printer.c_str(), utf8Title.c_str(), count, options);
    cupsFreeOptions(count, options);
    auto refused = [&] {
        std::string reason = FromText(QString::fromUtf8(cupsLastErrorString()));
        if (reason.empty() || reason.back() != '.')
            reason += '.';
        error = "The printer \"" + printer + "\" did not take the print job: " + reason;
        return false;
    };
    if (job == 0)
        return refused();
    http_status_t sent = cupsStartDocument(CUPS_HTTP_DEFAULT, printer.c_str(), job, utf8Title.c_str(),
                                           CUPS_FORMAT_PDF, 1);
    if (sent == HTTP_STATUS_CONTINUE)
        sent = cupsWriteRequestData(CUPS_HTTP_DEFAULT, pdf.constData(), size_t(pdf.size()));
    const ipp_status_t finished = cupsFinishDocument(CUPS_HTTP_DEFAULT, printer.c_str());
    if (sent != HTTP_STATUS_CONTINUE || finished > IPP_STATUS_OK_EVENTS_COMPLETE) {
        refused();
        cupsCancelJob2(CUPS_HTTP_DEFAULT, printer.c_str(), job, 0);
        return false;
    }
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
        if (!ended || !WholePdf(bytes_)) {
            error = "The page could not be made into a PDF document.";
            return false;
        }
        if (!target_.PdfFileName.empty())
            return WriteWholeFile(target_.PdfFileName, bytes_, error);
        return Submit(target_, layout_, bytes_, error);
    }

    void Abort() override
    {
        ReleaseDc();
        if (painter_.isActive())
            painter_.end();
        writer_.reset();
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
};

class QtPrinting final : public IPrintService {
public:
    std::vector<std::string> PrinterNames() override
    {
        EnsureGuiApplication();
        std::vector<std::string> names;
        for (const QString& n : QPrinterInfo::availablePrinterNames())
            names.push_back(FromText(n));
        return names;
    }
    std::string DefaultPrinterName() override
    {
        EnsureGuiApplication();
        return FromText(QPrinterInfo::defaultPrinterName());
    }
    PaintDeviceInfo PageInfo(const PrintTarget& target) override
    {
        EnsureGuiApplication();
        return InfoOf(LayoutOf(target));
    }
    bool SetupDialog(PrintTarget& target) override
    {
        EnsureGuiApplication();
        QPrinter p(QPrinter::HighResolution);
        Configure(p, target);
        QPrintDialog dlg(&p);
        dlg.setMinMax(1, std::max(1, target.MaxPage));
        const QPageSize offered = p.pageLayout().pageSize();
        if (dlg.exec() != QDialog::Accepted)
            return false;
        if (p.outputFormat() == QPrinter::PdfFormat && !p.outputFileName().isEmpty()) {
            target.PdfFileName = FromPath(p.outputFileName());
        } else {
            target.PdfFileName.clear();
            target.PrinterName = FromText(p.printerName());
        }
        const QPageLayout layout = p.pageLayout();
        // The dialog keeps the paper it was opened with when another printer is picked: paper
        // the user left alone stays whatever the chosen printer uses.
        if (target.PaperWidth > 0 || !layout.pageSize().isEquivalentTo(offered)) {
            const QSizeF paper = layout.pageSize().size(QPageSize::Millimeter);
            target.PaperWidth = paper.width();
            target.PaperHeight = paper.height();
        }
        target.Orientation = layout.orientation() == QPageLayout::Landscape
                                 ? PageOrientation::Landscape
                                 : PageOrientation::Portrait;
        target.Copies = p.copyCount();
        target.Collate = p.collateCopies();
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
        if (target.PdfFileName.empty()) {
            const std::vector<std::string> names = PrinterNames();
            if (!target.PrinterName.empty() &&
                std::find(names.begin(), names.end(), target.PrinterName) == names.end()) {
                error = "The printer \"" + target.PrinterName + "\" is not available.";
                return nullptr;
            }
            if (target.PrinterName.empty() && DefaultDestination().empty()) {
                error = "There is no printer.";
                return nullptr;
            }
        }
        // A folder that cannot take the file is known before anything is drawn.
        if (!target.PdfFileName.empty() && ::access(FolderOf(target.PdfFileName).c_str(), W_OK) != 0) {
            CannotWrite(target.PdfFileName, errno, error);
            return nullptr;
        }
        auto job = std::make_unique<PdfPrintJob>(target, LayoutOf(target));
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
