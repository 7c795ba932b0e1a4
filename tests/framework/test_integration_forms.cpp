#include <gtest/gtest.h>

#include <QApplication>
#include <QBitmap>
#include <QComboBox>
#include <QCursor>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenuBar>
#include <QMouseEvent>

#include "framework/FormReader.h"
#include "framework/Forms.h"
#include "framework/Menus.h"
#include "framework/StdCtrls.h"
#include "platform/Windowing.h"

namespace {

void Press(QWidget* w, int key, Qt::KeyboardModifiers mods = Qt::NoModifier, const QString& text = {})
{
    QKeyEvent press(QEvent::KeyPress, key, mods, text);
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, mods, text);
    QApplication::sendEvent(w, &release);
}

// Ctrl+letter as a user types it: the Ctrl key goes down first.
void CtrlKey(QWidget* w, int key)
{
    QKeyEvent ctrl(QEvent::KeyPress, Qt::Key_Control, Qt::ControlModifier);
    QApplication::sendEvent(w, &ctrl);
    Press(w, key, Qt::ControlModifier, QString(QChar(key - Qt::Key_A + 1)));
    QKeyEvent up(QEvent::KeyRelease, Qt::Key_Control, Qt::NoModifier);
    QApplication::sendEvent(w, &up);
}

struct FormIntegration : ::testing::Test {
    void SetUp() override
    {
        InitForms();
        Application->Initialize();
        RegisterStdControlsClasses();
        RegisterMenusUnitClasses();
        Form = new TForm(Application);
        Form->SetBounds(0, 0, 400, 300);
    }
    void TearDown() override
    {
        SetPopupMenuPresenter({});
        FreeObject(Form);
        DoneForms();
    }
    template <class T> T* Make(TWinControl* parent = nullptr)
    {
        T* c = new T(Form);
        c->SetParent(parent ? parent : Form);
        return c;
    }
    void ShowForm()
    {
        Form->Show();
        QApplication::processEvents();
    }
    TMenuItem* Item(TMenuItem* parent, const std::string& caption, TShortCut sc, int* clicks)
    {
        auto* i = new TMenuItem(Form);
        i->SetCaption(caption);
        i->SetShortCut(sc);
        if (clicks)
            i->OnClick = TNotifyEvent([clicks](TObject*) { ++*clicks; });
        parent->Add(i);
        return i;
    }
    TForm* Form = nullptr;
};

// ---- Tab order ----------------------------------------------------------------------------

TEST_F(FormIntegration, TabInsideEmbeddedWidgetsFollowsTheFormsTabOrder)
{
    // Created in the reverse of the Tab order, so the toolkit's own order would differ.
    auto* button = Make<TButton>();
    auto* combo = Make<TComboBox>();
    auto* edit = Make<TEdit>();
    edit->SetTabOrder(0);
    combo->SetTabOrder(1);
    button->SetTabOrder(2);
    combo->SetBounds(0, 40, 120, 24);
    button->SetBounds(0, 80, 75, 25);
    ShowForm();
    edit->SetFocus();
    QApplication::processEvents();
    ASSERT_TRUE(edit->Focused());

    Press(edit->NativeWidget(), Qt::Key_Tab);
    EXPECT_TRUE(combo->Focused());
    EXPECT_EQ(Form->ActiveControl(), combo);

    // The edit inside a drop-down combo box has the toolkit focus itself.
    auto* inner = static_cast<QComboBox*>(combo->NativeWidget())->lineEdit();
    ASSERT_NE(inner, nullptr);
    Press(inner, Qt::Key_Tab);
    EXPECT_TRUE(button->Focused());

    Press(button->NativeWidget(), Qt::Key_Backtab, Qt::ShiftModifier);
    EXPECT_TRUE(combo->Focused());
    EXPECT_EQ(edit->Text(), "") << "Tab types nothing";
}

// ---- Dialog keys ----------------------------------------------------------------------------

