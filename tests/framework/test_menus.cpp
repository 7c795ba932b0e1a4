#include "framework/Menus.h"
#include "framework/MenusQt.h"

#include "framework/FormReader.h"
#include "framework/TypInfo.h"
#include "platform/AppException.h"
#include "platform/WinMessages.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

// The shift state the controls report: Shift, Alt, Ctrl first.
enum TTestShift { tsShift, tsAlt, tsCtrl, tsLeft };
using TTestShiftState = Set<TTestShift>;

class TMenuTestForm : public TComponent {
    QM_CLASS(TMenuTestForm, TComponent)
public:
    explicit TMenuTestForm(TComponent* AOwner) : TComponent(AOwner) {}
    void SaveMenuClick(TObject* Sender) { Clicked.push_back("Save:" + Name(Sender)); }
    static std::string Name(TObject* o)
    {
        auto* c = dynamic_cast<TComponent*>(o);
        return c ? c->Name() : "?";
    }
    std::vector<std::string> Clicked;
};

QApplication* EnsureApp()
{
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "framework_tests";
        static char* argv[] = {name, nullptr};
        new QApplication(argc, argv);
    }
    return qobject_cast<QApplication*>(QCoreApplication::instance());
}

// A form owning menus, with helpers that build items and log their clicks.
class MenuTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        RegisterMenusUnitClasses();
        Form = new TMenuTestForm(nullptr);
    }
    void TearDown() override
    {
        SetPopupMenuPresenter(nullptr);
        FreeObject(Form);
    }

    TMenuItem* Item(TMenuItem* parent, const std::string& name, const std::string& caption,
                    TShortCut sc = 0)
    {
        auto* item = new TMenuItem(Form);
        item->SetName(name);
        item->SetCaption(caption);
        item->SetShortCut(sc);
        item->OnClick = TNotifyEvent([this, name](TObject*) { Log.push_back(name); });
        if (parent)
            parent->Add(item);
        return item;
    }

    // The main window's menu bar, cut down to what the tests need.
    TMainMenu* BuildMainMenu()
    {
        auto* m = new TMainMenu(Form);
        m->SetName("MainMenu1");
        TMenuItem* file = Item(m->Items(), "FileMenu", "&File");
        Item(file, "LoadMenu", "&Open", ShortCut(VK_F2, 0));
        Item(file, "SaveMenu", "&Save", ShortCut('S', scCtrl));
        Item(file, "N1", "-");
        Item(file, "ExitMenu", "E&xit");
        TMenuItem* hidden = Item(m->Items(), "HiddenMenu", "Hidden Functies");
        hidden->SetVisible(false);
        TMenuItem* ctrlA = Item(hidden, "CtrlA", "Ctrl-A", ShortCut('A', scCtrl));
        ctrlA->SetVisible(false);
        Item(hidden, "CtrlC", "Ctrl-C", ShortCut('C', scCtrl));
        TMenuItem* radio = Item(m->Items(), "MenuRadioType", "[Radio]");
        Item(radio, "RadioSwitchOn", "Switch On");
        return m;
    }

    TMenuTestForm* Form = nullptr;
    std::vector<std::string> Log;
};

// ---- Shortcuts ----------------------------------------------------------------------------

TEST(ShortCutText, NamesTheKeysTheMenusUse)
{
    EXPECT_EQ(ShortCutToText(ShortCut(VK_F2, 0)), "F2");
    EXPECT_EQ(ShortCutToText(ShortCut('S', scCtrl)), "Ctrl+S");
    EXPECT_EQ(ShortCutToText(ShortCut('1', scCtrl)), "Ctrl+1");
    EXPECT_EQ(ShortCutToText(ShortCut(VK_DELETE, scShift)), "Shift+Del");
    EXPECT_EQ(ShortCutToText(ShortCut('K', scAlt | scShift | scCtrl)), "Shift+Ctrl+Alt+K");
    EXPECT_EQ(ShortCutToText(scNone), "");
    EXPECT_EQ(ShortCutToText(ShortCut(0xE5, scCtrl)), "") << "a key without a name";
    EXPECT_EQ(ShortCut(0x141, scCtrl), scNone) << "key codes stop at 255";
    EXPECT_EQ(ShortCut('S', scCtrl), 0x4053);
}

