#pragma once
// Desktop services behind small interfaces: message boxes, file, folder, colour and printer
// dialogs, the font list, printing, the clipboard and the shell. Each has a Qt
// implementation (the default) and can be replaced, e.g. by the scripted fakes of
// platform/FakeServices.h. Strings are Windows-1252; the Qt side converts at its boundary.
// All calls belong to the GUI thread.
#include <memory>
#include <string>
#include <vector>

#include "platform/Gdi.h"
#include "platform/WinTypes.h"

// ---- Message boxes -------------------------------------------------------------------------
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

constexpr UINT MB_OK = 0x00000000;
constexpr UINT MB_OKCANCEL = 0x00000001;
constexpr UINT MB_YESNOCANCEL = 0x00000003;
constexpr UINT MB_YESNO = 0x00000004;
constexpr UINT MB_ICONERROR = 0x00000010;
constexpr UINT MB_ICONQUESTION = 0x00000020;
constexpr UINT MB_ICONWARNING = 0x00000030;
constexpr UINT MB_ICONINFORMATION = 0x00000040;

// The kind decides the icon; its numbers are those of the application's message kinds.
enum class MessageKind { Warning = 0, Error = 1, Information = 2, Confirmation = 3, Custom = 4 };
enum class MessageButtons { OK, OKCancel, YesNo, YesNoCancel };

// "Warning", "Error", "Information"; "Note" for any other kind.
std::string MessageKindCaption(MessageKind kind);

class IMessageBoxService {
public:
    virtual ~IMessageBoxService() = default;
    // Modal and centred on the screen; "\r" (or "\r\n") breaks a line. Returns IDOK, IDYES,
    // IDNO or IDCANCEL; closing the box gives the Cancel answer, or No without Cancel.
    virtual int Show(const std::string& text, const std::string& caption, MessageKind kind,
                     MessageButtons buttons) = 0;
};

// Through the message-box service: MB_OK/MB_OKCANCEL/MB_YESNO/MB_YESNOCANCEL with an icon flag.
int MessageBoxA(HWND owner, LPCSTR text, LPCSTR caption, UINT type);

// ---- File and folder dialogs ---------------------------------------------------------------
struct FileFilter {
    std::string Description; // "Quillmere, (*.vyx)"
    std::string Mask;        // "*.vyx" or "*.csv;*.txt"
    bool operator==(const FileFilter&) const = default;
};

// The extension a bare name typed in a file dialog gets: that of the chosen filter's first
// pattern when it names one ("*.csv" gives "csv"), else the dialog's default extension.
inline std::string FilterExtension(const FileFilter& filter, const std::string& defaultExt)
{
    const std::string first = filter.Mask.substr(0, filter.Mask.find(';'));
    if (first.size() > 2 && first.starts_with("*.") && first.find_first_of("*?", 2) == std::string::npos)
        return first.substr(2);
    return defaultExt;
}

struct FileDialogRequest {
    bool Save = false;
    std::string Title;
    std::string Directory; // an existing folder, or empty for the dialog's own choice
    std::string FileName;  // the proposed name, without folder
    std::string DefaultExt;
    std::vector<FileFilter> Filters;
    int FilterIndex = 1; // 1-based
    bool OverwritePrompt = false;
    bool FileMustExist = false;
    bool AllowMultiSelect = false;
};

struct FileDialogResult {
    bool Accepted = false;
    std::vector<std::string> FileNames; // full paths; the first is the chosen file
    int FilterIndex = 1;                // 1-based
};

class IFileDialogService {
public:
    virtual ~IFileDialogService() = default;
    virtual FileDialogResult Run(const FileDialogRequest& request) = 0;
    // A folder chooser starting at directory (or root when directory is empty); true and the
    // chosen folder in directory when confirmed.
    virtual bool SelectFolder(const std::string& caption, const std::string& root,
                              std::string& directory) = 0;
};

// ---- Colour choice and screen fonts --------------------------------------------------------
class IColorDialogService {
public:
    virtual ~IColorDialogService() = default;
    // Starts at color; true and the chosen colour when confirmed.
    virtual bool ChooseColor(COLORREF& color) = 0;
};

class IFontListService {
public:
    virtual ~IFontListService() = default;
    // The font family names of the screen, and the face names the font mapping resolves to
    // one of them ("Arial"), sorted ignoring case, without duplicates.
    virtual std::vector<std::string> ScreenFonts() = 0;
};

// ---- Printing ------------------------------------------------------------------------------
enum class PageOrientation { Portrait, Landscape };
enum class PrintPageSet { All, Odd, Even };

// Where a print job goes: a printer by name, or a PDF file when PdfFileName is set.
struct PrintTarget {
    std::string PrinterName; // the print server's own name (UTF-8); empty: the default printer
    std::string PdfFileName;
    std::string Title;
    PageOrientation Orientation = PageOrientation::Portrait;
    // The paper's portrait size in millimetres; 0 by 0: the printer's default paper.
    double PaperWidth = 0;
    double PaperHeight = 0;
    int Copies = 1;
    bool Collate = true;
    // The pages the printout has (what the dialog offers), and the range chosen (0: all).
    int MaxPage = 1;
    int FromPage = 0;
    int ToPage = 0;
    // Which of those pages, and last page first.
    PrintPageSet PageSet = PrintPageSet::All;
    bool Reverse = false;
};

