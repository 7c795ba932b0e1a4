// The handlers of the info menu.
#include "app/AboutFormUnit.h"
#include "app/DisclaimFormUnit.h"
#include "app/SplashFormUnit.h"
#include "app/Unit1.h"
#include "framework/SysUtils.h"

std::string ReadMeFile() { return ExecutablePath() + "README.md"; }

void TForm1::OpenReadMe()
{
    const std::string file = ReadMeFile();
    // A missing file is caught here: the desktop's handler would fail where nobody sees it.
    if (!FileExists(file) || !OpenWithDesktop(file))
        OKMessage("Could not open " + file + ".", MessageKind::Error);
}

void TForm1::VYXHomepageSiteClick(TObject*) { OpenReadMe(); }

void TForm1::VYXHomepageSite1Click(TObject*) { OpenReadMe(); }

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