TEST(ShortCutText, RoundTripsEveryCombinationOfTheCommonKeys)
{
    std::vector<WORD> keys;
    for (WORD k = VK_F1; k <= VK_F12; ++k)
        keys.push_back(k);
    for (WORD k = 'A'; k <= 'Z'; ++k)
        keys.push_back(k);
    for (WORD k = '0'; k <= '9'; ++k)
        keys.push_back(k);
    for (WORD k : {VK_DELETE, VK_INSERT, VK_RETURN, VK_ESCAPE, VK_NUMPAD5, VK_PRIOR})
        keys.push_back(k);
    const TShortCut mods[] = {0, scCtrl, scShift, scAlt, scShift | scCtrl, scCtrl | scAlt,
                              scShift | scAlt, scShift | scCtrl | scAlt};
    for (WORD k : keys)
        for (TShortCut m : mods) {
            TShortCut s = ShortCut(k, m);
            std::string text = ShortCutToText(s);
            ASSERT_FALSE(text.empty()) << k;
            EXPECT_EQ(TextToShortCut(text), s) << text;
        }
}

TEST(ShortCutText, ReadsModifiersInAnyOrderAndCase)
{
    EXPECT_EQ(TextToShortCut("ctrl+s"), ShortCut('S', scCtrl));
    EXPECT_EQ(TextToShortCut("Alt+Shift+f12"), ShortCut(VK_F12, scAlt | scShift));
    EXPECT_EQ(TextToShortCut("Ctrl+Ctrl+A"), ShortCut('A', scCtrl));
    for (const char* bad : {"", "Ctrl+", "Ctrl", "Foo", "Ctrl+Foo", "F25", "Ctrl+SS", "Hyper+A"})
        EXPECT_EQ(TextToShortCut(bad), scNone) << bad;
}

TEST(ShortCutText, TakesAShiftStateInTheControlsOrder)
{
    EXPECT_EQ(ShortCut('S', TTestShiftState{tsCtrl}), ShortCut('S', scCtrl));
    EXPECT_EQ(ShortCut(VK_F3, TTestShiftState{tsShift, tsAlt, tsLeft}),
              ShortCut(VK_F3, scShift | scAlt));
    EXPECT_EQ(ShortCut(VK_F3, TTestShiftState{}), ShortCut(VK_F3, 0));
}

TEST(ShortCutText, Hotkeys)
{
    EXPECT_EQ(StripAccelerator("&Save"), "Save");
    EXPECT_EQ(StripAccelerator("Fish && &Chips&"), "Fish & Chips");
    EXPECT_EQ(GetHotkey("E&xit"), 'X');
    EXPECT_EQ(GetHotkey("A && B"), 0);
    EXPECT_EQ(GetHotkey("Trailing&"), 0);
}

// ---- The item tree ------------------------------------------------------------------------

TEST_F(MenuTest, TreeOperationsKeepParentsAndIndexes)
{
    auto* m = new TPopupMenu(Form);
    TMenuItem* a = Item(m->Items(), "A", "&Alpha");
    TMenuItem* c = Item(m->Items(), "C", "Gamma");
    TMenuItem* b = Item(nullptr, "B", "Beta");
    m->Items()->Insert(1, b);
    ASSERT_EQ(m->Items()->Count(), 3);
    EXPECT_EQ(m->Items()->Items(1), b);
    EXPECT_EQ(b->Parent(), m->Items());
    EXPECT_EQ(b->GetParentMenu(), m);
    EXPECT_EQ(c->MenuIndex(), 2);
    EXPECT_EQ(m->Items()->Find("alpha"), a) << "hotkeys and case ignored";
    EXPECT_EQ(m->Items()->Find("&Gam&ma"), c);
    EXPECT_EQ(m->Items()->Find("Delta"), nullptr);
    EXPECT_EQ(m->FindItemByName("c"), c);

    c->SetMenuIndex(0);
    EXPECT_EQ(m->Items()->IndexOf(c), 0);
    EXPECT_EQ(m->Items()->IndexOf(a), 1);

    m->Items()->Remove(b);
    EXPECT_EQ(b->Parent(), nullptr);
    EXPECT_EQ(b->GetParentMenu(), nullptr);
    EXPECT_EQ(m->Items()->IndexOf(b), -1);
    EXPECT_THROW(m->Items()->Remove(b), EMenuError);
    EXPECT_THROW(m->Items()->Items(2), EMenuError);
    EXPECT_THROW(m->Items()->Insert(5, b), EMenuError);
    EXPECT_THROW(m->Items()->Insert(0, a), EMenuError) << "an item has one parent";
    a->Add(b);
    EXPECT_THROW(b->Add(a), EMenuError) << "no cycles";
    EXPECT_THROW(b->Add(m->Items()), EMenuError) << "a menu's root is no sub-item";
}

