// The memory grid's edit panel: commits and their normalisation, following the current
// row, the memory spin edit, clearing, the column options and File > Close.
#include "test_fileload_support.h"

#include "framework/ExtCtrls.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "framework/TypInfo.h"
#include "platform/Input.h"
#include "platform/Windowing.h"

#include <QImage>
#include <QApplication>
#include <QGuiApplication>
#include <QScreen>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <QWidget>

using namespace apptest;
using namespace filetest;

namespace {

class MemPanel : public ChannelFileTest {
protected:
    using Cells = std::vector<std::string>;
    void Type(const std::string& rx, int rxMode, const std::string& tx, int txMode)
    {
        Form1->RXFreqEdit->SetText(rx);
        Form1->RXModeSelect->SetItemIndex(rxMode);
        Form1->TXFreqEdit->SetText(tx);
        Form1->TXModeSelect->SetItemIndex(txMode);
    }
    void Commit()
    {
        char key = 13;
        Form1->MemoryActivateChanges(Form1->RXFreqEdit, key);
        EXPECT_EQ(key, 0);
    }
};

TEST_F(MemPanel, CommitNormalisesTheRowAndMovesOn)
{
    Mem()->SetRow(6);
    Type("", 0, "14.2", 1);
    Form1->ToneNumber->SetItemIndex(3);
    Form1->MemLock->SetItemIndex(0);
    Form1->Description->SetText("club");
    Commit();
    // An empty receive half takes the transmit half.
    EXPECT_EQ(Row(5), (Cells{"5", "14.200.00", "USB", "14.200.00", "USB", "74.4", "TRUE", "club"}));
    EXPECT_TRUE(FileChanged);
    EXPECT_EQ(Status(), "Memory 05 updated.");
    EXPECT_EQ(Mem()->Row(), 7);
    EXPECT_EQ(Form1->MemEdit->Value(), 6);

    // Out of band receive frequency: the first pass empties the receive half with its
    // tone, lock-out and description; the second moves the in-band transmit half over.
    Type("99.000.00", 1, "07.1", 2);
    Form1->MemLock->SetItemIndex(0);
    Form1->Description->SetText("gone");
    Commit();
    EXPECT_EQ(Row(6), (Cells{"6", "07.100.00", "CW", "07.100.00", "CW", "N/A", "FALSE", ""}));

    Mem()->SetRow(9);
    Type("99.000.00", 1, "98.000.00", 2);
    Commit();
    EXPECT_EQ(Row(8), (Cells{"8", "", "", "", "", "", "", ""}));

    // The last memory stays on the last row.
    Mem()->SetRow(100);
    Type("3.5", 0, "", 0);
    Commit();
    EXPECT_EQ(Mem()->Row(), 100);
    EXPECT_EQ(Row(99)[1], "03.500.00");
    EXPECT_EQ(Status(), "Memory 99 updated.");
}

// What the edit shows is what is stored: letters the channel file's code page has no place
// for are refused as they are typed or pasted, not turned into "?".
TEST_F(MemPanel, DescriptionRefusesCharactersOutsideTheCodePage)
{
    Mem()->SetRow(3);
    Type("14.2", 1, "", 0);
    Form1->Description->SetText("");
    auto* edit = qobject_cast<QLineEdit*>(Form1->Description->NativeWidget());
    ASSERT_NE(edit, nullptr);
    for (QChar c : QString::fromUtf8("\u0141\u00f3d\u017a")) {
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(c));
        QApplication::sendEvent(edit, &press);
    }
    EXPECT_EQ(Form1->Description->Text(), "\xf3" "d");
    edit->insert(QString::fromUtf8("\u20ac\u4e2d"));
    EXPECT_EQ(Form1->Description->Text(), "\xf3" "d") << "a paste with one such letter is refused whole";
    edit->insert(QString::fromUtf8("\u20ac"));
    EXPECT_EQ(Form1->Description->Text(), "\xf3" "d\x80");
    Commit();
    EXPECT_EQ(Row(2)[7], "\xf3" "d\x80");
}

