// The handlers of the info menu.
#include "app/AboutFormUnit.h"
#include "app/DisclaimFormUnit.h"
#include "app/SplashFormUnit.h"
#include "app/Unit1.h"


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
