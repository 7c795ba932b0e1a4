#include <gtest/gtest.h>

#include <QApplication>
#include <QAbstractItemView>
#include <QComboBox>
#include <QCompleter>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QListWidget>
#include <QImage>
#include <QPixmap>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOptionComplex>

#include <utility>
#include <vector>

#include "RoundTrip.h"
#include "StdTestUtil.h"
#include "framework/Buttons.h"
#include "framework/Forms.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"

namespace {

using StdCtrlsEnv = stdtest::ShownFormEnv;

TEST_F(StdCtrlsEnv, ComboIndexAndTextRules)
{
    auto* b = Make<TComboBox>();
    b->SetStyle(csDropDownList);
    b->Items()->SetCommaText("red,\"dark green\",blue");
    ASSERT_EQ(b->Items()->Count(), 3);
    EXPECT_EQ(b->ItemIndex(), -1);
    EXPECT_EQ(b->Text(), "");
    b->SetItemIndex(1);
    EXPECT_EQ(b->Text(), "dark green");
    b->SetItemIndex(7); // out of range: nothing selected
    EXPECT_EQ(b->ItemIndex(), -1);
    EXPECT_EQ(b->Text(), "");
    EXPECT_EQ(static_cast<QComboBox*>(b->NativeWidget())->currentText(), "");
    b->SetText("blue");
    EXPECT_EQ(b->ItemIndex(), 2);
    // Items shrinking under the selection drops it.
    b->Items()->Delete(2);
    EXPECT_EQ(b->ItemIndex(), -1);

    auto* d = Make<TComboBox>();
    d->Items()->SetCommaText("b,a");
    d->SetText("free text");
    EXPECT_EQ(d->Text(), "free text");
    EXPECT_EQ(d->ItemIndex(), -1);
    d->SetItemIndex(0);
    d->SetSorted(true); // the selected item follows the sort
    EXPECT_EQ(d->Items()->Strings(d->ItemIndex()), "b");
    EXPECT_EQ(d->Items()->Strings(0), "a");
}

TEST_F(StdCtrlsEnv, ComboStateSurvivesARecreatedWindow)
{
    auto* b = Make<TComboBox>();
    b->Items()->SetCommaText("x,y,z");
    b->SetItemIndex(2);
    b->NativeWidget();
    b->RecreateWnd();
    auto* q = static_cast<QComboBox*>(b->NativeWidget());
    EXPECT_EQ(q->count(), 3);
    EXPECT_EQ(q->currentIndex(), 2);
}

// Typed into the box with the focus, as the user types: with AutoComplete off nothing is
// completed or offered, and Enter reaches the key handler; with it on the text completes.
TEST_F(StdCtrlsEnv, ComboAutoCompleteOffNeverCompletes)
{
    auto* b = Make<TComboBox>();
    b->Items()->SetCommaText("help,\"help file\"");
    b->SetAutoComplete(false);
    std::vector<std::string> entered;
    b->OnKeyPress = TKeyPressEvent([&](TObject*, char& k) {
        if (k == '\r')
            entered.push_back(b->Text());
    });
    b->SetFocus();
    QApplication::processEvents();
    auto* q = static_cast<QComboBox*>(b->NativeWidget());
    sim::keyClicks(QApplication::focusWidget(), "he");
    QApplication::processEvents();
    EXPECT_FALSE(q->completer() && q->completer()->popup()->isVisible()) << "no list of completions";
    sim::keyClick(QApplication::focusWidget(), Qt::Key_Return);
    EXPECT_EQ(entered, std::vector<std::string>{"he"});
    EXPECT_EQ(q->lineEdit()->text(), "he");

    b->SetText("");
    b->SetAutoComplete(true);
    sim::keyClicks(QApplication::focusWidget(), "he");
    EXPECT_EQ(q->lineEdit()->text(), "help");
}

TEST_F(StdCtrlsEnv, KeyPressHandlerCanSwallowOrReplaceKeys)
{
    auto* e = Make<TEdit>();
    e->SetFocus();
    QApplication::processEvents();
    int enters = 0;
    e->OnKeyPress = TKeyPressEvent([&](TObject*, char& k) {
        if (k == '\r') {
            ++enters;
            k = 0;
        } else if (k == 'x') {
            k = 'y';
        }
    });
    auto* w = e->NativeWidget();
    sim::keyClicks(w, "axb");
    sim::keyClick(w, Qt::Key_Return);
    EXPECT_EQ(enters, 1);
    EXPECT_EQ(e->Text(), "ayb");
}

TEST_F(StdCtrlsEnv, EditLimitsAndSelection)
{
    auto* e = Make<TEdit>();
    e->SetMaxLength(3);
    e->SetFocus();
    QApplication::processEvents();
    sim::keyClicks(e->NativeWidget(), "abcdef");
    EXPECT_EQ(e->Text(), "abc");
    e->SelectAll();
    EXPECT_EQ(e->SelStart(), 0);
    EXPECT_EQ(e->SelLength(), 3);
    EXPECT_EQ(static_cast<QLineEdit*>(e->NativeWidget())->selectedText(), "abc");
    e->SetSelStart(10); // clamped to the text
    EXPECT_EQ(e->SelStart(), 3);
    e->SetReadOnly(true);
    sim::keyClicks(e->NativeWidget(), "z");
    EXPECT_EQ(e->Text(), "abc");
}

TEST_F(StdCtrlsEnv, SpinEditClampsAndStepsWithNegativeIncrement)
{
    auto* s = Make<TSpinEdit>();
    s->SetMinValue(-5);
    s->SetMaxValue(10);
    s->SetIncrement(-3);
    s->SetValue(4);
    s->UpClick(); // a negative increment lowers the value
    EXPECT_EQ(s->Value(), 1);
    s->UpClick();
    s->UpClick();
    EXPECT_EQ(s->Value(), -5); // -2 - 3 clamps at the minimum
    s->DownClick();
    EXPECT_EQ(s->Value(), -2);
    s->SetValue(99);
    EXPECT_EQ(s->Text(), "10");
    // A partial text is kept as typed; Value reads it within the range.
    s->SetText("-");
    EXPECT_EQ(s->Text(), "-");
    EXPECT_EQ(s->Value(), -5);
    s->SetText("250");
    EXPECT_EQ(s->Value(), 10);
    // Equal limits mean no limits at all.
    s->SetMinValue(0);
    s->SetMaxValue(0);
    EXPECT_EQ(s->Value(), 250);
    int changes = 0;
    s->OnChange = TNotifyEvent([&](TObject*) { ++changes; });
    s->SetFocus();
    QApplication::processEvents();
    sim::keyClick(s->NativeWidget(), Qt::Key_Down);
    EXPECT_EQ(s->Value(), 253);
    EXPECT_EQ(changes, 1);
}

TEST_F(StdCtrlsEnv, CheckBoxStatesAndRadioExclusion)
{
    auto* c = Make<TCheckBox>();
    c->SetAllowGrayed(true);
    int clicks = 0;
    c->OnClick = TNotifyEvent([&](TObject*) { ++clicks; });
    c->Toggle();
    EXPECT_EQ(c->State(), cbGrayed);
    c->Toggle();
    EXPECT_EQ(c->State(), cbChecked);
    EXPECT_TRUE(c->Checked());
    c->Toggle();
    EXPECT_EQ(c->State(), cbUnchecked);
    EXPECT_EQ(clicks, 3);

    auto* r1 = Make<TRadioButton>();
    auto* r2 = Make<TRadioButton>();
    auto* panelFree = Make<TCheckBox>();
    (void)panelFree;
    int r1Clicks = 0;
    r1->OnClick = TNotifyEvent([&](TObject*) { ++r1Clicks; });
    r1->SetChecked(true);
    r2->SetChecked(true);
    EXPECT_FALSE(r1->Checked());
    EXPECT_TRUE(r2->Checked());
    EXPECT_EQ(r1Clicks, 1); // being unchecked by a sibling does not click
    sim::mouseClick(r2->NativeWidget()); // clicking the checked one keeps it
    EXPECT_TRUE(r2->Checked());
}

TEST_F(StdCtrlsEnv, ModalResultDefaultAndCancelButtons)
{
    auto* ok = Make<TButton>();
    ok->SetModalResult(mrOk);
    ok->SetDefault(true);
    auto* cancel = Make<TBitBtn>();
    cancel->SetKind(bkCancel);
    EXPECT_EQ(cancel->Caption(), "Cancel");
    EXPECT_EQ(cancel->ModalResult(), mrCancel);
    EXPECT_TRUE(cancel->Cancel());
    EXPECT_TRUE(cancel->HasGlyph());
    auto* edit = Make<TEdit>();
    edit->SetFocus();
    QApplication::processEvents();
    int okClicks = 0;
    ok->OnClick = TNotifyEvent([&](TObject*) { ++okClicks; });
    sim::keyClick(edit->NativeWidget(), Qt::Key_Return);
    EXPECT_EQ(okClicks, 1);
    EXPECT_EQ(Form->ModalResult(), mrOk);
    Form->SetModalResult(mrNone);
    sim::keyClick(edit->NativeWidget(), Qt::Key_Escape);
    EXPECT_EQ(Form->ModalResult(), mrCancel);
}

TEST_F(StdCtrlsEnv, MemoLinesAndDisabledColours)
{
    auto* m = Make<TMemo>();
    m->Lines()->Add("one");
    m->Lines()->Add("two");
    EXPECT_EQ(m->Text(), "one\r\ntwo");
    auto* q = static_cast<QPlainTextEdit*>(m->NativeWidget());
    EXPECT_EQ(q->toPlainText(), "one\ntwo");
    m->Lines()->BeginUpdate();
    m->Lines()->Add("three");
    m->Lines()->EndUpdate();
    EXPECT_EQ(q->toPlainText(), "one\ntwo\nthree");
    m->SetText("a\r\nb\r\nc");
    EXPECT_EQ(m->Lines()->Count(), 3);
    EXPECT_EQ(m->Lines()->Strings(2), "c");
    m->SetColor(clYellow);
    m->SetEnabled(false);
    EXPECT_EQ(q->palette().color(QPalette::Disabled, QPalette::Base), QColor(255, 255, 0));
}

// Sees the palette each combo box is drawn with, as the style's picture cache does.
class PaletteKeyRecorder : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override
    {
        if (control == CC_ComboBox)
            drawn.push_back({option->palette.cacheKey(), option->palette.color(QPalette::Text)});
        QProxyStyle::drawComplexControl(control, option, painter, widget);
    }
    mutable std::vector<std::pair<qint64, QColor>> drawn;
};