TEST_F(MenuTest, FreeingAnItemFreesItsSubItemsAndLeavesItsParent)
{
    TMainMenu* m = BuildMainMenu();
    int before = Form->ComponentCount();
    TMenuItem* file = m->Items()->Find("File");
    ASSERT_NE(file, nullptr);
    FreeObject(file);
    EXPECT_EQ(Form->ComponentCount(), before - 5) << "File and its four items";
    EXPECT_EQ(Form->FindComponent("SaveMenu"), nullptr);
    EXPECT_EQ(m->Items()->Count(), 2);
    EXPECT_EQ(m->Items()->Items(0)->Name(), "HiddenMenu");

    FreeObject(Form->FindComponent("CtrlC"));
    EXPECT_EQ(m->FindItemByName("HiddenMenu")->Count(), 1);

    m->Items()->Items(1)->Clear();
    EXPECT_EQ(Form->FindComponent("RadioSwitchOn"), nullptr);
    EXPECT_EQ(m->Items()->Items(1)->Count(), 0);
    EXPECT_EQ(Form->ComponentCount(), before - 7);

    FreeObject(m);
    EXPECT_EQ(Form->FindComponent("CtrlA"), nullptr) << "the menu frees its items";
    EXPECT_EQ(Form->ComponentCount(), 0);
}

// ---- Shortcut dispatch --------------------------------------------------------------------

TEST_F(MenuTest, ShortCutsOfInvisibleItemsWork)
{
    TMainMenu* m = BuildMainMenu();
    EXPECT_TRUE(m->IsShortCut(ShortCut('A', scCtrl)));
    EXPECT_TRUE(m->IsShortCut('C', TTestShiftState{tsCtrl}));
    EXPECT_TRUE(m->IsShortCut(ShortCut(VK_F2, 0)));
    EXPECT_FALSE(m->IsShortCut(ShortCut('Q', scCtrl)));
    EXPECT_FALSE(m->IsShortCut(ShortCut('S', scCtrl | scShift))) << "modifiers must match";
    EXPECT_FALSE(m->IsShortCut(scNone));
    EXPECT_EQ(Log, (std::vector<std::string>{"CtrlA", "CtrlC", "LoadMenu"}));
}

TEST_F(MenuTest, DisabledItemsAndParentsBlockShortCuts)
{
    TMainMenu* m = BuildMainMenu();
    TMenuItem* file = m->FindItemByName("FileMenu");
    file->SetEnabled(false);
    EXPECT_FALSE(m->IsShortCut(ShortCut('S', scCtrl)));
    EXPECT_FALSE(m->IsShortCut(ShortCut(VK_F2, 0)));
    EXPECT_FALSE(m->FindItemByName("SaveMenu")->EnabledInTree());
    EXPECT_TRUE(m->FindItemByName("SaveMenu")->Enabled()) << "the item's own flag is kept";

    // A deeper, enabled item with the same shortcut is found past the disabled branch.
    TMenuItem* radio = m->FindItemByName("MenuRadioType");
    Item(radio, "Backup", "Save elsewhere", ShortCut('S', scCtrl));
    EXPECT_TRUE(m->IsShortCut(ShortCut('S', scCtrl)));

    file->SetEnabled(true);
    m->FindItemByName("SaveMenu")->SetEnabled(false);
    EXPECT_TRUE(m->IsShortCut(ShortCut('S', scCtrl)));
    EXPECT_TRUE(m->IsShortCut(ShortCut(VK_F2, 0)));
    EXPECT_EQ(Log, (std::vector<std::string>{"Backup", "Backup", "LoadMenu"}));

    m->FindItemByName("SaveMenu")->Click();
    EXPECT_EQ(Log.size(), 3u) << "a disabled item ignores Click";
}