TEST_F(MemPanel, OtherKeysPassThroughAndSplitOffCopiesTheReceiveHalf)
{
    Mem()->SetRow(3);
    Type("14.1", 1, "21.2", 2);
    char key = 'a';
    Form1->MemoryActivateChanges(Form1->RXFreqEdit, key);
    EXPECT_EQ(key, 'a');
    EXPECT_TRUE(Row(2)[1].empty());
    EXPECT_FALSE(FileChanged);

    Form1->SplitData_Setting->SetChecked(false);
    Form1->UpdateMemCols(nullptr);
    Commit();
    EXPECT_EQ(Row(2)[3], Row(2)[1]);
    EXPECT_EQ(Row(2)[4], Row(2)[2]);
    EXPECT_EQ(Row(2)[1], "14.100.00");
}

TEST_F(MemPanel, PanelFollowsTheCurrentRow)
{
    SetMemory(10, {"14.300.00", "AM", "14.310.00", "FM", "88.5", "TRUE", "ten"});
    Mem()->SetRow(11);
    EXPECT_EQ(Form1->MemEdit->Value(), 10);
    EXPECT_EQ(Form1->RXFreqEdit->Text(), "14.300.00");
    EXPECT_EQ(Form1->TXModeSelect->Text(), "FM");
    EXPECT_EQ(Form1->ToneNumber->Text(), "88.5");
    EXPECT_EQ(Form1->MemLock->ItemIndex(), 0);
    EXPECT_EQ(Form1->Description->Text(), "ten");
    // The grid's click event is bound in the form description.
    EXPECT_EQ(GetMethodProp(Mem(), "OnClick").Name, "MemGridClick");
    EXPECT_EQ(GetMethodProp(Form1->RXFreqEdit, "OnKeyPress").Name, "MemoryActivateChanges");

    // Typing a memory number moves the grid at once; an empty text is put back on exit.
    Form1->MemEdit->SetText("42");
    EXPECT_EQ(Mem()->Row(), 43);
    Form1->MemEdit->SetText("");
    EXPECT_EQ(Mem()->Row(), 43);
    Form1->MemEditExit(nullptr);
    EXPECT_EQ(Form1->MemEdit->Text(), "42");
}

TEST_F(MemPanel, FocusMovesOnlyWhenTheGridHasIt)
{
    Form1->Show();
    Application->ProcessMessages();
    Form1->Description->SetFocus();
    Application->ProcessMessages();
    Mem()->SetRow(20);
    Mem()->SetCol(5);
    Application->ProcessMessages();
    EXPECT_TRUE(Form1->Description->Focused());
    EXPECT_EQ(Form1->MemEdit->Value(), 19);

    Mem()->SetFocus();
    Application->ProcessMessages();
    ASSERT_TRUE(Mem()->Focused());
    Mem()->SetCol(6);
    Application->ProcessMessages();
    EXPECT_TRUE(Form1->MemLock->Focused());

    // Enter in a panel control commits and sends the focus back to the frequency.
    Form1->RXFreqEdit->SetText("14.25");
    Form1->RXModeSelect->SetItemIndex(1);
    DeliverKeyPress(Form1->MemLock->Handle(), 0x01000004 /* Return */, 0, U'\r');
    Application->ProcessMessages();
    EXPECT_EQ(Row(19)[1], "14.250.00");
    EXPECT_EQ(Mem()->Row(), 21);
    EXPECT_TRUE(Form1->RXFreqEdit->Focused());
}

// Where the middle of a rectangle of a window's client area lies on its widget.
QPoint WidgetPoint(TWinControl* window, const TRect& r)
{
    POINT origin{0, 0};
    ClientToScreen(window->Handle(), &origin);
    return WindowWidget(window->Handle())->mapFromGlobal(QPoint(origin.x, origin.y)) +
           QPoint((r.left + r.right) / 2, (r.top + r.bottom) / 2);
}

// What the screen shows of a rectangle of a window's client area: the toolkit's last image
// of the window, not a fresh paint of it.
QImage ShownPixels(TWinControl* window, const TRect& r)
{
    Application->ProcessMessages();
    QWidget* widget = WindowWidget(window->Handle());
    const QPoint at = widget->mapTo(widget->window(), WidgetPoint(window, TRect{r.left, r.top, r.left, r.top}));
    return QGuiApplication::primaryScreen()
        ->grabWindow(widget->window()->winId(), at.x(), at.y(), r.right - r.left, r.bottom - r.top)
        .toImage();
}

TRect Bounds(const TControl* c) { return TRect{c->Left(), c->Top(), c->Left() + c->Width(), c->Top() + c->Height()}; }

