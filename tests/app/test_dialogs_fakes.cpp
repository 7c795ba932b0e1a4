#include "test_dialogs_fakes.h"

#include "platform/FakeServices.h"

#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QLineEdit>
#include <QDialog>
#include <QTimer>

#include <memory>

namespace dlgtest {
namespace {
std::unique_ptr<FakeServices>& Fakes()
{
    static std::unique_ptr<FakeServices> fakes;
    return fakes;
}

const QImage& Page(int doc, int page)
{
    return *Fakes()->Printing.Documents.at(std::size_t(doc))->Pages.at(std::size_t(page));
}

unsigned Bgr(QRgb c) { return unsigned(qRed(c)) | unsigned(qGreen(c)) << 8 | unsigned(qBlue(c)) << 16; }
} // namespace

void Install() { Fakes() = std::make_unique<FakeServices>(); }
void Remove() { Fakes().reset(); }

std::vector<std::string> MessageTexts()
{
    std::vector<std::string> texts;
    for (const auto& m : Fakes()->Messages.Shown)
        texts.push_back(m.Text);
    return texts;
}

std::vector<std::string> Problems() { return Fakes()->AllProblems(); }

void QueuePrinterSetup(bool confirm)
{
    if (confirm)
        Fakes()->Printing.SetupAnswers.push_back(PrintTarget{});
    else
        Fakes()->Printing.SetupAnswers.push_back(std::nullopt);
}

void QueueFolder(std::optional<std::string> folder) { Fakes()->Files.Folders.push_back(folder); }

std::vector<std::string> FolderCaptions()
{
    std::vector<std::string> c;
    for (const auto& r : Fakes()->Files.FolderRequests)
        c.push_back(r.Caption + "|" + r.Start);
    return c;
}

void SetUinHandler(bool present)
{
    if (present)
        Fakes()->Shell.Handled.insert(".uin");
    else
        Fakes()->Shell.Handled.erase(".uin");
}

std::vector<std::string> Opened() { return Fakes()->Shell.Opened; }

void UseRealPrinter() { InstallPrintService(nullptr); }
void UseRealFontList() { InstallFontListService(nullptr); }

void WhenPrintDialogShows(std::function<void(QDialog*)> answer)
{
    // The dialog runs its own modal loop: look for it from a timer of that loop.
    auto* timer = new QTimer;
    timer->setInterval(20);
    QObject::connect(timer, &QTimer::timeout, [timer, answer] {
        auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dialog || dialog->objectName() != QLatin1String("PrintSetupDialog"))
            return;
        timer->stop();
        timer->deleteLater();
        answer(dialog);
        dialog->accept();
    });
    timer->start();
}

void ChoosePrintToFile(QDialog* dialog, const std::string& pdf)
{
    // Printing into a file is the last choice of the printer list.
    if (auto* printers = dialog->findChild<QComboBox*>("printers"))
        printers->setCurrentIndex(printers->count() - 1);
    if (auto* name = dialog->findChild<QLineEdit*>("filename"))
        name->setText(QString::fromStdString(pdf));
}

void ConfirmPrintDialogToFile(const std::string& pdf)
{
    WhenPrintDialogShows([pdf](QDialog* dialog) { ChoosePrintToFile(dialog, pdf); });
}

int DocumentCount() { return int(Fakes()->Printing.Documents.size()); }
int PageCount(int doc) { return int(Fakes()->Printing.Documents.at(std::size_t(doc))->Pages.size()); }
int PageWidth(int doc, int page) { return Page(doc, page).width(); }
int PageHeight(int doc, int page) { return Page(doc, page).height(); }
unsigned Pixel(int doc, int page, int x, int y) { return Bgr(Page(doc, page).pixel(x, y)); }

bool RowsHold(int doc, int page, int y0, int y1, unsigned color)
{
    const QImage& img = Page(doc, page);
    for (int y = std::max(0, y0); y <= std::min(y1, img.height() - 1); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (Bgr(img.pixel(x, y)) == color)
                return true;
    return false;
}

std::pair<int, int> InkRows(int doc, int page)
{
    const QImage& img = Page(doc, page);
    int first = -1, last = -1;
    for (int y = 0; y < img.height(); ++y)
        for (int x = 0; x < img.width(); ++x)
            if (Bgr(img.pixel(x, y)) != 0xFFFFFF) {
                if (first < 0)
                    first = y;
                last = y;
                break;
            }
    return {first, last};
}

bool SavePage(int doc, int page, const std::string& file)
{
    return Page(doc, page).save(QString::fromStdString(file));
}

} // namespace dlgtest