TEST_F(MenuTest, FocusedControlsPopupComesBeforeTheMainMenu)
{
    TMainMenu* main = BuildMainMenu();
    auto* popup = new TPopupMenu(Form);
    TMenuItem* copy = Item(popup->Items(), "GridCopy", "Copy", ShortCut('C', scCtrl));
    Item(popup->Items(), "GridPaste", "Paste", ShortCut('V', scCtrl));

    EXPECT_TRUE(DispatchMenuShortCut(popup, main, 'C', TTestShiftState{tsCtrl}));
    EXPECT_TRUE(DispatchMenuShortCut(popup, main, ShortCut('V', scCtrl)));
    EXPECT_TRUE(DispatchMenuShortCut(popup, main, ShortCut(VK_F2, 0))) << "falls through";
    copy->SetEnabled(false);
    EXPECT_TRUE(DispatchMenuShortCut(popup, main, ShortCut('C', scCtrl)));
    EXPECT_TRUE(DispatchMenuShortCut(nullptr, main, ShortCut('A', scCtrl)));
    EXPECT_FALSE(DispatchMenuShortCut(popup, nullptr, ShortCut('A', scCtrl)));
    EXPECT_FALSE(DispatchMenuShortCut(nullptr, nullptr, ShortCut('A', scCtrl)));
    EXPECT_EQ(Log, (std::vector<std::string>{"GridCopy", "GridPaste", "LoadMenu", "CtrlC",
                                             "CtrlA"}));
}

// ---- Pop-up menus -------------------------------------------------------------------------

TEST_F(MenuTest, PopupComponentIsSeenByOnPopupAndOnClick)
{
    auto* grid = new TComponent(Form);
    grid->SetName("MemGrid");
    auto* popup = new TPopupMenu(Form);
    TMenuItem* item = Item(popup->Items(), "Copy1", "Copy");
    std::vector<std::string> seen;
    popup->OnPopup = TNotifyEvent([&](TObject* sender) {
        EXPECT_EQ(sender, popup);
        seen.push_back("popup:" + TMenuTestForm::Name(popup->PopupComponent()));
    });
    item->OnClick = TNotifyEvent(
        [&](TObject*) { seen.push_back("click:" + TMenuTestForm::Name(popup->PopupComponent())); });
    SetPopupMenuPresenter([&](TPopupMenu* m, int x, int y) {
        EXPECT_EQ(m, popup);
        seen.push_back("show " + std::to_string(x) + "," + std::to_string(y));
        m->Items()->Items(0)->Click();
    });

    popup->SetPopupComponent(grid);
    popup->Popup(120, 45);
    EXPECT_EQ(seen, (std::vector<std::string>{"popup:MemGrid", "show 120,45", "click:MemGrid"}));
    EXPECT_EQ(popup->PopupPoint(), (POINT{120, 45}));

    FreeObject(grid);
    EXPECT_EQ(popup->PopupComponent(), nullptr) << "no dangling pointer to a freed control";
}

// ---- Check marks and default --------------------------------------------------------------

TEST_F(MenuTest, RadioItemsCheckOnePerGroup)
{
    auto* m = new TPopupMenu(Form);
    TMenuItem* a = Item(m->Items(), "A", "A");
    TMenuItem* b = Item(m->Items(), "B", "B");
    TMenuItem* c = Item(m->Items(), "C", "C");
    TMenuItem* other = Item(m->Items(), "D", "D");
    for (TMenuItem* i : {a, b, c}) {
        i->SetRadioItem(true);
        i->SetGroupIndex(1);
    }
    other->SetRadioItem(true);
    other->SetGroupIndex(2);
    other->SetChecked(true);

    a->SetChecked(true);
    b->SetChecked(true);
    EXPECT_FALSE(a->Checked());
    EXPECT_TRUE(b->Checked());
    EXPECT_TRUE(other->Checked()) << "another group is left alone";

    c->SetAutoCheck(true);
    c->Click();
    EXPECT_TRUE(c->Checked());
    EXPECT_FALSE(b->Checked());
    c->Click();
    EXPECT_TRUE(c->Checked()) << "clicking the checked radio item keeps it checked";

    // A checked radio item joining the group takes the check.
    other->SetGroupIndex(1);
    EXPECT_FALSE(c->Checked());
    EXPECT_TRUE(other->Checked());

    TMenuItem* toggle = Item(m->Items(), "T", "Toggle");
    toggle->SetAutoCheck(true);
    toggle->Click();
    EXPECT_TRUE(toggle->Checked());
    toggle->Click();
    EXPECT_FALSE(toggle->Checked());
    EXPECT_EQ(Log, (std::vector<std::string>{"C", "C", "T", "T"}));
}