// A left click on a cell, as the user makes it; the cell must be on screen.
void ClickCell(TStringGrid* grid, int col, int row)
{
    const TRect cell = grid->CellRect(col, row);
    ASSERT_LT(cell.left, cell.right) << "cell " << col << ", " << row << " is off screen";
    QTest::mouseClick(WindowWidget(grid->Handle()), Qt::LeftButton, Qt::NoModifier, WidgetPoint(grid, cell));
    Application->ProcessMessages();
}

// Keys typed at whatever has the focus.
void TypeKeys(const QString& text)
{
    ASSERT_NE(QApplication::focusWidget(), nullptr);
    QTest::keyClicks(QApplication::focusWidget(), text);
    Application->ProcessMessages();
}

// A frequency typed into a filled RX Freq cell replaces the old one, whether the edit got the
// focus by a click on the cell or by the commit's move to the next memory, and a simplex
// memory stays simplex; a click inside an edit places the caret as usual.
TEST_F(MemPanel, TypedFrequencyIsWhatIsSavedAndSimplexStaysSimplex)
{
    WriteFile(Path("m.vyx"), "[Quillmere Version:2.4]\r\nMEM:6:10.116.00:CW:10.116.00:CW:N/A:FALSE:\r\n"
                             "MEM:7:14.200.00:USB:::N/A:FALSE:club\r\n");
    Form1->LoadFile(Path("m.vyx"));
    ASSERT_EQ(Row(6)[1], "10.116.00");
    Form1->Show();
    Application->ProcessMessages();

    ClickCell(Mem(), 1, 7);
    ASSERT_TRUE(Form1->RXFreqEdit->Focused());
    TypeKeys("10.125\r");
    ASSERT_TRUE(Form1->RXFreqEdit->Focused());
    EXPECT_EQ(Form1->MemEdit->Value(), 7);
    TypeKeys("14.3\r");
    Form1->SaveMenuClick(nullptr);
    const auto lines = Lines(ReadFile(Path("m.vyx")));
    ASSERT_GE(lines.size(), 9u);
    EXPECT_EQ(lines[7], "MEM:6:10.125.00:CW:10.125.00:CW:N/A:FALSE:");
    EXPECT_EQ(lines[8], "MEM:7:14.300.00:USB:14.300.00:USB:N/A:FALSE:club");

    // A click inside an edit places the caret; Ctrl+A then selects all, in a spin box too.
    Mem()->SetRow(8);
    for (TCustomEdit* edit : {static_cast<TCustomEdit*>(Form1->Description), static_cast<TCustomEdit*>(Form1->MemEdit)}) {
        QWidget* widget = edit->NativeWidget();
        auto* line = qobject_cast<QLineEdit*>(widget) ? qobject_cast<QLineEdit*>(widget) : widget->findChild<QLineEdit*>();
        ASSERT_NE(line, nullptr);
        QTest::mouseClick(line, Qt::LeftButton, Qt::NoModifier, QPoint(2, line->height() / 2));
        Application->ProcessMessages();
        ASSERT_TRUE(edit->Focused()) << edit->Name();
        EXPECT_EQ(edit->SelLength(), 0) << edit->Name();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_A, Qt::ControlModifier);
        EXPECT_EQ(edit->SelLength(), static_cast<int>(edit->Text().size())) << edit->Name();
        EXPECT_EQ(line->selectedText().toStdString(), edit->Text()) << edit->Name();
    }
}

// However the columns are shown, a click on any cell leaves every column's title on screen:
// the grid has no horizontal scroll bar to bring back a column scrolled out of it.
TEST_F(MemPanel, EveryColumnStaysInReach)
{
    for (int m = 0; m < 20; ++m)
        SetMemory(m, {"14.000.00", "USB", "14.000.00", "USB", "N/A", "FALSE", "twenty characters ok"});
    Form1->Show();
    for (bool split : {true, false}) {
        Form1->SplitData_Setting->SetChecked(split);
        Form1->UpdateMemCols(nullptr);
        for (int clicked = mcRxFreq; clicked <= mcDescription; ++clicked) {
            if (Mem()->ColWidth(clicked) == 0)
                continue;
            ClickCell(Mem(), clicked, 5);
            for (int c = mcMemory; c <= mcDescription; ++c) {
                const TRect title = Mem()->CellRect(c, 0);
                EXPECT_TRUE(Mem()->ColWidth(c) == 0 || (title.left < title.right && title.right <= Mem()->ClientWidth()))
                    << "title of column " << c << " after a click on column " << clicked << (split ? ", split" : "");
            }
        }
    }
}