// A combo box greyed and back with every radio action must not give the style's picture
// cache new keys each time, nor lose the colours it is drawn in.
TEST_F(StdCtrlsEnv, ColoursSetBackDrawWithTheSamePalette)
{
    auto* program = dynamic_cast<QProxyStyle*>(QApplication::style());
    ASSERT_NE(program, nullptr);
    const QString base = program->baseStyle()->name();
    auto* recorder = new PaletteKeyRecorder(QStyleFactory::create(base));
    program->setBaseStyle(recorder);

    auto* b = Make<TComboBox>();
    QWidget* w = b->NativeWidget();
    std::vector<qint64> widgetKeys;
    std::vector<std::pair<qint64, QColor>> drawn;
    for (TColor c : {clWindowText, TColor(0x808080), clWindowText, TColor(0x808080), clWindowText}) {
        b->Font()->SetColor(c);
        widgetKeys.push_back(w->palette().cacheKey());
        recorder->drawn.clear();
        w->grab();
        if (!recorder->drawn.empty())
            drawn.push_back(recorder->drawn.back());
    }
    program->setBaseStyle(QStyleFactory::create(base));

    ASSERT_EQ(drawn.size(), 5u);
    EXPECT_NE(widgetKeys[0], widgetKeys[2]) << "the widget's own palette no longer changes";
    EXPECT_EQ(drawn[0].first, drawn[2].first);
    EXPECT_EQ(drawn[0].first, drawn[4].first);
    EXPECT_EQ(drawn[1].first, drawn[3].first);
    EXPECT_NE(drawn[0].first, drawn[1].first);
    EXPECT_EQ(drawn[0].second, QColor(0, 0, 0));
    EXPECT_EQ(drawn[1].second, QColor(128, 128, 128));
}

