#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QListWidget>
#include <QKeyEvent>
#include <QMouseEvent>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "framework/Buttons.h"
#include "framework/EventRules.h"
#include "framework/ExtCtrls.h"
#include "framework/Forms.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"

namespace {

// Simulated input: the events a user's keys and clicks produce, sent to the widget.
namespace sim {
inline QString KeyText(int key)
{
    if (key >= Qt::Key_A && key <= Qt::Key_Z)
        return QString(QChar('a' + (key - Qt::Key_A)));
    if (key >= Qt::Key_0 && key <= Qt::Key_9)
        return QString(QChar('0' + (key - Qt::Key_0)));
    if (key == Qt::Key_Return)
        return QString("\r");
    if (key == Qt::Key_Escape)
        return QString(QChar(27));
    return QString();
}
inline void keyClick(QWidget* w, int key)
{
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, KeyText(key));
    QApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, KeyText(key));
    QApplication::sendEvent(w, &release);
}
inline void keyClicks(QWidget* w, const char* text)
{
    for (const char* p = text; *p; ++p) {
        int key = *p >= 'a' && *p <= 'z' ? Qt::Key_A + (*p - 'a') : Qt::Key_0 + (*p - '0');
        keyClick(w, key);
    }
}
inline void mouse(QWidget* w, QEvent::Type t, QPoint p)
{
    QMouseEvent e(t, QPointF(p), QPointF(w->mapToGlobal(p)), Qt::LeftButton,
                  t == QEvent::MouseButtonRelease ? Qt::NoButton : Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}
inline void mouseClick(QWidget* w, QPoint p = QPoint(-1, -1))
{
    if (p.x() < 0)
        p = QPoint(8, w->height() / 2);
    mouse(w, QEvent::MouseButtonPress, p);
    mouse(w, QEvent::MouseButtonRelease, p);
}
inline void mouseDClick(QWidget* w, QPoint p)
{
    mouse(w, QEvent::MouseButtonPress, p);
    mouse(w, QEvent::MouseButtonRelease, p);
    mouse(w, QEvent::MouseButtonDblClick, p);
    mouse(w, QEvent::MouseButtonRelease, p);
}
} // namespace sim

struct EventRulesEnv : ::testing::Test {
    void SetUp() override
    {
        InitForms();
        Application->Initialize();
        RegisterStdControlsClasses();
        Form = new TForm(Application);
        Form->SetBounds(0, 0, 400, 300);
        Form->Show();
        QApplication::processEvents();
    }
    void TearDown() override
    {
        FreeObject(Form);
        DoneForms();
    }

    // Every event the table speaks of is hooked to append its name to Log.
    void Hook(TObject* obj)
    {
        for (const char* name : {"OnChange", "OnClick", "OnSelect", "OnDblClick", "OnEnter"}) {
            if (PPropInfo p = GetPropInfo(obj, name, {tkMethod})) {
                std::string n = name;
                SetMethodProp(obj, p, TMethod::From(TNotifyEvent([this, n](TObject*) { Log.push_back(n); }, nullptr, n)));
            }
        }
        if (auto* w = dynamic_cast<TWinControl*>(obj)) {
            w->OnKeyDown = TKeyEvent([this](TObject*, WORD&, TShiftState) { Log.push_back("OnKeyDown"); });
            w->OnKeyPress = TKeyPressEvent([this](TObject*, char&) { Log.push_back("OnKeyPress"); });
        }
    }
    std::string Joined() const
    {
        std::string s;
        for (const auto& e : Log)
            s += (s.empty() ? "" : " ") + e;
        return s;
    }
    template <class T> T* Make()
    {
        T* c = new T(Form);
        c->SetParent(Form);
        c->SetBounds(10, 10, 200, 100);
        return c;
    }
    void Focus(TWinControl* c)
    {
        c->SetFocus();
        QApplication::processEvents();
    }

    TForm* Form = nullptr;
    std::vector<std::string> Log;
};

QWidget* NativeOf(TControl* c) { return static_cast<TWidgetControl*>(c)->NativeWidget(); }

