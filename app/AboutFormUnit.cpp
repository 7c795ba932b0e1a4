#include "app/AboutFormUnit.h"

#include "app/Globals.h"
#include "app/Unit1.h"
#include "app/Version.h"
#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/StdCtrls.h"
#include "framework/TypInfo.h"
#include "platform/Services.h"

#include <cstdio>
#include <filesystem>
#include <fstream>

TAboutForm* AboutForm = nullptr;

namespace {
void BuildTAboutForm(TClassBuilder<TAboutForm>& b)
{
#define QM_F(Name) b.Field(#Name, &TAboutForm::Name)
    QM_F(Image1); QM_F(StaticText1); QM_F(StaticText2); QM_F(Memo1); QM_F(Bevel1);
    QM_F(EMailImage); QM_F(StaticText7); QM_F(ICQImage); QM_F(OkButton);
#undef QM_F
#define QM_M(Name) b.Method(#Name, &TAboutForm::Name)
    QM_M(FormCreate); QM_M(FormShow); QM_M(OkButtonClick); QM_M(StaticText7Click);
    QM_M(EMailImageClick); QM_M(ICQImageClick);
#undef QM_M
}

// The image's bitmap at w x h, filled with the background; its canvas to draw on.
TCanvas* BlankPicture(TImage* image, int w, int h, TColor background)
{
    TBitmap* b = image->Picture()->Bitmap();
    b->SetSize(w, h);
    TCanvas* c = b->Canvas();
    c->Brush()->SetColor(background);
    c->FillRect(TRect{0, 0, w, h});
    return c;
}

void DrawIcon(TImage* image)
{
    TCanvas* c = BlankPicture(image, 32, 32, clTeal);
    c->Pen()->SetColor(clWhite);
    c->Brush()->SetColor(TColor(0x404040));
    c->Rectangle(2, 9, 30, 25);
    c->Brush()->SetColor(TColor(0x40C0F0));
    c->Rectangle(5, 12, 17, 18);
    c->Brush()->SetColor(clWhite);
    c->Ellipse(20, 12, 28, 20);
}

void DrawEnvelope(TImage* image)
{
    TCanvas* c = BlankPicture(image, 32, 24, TColor(0x804000));
    c->Pen()->SetColor(clBlack);
    c->Brush()->SetColor(clWhite);
    c->Rectangle(2, 3, 30, 21);
    c->MoveTo(2, 3);
    c->LineTo(16, 13);
    c->LineTo(30, 3);
}

void DrawFlower(TImage* image)
{
    TCanvas* c = BlankPicture(image, 24, 24, TColor(0x804000));
    c->Pen()->SetColor(TColor(0x008000));
    c->Brush()->SetColor(TColor(0x00C000));
    const int petals[5][2] = {{9, 1}, {16, 6}, {14, 15}, {4, 15}, {2, 6}};
    for (const auto& p : petals)
        c->Ellipse(p[0], p[1], p[0] + 8, p[1] + 8);
    c->Brush()->SetColor(TColor(0x0000E0));
    c->Ellipse(8, 8, 16, 16);
}
} // namespace

QM_CLASS_IMPL(TAboutForm, TForm, BuildTAboutForm)

TAboutForm::TAboutForm(TComponent* AOwner) : TForm(AOwner) {}

TAboutForm::~TAboutForm() { ForgetGlobal(AboutForm, this); }

void TAboutForm::FormCreate(TObject*)
{
    DrawIcon(Image1);
    DrawEnvelope(EMailImage);
    DrawFlower(ICQImage);
}

void TAboutForm::FormShow(TObject*)
{
    StaticText1->SetCaption("Quillmere");
    StaticText2->SetCaption("Version: " QM_VERSION);
}

void TAboutForm::OkButtonClick(TObject*) { Close(); }

// The program has no home page or mail address of its own: both links show its read-me.
void TAboutForm::StaticText7Click(TObject*) { Form1->OpenReadMe(); }

void TAboutForm::EMailImageClick(TObject*) { Form1->OpenReadMe(); }

// Hands the author's contact to the messenger through a contact file it opens.
void TAboutForm::ICQImageClick(TObject*)
{
    if (!ShellService().HasHandlerForExtension(".uin")) {
        Form1->OKMessage("Error, could not find ICQ.", MessageKind::Error);
        return;
    }
    std::string folder = MemoryFileDir;
    if (!folder.empty() && folder.back() != '/')
        folder += '/';
    const std::string fileName = folder + AuthorContactName + ".uin";
    {
        std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
        if (out)
            out << "\r\n[ICQ User]\r\nUIN=" << AuthorMessengerNumber << "\r\n";
        if (!out || !out.flush()) {
            out.close();
            std::error_code ec;
            std::filesystem::remove(fileName, ec);
            Form1->OKMessage("Could not write temp. file " + fileName + ".", MessageKind::Error);
            return;
        }
    }
    ShellExecuteA(nullptr, nullptr, fileName.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
    Form1->OKMessage("ICQ contact information added.", MessageKind::Information);
    std::error_code ec;
    std::filesystem::remove(fileName, ec);
}