TEST_F(StdCtrlsEnv, ListBoxSelectionAndBounds)
{
    auto* l = Make<TListBox>();
    l->Items()->SetCommaText("a,b,c,d");
    l->SetItemIndex(9);
    EXPECT_EQ(l->ItemIndex(), -1);
    l->SetMultiSelect(true);
    l->SetSelected(1, true);
    l->SetSelected(3, true);
    EXPECT_EQ(l->SelCount(), 2);
    EXPECT_TRUE(l->Selected(3));
    EXPECT_THROW(l->Selected(4), EListError);
}

TEST_F(StdCtrlsEnv, MemoAlignmentPlacesTheText)
{
    auto* m = Make<TMemo>();
    m->SetBounds(10, 10, 200, 60);
    m->SetText("ab");
    QWidget* viewport = static_cast<QPlainTextEdit*>(m->NativeWidget())->viewport();
    auto inkFor = [&](TAlignment a) {
        m->SetAlignment(a);
        QApplication::processEvents();
        return stdtest::InkColumns(viewport->grab().toImage());
    };
    auto left = inkFor(taLeftJustify);
    auto right = inkFor(taRightJustify);
    auto centre = inkFor(taCenter);
    int w = viewport->width();
    ASSERT_GE(left.first, 0);
    EXPECT_LT(left.second, w / 4);
    EXPECT_GT(right.first, w * 3 / 4);
    EXPECT_NEAR((centre.first + centre.second) / 2, w / 2, 8);
    m->SetText("ab\r\ncd");
    EXPECT_GT(stdtest::InkColumns(viewport->grab().toImage()).first, w / 4) << "the alignment outlives new text";
}