TEST_F(MenuTest, DefaultIsReadableAndUniquePerList)
{
    TMainMenu* m = BuildMainMenu();
    TMenuItem* radio = m->FindItemByName("MenuRadioType");
    TMenuItem* file = m->FindItemByName("FileMenu");
    EXPECT_FALSE(radio->Default());
    radio->SetDefault(true);
    EXPECT_TRUE(radio->Default());
    file->SetDefault(true);
    EXPECT_TRUE(file->Default());
    EXPECT_FALSE(radio->Default());
    m->FindItemByName("SaveMenu")->SetDefault(true);
    EXPECT_TRUE(file->Default()) << "a sub-list has its own default";
}

TEST_F(MenuTest, ChangesAreReportedToTheMenu)
{
    TMainMenu* m = BuildMainMenu();
    std::vector<std::string> changes;
    m->OnChange = TMenuChangeEvent([&](TObject*, TMenuItem* src, bool rebuild) {
        changes.push_back((src == m->Items() ? std::string("root") : src->Name()) +
                          (rebuild ? "+" : ""));
    });
    TMenuItem* radio = m->FindItemByName("MenuRadioType");
    radio->SetCaption("[FT-817]");
    radio->SetCaption("[FT-817]");
    m->FindItemByName("ExitMenu")->SetCaption("-");
    Item(radio, "RadioSwitchOff", "Switch Off");
    FreeObject(m->FindItemByName("RadioSwitchOff"));
    EXPECT_EQ(changes, (std::vector<std::string>{"MenuRadioType", "FileMenu+",
                                                 "MenuRadioType+", "MenuRadioType+"}));
}

// ---- Form descriptions --------------------------------------------------------------------

TEST_F(MenuTest, ReadFromAFormDescription)
{
    ReadComponentFromText(Form, R"(object Form1: TMenuTestForm
  object MainMenu1: TMainMenu
    object FileMenu: TMenuItem
      Caption = '&File'
      object LoadMenu: TMenuItem
        Caption = '&Open'
        ShortCut = F2
      end
      object SaveMenu: TMenuItem
        Caption = '&Save'
        ShortCut = 16467
        OnClick = SaveMenuClick
      end
    end
    object Hidden: TMenuItem
      Caption = 'Hidden Functies'
      Visible = False
      object CtrlA: TMenuItem
        Caption = 'Ctrl-A'
        ShortCut = 16449
        Visible = False
      end
    end
  end
  object Grid_Popup: TPopupMenu
    AutoPopup = False
    Alignment = paRight
  end
end)",
                          "Menus.qfm");
    auto* main = dynamic_cast<TMainMenu*>(Form->FindComponent("MainMenu1"));
    auto* popup = dynamic_cast<TPopupMenu*>(Form->FindComponent("Grid_Popup"));
    ASSERT_TRUE(main && popup);
    ASSERT_EQ(main->Items()->Count(), 2);
    TMenuItem* file = main->Items()->Items(0);
    EXPECT_EQ(file->Name(), "FileMenu");
    ASSERT_EQ(file->Count(), 2);
    EXPECT_EQ(file->Items(0)->ShortCut(), ShortCut(VK_F2, 0));
    EXPECT_EQ(file->Items(1)->ShortCut(), ShortCut('S', scCtrl));
    EXPECT_EQ(file->Items(0)->GetParentComponent(), file);
    EXPECT_EQ(file->GetParentComponent(), main);
    EXPECT_FALSE(popup->AutoPopup());
    EXPECT_EQ(popup->Alignment(), paRight);
    EXPECT_EQ(PropType(file, "ShortCut"), tkInteger);
    EXPECT_EQ(GetPropInfo(file, "ShortCut")->PropType->Name(), "TShortCut");

    std::vector<std::string> children;
    main->GetChildren([&](TComponent* c) { children.push_back(c->Name()); }, Form);
    EXPECT_EQ(children, (std::vector<std::string>{"FileMenu", "Hidden"}));

    EXPECT_TRUE(main->IsShortCut(ShortCut('S', scCtrl)));
    EXPECT_TRUE(main->IsShortCut(ShortCut('A', scCtrl)));
    EXPECT_EQ(Form->Clicked, (std::vector<std::string>{"Save:SaveMenu"}));
}