// The current cell is framed only while the grid has the focus; a tool button pressed and
// dragged off comes up, and released off it clicks nothing.
TEST_F(MemPanel, FocusFrameAndPressedToolButtonFollowTheFocusAndThePointer)
{
    SetMemory(4, {"14.000.00", "USB", "14.000.00", "USB", "N/A", "FALSE", ""});
    Form1->Show();
    Application->ProcessMessages();
    QWidget* grid = WindowWidget(Mem()->Handle());
    const QPoint at = WidgetPoint(Mem(), Mem()->CellRect(2, 5));
    QTest::mousePress(grid, Qt::LeftButton, Qt::NoModifier, at);
    Application->ProcessMessages();
    ASSERT_TRUE(Mem()->Focused());
    const TRect cell = Mem()->CellRect(2, 5);
    const TRect corner{cell.left, cell.top, cell.left + 1, cell.top + 1};
    EXPECT_EQ(qGray(ShownPixels(Mem(), corner).pixel(0, 0)), 0) << "framed while the grid has the focus";
    QTest::mouseRelease(grid, Qt::LeftButton, Qt::NoModifier, at);
    Application->ProcessMessages();
    ASSERT_TRUE(Form1->RXModeSelect->Focused());
    EXPECT_NE(qGray(ShownPixels(Mem(), corner).pixel(0, 0)), 0) << "no frame once the focus has gone on";

    TToolButton* clear = Form1->MemChanClearFieldsButton;
    TWinControl* bar = clear->Parent();
    QWidget* barWidget = WindowWidget(bar->Handle());
    const QImage up = ShownPixels(bar, Bounds(clear));
    QTest::mousePress(barWidget, Qt::LeftButton, Qt::NoModifier, WidgetPoint(bar, Bounds(clear)));
    EXPECT_FALSE(ShownPixels(bar, Bounds(clear)) == up) << "pressed";
    const QPoint off = WidgetPoint(bar, Bounds(Form1->MemChanTXButton));
    QTest::mouseMove(barWidget, off);
    EXPECT_TRUE(ShownPixels(bar, Bounds(clear)) == up) << "dragged off";
    QTest::mouseRelease(barWidget, Qt::LeftButton, Qt::NoModifier, off);
    EXPECT_TRUE(ShownPixels(bar, Bounds(clear)) == up) << "released off";
    EXPECT_EQ(Row(4)[1], "14.000.00") << "the clear button did not click";
}

TEST_F(MemPanel, ClearingRows)
{
    for (int m : {0, 1, 2, 99})
        SetMemory(m, {"14.000.00", "USB", "", "", "N/A", "FALSE", "x"});
    Form1->Clear_Action_Mem(1, 2);
    EXPECT_EQ(Row(1), (Cells{"1", "", "", "", "", "", "", ""}));
    EXPECT_TRUE(Row(2)[1].empty());
    EXPECT_EQ(Row(0)[1], "14.000.00");
    EXPECT_TRUE(FileChanged);

    FileChanged = false;
    Form1->Clear_Action_Mem(5, 4);
    EXPECT_TRUE(FileChanged);
    EXPECT_EQ(Row(0)[1], "14.000.00");
    // Numbers past the last memory stay inside the grid.
    Form1->Clear_Action_Mem(99, 255);
    EXPECT_TRUE(Row(99)[1].empty());
    EXPECT_EQ(Row(99)[0], "99");

    Mem()->SetRow(1);
    Form1->MemChanClearFieldsButtonClick(nullptr);
    EXPECT_TRUE(Row(0)[1].empty());
    EXPECT_TRUE(Form1->RXFreqEdit->Text().empty());
}

