#include "platform/FakeServices.h"

#include <QImage>
#include <QPainter>

namespace {

bool Allowed(MessageButtons buttons, int answer)
{
    switch (buttons) {
    case MessageButtons::OK: return answer == IDOK;
    case MessageButtons::OKCancel: return answer == IDOK || answer == IDCANCEL;
    case MessageButtons::YesNo: return answer == IDYES || answer == IDNO;
    case MessageButtons::YesNoCancel: return answer == IDYES || answer == IDNO || answer == IDCANCEL;
    }
    return false;
}

int Refusal(MessageButtons buttons)
{
    return buttons == MessageButtons::YesNo ? IDNO : buttons == MessageButtons::OK ? IDOK : IDCANCEL;
}

// Takes the next scripted answer of a dialog that may be cancelled; no answer left is a
// problem and a cancel.
template <class T>
bool TakeAnswer(std::deque<std::optional<T>>& answers, std::vector<std::string>& problems,
                const std::string& unanswered, T& out)
{
    if (answers.empty()) {
        problems.push_back(unanswered);
        return false;
    }
    std::optional<T> a = answers.front();
    answers.pop_front();
    if (!a)
        return false;
    out = *a;
    return true;
}

// Draws on one page image at a time through a painter, as a printer is drawn on; a new page
// replaces the context.
class FakePrintJob final : public IPrintJob {
public:
    FakePrintJob(std::shared_ptr<FakePrintDocument> doc, PaintDeviceInfo page, std::string failFinish)
        : doc_(std::move(doc)), page_(page), failFinish_(std::move(failFinish))
    {
        AddPage();
    }
    ~FakePrintJob() override { Release(); }
    HDC Dc() override { return dc_; }
    const PaintDeviceInfo& Page() const override { return page_; }
    bool NewPage(std::string&) override
    {
        AddPage();
        return true;
    }
    bool Finish(std::string& error) override
    {
        Release();
        if (!failFinish_.empty()) {
            error = failFinish_;
            return false;
        }
        doc_->Finished = true;
        return true;
    }
    void Abort() override
    {
        Release();
        doc_->Aborted = true;
    }
    void Withdraw() override { doc_->Withdrawn = true; }
    FakePrintDocument& Document() { return *doc_; }

private:
    void AddPage()
    {
        Release();
        auto img = std::make_shared<QImage>(page_.Width, page_.Height, QImage::Format_RGB32);
        img->fill(Qt::white);
        doc_->Pages.push_back(img);
        painter_.begin(img.get());
        dc_ = CreateDCOnPainter(&painter_, page_);
    }
    void Release()
    {
        if (dc_)
            DeleteDC(dc_);
        dc_ = nullptr;
        if (painter_.isActive())
            painter_.end();
    }
    std::shared_ptr<FakePrintDocument> doc_;
    PaintDeviceInfo page_;
    std::string failFinish_;
    QPainter painter_;
    HDC dc_ = nullptr;
};

} // namespace

int FakeMessageBoxService::Show(const std::string& text, const std::string& caption,
                                MessageKind kind, MessageButtons buttons)
{
    Shown.push_back({text, caption, kind, buttons});
    if (buttons == MessageButtons::OK)
        return IDOK;
    if (Answers.empty()) {
        Problems.push_back("unanswered message box: " + text);
        return Refusal(buttons);
    }
    int answer = Answers.front();
    Answers.pop_front();
    if (!Allowed(buttons, answer)) {
        Problems.push_back("answer " + std::to_string(answer) + " is not a button of: " + text);
        return Refusal(buttons);
    }
    return answer;
}

FileDialogResult FakeFileDialogService::Run(const FileDialogRequest& request)
{
    Requests.push_back(request);
    if (Results.empty()) {
        Problems.push_back("unanswered file dialog: " + request.Title);
        return {};
    }
    FileDialogResult r = Results.front();
    Results.pop_front();
    return r;
}

bool FakeFileDialogService::SelectFolder(const std::string& caption, const std::string& root,
                                         std::string& directory)
{
    FolderRequests.push_back({caption, root, directory});
    return TakeAnswer(Folders, Problems, "unanswered folder dialog: " + caption, directory);
}

