#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QListWidget>
#include <QMouseEvent>

#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "ComTestUtil.h"
#include "StdTestUtil.h"
#include "framework/Buttons.h"
#include "framework/ComCtrls.h"
#include "framework/EventRules.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Grids.h"
#include "framework/Menus.h"
#include "framework/MenusQt.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"

namespace {

struct EventRulesEnv : stdtest::ShownFormEnv {
    // The events watched on an object: the common ones, plus every event its class's rows
    // name, so that an event a row leaves out is caught when it fires anyway.
    static std::set<std::string> Watched(const std::string& cls)
    {
        std::set<std::string> names = {"OnChange", "OnClick", "OnSelect", "OnDblClick", "OnEnter", "OnKeyDown", "OnKeyPress"};
        for (const TEventRule& r : EventRules) {
            if (r.ClassName != cls)
                continue;
            std::string_view ev = r.Events;
            while (!ev.empty()) {
                std::size_t sp = ev.find(' ');
                names.insert(std::string(ev.substr(0, sp)));
                ev = sp == std::string_view::npos ? std::string_view() : ev.substr(sp + 1);
            }
        }
        return names;
    }
    TNotifyEvent Logger(const std::string& name)
    {
        return TNotifyEvent([this, name](TObject*) { Log.push_back(name); });
    }
    void HookEvent(TObject* obj, const std::string& n)
    {
        auto log = [this, n] { Log.push_back(n); };
        if (n == "OnKeyDown" || n == "OnKeyPress") {
            auto* w = dynamic_cast<TWinControl*>(obj);
            if (w && n == "OnKeyDown")
                w->OnKeyDown = TKeyEvent([log](TObject*, WORD&, TShiftState) { log(); });
            else if (w)
                w->OnKeyPress = TKeyPressEvent([log](TObject*, char&) { log(); });
        } else if (n == "OnMouseDown" || n == "OnMouseUp") {
            if (auto* c = dynamic_cast<TControl*>(obj))
                (n == "OnMouseDown" ? c->OnMouseDown : c->OnMouseUp) =
                    TMouseEvent([log](TObject*, TMouseButton, TShiftState, int, int) { log(); });
        } else if (n == "OnSelectCell") {
            if (auto* g = dynamic_cast<TStringGrid*>(obj))
                g->OnSelectCell = TSelectCellEvent([log](TObject*, int, int, bool&) { log(); });
        } else if (n == "OnChanging") {
            if (auto* p = dynamic_cast<TPageControl*>(obj))
                p->OnChanging = TTabChangingEvent([this, log](TObject*, bool& allow) {
                    log();
                    allow = AllowChanging;
                });
        } else if (n == "OnTimer") {
            if (auto* t = dynamic_cast<TTimer*>(obj))
                t->OnTimer = TNotifyEvent([log, t](TObject*) {
                    log();
                    t->SetEnabled(false); // one interval is enough to see it fire
                });
        } else if (PPropInfo p = GetPropInfo(obj, n.c_str(), {tkMethod})) {
            SetMethodProp(obj, p, TMethod::From(Logger(n)));
        }
    }
    void HookAll(TObject* obj)
    {
        for (const std::string& n : Watched(obj->ClassName()))
            HookEvent(obj, n);
    }
    // A change may show on a neighbour: a sheet's on its page control, a menu item's on its
    // siblings.
    void Hook(TObject* obj)
    {
        HookAll(obj);
        if (auto* s = dynamic_cast<TTabSheet*>(obj); s && s->PageControl())
            HookAll(s->PageControl());
        if (auto* m = dynamic_cast<TMenuItem*>(obj); m && m->Parent())
            for (int i = 0; i < m->Parent()->Count(); ++i)
                if (m->Parent()->Items(i) != m)
                    HookAll(m->Parent()->Items(i));
    }
    std::string Joined() const
    {
        std::string s;
        for (const auto& e : Log)
            s += (s.empty() ? "" : " ") + e;
        return s;
    }
    template <class T> T* Make(int w = 200, int h = 100)
    {
        T* c = new T(Form);
        c->SetParent(Form);
        c->SetBounds(10, 10, w, h);
        return c;
    }
    void Focus(TWinControl* c)
    {
        c->SetFocus();
        QApplication::processEvents();
    }
    TStringGrid* MakeGrid(bool focused = false)
    {
        auto* g = Make<TStringGrid>(300, 200);
        g->SetColCount(5);
        g->SetRowCount(30);
        g->SetDefaultRowHeight(20);
        if (focused)
            Focus(g);
        return g;
    }
    TPageControl* MakePages(bool focused = false)
    {
        auto* pc = Make<TPageControl>(300, 200);
        for (const char* cap : {"One", "Two", "Three"}) {
            auto* s = new TTabSheet(Form);
            s->SetPageControl(pc);
            s->SetCaption(cap);
        }
        if (focused)
            Focus(pc);
        return pc;
    }
    TToolButton* MakeToolButton(TToolButtonStyle style)
    {
        auto* tb = Make<TToolBar>(300, 30);
        auto* b = new TToolButton(Form);
        b->SetParent(tb);
        b->SetStyle(style);
        return b;
    }
    // Three items of a pop-up menu; the middle one is the subject.
    TMenuItem* MakeMenuItems(bool radio)
    {
        auto* menu = new TPopupMenu(Form);
        std::vector<TMenuItem*> items;
        for (const char* cap : {"&One", "&Two", "T&hree"}) {
            auto* i = new TMenuItem(Form);
            i->SetCaption(cap);
            i->SetRadioItem(radio);
            i->SetAutoCheck(radio);
            menu->Items()->Add(i);
            items.push_back(i);
        }
        if (radio)
            items[0]->SetChecked(true);
        return items[1];
    }