TEST_F(StdCtrlsEnv, ListBoxItemHeightSetsTheRows)
{
    auto* l = Make<TListBox>();
    l->SetBounds(10, 10, 120, 120);
    l->Items()->SetCommaText("a,b,c,d,e,f");
    auto* q = static_cast<QListWidget*>(l->NativeWidget());
    int top = q->viewport()->mapTo(q, QPoint(0, 0)).y();
    for (int h : {20, 13, 9}) {
        SCOPED_TRACE(h);
        l->SetItemHeight(h);
        QApplication::processEvents();
        EXPECT_EQ(q->visualItemRect(q->item(1)).height(), h);
        EXPECT_EQ(q->visualItemRect(q->item(3)).top(), 3 * h);
        EXPECT_EQ(l->ItemAtPos(TPoint{20, top + 2 * h + h / 2}, true), 2);
    }
    l->Items()->Add("g");
    EXPECT_EQ(q->visualItemRect(q->item(6)).height(), 9) << "kept for items added later";
}

TEST_F(StdCtrlsEnv, LabelSizesToItsTextWithoutAccelerators)
{
    auto* a = Make<TLabel>();
    auto* b = Make<TLabel>();
    a->SetCaption("&Frequency");
    b->SetCaption("Frequency");
    EXPECT_EQ(a->Width(), b->Width());
    EXPECT_GT(a->Width(), 0);
    b->SetCaption("Frequency && more");
    EXPECT_GT(b->Width(), a->Width());
    int oneLine = a->Height();
    a->SetCaption("a\r\nb");
    EXPECT_EQ(a->Height(), 2 * oneLine);
    EXPECT_EQ(StripAccelerator("&Save && exit"), "Save & exit");
}

TEST(StdCtrlsClasses, PublishedPropertiesRoundTrip)
{
    InitForms();
    RegisterStdControlsClasses();
    for (const char* name : {"TLabel", "TStaticText", "TEdit", "TMemo", "TButton", "TCheckBox", "TRadioButton",
                             "TComboBox", "TListBox", "TSpinEdit", "TBitBtn"}) {
        TClass cls = FindClass(name);
        ASSERT_NE(cls, nullptr) << name;
        EXPECT_GT(roundtrip::CheckClass(cls), 0) << name;
    }
    DoneForms();
}

} // namespace
