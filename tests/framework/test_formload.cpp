#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>
#include <QWidget>
#include <filesystem>
#include <string>
#include <vector>

#include "StdTestUtil.h"
#include "framework/FormReader.h"
#include "framework/Forms.h"
#include "platform/Input.h"
#include "platform/Windowing.h"

void RegisterEmbeddedResources_framework_tests();

namespace {

std::vector<std::string>& Trace()
{
    static std::vector<std::string> t;
    return t;
}

// A focusable painted control that records what reading does to it.
class TTestBox : public TCustomControl {
    QM_CLASS(TTestBox, TCustomControl)
public:
    explicit TTestBox(TComponent* AOwner) : TCustomControl(AOwner) {}
    void Loaded() override
    {
        TCustomControl::Loaded();
        Trace().push_back("loaded " + Name());
    }
};
QM_CLASS_IMPL(TTestBox, TCustomControl)

class TSampleForm : public TForm {
    QM_CLASS(TSampleForm, TForm)
public:
    explicit TSampleForm(TComponent* AOwner) : TForm(AOwner) {}
    TTestBox* Panel1 = nullptr;
    TTestBox* Box1 = nullptr;
    TTestBox* Box2 = nullptr;
    std::vector<std::string> Clicks;

    void FormCreate(TObject*)
    {
        Trace().push_back(std::string("create ") + (Box1 && Box2 ? "with controls" : "empty"));
    }
    void BoxClick(TObject* Sender) { Clicks.push_back(static_cast<TComponent*>(Sender)->Name()); }
    void BoxEnter(TObject* Sender) { Trace().push_back("enter " + static_cast<TComponent*>(Sender)->Name()); }
    void BoxExit(TObject* Sender) { Trace().push_back("exit " + static_cast<TComponent*>(Sender)->Name()); }
    void Loaded() override
    {
        TForm::Loaded();
        Trace().push_back("loaded form");
    }
};
QM_CLASS_IMPL(TSampleForm, TForm, [](TClassBuilder<TSampleForm>& b) {
    b.Field("Panel1", &TSampleForm::Panel1);
    b.Field("Box1", &TSampleForm::Box1);
    b.Field("Box2", &TSampleForm::Box2);
    b.Method("FormCreate", &TSampleForm::FormCreate);
    b.Method("BoxClick", &TSampleForm::BoxClick);
    b.Method("BoxEnter", &TSampleForm::BoxEnter);
    b.Method("BoxExit", &TSampleForm::BoxExit);
})

// Paints its caption in its own font on its own colour.
class TTextBox : public TCustomControl {
    QM_CLASS(TTextBox, TCustomControl)
public:
    explicit TTextBox(TComponent* AOwner) : TCustomControl(AOwner) {}

protected:
    void Paint() override
    {
        Canvas()->Brush()->SetColor(Color());
        Canvas()->FillRect(ClientRect());
        Canvas()->TextOut(8, (ClientHeight() - Canvas()->TextHeight(Caption())) / 2, Caption());
    }
};
QM_CLASS_IMPL(TTextBox, TCustomControl)

class TScreenshotForm : public TForm {
    QM_CLASS(TScreenshotForm, TForm)
public:
    explicit TScreenshotForm(TComponent* AOwner) : TForm(AOwner) {}
};
QM_CLASS_IMPL(TScreenshotForm, TForm)

// The form reader test checks every description of the test folder, in any test order.
const bool gRegistered = [] {
    RegisterClasses({TTestBox::StaticClassInfo(), TSampleForm::StaticClassInfo(), TTextBox::StaticClassInfo(),
                     TScreenshotForm::StaticClassInfo()});
    return true;
}();

struct FormLoad : stdtest::MessageBoxEnv {
    void SetUp() override
    {
        ASSERT_TRUE(gRegistered);
        RegisterEmbeddedResources_framework_tests();
        MessageBoxEnv::SetUp();
        Trace().clear();
    }
};

void Click(TWinControl* c)
{
    SendMessage(c->Handle(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(2, 2));
    SendMessage(c->Handle(), WM_LBUTTONUP, 0, MAKELPARAM(2, 2));
}

void Tab(TWinControl* focused, bool back = false)
{
    DeliverKeyPress(focused->Handle(), back ? Qt::Key_Backtab : Qt::Key_Tab, back ? KEYMOD_SHIFT : 0,
                    back ? 0 : U'\t');
}

} // namespace

TEST_F(FormLoad, DescriptionBuildsNestedControlsThenLoadedThenOnCreate)
{
    TSampleForm* f = nullptr;
    Application->CreateForm(f);
    ASSERT_NE(f->Box1, nullptr);
    ASSERT_NE(f->Box2, nullptr);
    EXPECT_EQ(f->Name(), "SampleForm");
    EXPECT_EQ(f->Caption(), "Sample");
    EXPECT_EQ(f->Box1->Parent(), f->Panel1);
    EXPECT_EQ(f->Panel1->Parent(), f);
    EXPECT_EQ(f->Box1->Owner(), f);
    EXPECT_EQ(f->Box1->BoundsRect(), (TRect{10, 10, 70, 40}));
    // Loaded in creation order, the form last, then OnCreate with everything in place.
    EXPECT_EQ(Trace(), (std::vector<std::string>{"loaded Panel1", "loaded Box1", "loaded Box2", "loaded form",
                                                 "create with controls"}));
    EXPECT_FALSE(f->IsLoading());
    EXPECT_FALSE(f->Box1->IsLoading());
    // Handlers bound by name to the form's methods.
    Click(f->Box1);
    Click(f->Box2);
    EXPECT_EQ(f->Clicks, (std::vector<std::string>{"Box1", "Box2"}));
    // A second call for the same class reads nothing twice.
    Trace().clear();
    f->InitializeFromDescription();
    EXPECT_TRUE(Trace().empty());
    EXPECT_TRUE(boxes.empty());
}

TEST_F(FormLoad, FormWithoutDescriptionStillGetsOnCreate)
{
    TScreenshotForm* plain = new TScreenshotForm(Application);
    // Constructed directly: only the generic part ran; no description was read yet.
    EXPECT_EQ(plain->ControlCount(), 0);
    TForm* bare = new TForm(Application);
    EXPECT_EQ(bare->ControlCount(), 0);
    EXPECT_TRUE(boxes.empty());
    plain->InitializeFromDescription();
    EXPECT_EQ(plain->ControlCount(), 4);
}

TEST_F(FormLoad, ReferencesToAnotherFormResolveThroughScreen)
{
    TSampleForm* f = nullptr;
    Application->CreateForm(f);
    TForm* peer = new TForm(Application);
    ReadComponentFromText(peer, "object PeerForm: TForm\n  PopupMenu = SampleForm.Box1\nend\n", "Peer.qfm");
    EXPECT_EQ(peer->PopupMenu(), f->Box1);
    TForm* other = new TForm(Application);
    EXPECT_THROW(ReadComponentFromText(other, "object Other: TForm\n  PopupMenu = NoForm.Box1\nend\n", "Other.qfm"),
                 EReadError);
}

TEST_F(FormLoad, TabOrderFromTheDescriptionAndRenumbering)
{
    TSampleForm* f = nullptr;
    Application->CreateForm(f);
    // Box2 said 0 and Panel1 said 1, whatever their creation order.
    EXPECT_EQ(f->Box2->TabOrder(), 0);
    EXPECT_EQ(f->Panel1->TabOrder(), 1);
    EXPECT_EQ(f->Box1->TabOrder(), 0);
    std::vector<TWinControl*> order;
    f->GetTabOrderList(order);
    EXPECT_EQ(order, (std::vector<TWinControl*>{f->Box2, f->Panel1, f->Box1}));

    auto* extra = new TTestBox(f);
    extra->SetParent(f);
    EXPECT_EQ(extra->TabOrder(), 2);
    extra->SetTabOrder(0);
    EXPECT_EQ(extra->TabOrder(), 0);
    EXPECT_EQ(f->Box2->TabOrder(), 1);
    EXPECT_EQ(f->Panel1->TabOrder(), 2);
    // Out of range values clamp; the stacking order is untouched.
    extra->SetTabOrder(99);
    EXPECT_EQ(extra->TabOrder(), 2);
    extra->SetTabOrder(-5);
    EXPECT_EQ(extra->TabOrder(), 0);
    EXPECT_EQ(f->Controls(0), f->Panel1);
    // Leaving the parent closes the gap.
    extra->SetParent(nullptr);
    EXPECT_EQ(f->Box2->TabOrder(), 0);
    EXPECT_EQ(f->Panel1->TabOrder(), 1);
    FreeObject(extra);
}

TEST_F(FormLoad, ShowFocusesActiveControlAndTabCyclesTabStops)
{
    TSampleForm* f = nullptr;
    Application->CreateForm(f);
    EXPECT_EQ(f->ActiveControl(), f->Box2);
    Trace().clear();
    f->Show();
    Application->ProcessMessages();
    ASSERT_TRUE(f->Box2->Focused());
    EXPECT_EQ(Trace(), (std::vector<std::string>{"enter Box2"}));

    Trace().clear();
    Tab(f->Box2);
    EXPECT_TRUE(f->Panel1->Focused());
    EXPECT_EQ(f->ActiveControl(), f->Panel1);
    Tab(f->Panel1);
    EXPECT_TRUE(f->Box1->Focused());
    // Leaving Box1 for Box2 exits Box1 and then its panel, innermost first.
    Tab(f->Box1);
    EXPECT_TRUE(f->Box2->Focused());
    Tab(f->Box2, true);
    EXPECT_TRUE(f->Box1->Focused());
    EXPECT_EQ(Trace(), (std::vector<std::string>{"exit Box2", "enter Panel1", "enter Box1", "exit Box1", "exit Panel1",
                                                 "enter Box2", "exit Box2", "enter Panel1", "enter Box1"}));
    FreeObject(f);
}

TEST_F(FormLoad, TabSkipsWhatCannotTakeTheFocusAndRespectsWantTab)
{
    TSampleForm* f = nullptr;
    Application->CreateForm(f);
    f->Show();
    Application->ProcessMessages();
    f->Panel1->SetEnabled(false);
    EXPECT_FALSE(f->Panel1->CanFocus());
    EXPECT_FALSE(f->Box1->CanFocus());  // its parent is disabled
    EXPECT_THROW(f->Box1->SetFocus(), EInvalidOperation);
    f->Box2->SetFocus();
    // Box2 is the only candidate left: Tab stays on it.
    Tab(f->Box2);
    EXPECT_TRUE(f->Box2->Focused());
    f->Panel1->SetEnabled(true);
    f->Panel1->SetTabStop(false);
    Tab(f->Box2);
    EXPECT_TRUE(f->Box1->Focused());

    // A control asking for Tab keeps it and gets the character.
    std::vector<int> chars;
    f->Box1->WindowProc = [&, box = f->Box1](TMessage& M) {
        if (M.Msg == WM_GETDLGCODE) {
            M.Result = DLGC_WANTTAB;
            return;
        }
        if (M.Msg == WM_CHAR)
            chars.push_back(static_cast<int>(M.WParam));
        box->WndProc(M);
    };
    Tab(f->Box1);
    EXPECT_TRUE(f->Box1->Focused());
    EXPECT_EQ(chars, (std::vector<int>{9}));
    f->Box1->WindowProc = [box = f->Box1](TMessage& M) { box->WndProc(M); };
    // Hidden controls are skipped too.
    f->Box2->Hide();
    Tab(f->Box1);
    EXPECT_TRUE(f->Box1->Focused());
    FreeObject(f);
}

TEST_F(FormLoad, RemovingTheActiveControlClearsIt)
{
    TSampleForm* f = nullptr;
    Application->CreateForm(f);
    f->SetActiveControl(f->Box1);
    // Taking the panel away takes its child, the active control, with it.
    f->Panel1->SetParent(nullptr);
    EXPECT_EQ(f->ActiveControl(), nullptr);
    f->Show();
    Application->ProcessMessages();
    // Shown without an active control: the first Tab stop gets the focus.
    EXPECT_EQ(f->ActiveControl(), f->Box2);
    EXPECT_TRUE(f->Box2->Focused());
    // Freeing the focused control never leaves the form pointing at it.
    FreeObject(f->Box2);
    EXPECT_EQ(f->ActiveControl(), nullptr);
    FreeObject(f->Panel1);
    FreeObject(f);
}

TEST_F(FormLoad, ScreenshotOfTextInSeveralFontsAndColours)
{
    TScreenshotForm* f = nullptr;
    Application->CreateForm(f);
    ASSERT_EQ(f->ControlCount(), 4);
    f->Show();
    Application->ProcessMessages();
    QWidget* w = WindowWidget(f->Handle());
    ASSERT_NE(w, nullptr);
    QImage img = w->grab().toImage();
    ASSERT_EQ(img.width(), 360);
    ASSERT_EQ(img.height(), 190);
    EXPECT_TRUE(img.save(
        QString::fromStdString((std::filesystem::temp_directory_path() / "ScreenshotSample.png").string())));
    // Each band shows its background colour at its left edge and some text in its font colour.
    auto has = [&](int y0, int y1, QRgb colour) {
        for (int y = y0; y < y1; ++y)
            for (int x = 0; x < img.width(); ++x)
                if ((img.pixel(x, y) & 0xFFFFFF) == (colour & 0xFFFFFF))
                    return true;
        return false;
    };
    EXPECT_EQ(img.pixel(2, 2) & 0xFFFFFF, qRgb(0, 0, 128) & 0xFFFFFF);
    EXPECT_TRUE(has(0, 50, qRgb(255, 255, 255)));
    EXPECT_EQ(img.pixel(2, 60) & 0xFFFFFF, qRgb(255, 255, 255) & 0xFFFFFF);
    EXPECT_TRUE(has(50, 90, qRgb(0, 0, 0)));
    EXPECT_EQ(img.pixel(2, 100) & 0xFFFFFF, qRgb(255, 255, 0) & 0xFFFFFF);
    EXPECT_TRUE(has(90, 130, qRgb(255, 0, 0)));
    EXPECT_TRUE(has(130, 190, qRgb(0, 128, 0)));
    FreeObject(f);
}
