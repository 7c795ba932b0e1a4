// The menu bar: its presentation, its shortcuts and the handlers of the info menu.
#include "app/AboutFormUnit.h"
#include "app/DisclaimFormUnit.h"
#include "app/SplashFormUnit.h"
#include "app/Unit1.h"

#include "framework/Menus.h"
#include "framework/MenusQt.h"
#include "platform/QtWindow.h"

bool TForm1::HandleMenuShortCut(WORD Key, TShiftState Shift)
{
    TPopupMenu* popup = nullptr;
    if (TWinControl* focused = ActiveControl())
        popup = dynamic_cast<TPopupMenu*>(focused->PopupMenu());
    return DispatchMenuShortCut(popup, MainMenu1, Key, Shift);
}

void TForm1::KeyDown(WORD& Key, TShiftState Shift)
{
    if (Key != 0 && HandleMenuShortCut(Key, Shift)) {
        Key = 0;
        return;
    }
    TForm::KeyDown(Key, Shift);
}

void TForm1::ShowMainMenuBar()
{
    if (FMenuBarShown || !MainMenu1)
        return;
    if (QWidget* widget = WindowWidget(Handle())) {
        CreateQtMenuBar(MainMenu1, widget);
        FMenuBarShown = true;
    }
}

void TForm1::VYXHomepageSiteClick(TObject*)
{
    if (!OpenWebsite(MainWebsite))
        ShowStatus(std::string("Could not open ") + MainWebsite);
}

void TForm1::VYXHomepageSite1Click(TObject*)
{
    if (!OpenWebsite(MirrorWebsite))
        ShowStatus(std::string("Could not open ") + MirrorWebsite);
}

void TForm1::Disclaimer1Click(TObject*)
{
    if (DisclaimForm)
        DisclaimForm->Show();
}

void TForm1::AboutMenuClick(TObject*)
{
    if (AboutForm)
        AboutForm->Show();
}

void TForm1::SplashMenuClick(TObject*)
{
    if (SplashForm)
        SplashForm->Show();
}
