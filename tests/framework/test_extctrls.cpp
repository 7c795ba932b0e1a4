#include <gtest/gtest.h>

#include <filesystem>

#include <QApplication>
#include <QImage>
#include <QPixmap>
#include <QWidget>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "RoundTrip.h"
#include "StdTestUtil.h"
#include "framework/Buttons.h"
#include "framework/ExtCtrls.h"
#include "framework/FormReader.h"
#include "framework/Forms.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "platform/Windowing.h"

namespace {

using ExtCtrlsEnv = stdtest::FormEnv;

TEST_F(ExtCtrlsEnv, ProgressBarRangeInEitherOrder)
{
    auto* p = Make<TProgressBar>();
    // Raising Min past the old Max first, then Max: neither step fails.
    p->SetMin(200);
    p->SetMax(300);
    EXPECT_EQ(p->Min(), 200);
    EXPECT_EQ(p->Max(), 300);
    EXPECT_EQ(p->Position(), 200);
    // Lowering Max below the old Min first, then Min.
    p->SetMax(10);
    p->SetMin(0);
    EXPECT_EQ(p->Max(), 10);
    EXPECT_EQ(p->Position(), 10);
    p->SetPosition(-4);
    EXPECT_EQ(p->Position(), 0);
    p->SetPosition(50);
    EXPECT_EQ(p->Position(), 10);
    p->SetStep(4);
    p->SetPosition(8);
    p->StepIt(); // past the end starts over
    EXPECT_EQ(p->Position(), 1);
}

TEST_F(ExtCtrlsEnv, TimerMayFreeItselfInItsOwnHandler)
{
    Form->Show();
    auto* t = new TTimer(Form);
    bool fired = false;
    t->SetInterval(10);
    t->OnTimer = TNotifyEvent([&](TObject* s) {
        fired = true;
        FreeObject(s);
    });
    t->SetEnabled(true);
    // A watchdog tick keeps HandleMessage from blocking forever if the timer never fires.
    auto* watchdog = new TTimer(Form);
    bool timedOut = false;
    watchdog->SetInterval(10000);
    watchdog->OnTimer = TNotifyEvent([&](TObject*) { timedOut = true; });
    while (!fired && !timedOut)
        Application->HandleMessage();
    EXPECT_TRUE(fired);
    EXPECT_EQ(Form->ComponentCount(), 1); // only the watchdog is left
    Application->ProcessMessages();
}

TEST_F(ExtCtrlsEnv, TimerStopsWhenDisabled)
{
    auto* t = new TTimer(Form);
    int ticks = 0;
    t->SetInterval(5);
    t->OnTimer = TNotifyEvent([&](TObject*) {
        ++ticks;
        t->SetEnabled(false);
    });
    auto* watchdog = new TTimer(Form);
    bool done = false;
    watchdog->SetInterval(300);
    watchdog->OnTimer = TNotifyEvent([&](TObject*) { done = true; });
    while (!done)
        Application->HandleMessage();
    EXPECT_EQ(ticks, 1);
}

TEST_F(ExtCtrlsEnv, RadioGroupIndexClampsAndFollowsButtons)
{
    auto* g = Make<TRadioGroup>();
    g->Items()->SetCommaText("a,b,c");
    EXPECT_EQ(g->ButtonCount(), 3);
    g->SetItemIndex(10);
    EXPECT_EQ(g->ItemIndex(), 2);
    EXPECT_TRUE(g->Buttons(2)->Checked());
    g->SetItemIndex(-1);
    EXPECT_FALSE(g->Buttons(2)->Checked());
    g->Items()->Delete(0);
    EXPECT_EQ(g->ButtonCount(), 2);
    EXPECT_EQ(g->Buttons(0)->Caption(), "b");
    // The buttons are parts of the group, never the form's.
    for (int i = 0; i < Form->ComponentCount(); ++i)
        EXPECT_EQ(dynamic_cast<TRadioButton*>(Form->Components(i)), nullptr);
}

TEST_F(ExtCtrlsEnv, ImagePlacement)
{
    auto* im = Make<TImage>();
    im->SetBounds(0, 0, 100, 50);
    im->Picture()->Bitmap()->SetSize(20, 10);
    EXPECT_EQ(im->DestRect().right, 20);
    im->SetCenter(true);
    EXPECT_EQ(im->DestRect().left, 40);
    EXPECT_EQ(im->DestRect().top, 20);
    im->SetStretch(true);
    im->SetProportional(true);
    TRect r = im->DestRect();
    EXPECT_EQ(r.right - r.left, 100);
    EXPECT_EQ(r.bottom - r.top, 50);
    im->Picture()->Bitmap()->SetSize(10, 10);
    r = im->DestRect();
    EXPECT_EQ(r.right - r.left, 50);
    EXPECT_EQ(r.left, 25);
}

TEST_F(ExtCtrlsEnv, LabeledEditKeepsItsLabelBeside)
{
    auto* e = Make<TLabeledEdit>();
    e->EditLabel()->SetCaption("Name");
    e->SetBounds(100, 50, 120, 21);
    EXPECT_EQ(e->EditLabel()->Parent(), Form);
    EXPECT_EQ(e->EditLabel()->Top() + e->EditLabel()->Height() + 3, 50);
    e->SetLabelPosition(lpLeft);
    EXPECT_EQ(e->EditLabel()->Left() + e->EditLabel()->Width() + 3, 100);
    e->SetVisible(false);
    EXPECT_FALSE(e->EditLabel()->Visible());
    EXPECT_EQ(GetStrProp(GetObjectProp(e, "EditLabel"), "Caption"), "Name");
}

TEST_F(ExtCtrlsEnv, ShapesAreDrawnAsTheirShapes)
{
    Form->SetColor(clWhite);
    struct Case {
        TShapeType Type;
        int W, H;
        std::vector<std::pair<int, int>> Background, Fill, Outline;
    };
    const std::vector<Case> cases = {
        {stRectangle, 80, 40, {}, {{40, 20}, {2, 2}}, {{0, 0}, {79, 39}}},
        {stEllipse, 80, 40, {{3, 3}, {76, 36}}, {{40, 20}, {5, 20}}, {{0, 20}, {40, 0}}},
        {stCircle, 80, 40, {{10, 20}, {70, 20}, {22, 2}}, {{40, 20}}, {{20, 20}, {40, 0}}},
        {stSquare, 80, 40, {{10, 20}, {70, 20}}, {{40, 20}, {22, 2}}, {{20, 20}, {20, 0}, {59, 39}}},
        {stRoundRect, 80, 40, {{0, 0}, {79, 0}, {0, 39}, {79, 39}}, {{40, 20}, {3, 20}, {40, 2}}, {{0, 20}, {40, 0}, {79, 20}, {40, 39}}},
        {stRoundSquare, 80, 40, {{10, 20}, {20, 0}, {59, 39}}, {{40, 20}}, {{20, 20}, {40, 0}, {59, 20}}},
    };
    std::vector<TShape*> shapes;
    int top = 0;
    for (const Case& c : cases) {
        auto* s = Make<TShape>();
        s->SetBounds(10, top, c.W, c.H);
        s->SetShape(c.Type);
        s->Brush()->SetColor(clRed);
        s->Pen()->SetColor(clBlue);
        shapes.push_back(s);
        top += c.H + 5;
    }
    Form->Show();
    QApplication::processEvents();
    QImage img = WindowWidget(Form->Handle())->grab().toImage();
    for (size_t i = 0; i < cases.size(); ++i) {
        SCOPED_TRACE(GetEnumName(TypeInfoOf<TShapeType>(), cases[i].Type));
        auto at = [&](std::pair<int, int> p) { return img.pixelColor(shapes[i]->Left() + p.first, shapes[i]->Top() + p.second); };
        for (auto p : cases[i].Background)
            EXPECT_EQ(at(p), QColor(255, 255, 255)) << "outside at " << p.first << "," << p.second;
        for (auto p : cases[i].Fill)
            EXPECT_EQ(at(p), QColor(255, 0, 0)) << "filled at " << p.first << "," << p.second;
        for (auto p : cases[i].Outline)
            EXPECT_EQ(at(p), QColor(0, 0, 255)) << "outlined at " << p.first << "," << p.second;
    }
}

TEST(ExtCtrlsClasses, PublishedPropertiesRoundTrip)
{
    InitForms();
    RegisterStdControlsClasses();
    for (const char* name : {"TBevel", "TPanel", "TImage", "TShape", "TRadioGroup", "TLabeledEdit", "TProgressBar", "TTimer"}) {
        TClass cls = FindClass(name);
        ASSERT_NE(cls, nullptr) << name;
        EXPECT_GT(roundtrip::CheckClass(cls), 0) << name;
    }
    DoneForms();
}

TEST_F(ExtCtrlsEnv, GalleryFormLoadsAndDraws)
{
    const char* src = std::getenv("QM_SOURCE_DIR");
    std::string dir = src ? src : ".";
    std::ifstream in(dir + "/tests/resources/forms/gallery/StdGallery.qfm", std::ios::binary);
    ASSERT_TRUE(in.good());
    std::stringstream ss;
    ss << in.rdbuf();
    ReadComponentFromText(Form, ss.str(), "StdGallery.qfm");
    for (const char* cls : {"TLabel", "TStaticText", "TBevel", "TPanel", "TImage", "TShape", "TEdit", "TLabeledEdit",
                            "TMemo", "TSpinEdit", "TCheckBox", "TRadioButton", "TRadioGroup", "TButton", "TBitBtn",
                            "TComboBox", "TListBox", "TProgressBar", "TTimer"}) {
        bool found = false;
        for (int i = 0; i < Form->ComponentCount(); ++i)
            found = found || Form->Components(i)->ClassName() == cls;
        EXPECT_TRUE(found) << cls;
    }
    auto* combo = dynamic_cast<TComboBox*>(Form->FindComponent("ComboBox1"));
    ASSERT_NE(combo, nullptr);
    EXPECT_EQ(combo->Text(), "Beta");
    Form->Show();
    QApplication::processEvents();
    QWidget* w = WindowWidget(Form->Handle());
    ASSERT_NE(w, nullptr);
    QImage img = w->grab().toImage();
    EXPECT_TRUE(img.save(QString::fromStdString((std::filesystem::temp_directory_path() / "StdGallery.png").string())));
    // The shape's fill is drawn where the description puts it.
    TControl* shape = Form->FindComponent("Shape1") ? static_cast<TControl*>(Form->FindComponent("Shape1")) : nullptr;
    ASSERT_NE(shape, nullptr);
    QColor mid = img.pixelColor(shape->Left() + shape->Width() / 2, shape->Top() + shape->Height() / 2);
    EXPECT_EQ(mid, QColor(255, 0, 0));
}

} // namespace
