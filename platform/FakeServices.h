#pragma once
// Scripted stand-ins for the desktop services, for tests: each records what it was asked and
// gives the answers queued beforehand. A question without a queued answer is a fault of the
// test: it is recorded in Problems and answered with the "no"/"cancel" answer.
#include <deque>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/Services.h"

class QImage;

struct ShownMessage {
    std::string Text;
    std::string Caption;
    MessageKind Kind = MessageKind::Custom;
    MessageButtons Buttons = MessageButtons::OK;
};

class FakeMessageBoxService : public IMessageBoxService {
public:
    // An OK-only box needs no queued answer: it gives IDOK.
    int Show(const std::string& text, const std::string& caption, MessageKind kind,
             MessageButtons buttons) override;
    std::vector<ShownMessage> Shown;
    std::deque<int> Answers;
    std::vector<std::string> Problems;
};

struct FolderRequest {
    std::string Caption;
    std::string Root;
    std::string Start;
};

class FakeFileDialogService : public IFileDialogService {
public:
    FileDialogResult Run(const FileDialogRequest& request) override;
    bool SelectFolder(const std::string& caption, const std::string& root,
                      std::string& directory) override;
    // Queues a confirmed dialog choosing path with a filter, or a cancelled one.
    void Choose(const std::string& path, int filterIndex = 1);
    void Cancel();
    std::vector<FileDialogRequest> Requests;
    std::deque<FileDialogResult> Results;
    std::vector<FolderRequest> FolderRequests;
    std::deque<std::optional<std::string>> Folders; // nullopt: cancelled
    std::vector<std::string> Problems;
};

class FakeColorDialogService : public IColorDialogService {
public:
    bool ChooseColor(COLORREF& color) override;
    std::vector<COLORREF> StartColors;
    std::deque<std::optional<COLORREF>> Answers;
    std::vector<std::string> Problems;
};

class FakeFontListService : public IFontListService {
public:
    std::vector<std::string> ScreenFonts() override { return Fonts; }
    std::vector<std::string> Fonts{"Arial", "Arial Black", "Courier New", "MS Sans Serif",
                                   "Times New Roman"};
};

// A finished or running print job of the fake printer; pages are images of Page's size.
struct FakePrintDocument {
    PrintTarget Target;
    std::vector<std::shared_ptr<QImage>> Pages;
    bool Finished = false;
    bool Aborted = false;
    bool Withdrawn = false;
    bool Released = false;
    // The colour at (x, y) of a page, CLR_INVALID outside.
    COLORREF Pixel(int page, int x, int y) const;
};

class FakePrintService : public IPrintService {
public:
    FakePrintService();
    bool PrinterNames(std::vector<std::string>& names, std::string&) override
    {
        names = Printers;
        return true;
    }
    PaintDeviceInfo PageInfo(const PrintTarget& target) override;
    bool SetupDialog(PrintTarget& target, std::string& error) override;
    std::unique_ptr<IPrintJob> Start(const PrintTarget& target, std::string& error) override;
    bool Release(const std::vector<IPrintJob*>& jobs, std::string& error) override;

    std::vector<std::string> Printers{"Fake Printer"};
    PaintDeviceInfo Page; // portrait; landscape swaps the sides
    std::string FailStart;  // non-empty: Start fails with this message
    std::string FailFinish; // non-empty: Finish fails with this message
    std::string FailRelease; // non-empty: Release fails with this message
    std::vector<PrintTarget> SetupRequests;
    std::deque<std::optional<PrintTarget>> SetupAnswers; // nullopt: cancelled
    std::vector<std::shared_ptr<FakePrintDocument>> Documents;
    std::vector<std::string> Problems;
};

class FakeClipboardService : public IClipboardService {
public:
    bool HasText() override { return Text.has_value() && !Text->empty(); }
    std::string GetText() override { return Text.value_or(""); }
    void SetText(const std::string& text) override
    {
        Text = text;
        ++Writes;
    }
    void Clear() override { Text.reset(); }
    std::optional<std::string> Text;
    int Writes = 0;
};

class FakeShellService : public IShellService {
public:
    bool OpenUrl(const std::string& url) override
    {
        Opened.push_back(url);
        return OpenSucceeds;
    }
    bool HasHandlerForExtension(const std::string& extension) override;
    std::vector<std::string> Opened;
    bool OpenSucceeds = true;
    std::set<std::string> Handled{".txt"}; // extensions with a handler, with the dot
};

// All fakes installed for the lifetime of the object; the services before are restored.
class FakeServices {
public:
    FakeServices();
    ~FakeServices();
    FakeServices(const FakeServices&) = delete;
    FakeServices& operator=(const FakeServices&) = delete;
    // Problems of every fake, one line each.
    std::vector<std::string> AllProblems() const;

    FakeMessageBoxService Messages;
    FakeFileDialogService Files;
    FakeColorDialogService Colors;
    FakeFontListService Fonts;
    FakePrintService Printing;
    FakeClipboardService Clipboard;
    FakeShellService Shell;

private:
    IMessageBoxService* oldMessages_;
    IFileDialogService* oldFiles_;
    IColorDialogService* oldColors_;
    IFontListService* oldFonts_;
    IPrintService* oldPrinting_;
    IClipboardService* oldClipboard_;
    IShellService* oldShell_;
};
