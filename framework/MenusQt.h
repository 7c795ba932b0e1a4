#pragma once
// The Qt presentation of menus: a menu bar or pop-up that mirrors a TMenu and follows its
// changes. Key handling stays with the menu model (TMenu::IsShortCut), so the Qt actions carry
// the shortcut text for display only.
class QAction;
class QMenu;
class QMenuBar;
class QWidget;
class TMainMenu;
class TMenuItem;
class TPopupMenu;

// A menu bar showing Menu, owned by Parent; it stays in sync until either goes.
QMenuBar* CreateQtMenuBar(TMainMenu* Menu, QWidget* Parent);
// Shows Menu's pop-up at a screen point and returns at once; an item the user picks is
// clicked later from the event loop. Does nothing without a QApplication.
void PopupQtMenu(TPopupMenu* Menu, int ScreenX, int ScreenY);
// Menu's Qt pop-up, made on first use; nullptr without a QApplication.
QMenu* QtPopupMenu(TPopupMenu* Menu);
// The action showing Item in the first Qt presentation of its menu; nullptr when none.
QAction* QtMenuAction(TMenuItem* Item);