TEST_F(FormIntegration, CancelButtonTakesEscBeforeTheModalCancel)
{
    auto* edit = Make<TEdit>();
    auto* abort = Make<TButton>();
    abort->SetCancel(true);
    abort->SetModalResult(mrAbort);
    int clicks = 0;
    abort->OnClick = TNotifyEvent([&](TObject*) { ++clicks; });
    Form->OnShow = TNotifyEvent([&](TObject*) {
        edit->SetFocus();
        Press(edit->NativeWidget(), Qt::Key_Escape, Qt::NoModifier, QString(QChar(27)));
    });
    EXPECT_EQ(Form->ShowModal(), mrAbort);
    EXPECT_EQ(clicks, 1);

    // A disabled Cancel button leaves Esc to the form.
    abort->SetEnabled(false);
    EXPECT_EQ(Form->ShowModal(), mrCancel);
    EXPECT_EQ(clicks, 1);
}

TEST_F(FormIntegration, DefaultButtonInsideAPanelTakesEnter)
{
    auto* panel = Make<TWinControl>();
    panel->SetBounds(0, 0, 200, 100);
    auto* ok = Make<TButton>(panel);
    ok->SetDefault(true);
    ok->SetModalResult(mrOk);
    auto* other = Make<TButton>(panel);
    other->SetModalResult(mrNo);
    auto* edit = Make<TEdit>();
    ShowForm();
    edit->SetFocus();
    Press(edit->NativeWidget(), Qt::Key_Return, Qt::NoModifier, "\r");
    EXPECT_EQ(Form->ModalResult(), mrOk);
    Form->SetModalResult(mrNone);
    ok->SetDefault(false);
    Press(edit->NativeWidget(), Qt::Key_Return, Qt::NoModifier, "\r");
    EXPECT_EQ(Form->ModalResult(), mrNone) << "no Default button any more";
}

// ---- Cursors --------------------------------------------------------------------------------

TEST_F(FormIntegration, CustomCursorFollowsTheControl)
{
    // 32x32: a black square in the top-left quarter, the rest transparent.
    unsigned char andBits[32 * 4], xorBits[32 * 4] = {};
    for (int y = 0; y < 32; ++y)
        for (int b = 0; b < 4; ++b)
            andBits[y * 4 + b] = (y < 16 && b < 2) ? 0x00 : 0xFF;
    HCURSOR made = CreateCursor(3, 5, 32, 32, andBits, xorBits);
    ASSERT_NE(made, nullptr);
    auto* q = reinterpret_cast<QCursor*>(made);
    EXPECT_EQ(q->hotSpot(), QPoint(3, 5));
    QImage mask = q->mask().toImage(), picture = q->bitmap().toImage();
    EXPECT_NE(mask.pixelColor(2, 2), mask.pixelColor(20, 20)) << "opaque vs transparent";
    EXPECT_EQ(picture.pixelColor(2, 2), mask.pixelColor(2, 2)) << "black where opaque";
    EXPECT_EQ(CreateCursor(40, 0, 32, 32, andBits, xorBits), nullptr) << "hot spot outside";

    constexpr TCursor crTuning = 5;
    Screen->SetCursors(crTuning, made);
    Screen->SetCursors(crTuning, made); // the same cursor again must stay alive
    EXPECT_EQ(Screen->Cursors(crTuning), static_cast<void*>(made));

    auto* edit = Make<TEdit>();
    ShowForm();
    edit->SetCursor(crTuning);
    QWidget* native = edit->NativeWidget();
    EXPECT_EQ(native->cursor().hotSpot(), QPoint(3, 5));
    edit->SetCursor(crHandPoint);
    EXPECT_EQ(native->cursor().shape(), Qt::PointingHandCursor);
    edit->SetCursor(crDefault);
    EXPECT_FALSE(native->testAttribute(Qt::WA_SetCursor));

    // A cursor set before the window exists applies when it is made.
    auto* later = new TEdit(Form);
    later->SetCursor(crIBeam);
    later->SetParent(Form);
    EXPECT_EQ(later->NativeWidget()->cursor().shape(), Qt::IBeamCursor);

    HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
    ASSERT_NE(arrow, nullptr);
    EXPECT_EQ(reinterpret_cast<QCursor*>(arrow)->shape(), Qt::ArrowCursor);
    EXPECT_EQ(LoadCursorA(nullptr, IDC_ARROW), arrow) << "standard cursors are shared";
    Screen->SetCursors(crArrow, arrow);
    Screen->SetCursors(crArrow, LoadCursorA(nullptr, IDC_HAND)); // must not free the shared one
    EXPECT_EQ(reinterpret_cast<QCursor*>(LoadCursorA(nullptr, IDC_ARROW))->shape(), Qt::ArrowCursor);
}

