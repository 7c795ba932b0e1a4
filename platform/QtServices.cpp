// Qt implementations of the desktop services, and the slots that hold the installed ones.
#include "platform/Services.h"

#include "platform/Codepage.h"
#include "platform/FileAssociation.h"
#include "platform/FontMap.h"
#include "platform/Files.h"
#include "platform/PrintModule.h"

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
#include <QScreen>
#include <QStandardPaths>
#include <QUrl>
#include <QWindow>

#include <algorithm>
#include <dlfcn.h>
#include <cerrno>
#include <cstring>
#include <elf.h>
#include <fcntl.h>
#include <filesystem>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

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
        // The dialog belongs to the window it is opened from: the window manager keeps it above
        // that window, and gives that window the keyboard back when it closes.
        if (QWidget* owner = QApplication::activeWindow(); owner && owner->windowHandle()) {
            dlg.winId();
            dlg.windowHandle()->setTransientParent(owner->windowHandle());
        }
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

// Printing when its module cannot be loaded: every request fails with the reason, and a page
// is measured as blank A4 at the resolution printing draws at.
class UnavailablePrinting final : public IPrintService {
public:
    explicit UnavailablePrinting(std::string why) : why_(std::move(why)) {}
    bool PrinterNames(std::vector<std::string>& names, std::string& error) override
    {
        names.clear();
        error = why_;
        return false;
    }
    PaintDeviceInfo PageInfo(const PrintTarget&) override
    {
        constexpr int Dpi = 300;
        const QPageLayout layout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF());
        const QRect paper = layout.fullRectPixels(Dpi);
        PaintDeviceInfo i;
        i.Width = i.PhysicalWidth = paper.width();
        i.Height = i.PhysicalHeight = paper.height();
        i.DpiX = i.DpiY = Dpi;
        i.Printer = true;
        return i;
    }
    bool SetupDialog(PrintTarget&, std::string& error) override
    {
        error = why_;
        return false;
    }
    std::unique_ptr<IPrintJob> Start(const PrintTarget&, std::string& error) override
    {
        error = why_;
        return nullptr;
    }
    bool Release(const std::vector<IPrintJob*>& jobs, std::string& error) override
    {
        error = why_;
        return jobs.empty();
    }

private:
    std::string why_;
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

std::string ExecutableFolder()
{
    std::error_code failed;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", failed);
    return failed ? std::string(".") : self.parent_path().string();
}

namespace {
// Why the module file cannot be a whole library of this machine ("" when it can): the loader
// maps it as its headers describe it, and a file cut short ends the program (SIGBUS) as soon
// as a page beyond its end is touched.
std::string DamagedModule(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::string();
    struct stat st;
    ElfW(Ehdr) header;
    auto read = [fd](void* to, std::size_t size, std::uint64_t at) {
        return ::pread(fd, to, size, off_t(at)) == ssize_t(size);
    };
    auto within = [&st](std::uint64_t offset, std::uint64_t size) {
        return offset <= std::uint64_t(st.st_size) && size <= std::uint64_t(st.st_size) - offset;
    };
    std::string why;
    // What is no library at all the loader refuses by itself.
    if (::fstat(fd, &st) == 0 && read(&header, sizeof header, 0) &&
        std::memcmp(header.e_ident, ELFMAG, SELFMAG) == 0) {
        if (header.e_phentsize != sizeof(ElfW(Phdr)) ||
            !within(header.e_phoff, std::uint64_t(header.e_phnum) * sizeof(ElfW(Phdr))) ||
            (header.e_shoff && !within(header.e_shoff, std::uint64_t(header.e_shnum) * header.e_shentsize)))
            why = "the file is damaged: its headers lie beyond its end";
        for (int i = 0; i < header.e_phnum && why.empty(); ++i) {
            ElfW(Phdr) segment;
            if (!read(&segment, sizeof segment, header.e_phoff + std::uint64_t(i) * sizeof segment) ||
                (segment.p_type == PT_LOAD && !within(segment.p_offset, segment.p_filesz)))
                why = "the file is damaged: it ends before its contents do";
        }
    }
    ::close(fd);
    return why;
}
} // namespace

IPrintService* LoadPrintModule(const std::string& path, std::string& error)
{
    auto refuse = [&](const std::string& why) {
        error = "Printing is not available: its module \"" + path + "\" cannot be loaded (" + why + ").";
        return nullptr;
    };
    if (const std::string damaged = DamagedModule(path); !damaged.empty())
        return refuse(damaged);
    // Every symbol is bound now: a module that does not fit this program fails here, whole.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    const auto entry = module ? reinterpret_cast<PrintModuleEntryFunction>(dlsym(module, PrintModuleEntry)) : nullptr;
    if (!entry) {
        const char* why = dlerror();
        refuse(why ? why : "no reason given");
        if (module)
            dlclose(module);
        return nullptr;
    }
    return entry();
}

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
IPrintService& QtPrintService()
{
    static IPrintService* const loaded = [] {
        std::string error;
        IPrintService* service = LoadPrintModule(ExecutableFolder() + "/" + PrintModuleFileName, error);
        return service ? service : new UnavailablePrinting(error);
    }();
    return *loaded;
}
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
