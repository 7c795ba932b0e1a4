#include "app/SplashFormUnit.h"

#include "app/RadiotypeUnit.h"
#include "app/Version.h"
#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/StdCtrls.h"
#include "framework/TypInfo.h"

#include <chrono>
#include <random>

TSplashForm* SplashForm = nullptr;
std::uint8_t LastSplashPicture = 0;

namespace {
void BuildTSplashForm(TClassBuilder<TSplashForm>& b)
{
    b.Field("SplashBackgroundImage", &TSplashForm::SplashBackgroundImage);
    b.Field("AllRadioImage", &TSplashForm::AllRadioImage);
    b.Field("MainLabel", &TSplashForm::MainLabel);
    b.Field("RadioImage", &TSplashForm::RadioImage);
    b.Field("SplashTimer", &TSplashForm::SplashTimer);
#define QM_M(Name) b.Method(#Name, &TSplashForm::Name)
    QM_M(FormCreate); QM_M(FormActivate); QM_M(SplashTimerTimer); QM_M(FormKeyPress);
    QM_M(SplashBackgroundImageClick); QM_M(MainLabelClick); QM_M(RadioImageClick);
    QM_M(AllRadioImageClick);
#undef QM_M
}

int DefaultRandomPicture()
{
    static std::mt19937 generator(static_cast<unsigned>(
        std::chrono::steady_clock::now().time_since_epoch().count()));
    return std::uniform_int_distribution<int>(1, 8)(generator);
}

// Left of picture n over its own place on the picture of all radios.
int PictureLeft(int n) { return ((n - 1) % 4) * 152 + 5; }
int PictureTop(int n) { return n <= 4 ? 70 : 142; }
} // namespace

std::function<int()> SplashRandomPicture = DefaultRandomPicture;

QM_CLASS_IMPL(TSplashForm, TForm, BuildTSplashForm)

TSplashForm::TSplashForm(TComponent* AOwner) : TForm(AOwner) {}

TSplashForm::~TSplashForm() { ForgetGlobal(SplashForm, this); }

void TSplashForm::FormCreate(TObject*) { SplashTimer->SetEnabled(false); }

// The pictures are drawn when the splash is first shown: with the splash turned off they
// are never needed.
void TSplashForm::DoShow()
{
    if (SplashBackgroundImage->Picture()->GetWidth() == 0)
        DrawPictures();
    TForm::DoShow();
}

// The background and the row picture of all radios: a teal-edged panel and the eight model
// pictures in their places, dimmed.
void TSplashForm::DrawPictures()
{
    TBitmap* back = SplashBackgroundImage->Picture()->Bitmap();
    back->SetSize(625, 241);
    TCanvas* c = back->Canvas();
    c->Brush()->SetColor(TColor(0xF0F0E8));
    c->FillRect(TRect{0, 0, 625, 241});
    c->Brush()->SetColor(clTeal);
    c->FillRect(TRect{0, 228, 625, 241});
    c->FillRect(TRect{0, 0, 625, 4});

    TBitmap* all = AllRadioImage->Picture()->Bitmap();
    all->SetSize(613, 145);
    TCanvas* a = all->Canvas();
    a->Brush()->SetColor(TColor(0xF0F0E8));
    a->FillRect(TRect{0, 0, 613, 145});
    TBitmap scratch;
    for (int n = 1; n <= 8; ++n) {
        DrawRadioPicture(&scratch, n);
        int x = PictureLeft(n) - AllRadioImage->Left();
        int y = PictureTop(n) - AllRadioImage->Top();
        a->StretchDraw(TRect{x + 8, y + 4, x + 145, y + 69}, &scratch);
    }
}

void TSplashForm::FormActivate(TObject*)
{
    MainLabel->SetCaption("Quillmere " QM_VERSION);
    SplashTimer->SetEnabled(true);
}

void TSplashForm::SplashTimerTimer(TObject*)
{
    int n;
    do
        n = SplashRandomPicture();
    while (n == LastSplashPicture || n < 1 || n > 8);
    LastSplashPicture = static_cast<std::uint8_t>(n);
    FShownPicture = n;
    if (RadioTypeForm)
        if (TImage* picture = RadioTypeForm->Picture(n))
            RadioImage->Picture()->Assign(picture->Picture());
    RadioImage->SetTop(PictureTop(n));
    RadioImage->SetLeft(PictureLeft(n));
    // Picture 8 may follow itself.
    if (n == 8)
        LastSplashPicture = 0;
}

void TSplashForm::StopAndClose()
{
    SplashTimer->SetEnabled(false);
    Close();
}

void TSplashForm::FormKeyPress(TObject*, char&) { StopAndClose(); }
void TSplashForm::SplashBackgroundImageClick(TObject*) { StopAndClose(); }
void TSplashForm::MainLabelClick(TObject*) { StopAndClose(); }
void TSplashForm::RadioImageClick(TObject*) { StopAndClose(); }
void TSplashForm::AllRadioImageClick(TObject*) { StopAndClose(); }