void FakeFileDialogService::Choose(const std::string& path, int filterIndex)
{
    FileDialogResult r;
    r.Accepted = true;
    r.FileNames = {path};
    r.FilterIndex = filterIndex;
    Results.push_back(r);
}

void FakeFileDialogService::Cancel() { Results.push_back({}); }

bool FakeColorDialogService::ChooseColor(COLORREF& color)
{
    StartColors.push_back(color);
    return TakeAnswer(Answers, Problems, "unanswered colour dialog", color);
}

COLORREF FakePrintDocument::Pixel(int page, int x, int y) const
{
    if (page < 0 || page >= static_cast<int>(Pages.size()))
        return CLR_INVALID;
    const QImage& img = *Pages[static_cast<size_t>(page)];
    if (!img.valid(x, y))
        return CLR_INVALID;
    return QColorToColorRef(QColor(img.pixel(x, y)));
}

FakePrintService::FakePrintService()
{
    // A small page at 100 dpi keeps the images cheap: 8.5 x 11 inches less 0.25 inch margins.
    Page.DpiX = Page.DpiY = 100;
    Page.PhysicalWidth = 850;
    Page.PhysicalHeight = 1100;
    Page.PhysicalOffsetX = Page.PhysicalOffsetY = 25;
    Page.Width = 800;
    Page.Height = 1050;
    Page.Printer = true;
}

PaintDeviceInfo FakePrintService::PageInfo(const PrintTarget& target)
{
    PaintDeviceInfo p = Page;
    if (target.Orientation == PageOrientation::Landscape) {
        std::swap(p.Width, p.Height);
        std::swap(p.PhysicalWidth, p.PhysicalHeight);
        std::swap(p.PhysicalOffsetX, p.PhysicalOffsetY);
    }
    return p;
}

bool FakePrintService::SetupDialog(PrintTarget& target, std::string&)
{
    SetupRequests.push_back(target);
    return TakeAnswer(SetupAnswers, Problems, "unanswered printer set-up dialog", target);
}

std::unique_ptr<IPrintJob> FakePrintService::Start(const PrintTarget& target, std::string& error)
{
    if (!FailStart.empty()) {
        error = FailStart;
        return nullptr;
    }
    EnsureGuiApplication();
    auto doc = std::make_shared<FakePrintDocument>();
    doc->Target = target;
    Documents.push_back(doc);
    return std::make_unique<FakePrintJob>(doc, PageInfo(target), FailFinish);
}

bool FakePrintService::Release(const std::vector<IPrintJob*>& jobs, std::string& error)
{
    if (!FailRelease.empty()) {
        error = FailRelease;
        return false;
    }
    for (IPrintJob* job : jobs)
        if (auto* fake = dynamic_cast<FakePrintJob*>(job))
            fake->Document().Released = true;
    return true;
}

bool FakeShellService::HasHandlerForExtension(const std::string& extension)
{
    std::string ext = extension;
    if (ext.empty() || ext[0] != '.')
        ext = "." + ext;
    return Handled.count(ext) != 0;
}

FakeServices::FakeServices()
    : oldMessages_(InstallMessageBoxService(&Messages)),
      oldFiles_(InstallFileDialogService(&Files)),
      oldColors_(InstallColorDialogService(&Colors)),
      oldFonts_(InstallFontListService(&Fonts)),
      oldPrinting_(InstallPrintService(&Printing)),
      oldClipboard_(InstallClipboardService(&Clipboard)),
      oldShell_(InstallShellService(&Shell))
{
}

FakeServices::~FakeServices()
{
    InstallMessageBoxService(oldMessages_);
    InstallFileDialogService(oldFiles_);
    InstallColorDialogService(oldColors_);
    InstallFontListService(oldFonts_);
    InstallPrintService(oldPrinting_);
    InstallClipboardService(oldClipboard_);
    InstallShellService(oldShell_);
}

std::vector<std::string> FakeServices::AllProblems() const
{
    std::vector<std::string> all;
    for (const auto* list : {&Messages.Problems, &Files.Problems, &Colors.Problems, &Printing.Problems})
        all.insert(all.end(), list->begin(), list->end());
    return all;
}
