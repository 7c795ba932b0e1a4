#include "printing/PrintDialog.h"

#include "platform/Codepage.h"
#include "printing/PrintServer.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPageSize>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QStandardPaths>
#include <QVBoxLayout>

#include <cups/cups.h>

#include <algorithm>
#include <cmath>

namespace {

// File names are the file system's bytes, not Windows-1252 text.
QString PathText(const std::string& s) { return QFile::decodeName(QByteArray::fromStdString(s)); }
std::string FromPath(const QString& s) { return QFile::encodeName(s).toStdString(); }

// What a queue that names no papers of its own, or a file, is offered.
constexpr const char* StandardPapers[] = {"iso_a4_210x297mm",   "na_letter_8.5x11in", "na_legal_8.5x14in",
                                          "iso_a3_297x420mm",   "iso_a5_148x210mm",   "iso_b5_176x250mm",
                                          "na_executive_7.25x10.5in", "na_ledger_11x17in"};
constexpr double A4Width = 210, A4Height = 297;

struct Paper {
    QString Shown;
    double Width;
    double Height;
};

Paper PaperOfSize(double width, double height)
{
    return {QPageSize(QSizeF(width, height), QPageSize::Millimeter, QString(), QPageSize::FuzzyMatch).name(), width,
            height};
}

bool IsSize(const Paper& paper, double width, double height)
{
    return std::abs(paper.Width - width) < 1 && std::abs(paper.Height - height) < 1;
}

// A label that gives its mnemonic to control.
QLabel* Label(const QString& text, QWidget* control)
{
    auto* label = new QLabel(text, control->parentWidget());
    label->setBuddy(control);
    return label;
}

class PrintSetupDialog final : public QDialog {
public:
    PrintSetupDialog(const PrintTarget& target, const std::vector<std::string>& queues, const std::string& defaultQueue)
        : target_(target), userWidth_(target.PaperWidth), userHeight_(target.PaperHeight), hasQueues_(!queues.empty())
    {
        setObjectName(QStringLiteral("PrintSetupDialog"));
        setWindowTitle(QStringLiteral("Print"));
        auto* layout = new QVBoxLayout(this);

        auto* printerBox = new QGroupBox(QStringLiteral("Printer"), this);
        auto* printerGrid = new QGridLayout(printerBox);
        printers_ = new QComboBox(printerBox);
        printers_->setObjectName(QStringLiteral("printers"));
        for (const std::string& name : queues)
            printers_->addItem(QString::fromUtf8(name.c_str()), QByteArray::fromStdString(name));
        // A chosen printer stays the chosen one even when the server no longer lists it.
        const bool listed = std::find(queues.begin(), queues.end(), target.PrinterName) != queues.end();
        if (!target.PrinterName.empty() && !listed)
            printers_->addItem(QString::fromUtf8(target.PrinterName.c_str()), QByteArray::fromStdString(target.PrinterName));
        printers_->addItem(QStringLiteral("Print to File (PDF)"));
        printerGrid->addWidget(Label(QStringLiteral("&Name:"), printers_), 0, 0);
        printerGrid->addWidget(printers_, 0, 1, 1, 2);
        filename_ = new QLineEdit(printerBox);
        filename_->setObjectName(QStringLiteral("filename"));
        const std::string title = target.Title.empty() ? std::string("Quillmere") : target.Title;
        filename_->setText(!target.PdfFileName.empty()
                               ? PathText(target.PdfFileName)
                               : QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation) + QLatin1Char('/') +
                                     Cp1252ToQString(title) + QStringLiteral(".pdf"));
        browse_ = new QPushButton(QStringLiteral("..."), printerBox);
        printerGrid->addWidget(Label(QStringLiteral("&File:"), filename_), 1, 0);
        printerGrid->addWidget(filename_, 1, 1);
        printerGrid->addWidget(browse_, 1, 2);
        status_ = new QLabel(printerBox);
        status_->setObjectName(QStringLiteral("status"));
        status_->setWordWrap(true);
        status_->setMinimumHeight(2 * status_->fontMetrics().lineSpacing());
        printerGrid->addWidget(status_, 2, 0, 1, 3);
        layout->addWidget(printerBox);

        auto* paperBox = new QGroupBox(QStringLiteral("Paper"), this);
        auto* paperGrid = new QGridLayout(paperBox);
        paper_ = new QComboBox(paperBox);
        paper_->setObjectName(QStringLiteral("paperSize"));
        portrait_ = new QRadioButton(QStringLiteral("P&ortrait"), paperBox);
        portrait_->setObjectName(QStringLiteral("portrait"));
        landscape_ = new QRadioButton(QStringLiteral("&Landscape"), paperBox);
        landscape_->setObjectName(QStringLiteral("landscape"));
        (target.Orientation == PageOrientation::Landscape ? landscape_ : portrait_)->setChecked(true);
        paperGrid->addWidget(Label(QStringLiteral("Page si&ze:"), paper_), 0, 0);
        paperGrid->addWidget(paper_, 0, 1, 1, 2);
        paperGrid->addWidget(portrait_, 1, 1);
        paperGrid->addWidget(landscape_, 1, 2);
        layout->addWidget(paperBox);