// ---- Menus ----------------------------------------------------------------------------------

TEST_F(FormIntegration, MainMenuBarSitsAboveTheClientArea)
{
    ShowForm();
    const int clientBefore = Form->ClientHeight();
    const int heightBefore = Form->Height();
    auto* menu = new TMainMenu(Form);
    Item(menu->Items(), "&File", 0, nullptr);
    Form->SetMenu(menu);
    QApplication::processEvents();
    EXPECT_EQ(Form->Height(), heightBefore) << "the window keeps its size";
    EXPECT_EQ(Form->ClientHeight(), clientBefore - GetSystemMetrics(SM_CYMENU));
    auto* bar = WindowWidget(Form->Handle())->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_TRUE(bar->isVisible());
    POINT origin{0, 0};
    ClientToScreen(Form->Handle(), &origin);
    EXPECT_LE(bar->mapToGlobal(QPoint(0, bar->height())).y(), origin.y);
    ASSERT_EQ(bar->actions().size(), 1);
    EXPECT_EQ(bar->actions()[0]->text(), "&File");

    FreeObject(menu);
    EXPECT_EQ(Form->Menu(), nullptr);
    EXPECT_EQ(Form->ClientHeight(), clientBefore);
}

TEST_F(FormIntegration, MenuShortCutsComeBeforeTheKeyHandlers)
{
    auto* menu = new TMainMenu(Form);
    int saves = 0, finds = 0, blocked = 0, popupSaves = 0, keyDowns = 0;
    auto* file = Item(menu->Items(), "&File", 0, nullptr);
    Item(file, "&Save", ShortCut('S', TShiftState{ssCtrl}), &saves);
    auto* hidden = Item(menu->Items(), "Search", 0, nullptr);
    hidden->SetVisible(false);
    Item(hidden, "Find", VK_F3, &finds);
    auto* off = Item(menu->Items(), "Off", 0, nullptr);
    off->SetEnabled(false);
    Item(off, "Blocked", VK_F2, &blocked);
    Form->SetMenu(menu);
    auto* edit = Make<TEdit>();
    edit->OnKeyDown = TKeyEvent([&](TObject*, WORD&, TShiftState) { ++keyDowns; });
    ShowForm();
    edit->SetFocus();
    QWidget* w = edit->NativeWidget();

    CtrlKey(w, Qt::Key_S);
    EXPECT_EQ(saves, 1);
    EXPECT_EQ(edit->Text(), "");
    Press(w, Qt::Key_F3);
    EXPECT_EQ(finds, 1) << "an invisible item's shortcut works";
    Press(w, Qt::Key_F2);
    EXPECT_EQ(blocked, 0) << "a disabled parent blocks it";
    EXPECT_EQ(keyDowns, 2) << "the Ctrl key and F2 reach OnKeyDown, the shortcuts do not";

    // The focused control's pop-up menu has the first go.
    auto* popup = new TPopupMenu(Form);
    Item(popup->Items(), "Save here", ShortCut('S', TShiftState{ssCtrl}), &popupSaves);
    edit->SetPopupMenu(popup);
    CtrlKey(w, Qt::Key_S);
    EXPECT_EQ(popupSaves, 1);
    EXPECT_EQ(saves, 1);
}