// A running print job. Dc() draws on the current page in device pixels.
class IPrintJob {
public:
    virtual ~IPrintJob() = default;
    virtual HDC Dc() = 0;
    virtual const PaintDeviceInfo& Page() const = 0;
    // False and a message when the next page cannot be started.
    virtual bool NewPage(std::string& error) = 0;
    // Finishes the job; false and a message when the output could not be completed: a PDF
    // file not written whole, a job the printer's queue did not take whole. An empty message:
    // the user cancelled. Nothing of a failed job stays on the printer's queue; a job that it
    // took is held there until it is released (IPrintService::Release).
    virtual bool Finish(std::string& error) = 0;
    // Drops the job; nothing reaches the file or the printer.
    virtual void Abort() = 0;
    // Takes a finished job back from the printer's queue (a page of a printout whose later page
    // failed) without waiting: a server that does not answer is asked again until it does.
    // Nothing for a file.
    virtual void Withdraw() = 0;
};

class IPrintService {
public:
    virtual ~IPrintService() = default;
    // The printers there are (none on a machine without a print server); false and why when
    // they cannot be listed, false and no why when the user cancelled the wait.
    virtual bool PrinterNames(std::vector<std::string>& names, std::string& error) = 0;
    // The page a job on target would have, without starting one.
    virtual PaintDeviceInfo PageInfo(const PrintTarget& target) = 0;
    // The printer set-up dialog; true (and the changed target: printer or file, paper,
    // orientation, copies and pages) when confirmed; false when cancelled, or with a message
    // when the dialog cannot be shown.
    virtual bool SetupDialog(PrintTarget& target, std::string& error) = 0;
    // Null and a message when the job cannot be started (an empty one: the user cancelled). A
    // printer that is named is that printer or a failure, never another one.
    virtual std::unique_ptr<IPrintJob> Start(const PrintTarget& target, std::string& error) = 0;
    // Lets the finished jobs of one printout print, all of them or none; false and why when a
    // printer does not take one (it aborts or cancels it at once), false and no why when the
    // user cancelled the wait. The jobs are still to be withdrawn then.
    virtual bool Release(const std::vector<IPrintJob*>& jobs, std::string& error) = 0;
};

// ---- Clipboard -----------------------------------------------------------------------------
class IClipboardService {
public:
    virtual ~IClipboardService() = default;
    virtual bool HasText() = 0;
    virtual std::string GetText() = 0;
    virtual void SetText(const std::string& text) = 0;
    virtual void Clear() = 0;
};

// ---- Shell ---------------------------------------------------------------------------------
class IShellService {
public:
    virtual ~IShellService() = default;
    // Opens a URL ("https://...", "mailto:...") or a file path with the desktop's handler.
    virtual bool OpenUrl(const std::string& url) = 0;
    // Whether some program handles files of that extension (".uin" or "uin").
    virtual bool HasHandlerForExtension(const std::string& extension) = 0;
};

// ShellExecuteA(owner, verb (null or "open"), file, ...): opens file (a URL or a path) with
// the desktop's handler. Returns a value above 32 on success, as Win32 does; 2 otherwise.
HANDLE ShellExecuteA(HWND owner, LPCSTR verb, LPCSTR file, LPCSTR parameters, LPCSTR directory,
                     int showCmd);

// ---- Installed services --------------------------------------------------------------------
// Each getter gives the installed service, or the Qt one when none is installed. Installing
// does not take ownership and returns the service installed before (null for the Qt one);
// installing null restores the Qt service.
IMessageBoxService& MessageBoxService();
IMessageBoxService* InstallMessageBoxService(IMessageBoxService* service);
IFileDialogService& FileDialogService();
IFileDialogService* InstallFileDialogService(IFileDialogService* service);
IColorDialogService& ColorDialogService();
IColorDialogService* InstallColorDialogService(IColorDialogService* service);
IFontListService& FontListService();
IFontListService* InstallFontListService(IFontListService* service);
IPrintService& PrintService();
IPrintService* InstallPrintService(IPrintService* service);
IClipboardService& ClipboardService();
IClipboardService* InstallClipboardService(IClipboardService* service);
IShellService& ShellService();
IShellService* InstallShellService(IShellService* service);

// The Qt implementations, for code that wants them whatever is installed.
IMessageBoxService& QtMessageBoxService();
IFileDialogService& QtFileDialogService();
IColorDialogService& QtColorDialogService();
IFontListService& QtFontListService();
IPrintService& QtPrintService();
IClipboardService& QtClipboardService();
IShellService& QtShellService();

// Qt's name filter for a filter entry: the description as it stands when it already ends
// with the mask in parentheses, else the description followed by " (mask)".
std::string QtNameFilter(const FileFilter& filter);
// The text with line breaks as the toolkit wants them: "\r\n" and "\r" become "\n".
std::string NormalizeLineBreaks(const std::string& text);
// The user's documents folder when it exists, else the home folder (no trailing "/").
std::string DocumentsFolder();