        auto* pagesBox = new QGroupBox(QStringLiteral("Pages"), this);
        auto* pagesGrid = new QGridLayout(pagesBox);
        all_ = new QRadioButton(QStringLiteral("&All"), pagesBox);
        all_->setObjectName(QStringLiteral("printAll"));
        range_ = new QRadioButton(QStringLiteral("Pages f&rom"), pagesBox);
        range_->setObjectName(QStringLiteral("printRange"));
        const int pages = std::max(1, target.MaxPage);
        from_ = new QSpinBox(pagesBox);
        from_->setObjectName(QStringLiteral("from"));
        to_ = new QSpinBox(pagesBox);
        to_->setObjectName(QStringLiteral("to"));
        for (QSpinBox* box : {from_, to_})
            box->setRange(1, pages);
        // Like the range, the odd or even pages chosen hold for one printout: all pages first.
        const bool ranged = target.FromPage > 0;
        (ranged ? range_ : all_)->setChecked(true);
        from_->setValue(ranged ? target.FromPage : 1);
        to_->setValue(ranged ? std::max(target.FromPage, target.ToPage) : pages);
        pageSet_ = new QComboBox(pagesBox);
        pageSet_->setObjectName(QStringLiteral("pageSetCombo"));
        pageSet_->addItems({QStringLiteral("All Pages"), QStringLiteral("Odd Pages"), QStringLiteral("Even Pages")});
        pagesGrid->addWidget(all_, 0, 0);
        pagesGrid->addWidget(range_, 1, 0);
        pagesGrid->addWidget(from_, 1, 1);
        pagesGrid->addWidget(new QLabel(QStringLiteral("to"), pagesBox), 1, 2);
        pagesGrid->addWidget(to_, 1, 3);
        pagesGrid->addWidget(pageSet_, 2, 0, 1, 4);
        layout->addWidget(pagesBox);

        auto* copiesBox = new QGroupBox(QStringLiteral("Copies"), this);
        auto* copiesLayout = new QHBoxLayout(copiesBox);
        copies_ = new QSpinBox(copiesBox);
        copies_->setObjectName(QStringLiteral("copies"));
        copies_->setRange(1, 999);
        copies_->setValue(std::max(1, target.Copies));
        collate_ = new QCheckBox(QStringLiteral("C&ollate"), copiesBox);
        collate_->setObjectName(QStringLiteral("collate"));
        collate_->setChecked(target.Collate);
        reverse_ = new QCheckBox(QStringLiteral("Re&verse"), copiesBox);
        reverse_->setObjectName(QStringLiteral("reverse"));
        reverse_->setChecked(target.Reverse);
        copiesLayout->addWidget(Label(QStringLiteral("Cop&ies:"), copies_));
        copiesLayout->addWidget(copies_);
        copiesLayout->addWidget(collate_);
        copiesLayout->addWidget(reverse_);
        layout->addWidget(copiesBox);

        auto* buttons = new QDialogButtonBox(this);
        buttons->addButton(QStringLiteral("&Print"), QDialogButtonBox::AcceptRole)->setDefault(true);
        buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
        layout->addWidget(buttons);
        connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
        connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

        int shown = printers_->count() - 1;
        if (target.PdfFileName.empty()) {
            const std::string& name = target.PrinterName.empty() ? defaultQueue : target.PrinterName;
            const int index = printers_->findData(QByteArray::fromStdString(name));
            shown = index >= 0 ? index : hasQueues_ ? 0 : shown;
        }
        printers_->setCurrentIndex(shown);
        ShowPrinter();
        connect(printers_, &QComboBox::currentIndexChanged, this, [this] {
            // Paper left to the printer follows it: the next queue's own is shown and used.
            userWidth_ = userHeight_ = 0;
            ShowPrinter();
        });
        connect(paper_, &QComboBox::activated, this, [this](int index) {
            if (index >= 0 && index < int(papers_.size())) {
                userWidth_ = papers_[size_t(index)].Width;
                userHeight_ = papers_[size_t(index)].Height;
            }
        });
        connect(browse_, &QPushButton::clicked, this, [this] {
            const QString name = QFileDialog::getSaveFileName(this, QStringLiteral("Print To File"), filename_->text(),
                                                              QStringLiteral("PDF files (*.pdf)"));
            if (!name.isEmpty())
                filename_->setText(name);
        });
    }

