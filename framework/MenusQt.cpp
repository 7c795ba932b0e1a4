#include "framework/MenusQt.h"

#include "framework/Menus.h"
#include "platform/AppException.h"
#include "platform/Codepage.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

class TQtMenuPresenter;

// Menu bars draw every entry in the bar's font; the default entry must show bold there too.
class TMenuBarStyle : public QProxyStyle {
public:
    static const QStyleOptionMenuItem* BoldItem(const QStyleOption* Option)
    {
        const auto* mi = qstyleoption_cast<const QStyleOptionMenuItem*>(Option);
        return mi && mi->font.bold() ? mi : nullptr;
    }
    void drawControl(ControlElement Element, const QStyleOption* Option, QPainter* Painter,
                     const QWidget* Widget) const override
    {
        const QStyleOptionMenuItem* mi = BoldItem(Option);
        if (Element == CE_MenuBarItem && mi) {
            Painter->save();
            Painter->setFont(mi->font);
            QProxyStyle::drawControl(Element, Option, Painter, Widget);
            Painter->restore();
            return;
        }
        QProxyStyle::drawControl(Element, Option, Painter, Widget);
    }
    QSize sizeFromContents(ContentsType Type, const QStyleOption* Option, const QSize& Size,
                           const QWidget* Widget) const override
    {
        QSize sz = QProxyStyle::sizeFromContents(Type, Option, Size, Widget);
        if (const QStyleOptionMenuItem* mi = BoldItem(Option); Type == CT_MenuBarItem && mi) {
            QFont normal = mi->font;
            normal.setBold(false);
            int extra = QFontMetrics(mi->font).horizontalAdvance(mi->text) -
                        QFontMetrics(normal).horizontalAdvance(mi->text);
            sz.rwidth() += std::max(0, extra);
        }
        return sz;
    }
};

class TQtMenuBar : public QMenuBar {
public:
    explicit TQtMenuBar(QWidget* Parent) : QMenuBar(Parent)
    {
        auto* style = new TMenuBarStyle();
        style->setParent(this);
        setStyle(style);
    }

protected:
    void initStyleOption(QStyleOptionMenuItem* Option, const QAction* Action) const override
    {
        QMenuBar::initStyleOption(Option, Action);
        if (Action->font().bold())
            Option->font.setBold(true);
    }
};

std::vector<TQtMenuPresenter*>& Presenters()
{
    static std::vector<TQtMenuPresenter*> list;
    return list;
}

// Lives as a child of the widget it fills (the bar or the pop-up), so it goes with it.
class TQtMenuPresenter : public QObject, public IMenuObserver {
public:
    TQtMenuPresenter(TMenu* Menu, QWidget* Root) : QObject(Root), FMenu(Menu), FRoot(Root)
    {
        Presenters().push_back(this);
        FMenu->AddObserver(this);
        Fill(Root, FMenu->Items());
    }

    ~TQtMenuPresenter() override
    {
        Detach();
    }

    TMenu* Menu() const { return FMenu; }
    QWidget* Root() const { return FRoot; }

    QAction* ActionOf(TMenuItem* Item) const
    {
        auto it = FActions.find(Item);
        return it == FActions.end() ? nullptr : it->second;
    }

    void MenuItemChanged(TMenu*, TMenuItem* Item, bool Rebuild) override
    {
        if (!FRoot)
            return;
        if (!Rebuild) {
            if (QAction* a = ActionOf(Item))
                Apply(Item, a, Item->Parent() == FMenu->Items() && IsBar(FRoot));
            return;
        }
        RebuildList(Item);
    }

    void MenuDestroying(TMenu*) override
    {
        if (FRoot)
            ClearContainer(FRoot);
        Detach();
        // A pop-up has no other owner; a menu bar stays with its window, now empty.
        if (FRoot && !qobject_cast<QMenuBar*>(FRoot.data()) && QCoreApplication::instance())
            FRoot->deleteLater();
    }

private:
    void Detach()
    {
        auto& list = Presenters();
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
        if (FMenu)
            FMenu->RemoveObserver(this);
        FMenu = nullptr;
    }

    static bool IsBar(QObject* o) { return qobject_cast<QMenuBar*>(o) != nullptr; }

    // Shows Parent's sub-items again after its list changed.
    void RebuildList(TMenuItem* Parent)
    {
        if (!FMenu)
            return;
        if (Parent == FMenu->Items()) {
            ClearContainer(FRoot);
            Fill(FRoot, Parent);
            return;
        }
        auto sub = FSubMenus.find(Parent);
        bool hasSub = sub != FSubMenus.end();
        bool hasAction = FActions.count(Parent) != 0;
        if (!hasAction)
            return; // not shown: its own parent's rebuild covers it
        if (hasSub != (Parent->Count() > 0)) {
            // Turning into a submenu or back into a plain entry changes its own action.
            if (Parent->Parent())
                RebuildList(Parent->Parent());
            return;
        }
        if (hasSub) {
            ClearContainer(sub->second);
            Fill(sub->second, Parent);
        }
    }