TEST_F(EventRulesEnv, EveryRowFiresExactlyItsEvents)
{
    // Each driver builds the control in a known state (not logged), then makes the change.
    using Setup = std::function<TControl*()>;
    using Act = std::function<void(TControl*)>;
    auto items = [](TStrings* s) { s->SetCommaText("alpha,beta,gamma"); };
    std::map<std::string, std::pair<Setup, Act>> drivers = {
        {"TEdit/Text", {[&] { return Make<TEdit>(); }, [](TControl* c) { static_cast<TEdit*>(c)->SetText("x"); }}},
        {"TEdit/SameText",
         {[&] {
              auto* e = Make<TEdit>();
              e->SetText("x");
              return e;
          },
          [](TControl* c) { static_cast<TEdit*>(c)->SetText("x"); }}},
        {"TEdit/Type",
         {[&] {
              auto* e = Make<TEdit>();
              Focus(e);
              return e;
          },
          [](TControl* c) { sim::keyClick(NativeOf(c), Qt::Key_A); }}},
        {"TEdit/Focus", {[&] { return Make<TEdit>(); }, [](TControl* c) { NativeOf(c)->setFocus(Qt::MouseFocusReason); }}},
        {"TMemo/Lines", {[&] { return Make<TMemo>(); }, [](TControl* c) { static_cast<TMemo*>(c)->Lines()->Add("line"); }}},
        {"TMemo/Type",
         {[&] {
              auto* m = Make<TMemo>();
              Focus(m);
              return m;
          },
          [](TControl* c) { sim::keyClick(NativeOf(c), Qt::Key_A); }}},
        {"TSpinEdit/Value", {[&] { return Make<TSpinEdit>(); }, [](TControl* c) { static_cast<TSpinEdit*>(c)->SetValue(5); }}},
        {"TSpinEdit/Text", {[&] { return Make<TSpinEdit>(); }, [](TControl* c) { static_cast<TSpinEdit*>(c)->SetText("-"); }}},
        {"TSpinEdit/Type",
         {[&] {
              auto* s = Make<TSpinEdit>();
              Focus(s);
              return s;
          },
          [](TControl* c) { sim::keyClick(NativeOf(c), Qt::Key_7); }}},
        {"TSpinEdit/UpArrow",
         {[&] {
              auto* s = Make<TSpinEdit>();
              Focus(s);
              return s;
          },
          [](TControl* c) { sim::keyClick(NativeOf(c), Qt::Key_Up); }}},
        {"TCheckBox/Checked", {[&] { return Make<TCheckBox>(); }, [](TControl* c) { static_cast<TCheckBox*>(c)->SetChecked(true); }}},
        {"TCheckBox/SameChecked",
         {[&] { return Make<TCheckBox>(); }, [](TControl* c) { static_cast<TCheckBox*>(c)->SetChecked(false); }}},
        {"TCheckBox/Click", {[&] { return Make<TCheckBox>(); }, [](TControl* c) { sim::mouseClick(NativeOf(c)); }}},
        {"TRadioButton/Checked",
         {[&] { return Make<TRadioButton>(); }, [](TControl* c) { static_cast<TRadioButton*>(c)->SetChecked(true); }}},
        {"TRadioButton/Unchecked",
         {[&] {
              auto* r = Make<TRadioButton>();
              r->SetChecked(true);
              return r;
          },
          [](TControl* c) { static_cast<TRadioButton*>(c)->SetChecked(false); }}},
        {"TRadioButton/Click",
         {[&] { return Make<TRadioButton>(); }, [](TControl* c) { sim::mouseClick(NativeOf(c)); }}},
        {"TRadioGroup/ItemIndex",
         {[&] {
              auto* g = Make<TRadioGroup>();
              items(g->Items());
              return g;
          },
          [](TControl* c) { static_cast<TRadioGroup*>(c)->SetItemIndex(1); }}},
        {"TRadioGroup/Click",
         {[&] {
              auto* g = Make<TRadioGroup>();
              items(g->Items());
              return g;
          },
          [](TControl* c) { sim::mouseClick(NativeOf(static_cast<TRadioGroup*>(c)->Buttons(2))); }}},
        {"TButton/Caption", {[&] { return Make<TButton>(); }, [](TControl* c) { c->SetCaption("&Go"); }}},
        {"TButton/Click", {[&] { return Make<TButton>(); }, [](TControl* c) { sim::mouseClick(NativeOf(c)); }}},
        {"TBitBtn/Kind", {[&] { return Make<TBitBtn>(); }, [](TControl* c) { static_cast<TBitBtn*>(c)->SetKind(bkOK); }}},
        {"TBitBtn/Click", {[&] { return Make<TBitBtn>(); }, [](TControl* c) { sim::mouseClick(NativeOf(c)); }}},
        {"TComboBox/ItemIndex",
         {[&] {
              auto* b = Make<TComboBox>();
              items(b->Items());
              return b;
          },
          [](TControl* c) { static_cast<TComboBox*>(c)->SetItemIndex(2); }}},
        {"TComboBox/Text",
         {[&] {
              auto* b = Make<TComboBox>();
              items(b->Items());
              return b;
          },
          [](TControl* c) { static_cast<TComboBox*>(c)->SetText("beta"); }}},
        {"TComboBox/Items", {[&] { return Make<TComboBox>(); }, [&](TControl* c) { items(static_cast<TComboBox*>(c)->Items()); }}},
        {"TComboBox/Choose",
         {[&] {
              auto* b = Make<TComboBox>();
              items(b->Items());
              return b;
          },
          [](TControl* c) {
              auto* q = static_cast<QComboBox*>(NativeOf(c));
              q->setCurrentIndex(1);
              emit q->activated(1);
          }}},
        {"TComboBox/Type",
         {[&] {
              auto* b = Make<TComboBox>();
              Focus(b);
              return b;
          },
          [](TControl* c) { sim::keyClick(NativeOf(c), Qt::Key_B); }}},
        {"TListBox/ItemIndex",
         {[&] {
              auto* l = Make<TListBox>();
              items(l->Items());
              return l;
          },
          [](TControl* c) { static_cast<TListBox*>(c)->SetItemIndex(1); }}},
        {"TListBox/Choose",
         {[&] {
              auto* l = Make<TListBox>();
              items(l->Items());
              return l;
          },
          [](TControl* c) {
              auto* q = static_cast<QListWidget*>(NativeOf(c));
              sim::mouseClick(q->viewport(), q->visualItemRect(q->item(1)).center());
          }}},
        {"TListBox/DoubleClick",
         {[&] {
              auto* l = Make<TListBox>();
              items(l->Items());
              return l;
          },
          [](TControl* c) {
              auto* q = static_cast<QListWidget*>(NativeOf(c));
              QPoint p = q->visualItemRect(q->item(2)).center();
              sim::mouseClick(q->viewport(), p);
              sim::mouseDClick(q->viewport(), p);
          }}},
        {"TProgressBar/Position", {[&] { return Make<TProgressBar>(); }, [](TControl* c) { static_cast<TProgressBar*>(c)->SetPosition(40); }}},
        {"TLabel/Caption", {[&] { return Make<TLabel>(); }, [](TControl* c) { c->SetCaption("x"); }}},
        {"TPanel/Caption", {[&] { return Make<TPanel>(); }, [](TControl* c) { c->SetCaption("x"); }}},
    };
    for (const TEventRule& rule : StdEventRules) {
        std::string key = std::string(rule.ClassName) + "/" + std::string(rule.Change);
        SCOPED_TRACE(key);
        auto it = drivers.find(key);
        ASSERT_NE(it, drivers.end()) << "no driver for a table row";
        TControl* c = it->second.first();
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

TEST_F(EventRulesEnv, HandlersThatRepeatTheChangeDoNotRecurse)
{
    auto* cb = Make<TCheckBox>();
    int clicks = 0;
    cb->OnClick = TNotifyEvent([&](TObject*) {
        ++clicks;
        cb->SetChecked(!cb->Checked());
    });
    cb->SetChecked(true);
    EXPECT_EQ(clicks, 1);
    EXPECT_FALSE(cb->Checked());

    auto* e = Make<TEdit>();
    int changes = 0;
    e->OnChange = TNotifyEvent([&](TObject*) {
        ++changes;
        e->SetText(UpperCase(e->Text()));
    });
    e->SetText("abc");
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(e->Text(), "ABC");

    auto* g = Make<TRadioGroup>();
    g->Items()->SetCommaText("a,b,c");
    int groupClicks = 0;
    g->OnClick = TNotifyEvent([&](TObject*) {
        ++groupClicks;
        g->SetItemIndex(0);
    });
    g->SetItemIndex(2);
    EXPECT_EQ(groupClicks, 2); // the nested change clicks once, then settles
    EXPECT_EQ(g->ItemIndex(), 0);
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