// ---- Qt presentation ----------------------------------------------------------------------

QAction* FindAction(QWidget* w, const QString& text)
{
    for (QAction* a : w->actions())
        if (a->text() == text)
            return a;
    return nullptr;
}

class QtMenuTest : public MenuTest {
protected:
    void SetUp() override
    {
        EnsureApp();
        MenuTest::SetUp();
        Window = std::make_unique<QWidget>();
    }
    void TearDown() override
    {
        MenuTest::TearDown();
        Window.reset();
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        SetUnhandledExceptionHandler(nullptr);
    }
    std::unique_ptr<QWidget> Window;
};

TEST_F(QtMenuTest, MenuBarShowsCaptionsSeparatorsAndState)
{
    TMainMenu* m = BuildMainMenu();
    m->FindItemByName("ExitMenu")->SetEnabled(false);
    m->FindItemByName("CtrlC")->SetChecked(true);
    m->FindItemByName("MenuRadioType")->SetDefault(true);
    QMenuBar* bar = CreateQtMenuBar(m, Window.get());
    ASSERT_EQ(bar->actions().size(), 3);
    QAction* file = bar->actions()[0];
    EXPECT_EQ(file->text(), "&File");
    ASSERT_NE(file->menu(), nullptr);
    QList<QAction*> items = file->menu()->actions();
    ASSERT_EQ(items.size(), 4);
    EXPECT_EQ(items[0]->text(), "&Open\tF2");
    EXPECT_EQ(items[1]->text(), "&Save\tCtrl+S");
    EXPECT_TRUE(items[2]->isSeparator());
    EXPECT_TRUE(items[2]->text().isEmpty()) << "a separator with text is drawn as a heading";
    EXPECT_FALSE(items[3]->isEnabled());
    EXPECT_TRUE(items[0]->shortcut().isEmpty()) << "keys are dispatched by the menu model";

    QAction* hidden = bar->actions()[1];
    EXPECT_FALSE(hidden->isVisible());
    QAction* ctrlC = hidden->menu()->actions()[1];
    EXPECT_TRUE(ctrlC->isCheckable());
    EXPECT_TRUE(ctrlC->isChecked());
    EXPECT_TRUE(bar->actions()[2]->font().bold()) << "Default is drawn bold";
    EXPECT_FALSE(file->font().bold());
    EXPECT_EQ(QtMenuAction(m->FindItemByName("SaveMenu")), items[1]);
}

TEST_F(QtMenuTest, MenuBarFollowsChangesAtRunTime)
{
    TMainMenu* m = BuildMainMenu();
    QMenuBar* bar = CreateQtMenuBar(m, Window.get());
    TMenuItem* radio = m->FindItemByName("MenuRadioType");
    radio->SetCaption("[FT-8&&17]");
    EXPECT_EQ(bar->actions()[2]->text(), "[FT-8&&17]");
    Window->resize(600, 200);
    Window->show();
    bar->resize(600, 30);
    int normalWidth = bar->actionGeometry(bar->actions()[2]).width();
    radio->SetDefault(true);
    EXPECT_TRUE(bar->actions()[2]->font().bold());
    EXPECT_GT(bar->actionGeometry(bar->actions()[2]).width(), normalWidth)
        << "the bar makes room for the bold caption";
    radio->SetDefault(false);
    EXPECT_FALSE(bar->actions()[2]->font().bold());
    EXPECT_EQ(bar->actionGeometry(bar->actions()[2]).width(), normalWidth);
    m->FindItemByName("FileMenu")->SetEnabled(false);
    EXPECT_FALSE(bar->actions()[0]->isEnabled());
    m->FindItemByName("SaveMenu")->SetChecked(true);
    EXPECT_TRUE(QtMenuAction(m->FindItemByName("SaveMenu"))->isChecked());

    Item(radio, "RadioSwitchOff", "Switch Off");
    ASSERT_EQ(bar->actions()[2]->menu()->actions().size(), 2);
    EXPECT_EQ(bar->actions()[2]->menu()->actions()[1]->text(), "Switch Off");

    // The exit entry becomes a separator, and a plain entry grows a submenu.
    m->FindItemByName("ExitMenu")->SetCaption("-");
    EXPECT_TRUE(bar->actions()[0]->menu()->actions()[3]->isSeparator());
    TMenuItem* open = m->FindItemByName("LoadMenu");
    Item(open, "Recent1", "recent.vyx");
    QAction* openAction = bar->actions()[0]->menu()->actions()[0];
    ASSERT_NE(openAction->menu(), nullptr);
    EXPECT_EQ(openAction->text(), "&Open") << "no shortcut text beside a submenu";
    EXPECT_EQ(openAction->menu()->actions()[0]->text(), "recent.vyx");

    FreeObject(m->FindItemByName("HiddenMenu"));
    ASSERT_EQ(bar->actions().size(), 2);
    EXPECT_EQ(bar->actions()[1]->text(), "[FT-8&&17]");
}