    void Fill(QWidget* Container, TMenuItem* Parent)
    {
        bool inBar = IsBar(Container);
        for (int i = 0; i < Parent->Count(); ++i) {
            TMenuItem* item = Parent->Items(i);
            QAction* a = nullptr;
            if (item->Count() > 0 && !item->IsLine()) {
                auto* sub = new QMenu(Container);
                a = sub->menuAction();
                FSubMenus[item] = sub;
                // Opening a submenu clicks its item, so its handler can prepare the entries.
                QObject::connect(sub, &QMenu::aboutToShow, this, [this, sub] {
                    if (TMenuItem* it = ItemOfMenu(sub))
                        GuardedCall([it] { it->Click(); });
                });
                Fill(sub, item);
            } else {
                a = new QAction(Container);
                QObject::connect(a, &QAction::triggered, this, [this, a] {
                    auto found = FItems.find(a);
                    if (found == FItems.end())
                        return;
                    TMenuItem* it = found->second;
                    GuardedCall([it] { it->Click(); });
                });
            }
            Container->addAction(a);
            FActions[item] = a;
            FItems[a] = item;
            Apply(item, a, inBar);
        }
    }

    TMenuItem* ItemOfMenu(QMenu* Menu) const
    {
        for (const auto& [item, m] : FSubMenus)
            if (m == Menu)
                return item;
        return nullptr;
    }

    void Forget(QAction* a)
    {
        auto it = FItems.find(a);
        if (it == FItems.end())
            return;
        FActions.erase(it->second);
        FSubMenus.erase(it->second);
        FItems.erase(it);
    }

    // Removes every entry of Container; the Qt objects go later, since one of them may be
    // the action whose handler is running right now.
    void ClearContainer(QWidget* Container)
    {
        const auto actions = Container->actions();
        for (QAction* a : actions) {
            if (QMenu* sub = a->menu()) {
                ClearContainer(sub);
                Forget(a);
                Container->removeAction(a);
                sub->deleteLater();
            } else {
                Forget(a);
                Container->removeAction(a);
                a->deleteLater();
            }
        }
    }

    static void Apply(TMenuItem* Item, QAction* A, bool InBar)
    {
        A->setSeparator(Item->IsLine());
        QString text = Item->IsLine() ? QString() : Cp1252ToQString(Item->Caption());
        if (!InBar && Item->ShortCut() != scNone && Item->Count() == 0)
            text += QLatin1Char('\t') + Cp1252ToQString(ShortCutToText(Item->ShortCut()));
        A->setText(text);
        A->setEnabled(Item->Enabled());
        A->setVisible(Item->Visible());
        bool checkable = Item->Checked() || Item->RadioItem() || Item->AutoCheck();
        A->setCheckable(checkable);
        A->setChecked(Item->Checked());
        QFont f = A->font();
        f.setBold(Item->Default());
        A->setFont(f);
        A->setStatusTip(Cp1252ToQString(Item->Hint()));
        A->setToolTip(Cp1252ToQString(Item->Hint()));
    }

    TMenu* FMenu;
    QPointer<QWidget> FRoot;
    std::unordered_map<TMenuItem*, QAction*> FActions;
    std::unordered_map<QAction*, TMenuItem*> FItems;
    std::unordered_map<TMenuItem*, QMenu*> FSubMenus;
};

TQtMenuPresenter* FindPresenter(const TMenu* Menu)
{
    for (TQtMenuPresenter* p : Presenters())
        if (p->Menu() == Menu)
            return p;
    return nullptr;
}

bool HaveGuiApplication() { return qobject_cast<QApplication*>(QCoreApplication::instance()); }

} // namespace

QMenuBar* CreateQtMenuBar(TMainMenu* Menu, QWidget* Parent)
{
    auto* bar = new TQtMenuBar(Parent);
    if (Menu)
        new TQtMenuPresenter(Menu, bar);
    return bar;
}

QMenu* QtPopupMenu(TPopupMenu* Menu)
{
    if (!Menu || !HaveGuiApplication())
        return nullptr;
    for (TQtMenuPresenter* p : Presenters())
        if (p->Menu() == Menu)
            if (auto* m = qobject_cast<QMenu*>(p->Root()))
                return m;
    auto* menu = new QMenu();
    new TQtMenuPresenter(Menu, menu);
    return menu;
}

void PopupQtMenu(TPopupMenu* Menu, int ScreenX, int ScreenY)
{
    QMenu* m = QtPopupMenu(Menu);
    if (!m)
        return;
    int width = m->sizeHint().width();
    int x = ScreenX;
    if (Menu->Alignment() == paRight)
        x -= width;
    else if (Menu->Alignment() == paCenter)
        x -= width / 2;
    m->popup(QPoint(x, ScreenY));
}

QAction* QtMenuAction(TMenuItem* Item)
{
    if (!Item)
        return nullptr;
    TQtMenuPresenter* p = FindPresenter(Item->GetParentMenu());
    return p ? p->ActionOf(Item) : nullptr;
}