TEST_F(MemPanel, HiddenColumnsKeepTheirTexts)
{
    SetMemory(0, {"14.000.00", "USB", "", "", "N/A", "FALSE", "still here"});
    Form1->Description_Setting->SetChecked(false);
    Form1->ToneNumber_Setting->SetChecked(false);
    Form1->UpdateMemCols(nullptr);
    EXPECT_EQ(Mem()->ColWidth(7), 0);
    EXPECT_EQ(Mem()->ColWidth(5), 0);
    EXPECT_FALSE(Form1->MemDescriptionPanel->Visible());
    EXPECT_EQ(Row(0)[7], "still here");
    ASSERT_TRUE(Form1->FileSaveAction(Path("h.vyx"), TChannelFormat::Native));
    EXPECT_EQ(LineOf(Path("h.vyx"), 1), "MEM:0:14.000.00:USB:::N/A:FALSE:still here");
    Form1->Description_Setting->SetChecked(true);
    Form1->UpdateMemCols(nullptr);
    EXPECT_EQ(Mem()->ColWidth(7), 155);
}

TEST_F(MemPanel, CloseAsksFirstAndResetsEverything)
{
    SetMemory(3, {"14.000.00", "USB", "", "", "N/A", "FALSE", "x"});
    CurrentFileName = Path("c.vyx");
    Form1->SetCaption("Quillmere - c.vyx");
    FileChanged = true;
    QueueAnswer(7);
    Form1->CloseMenuClick(nullptr);
    EXPECT_EQ(Row(3)[1], "14.000.00");
    EXPECT_EQ(CurrentFileName, Path("c.vyx"));
    EXPECT_EQ(Form1->Caption(), "Quillmere - c.vyx");
    EXPECT_TRUE(FileChanged);

    Mem()->SetRow(30);
    QueueAnswer(6);
    Form1->CloseMenuClick(nullptr);
    EXPECT_TRUE(Row(3)[1].empty());
    EXPECT_TRUE(CurrentFileName.empty());
    EXPECT_EQ(Form1->Caption(), "Quillmere - Version:2.4");
    EXPECT_FALSE(FileChanged);
    EXPECT_EQ(Mem()->Row(), 1);
    EXPECT_EQ(Status(), "File closed.");
}

// Dark pixels of a grid row as the grid draws it on screen.
int InkOfRow(TStringGrid* grid, int row)
{
    Application->ProcessMessages();
    QWidget* widget = WindowWidget(grid->Handle());
    POINT origin{0, 0};
    ClientToScreen(grid->Handle(), &origin);
    const QPoint client = widget->mapFromGlobal(QPoint(origin.x, origin.y));
    const QImage image = widget->grab().toImage();
    const TRect cells = grid->CellRect(0, row);
    int ink = 0;
    for (int y = cells.top; y < cells.bottom; ++y)
        for (int x = 0; x < image.width() - client.x(); ++x)
            ink += qGray(image.pixel(client.x() + x, client.y() + y)) < 128;
    return ink;
}

// Frequencies of 100 MHz and above, loaded from a file, are drawn whole: widening their
// columns shows no more of them.
TEST_F(MemPanel, FrequenciesOf100MHzAndAboveAreDrawnWhole)
{
    UseModel(FindRadioByField("TS-2000", 1));
    WriteFile(Path("vhf.vyx"), "[Quillmere Version:2.4]\r\nMEM:0:14.195.00:USB:14.195.00:USB:N/A:FALSE:\r\n"
                               "MEM:1:144.800.00:FM:438.800.00:FM:N/A:FALSE:\r\n");
    Form1->LoadFile(Path("vhf.vyx"));
    ASSERT_EQ(Row(1)[1], "144.800.00");
    ASSERT_EQ(Row(1)[3], "438.800.00");
    // Room on the right for the widened columns.
    Form1->Description_Setting->SetChecked(false);
    Form1->UpdateMemCols(nullptr);
    Form1->Show();
    const int drawn = InkOfRow(Mem(), 2);
    for (int c : {1, 3})
        Mem()->SetColWidth(c, Mem()->ColWidth(c) + 40);
    EXPECT_EQ(drawn, InkOfRow(Mem(), 2));
}

TEST_F(MemPanel, ProgressBarIsClamped)
{
    Form1->MemProgressBar->SetMin(10);
    Form1->MemProgressBar->SetMax(50);
    Form1->SetMemProgressBar(5);
    EXPECT_EQ(Form1->MemProgressBar->Position(), 10);
    Form1->SetMemProgressBar(200);
    EXPECT_EQ(Form1->MemProgressBar->Position(), 50);
    Form1->SetMemProgressBar(30);
    EXPECT_EQ(Form1->MemProgressBar->Position(), 30);
}

} // namespace