    std::vector<std::string> Log;
    bool AllowChanging = true;
};

QWidget* NativeOf(TComponent* c) { return static_cast<TWidgetControl*>(c)->NativeWidget(); }
template <class T> T* As(TComponent* c) { return static_cast<T*>(c); }
void ClickCenter(TWinControl* c, const TRect& r)
{
    ASSERT_GT(r.right, r.left);
    comtest::UserClick(c, (r.left + r.right) / 2, (r.top + r.bottom) / 2);
}
void ClickToolButton(TComponent* c)
{
    auto* b = As<TToolButton>(c);
    comtest::UserClick(b->ToolBar(), b->Left() + 4, b->Top() + 4);
}

TEST_F(EventRulesEnv, EveryRowFiresExactlyItsEvents)
{
    // Each driver builds the subject in a known state (not logged), then makes the change.
    using Setup = std::function<TComponent*()>;
    using Act = std::function<void(TComponent*)>;
    auto items = [](TStrings* s) { s->SetCommaText("alpha,beta,gamma"); };
    auto listed = [&]<class T>(T*) -> Setup {
        return [&] {
            auto* x = Make<T>();
            items(x->Items());
            return x;
        };
    };
    auto typed = [&]<class T>(T*) -> Setup {
        return [&] {
            auto* e = Make<T>();
            Focus(e);
            return e;
        };
    };
    std::map<std::string, std::pair<Setup, Act>> drivers = {
        {"TEdit/Text", {[&] { return Make<TEdit>(); }, [](TComponent* c) { As<TEdit>(c)->SetText("x"); }}},
        {"TEdit/Text (same value)",
         {[&] {
              auto* e = Make<TEdit>();
              e->SetText("x");
              return e;
          },
          [](TComponent* c) { As<TEdit>(c)->SetText("x"); }}},
        {"TEdit/Text, again in OnChange",
         {[&] { return Make<TEdit>(); },
          [&](TComponent* c) {
              auto* e = As<TEdit>(c);
              e->OnChange = TNotifyEvent([&, e](TObject*) {
                  Log.push_back("OnChange");
                  e->SetText(UpperCase(e->Text()));
              });
              e->SetText("abc");
              EXPECT_EQ(e->Text(), "ABC");
          }}},
        {"TEdit/Type", {typed((TEdit*)nullptr), [](TComponent* c) { sim::keyClick(NativeOf(c), Qt::Key_A); }}},
        {"TEdit/Focus", {[&] { return Make<TEdit>(); }, [](TComponent* c) { NativeOf(c)->setFocus(Qt::MouseFocusReason); }}},
        {"TLabeledEdit/Text", {[&] { return Make<TLabeledEdit>(); }, [](TComponent* c) { As<TLabeledEdit>(c)->SetText("x"); }}},
        {"TLabeledEdit/Type",
         {typed((TLabeledEdit*)nullptr),
          [](TComponent* c) {
              sim::keyClick(NativeOf(c), Qt::Key_A);
              EXPECT_EQ(As<TLabeledEdit>(c)->Text(), "a");
          }}},
        {"TLabeledEdit/EditLabel.Caption",
         {[&] { return Make<TLabeledEdit>(); }, [](TComponent* c) { As<TLabeledEdit>(c)->EditLabel()->SetCaption("RX Freq."); }}},
        {"TMemo/Lines", {[&] { return Make<TMemo>(); }, [](TComponent* c) { As<TMemo>(c)->Lines()->Add("line"); }}},
        {"TMemo/Type", {typed((TMemo*)nullptr), [](TComponent* c) { sim::keyClick(NativeOf(c), Qt::Key_A); }}},
        {"TSpinEdit/Value", {[&] { return Make<TSpinEdit>(); }, [](TComponent* c) { As<TSpinEdit>(c)->SetValue(5); }}},
        {"TSpinEdit/Text", {[&] { return Make<TSpinEdit>(); }, [](TComponent* c) { As<TSpinEdit>(c)->SetText("-"); }}},
        {"TSpinEdit/Type", {typed((TSpinEdit*)nullptr), [](TComponent* c) { sim::keyClick(NativeOf(c), Qt::Key_7); }}},
        {"TSpinEdit/UpArrow", {typed((TSpinEdit*)nullptr), [](TComponent* c) { sim::keyClick(NativeOf(c), Qt::Key_Up); }}},
        {"TCheckBox/Checked", {[&] { return Make<TCheckBox>(); }, [](TComponent* c) { As<TCheckBox>(c)->SetChecked(true); }}},
        {"TCheckBox/Checked (same value)",
         {[&] { return Make<TCheckBox>(); }, [](TComponent* c) { As<TCheckBox>(c)->SetChecked(false); }}},
        {"TCheckBox/Checked, again in OnClick",
         {[&] { return Make<TCheckBox>(); },
          [&](TComponent* c) {
              auto* cb = As<TCheckBox>(c);
              cb->OnClick = TNotifyEvent([&, cb](TObject*) {
                  Log.push_back("OnClick");
                  cb->SetChecked(!cb->Checked());
              });
              cb->SetChecked(true);
              EXPECT_FALSE(cb->Checked());
          }}},
        {"TCheckBox/Click",
         {[&] { return Make<TCheckBox>(); },
          [](TComponent* c) {
              sim::mouseClick(NativeOf(c));
              EXPECT_TRUE(As<TCheckBox>(c)->Checked());
          }}},
        {"TRadioButton/Checked",
         {[&] { return Make<TRadioButton>(); }, [](TComponent* c) { As<TRadioButton>(c)->SetChecked(true); }}},
        {"TRadioButton/Unchecked",
         {[&] {
              auto* r = Make<TRadioButton>();
              r->SetChecked(true);
              return r;
          },
          [](TComponent* c) { As<TRadioButton>(c)->SetChecked(false); }}},
        {"TRadioButton/Click", {[&] { return Make<TRadioButton>(); }, [](TComponent* c) { sim::mouseClick(NativeOf(c)); }}},
        {"TRadioGroup/ItemIndex",
         {listed((TRadioGroup*)nullptr), [](TComponent* c) { As<TRadioGroup>(c)->SetItemIndex(1); }}},
        {"TRadioGroup/ItemIndex (same value)",
         {[&] {
              auto* g = Make<TRadioGroup>();
              items(g->Items());
              g->SetItemIndex(1);
              return g;
          },
          [](TComponent* c) { As<TRadioGroup>(c)->SetItemIndex(1); }}},
        {"TRadioGroup/ItemIndex, another in OnClick",
         {listed((TRadioGroup*)nullptr), [&](TComponent* c) {
              auto* g = As<TRadioGroup>(c);
              g->OnClick = TNotifyEvent([&, g](TObject*) {
                  Log.push_back("OnClick");
                  g->SetItemIndex(0);
              });
              g->SetItemIndex(2);
              EXPECT_EQ(g->ItemIndex(), 0);
          }}},
        {"TRadioGroup/Click",
         {listed((TRadioGroup*)nullptr), [](TComponent* c) { sim::mouseClick(NativeOf(As<TRadioGroup>(c)->Buttons(2))); }}},
        {"TButton/Caption", {[&] { return Make<TButton>(); }, [](TComponent* c) { As<TButton>(c)->SetCaption("&Go"); }}},
        {"TButton/Click", {[&] { return Make<TButton>(); }, [](TComponent* c) { sim::mouseClick(NativeOf(c)); }}},
        {"TBitBtn/Kind", {[&] { return Make<TBitBtn>(); }, [](TComponent* c) { As<TBitBtn>(c)->SetKind(bkOK); }}},
        {"TBitBtn/Click", {[&] { return Make<TBitBtn>(); }, [](TComponent* c) { sim::mouseClick(NativeOf(c)); }}},
        {"TComboBox/ItemIndex",
         {listed((TComboBox*)nullptr), [](TComponent* c) { As<TComboBox>(c)->SetItemIndex(2); }}},
        {"TComboBox/Text",
         {listed((TComboBox*)nullptr), [](TComponent* c) { As<TComboBox>(c)->SetText("beta"); }}},
        {"TComboBox/Items", {[&] { return Make<TComboBox>(); }, [&](TComponent* c) { items(As<TComboBox>(c)->Items()); }}},
        {"TComboBox/Choose",
         {listed((TComboBox*)nullptr), [](TComponent* c) {
              auto* q = static_cast<QComboBox*>(NativeOf(c));
              q->setCurrentIndex(1);
              emit q->activated(1);
          }}},
        {"TComboBox/Type", {typed((TComboBox*)nullptr), [](TComponent* c) { sim::keyClick(NativeOf(c), Qt::Key_B); }}},
        {"TListBox/ItemIndex",
         {listed((TListBox*)nullptr), [](TComponent* c) { As<TListBox>(c)->SetItemIndex(1); }}},
        {"TListBox/Choose",
         {listed((TListBox*)nullptr), [](TComponent* c) {
              auto* q = static_cast<QListWidget*>(NativeOf(c));
              sim::mouseClick(q->viewport(), q->visualItemRect(q->item(1)).center());
          }}},
        {"TListBox/DoubleClick",
         {listed((TListBox*)nullptr), [](TComponent* c) {
              auto* q = static_cast<QListWidget*>(NativeOf(c));
              QPoint p = q->visualItemRect(q->item(2)).center();
              sim::mouseClick(q->viewport(), p);
              sim::mouseDClick(q->viewport(), p);
          }}},
        {"TStringGrid/Row", {[&] { return MakeGrid(); }, [](TComponent* c) { As<TStringGrid>(c)->SetRow(3); }}},
        {"TStringGrid/Row (same value)",
         {[&] {
              auto* g = MakeGrid();
              g->SetRow(3);
              return g;
          },
          [](TComponent* c) { As<TStringGrid>(c)->SetRow(3); }}},
        {"TStringGrid/Col", {[&] { return MakeGrid(); }, [](TComponent* c) { As<TStringGrid>(c)->SetCol(2); }}},
        {"TStringGrid/Col (same value)",
         {[&] {
              auto* g = MakeGrid();
              g->SetCol(2);
              return g;
          },
          [](TComponent* c) { As<TStringGrid>(c)->SetCol(2); }}},
        {"TStringGrid/Row, another in OnClick",
         {[&] { return MakeGrid(); },
          [&](TComponent* c) {
              auto* g = As<TStringGrid>(c);
              g->OnClick = TNotifyEvent([&, g](TObject*) {
                  Log.push_back("OnClick");
                  g->SetRow(5);
              });
              g->SetRow(2);
              EXPECT_EQ(g->Row(), 5);
          }}},
        {"TStringGrid/Selection",
         {[&] { return MakeGrid(); }, [](TComponent* c) { As<TStringGrid>(c)->SetSelection(TGridRect{2, 3, 4, 6}); }}},
        {"TStringGrid/Cells", {[&] { return MakeGrid(); }, [](TComponent* c) { As<TStringGrid>(c)->Cells[1][1] = "x"; }}},
        {"TStringGrid/RowCount", {[&] { return MakeGrid(); }, [](TComponent* c) { As<TStringGrid>(c)->SetRowCount(7); }}},
        {"TStringGrid/click on a cell",
         {[&] { return MakeGrid(true); },
          [](TComponent* c) {
              auto* g = As<TStringGrid>(c);
              ClickCenter(g, g->CellRect(3, 2));
              EXPECT_EQ(g->Row(), 2);
              EXPECT_EQ(g->Col(), 3);
          }}},
        {"TStringGrid/click on a cell of an unfocused grid",
         {[&] { return MakeGrid(); },
          [](TComponent* c) {
              auto* g = As<TStringGrid>(c);
              ClickCenter(g, g->CellRect(3, 2));
              EXPECT_EQ(g->Row(), 2);
              EXPECT_EQ(g->Col(), 3);
          }}},
        {"TStringGrid/click on the current cell",
         {[&] {
              auto* g = MakeGrid(true);
              g->SetRow(2);
              g->SetCol(3);
              return g;
          },
          [](TComponent* c) { ClickCenter(As<TStringGrid>(c), As<TStringGrid>(c)->CellRect(3, 2)); }}},
        {"TStringGrid/click on a fixed cell",
         {[&] { return MakeGrid(true); },
          [](TComponent* c) {
              auto* g = As<TStringGrid>(c);
              ClickCenter(g, g->CellRect(0, 0));
              EXPECT_EQ(g->Row(), 1);
          }}},
        {"TStringGrid/arrow key",
         {[&] { return MakeGrid(); },
          [](TComponent* c) {
              auto* g = As<TStringGrid>(c);
              sim::keyClick(WindowWidget(g->Handle()), Qt::Key_Down);
              EXPECT_EQ(g->Row(), 2);
          }}},
        {"TPageControl/ActivePage",
         {[&] { return MakePages(); }, [](TComponent* c) { As<TPageControl>(c)->SetActivePage(As<TPageControl>(c)->Pages(2)); }}},
        {"TPageControl/ActivePageIndex", {[&] { return MakePages(); }, [](TComponent* c) { As<TPageControl>(c)->SetActivePageIndex(1); }}},
        {"TPageControl/TabIndex", {[&] { return MakePages(); }, [](TComponent* c) { As<TPageControl>(c)->SetTabIndex(2); }}},
        {"TPageControl/click on a tab",
         {[&] { return MakePages(true); },
          [](TComponent* c) {
              auto* pc = As<TPageControl>(c);
              ClickCenter(pc, pc->TabRect(1));
              EXPECT_EQ(pc->ActivePageIndex(), 1);
          }}},
        {"TPageControl/click on a tab (vetoed)",
         {[&] {
              AllowChanging = false;
              return MakePages(true);
          },
          [](TComponent* c) {
              auto* pc = As<TPageControl>(c);
              ClickCenter(pc, pc->TabRect(1));
              EXPECT_EQ(pc->ActivePageIndex(), 0);
          }}},
        {"TPageControl/click on the active tab",
         {[&] { return MakePages(true); }, [](TComponent* c) { ClickCenter(As<TPageControl>(c), As<TPageControl>(c)->TabRect(0)); }}},
        {"TTabSheet/TabVisible", {[&] { return MakePages()->Pages(1); }, [](TComponent* c) { As<TTabSheet>(c)->SetTabVisible(false); }}},
        {"TTabSheet/TabVisible (active page)",
         {[&] { return MakePages()->Pages(0); },
          [](TComponent* c) {
              auto* s = As<TTabSheet>(c);
              s->SetTabVisible(false);
              EXPECT_EQ(s->PageControl()->ActivePage(), s);
          }}},
        {"TToolButton/Down", {[&] { return MakeToolButton(tbsCheck); }, [](TComponent* c) { As<TToolButton>(c)->SetDown(true); }}},
        {"TToolButton/click", {[&] { return MakeToolButton(tbsButton); }, ClickToolButton}},
        {"TToolButton/click (disabled)",
         {[&] {
              auto* b = MakeToolButton(tbsButton);
              b->SetEnabled(false);
              return b;
          },
          ClickToolButton}},
        {"TToolButton/click (check style)",
         {[&] { return MakeToolButton(tbsCheck); },
          [](TComponent* c) {
              ClickToolButton(c);
              EXPECT_TRUE(As<TToolButton>(c)->Down());
          }}},
        {"TMenuItem/Click", {[&] { return MakeMenuItems(false); }, [](TComponent* c) { As<TMenuItem>(c)->Click(); }}},
        {"TMenuItem/Click (disabled)",
         {[&] {
              auto* i = MakeMenuItems(false);
              i->SetEnabled(false);
              return i;
          },
          [](TComponent* c) { As<TMenuItem>(c)->Click(); }}},
        {"TMenuItem/Checked", {[&] { return MakeMenuItems(false); }, [](TComponent* c) { As<TMenuItem>(c)->SetChecked(true); }}},
        {"TMenuItem/Checked (radio item)",
         {[&] { return MakeMenuItems(true); },
          [](TComponent* c) {
              auto* i = As<TMenuItem>(c);
              i->SetChecked(true);
              EXPECT_FALSE(i->Parent()->Items(0)->Checked());
          }}},
        {"TMenuItem/Choose",
         {[&] { return MakeMenuItems(false); },
          [](TComponent* c) {
              auto* i = As<TMenuItem>(c);
              ASSERT_NE(QtPopupMenu(static_cast<TPopupMenu*>(i->GetParentMenu())), nullptr);
              ASSERT_NE(QtMenuAction(i), nullptr);
              QtMenuAction(i)->trigger();
          }}},
        {"TMenuItem/Choose (radio item)",
         {[&] { return MakeMenuItems(true); },
          [](TComponent* c) {
              auto* i = As<TMenuItem>(c);
              ASSERT_NE(QtPopupMenu(static_cast<TPopupMenu*>(i->GetParentMenu())), nullptr);
              ASSERT_NE(QtMenuAction(i), nullptr);
              QtMenuAction(i)->trigger();
              QApplication::processEvents();
              EXPECT_TRUE(i->Checked());
              EXPECT_FALSE(i->Parent()->Items(0)->Checked());
          }}},
        {"TMenuItem/ShortCut",
         {[&] {
              auto* i = MakeMenuItems(false);
              i->SetShortCut(ShortCut(VK_F2, 0));
              return i;
          },
          [](TComponent* c) { EXPECT_TRUE(As<TMenuItem>(c)->GetParentMenu()->IsShortCut(ShortCut(VK_F2, 0))); }}},
        {"TCoolBar/Bands (outside an update)", {[&] { return Make<TCoolBar>(300, 60); }, [](TComponent* c) { As<TCoolBar>(c)->Bands()->Add(); }}},
        {"TStatusBar/Panels",
         {[&] { return Make<TStatusBar>(300, 20); }, [](TComponent* c) { As<TStatusBar>(c)->Panels()->Add()->SetText("Ready"); }}},
        {"TProgressBar/Position", {[&] { return Make<TProgressBar>(); }, [](TComponent* c) { As<TProgressBar>(c)->SetPosition(40); }}},
        {"TProgressBar/Min and Max",
         {[&] { return Make<TProgressBar>(); },
          [](TComponent* c) {
              As<TProgressBar>(c)->SetMin(200);
              As<TProgressBar>(c)->SetMax(300);
          }}},
        {"TProgressBar/StepIt", {[&] { return Make<TProgressBar>(); }, [](TComponent* c) { As<TProgressBar>(c)->StepIt(); }}},
        {"TLabel/Caption", {[&] { return Make<TLabel>(); }, [](TComponent* c) { As<TLabel>(c)->SetCaption("x"); }}},
        {"TStaticText/Caption", {[&] { return Make<TStaticText>(); }, [](TComponent* c) { As<TStaticText>(c)->SetCaption("x"); }}},
        {"TStaticText/Click",
         {[&] {
              auto* t = Make<TStaticText>();
              t->SetCaption("www.example.org");
              return t;
          },
          [](TComponent* c) {
              comtest::UserClick(As<TStaticText>(c), 4, 4);
          }}},
        {"TPanel/Caption", {[&] { return Make<TPanel>(); }, [](TComponent* c) { As<TPanel>(c)->SetCaption("x"); }}},
        {"TTimer/Enabled",
         {[&] {
              auto* t = new TTimer(Form);
              t->SetEnabled(false);
              return t;
          },
          [](TComponent* c) { As<TTimer>(c)->SetEnabled(true); }}},
        {"TTimer/Interval", {[&] { return new TTimer(Form); }, [](TComponent* c) { As<TTimer>(c)->SetInterval(2000); }}},
        {"TTimer/Interval elapses",
         {[&] { return new TTimer(Form); },
          [&](TComponent* c) {
              // A watchdog keeps the wait from blocking forever should the timer never fire.
              auto* watchdog = new TTimer(Form);
              bool timedOut = false;
              watchdog->SetInterval(10000);
              watchdog->OnTimer = TNotifyEvent([&](TObject*) { timedOut = true; });
              As<TTimer>(c)->SetInterval(20);
              while (Log.empty() && !timedOut)
                  Application->HandleMessage();
              FreeObject(watchdog);
          }}},
    };
    EXPECT_EQ(drivers.size(), EventRuleCount) << "a driver for a row that is not in the table";
    for (const TEventRule& rule : EventRules) {
        std::string key = std::string(rule.ClassName) + "/" + std::string(rule.Change);
        SCOPED_TRACE(key);
        auto it = drivers.find(key);
        ASSERT_NE(it, drivers.end()) << "no driver for a table row";
        AllowChanging = true;
        TComponent* c = it->second.first();
        EXPECT_EQ(c->ClassName(), rule.ClassName);
        QApplication::processEvents();
        Log.clear();
        Hook(c);
        it->second.second(c);
        QApplication::processEvents();
        EXPECT_EQ(Joined(), std::string(rule.Events));
        FreeObject(c);
        QApplication::processEvents();
    }
}

TEST(EventRuleTable, RowsAreUniqueAndNameOnlyKnownEvents)
{
    std::set<std::string> keys;
    for (const TEventRule& r : EventRules) {
        EXPECT_TRUE(keys.insert(std::string(r.ClassName) + "/" + std::string(r.Change)).second) << r.ClassName << " " << r.Change;
        EXPECT_EQ(FindEventRule(r.ClassName, r.Change), &r);
        EXPECT_EQ(r.Events.find("  "), std::string_view::npos);
        EXPECT_FALSE(r.Events.starts_with(' ') || r.Events.ends_with(' '));
    }
    EXPECT_EQ(FindEventRule("TStringGrid", "no such change"), nullptr);
}

TEST_F(EventRulesEnv, ComboChoiceFallsBackToOnChangeWithoutOnSelect)
{
    auto* b = Make<TComboBox>();
    b->Items()->SetCommaText("one,two");
    std::vector<std::string> log;
    b->OnChange = TNotifyEvent([&](TObject*) { log.push_back("change:" + b->Text()); });
    auto* q = static_cast<QComboBox*>(b->NativeWidget());
    q->setCurrentIndex(1);
    emit q->activated(1);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0], "change:two");
    EXPECT_EQ(b->ItemIndex(), 1);
}

} // namespace
