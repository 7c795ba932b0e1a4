#include "framework/MenusQt.h"

#include "framework/Menus.h"
#include "platform/AppException.h"
#include "platform/Codepage.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>

#include <algorithm>
#include <unordered_map>
#include <vector>

namespace {

class TQtMenuPresenter;

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
                Apply(Item, a, IsBar(a->parent()));
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
        QString text = Cp1252ToQString(Item->Caption());
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
    auto* bar = new QMenuBar(Parent);
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