TEST_F(QtMenuTest, TriggeringAnActionClicksTheItem)
{
    TMainMenu* m = BuildMainMenu();
    QMenuBar* bar = CreateQtMenuBar(m, Window.get());
    QAction* save = FindAction(bar->actions()[0]->menu(), "&Save\tCtrl+S");
    ASSERT_NE(save, nullptr);
    save->trigger();
    emit bar->actions()[0]->menu()->aboutToShow();
    EXPECT_EQ(Log, (std::vector<std::string>{"SaveMenu", "FileMenu"}))
        << "opening a submenu clicks its item";

    // A handler that rebuilds its own list and throws: the action survives its handler and
    // the exception reaches the application's handler instead of Qt.
    std::vector<std::string> reported;
    SetUnhandledExceptionHandler([&](std::exception_ptr e) {
        try {
            std::rethrow_exception(e);
        } catch (const Exception& x) {
            reported.push_back(x.Message);
        }
    });
    TMenuItem* saveItem = m->FindItemByName("SaveMenu");
    saveItem->OnClick = TNotifyEvent([&](TObject*) {
        Item(saveItem->Parent(), "Extra", "Extra");
        throw EMenuError("no file");
    });
    save->trigger();
    EXPECT_EQ(reported, (std::vector<std::string>{"no file"}));
    EXPECT_EQ(bar->actions()[0]->menu()->actions().size(), 5);
    save->trigger();
    EXPECT_EQ(reported.size(), 1u) << "a removed action no longer reaches the item";
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(QtMenuTest, PopupShowsWithoutBlockingAndActionsSeeThePopupComponent)
{
    auto* grid = new TComponent(Form);
    grid->SetName("MemGrid");
    auto* popup = new TPopupMenu(Form);
    TMenuItem* copy = Item(popup->Items(), "Copy1", "&Copy", ShortCut('C', scCtrl));
    Item(popup->Items(), "N1", "-");
    Item(popup->Items(), "Paste1", "&Paste");
    std::string sawComponent;
    copy->OnClick = TNotifyEvent(
        [&](TObject*) { sawComponent = TMenuTestForm::Name(popup->PopupComponent()); });
    int popups = 0;
    popup->OnPopup = TNotifyEvent([&](TObject*) { ++popups; });

    popup->SetPopupComponent(grid);
    popup->Popup(200, 100);
    QMenu* menu = QtPopupMenu(popup);
    ASSERT_NE(menu, nullptr);
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(popups, 1);
    ASSERT_EQ(menu->actions().size(), 3);
    EXPECT_TRUE(menu->actions()[1]->isSeparator());
    menu->actions()[0]->trigger();
    EXPECT_EQ(sawComponent, "MemGrid");
    menu->hide();

    FreeObject(popup);
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

TEST_F(QtMenuTest, EitherSideMayGoFirst)
{
    TMainMenu* m = BuildMainMenu();
    QMenuBar* bar = CreateQtMenuBar(m, Window.get());
    FreeObject(m);
    EXPECT_TRUE(bar->actions().isEmpty());

    TMainMenu* m2 = BuildMainMenu();
    QMenuBar* bar2 = CreateQtMenuBar(m2, Window.get());
    delete bar2;
    m2->FindItemByName("FileMenu")->SetCaption("&Datei");
    Item(m2->Items(), "Extra", "Extra");
    EXPECT_EQ(QtMenuAction(m2->FindItemByName("Extra")), nullptr);
}

QM_CLASS_IMPL(TMenuTestForm, TComponent, [](TClassBuilder<TMenuTestForm>& b) {
    b.Method("SaveMenuClick", &TMenuTestForm::SaveMenuClick);
})

} // namespace