TEST_F(FormIntegration, RightClickAndMenuKeyPopUpTheNearestPopupMenu)
{
    std::vector<std::pair<TPopupMenu*, POINT>> shown;
    SetPopupMenuPresenter([&](TPopupMenu* m, int x, int y) { shown.push_back({m, POINT{x, y}}); });
    auto* panel = Make<TCustomControl>();
    panel->SetBounds(10, 10, 200, 150);
    auto* inner = Make<TCustomControl>(panel);
    inner->SetBounds(20, 20, 50, 50);
    auto* edit = Make<TEdit>();
    edit->SetBounds(10, 200, 100, 24);
    auto* menu = new TPopupMenu(Form);
    Item(menu->Items(), "One", 0, nullptr);
    panel->SetPopupMenu(menu);
    ShowForm();

    // Right click on a child without a menu: its parent's menu, at the mouse.
    SendMessage(inner->Handle(), WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(5, 6));
    SendMessage(inner->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(5, 6));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].first, menu);
    EXPECT_EQ(menu->PopupComponent(), panel) << "the control whose menu it is";
    TPoint expect = inner->ClientToScreen(TPoint{5, 6});
    EXPECT_EQ(shown[0].second.x, expect.x);
    EXPECT_EQ(shown[0].second.y, expect.y);

    // AutoPopup off: nothing pops up, and the parent chain ends at the form.
    menu->SetAutoPopup(false);
    SendMessage(inner->Handle(), WM_RBUTTONUP, 0, MAKELPARAM(5, 6));
    EXPECT_EQ(shown.size(), 1u);
    menu->SetAutoPopup(true);

    // The context-menu key in an embedded edit opens the edit's own menu, not the toolkit's.
    auto* editMenu = new TPopupMenu(Form);
    edit->SetPopupMenu(editMenu);
    edit->SetFocus();
    Press(edit->NativeWidget(), Qt::Key_Menu);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1].first, editMenu);
    EXPECT_EQ(editMenu->PopupComponent(), edit);

    // A toolkit context-menu request (the right button on the edit) goes the same way.
    QWidget* w = edit->NativeWidget();
    QContextMenuEvent e(QContextMenuEvent::Mouse, QPoint(4, 4), w->mapToGlobal(QPoint(4, 4)));
    QApplication::sendEvent(w, &e);
    ASSERT_EQ(shown.size(), 3u);
    EXPECT_EQ(shown[2].second.x, w->mapToGlobal(QPoint(4, 4)).x());
}

// ---- Form descriptions ----------------------------------------------------------------------

TEST_F(FormIntegration, DescriptionsNameColoursCursorsAndQuotedShortCuts)
{
    const char* text = R"(object F: TForm
  Color = clBtnFace
  Font.Color = clHighlight
  Menu = MainMenu1
  object Panel: TWinControl
    Color = clWindow
    Cursor = crHandPoint
  end
  object MainMenu1: TMainMenu
    object Save1: TMenuItem
      Caption = 'Save'
      ShortCut = 'Ctrl+S'
    end
  end
end
)";
    RegisterClass(TWinControl::StaticClassInfo());
    ReadComponentFromText(Form, text, "Colours.qfm");
    EXPECT_EQ(Form->Color(), clBtnFace);
    EXPECT_EQ(Form->Font()->GetColor(), clHighlight);
    auto* panel = dynamic_cast<TWinControl*>(Form->FindComponent("Panel"));
    ASSERT_NE(panel, nullptr);
    EXPECT_EQ(panel->Color(), clWindow);
    EXPECT_EQ(panel->Cursor(), crHandPoint);
    auto* save = dynamic_cast<TMenuItem*>(Form->FindComponent("Save1"));
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->ShortCut(), ShortCut('S', TShiftState{ssCtrl}));
    EXPECT_EQ(Form->Menu(), Form->FindComponent("MainMenu1"));

    // A quoted text the type's names do not know is an error naming the file and line.
    const char* bad = "object G: TForm\n  object P: TWinControl\n    Cursor = 'crNowhere'\n  end\nend\n";
    TForm* other = new TForm(Application);
    try {
        ReadComponentFromText(other, bad, "Bad.qfm");
        ADD_FAILURE() << "no error";
    } catch (const Exception& e) {
        EXPECT_NE(std::string(e.what()).find("Bad.qfm(3)"), std::string::npos) << e.what();
    }
    FreeObject(other);
}

TEST(CursorIdents, NamesAndNumbersRoundTrip)
{
    std::string name;
    EXPECT_TRUE(CursorToIdent(crHourGlass, name));
    EXPECT_EQ(name, "crHourGlass");
    TCursor c = 0;
    EXPECT_TRUE(IdentToCursor("crsizewe", c)) << "names ignore case";
    EXPECT_EQ(c, crSizeWE);
    EXPECT_FALSE(IdentToCursor("crWhatever", c));
    EXPECT_FALSE(CursorToIdent(7, name)) << "custom cursor numbers have no name";
}

} // namespace