    PrintTarget Chosen() const
    {
        PrintTarget t = target_;
        if (ToFile()) {
            t.PdfFileName = FromPath(filename_->text());
            // What a file is printed on is what the dialog shows.
            const int index = paper_->currentIndex();
            const bool known = paper_->isEnabled() && index >= 0 && index < int(papers_.size());
            t.PaperWidth = known ? papers_[size_t(index)].Width : userWidth_;
            t.PaperHeight = known ? papers_[size_t(index)].Height : userHeight_;
        } else {
            t.PdfFileName.clear();
            t.PrinterName = printers_->currentData().toByteArray().toStdString();
            t.PaperWidth = userWidth_;
            t.PaperHeight = userHeight_;
        }
        t.Orientation = landscape_->isChecked() ? PageOrientation::Landscape : PageOrientation::Portrait;
        t.Copies = copies_->value();
        t.Collate = collate_->isChecked();
        t.Reverse = reverse_->isChecked();
        t.PageSet = pageSet_->currentIndex() == 1   ? PrintPageSet::Odd
                    : pageSet_->currentIndex() == 2 ? PrintPageSet::Even
                                                    : PrintPageSet::All;
        if (range_->isChecked()) {
            t.FromPage = from_->value();
            t.ToPage = std::max(from_->value(), to_->value());
        } else {
            t.FromPage = t.ToPage = 0;
        }
        return t;
    }

    void accept() override
    {
        if (ToFile()) {
            const QString name = filename_->text();
            if (name.isEmpty()) {
                QMessageBox::warning(this, windowTitle(), QStringLiteral("Please name the file to print into."));
                return;
            }
            if (QFileInfo(name).isFile() &&
                QMessageBox::question(this, windowTitle(),
                                      QStringLiteral("%1 already exists.\nDo you want to replace it?").arg(name)) !=
                    QMessageBox::Yes)
                return;
        }
        QDialog::accept();
    }

private:
    bool ToFile() const { return !printers_->currentData().isValid(); }

    // The printer (or file) chosen now: its paper is asked for; the paper list waits for it.
    void ShowPrinter()
    {
        question_.reset();
        const bool toFile = ToFile();
        filename_->setEnabled(toFile);
        browse_->setEnabled(toFile);
        if (toFile && !hasQueues_) {
            status_->clear();
            ShowPapers(nullptr);
            return;
        }
        papers_.clear();
        paper_->clear();
        paper_->setEnabled(false);
        // A file is laid out on the default printer's paper, unless the user chooses another.
        const std::string name = toFile ? std::string() : printers_->currentData().toByteArray().toStdString();
        status_->setText(toFile ? QStringLiteral("Asking the print server for the default printer's paper...")
                                : QStringLiteral("Asking the print server about the printer \"%1\"...")
                                      .arg(QString::fromUtf8(name.c_str())));
        question_ = AskAboutPrintQueue(name, [this, toFile](const PrintQueue* queue, const std::string& why) {
            question_.reset();
            status_->setText(toFile ? QString() : Cp1252ToQString(why));
            ShowPapers(queue);
        });
    }

    // The papers the queue offers (the standard ones when it names none, or is not known),
    // with the user's paper chosen, else the queue's own, else A4.
    void ShowPapers(const PrintQueue* queue)
    {
        papers_.clear();
        if (queue)
            for (const std::string& name : queue->Papers)
                if (pwg_media_t* pwg = pwgMediaForPWG(name.c_str()))
                    papers_.push_back(PaperOfSize(pwg->width / 100.0, pwg->length / 100.0));
        if (papers_.empty())
            for (const char* name : StandardPapers)
                if (pwg_media_t* pwg = pwgMediaForPWG(name))
                    papers_.push_back(PaperOfSize(pwg->width / 100.0, pwg->length / 100.0));
        double width = A4Width, height = A4Height;
        if (userWidth_ > 0 && userHeight_ > 0) {
            width = userWidth_;
            height = userHeight_;
        } else if (queue && queue->PaperWidth > 0 && queue->PaperHeight > 0) {
            width = queue->PaperWidth;
            height = queue->PaperHeight;
        }
        auto chosen = std::find_if(papers_.begin(), papers_.end(), [&](const Paper& p) { return IsSize(p, width, height); });
        if (chosen == papers_.end())
            chosen = papers_.insert(papers_.end(), PaperOfSize(width, height));
        paper_->clear();
        for (const Paper& p : papers_)
            paper_->addItem(p.Shown);
        paper_->setCurrentIndex(int(chosen - papers_.begin()));
        paper_->setEnabled(true);
    }

    PrintTarget target_;
    // The paper the user chose here or before (0 by 0: the queue's own).
    double userWidth_;
    double userHeight_;
    bool hasQueues_;
    std::vector<Paper> papers_;
    std::unique_ptr<PrintQuestion> question_;
    QComboBox* printers_;
    QLineEdit* filename_;
    QPushButton* browse_;
    QLabel* status_;
    QComboBox* paper_;
    QRadioButton* portrait_;
    QRadioButton* landscape_;
    QRadioButton* all_;
    QRadioButton* range_;
    QSpinBox* from_;
    QSpinBox* to_;
    QComboBox* pageSet_;
    QSpinBox* copies_;
    QCheckBox* collate_;
    QCheckBox* reverse_;
};

} // namespace

bool ExecPrintSetupDialog(PrintTarget& target, const std::vector<std::string>& queues, const std::string& defaultQueue)
{
    PrintSetupDialog dialog(target, queues, defaultQueue);
    if (dialog.exec() != QDialog::Accepted)
        return false;
    target = dialog.Chosen();
    return true;
}
