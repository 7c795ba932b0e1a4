#include "app/RadiotypeUnit.h"

#include "app/Globals.h"
#include "app/Unit1.h"
#include "framework/ExtCtrls.h"
#include "framework/Graphics.h"
#include "framework/Spin.h"
#include "framework/StdCtrls.h"
#include "framework/SysUtils.h"
#include "framework/TypInfo.h"
#include "platform/ScopeExit.h"

#include <algorithm>
#include <charconv>

TRadioTypeForm* RadioTypeForm = nullptr;
std::function<std::uint8_t()> AutoDetectRadioTypeFn;
std::function<int()> AutoDetectRxDelayTimeFn;

namespace {
void BuildTRadioTypeForm(TClassBuilder<TRadioTypeForm>& b)
{
#define QM_F(Name) b.Field(#Name, &TRadioTypeForm::Name)
    QM_F(Bevel1); QM_F(Label1); QM_F(TypeSelect); QM_F(AutoDetectRadio); QM_F(Bevel2);
    QM_F(Label6); QM_F(Label2); QM_F(HelpRxDelayButton); QM_F(RxDelaySelect);
    QM_F(AutoDetectRxDelay); QM_F(Label3); QM_F(HelpTxDelayButton); QM_F(TxDelaySelect);
    QM_F(Label5); QM_F(TestedBy); QM_F(Label7); QM_F(GeneralNotes); QM_F(Bevel3); QM_F(Label4);
    QM_F(Image1); QM_F(Image2); QM_F(Image3); QM_F(Image4); QM_F(Image5); QM_F(Image6);
    QM_F(Image7); QM_F(Image8); QM_F(Image9); QM_F(Image10); QM_F(OKButton); QM_F(CancelButton);
#undef QM_F
#define QM_M(Name) b.Method(#Name, &TRadioTypeForm::Name)
    QM_M(FormCreate); QM_M(TypeSelectChange); QM_M(AutoDetectRadioClick);
    QM_M(AutoDetectRxDelayClick); QM_M(HelpRxDelayButtonClick); QM_M(HelpTxDelayButtonClick);
#undef QM_M
}

// The spin edits show at most three digits.
int HeldDelay(int v) { return std::clamp(v, 0, 999); }

const char* const PictureModels[RadioPictureCount] = {
    "TS-570", "TS-870S", "TS-950S / SDX", "TS-450S / TS-690S", "TS-940",
    "TS-2000", "TS-440 / R-5000", "TS-850SAT", "TS-790", "TS-930"};
} // namespace

QM_CLASS_IMPL(TRadioTypeForm, TForm, BuildTRadioTypeForm)

TRadioTypeForm::TRadioTypeForm(TComponent* AOwner) : TForm(AOwner) {}

TRadioTypeForm::~TRadioTypeForm() { ForgetGlobal(RadioTypeForm, this); }

TImage* TRadioTypeForm::PictureImage(int Number) const
{
    TImage* const images[RadioPictureCount] = {Image1, Image2, Image3, Image4, Image5,
                                               Image6, Image7, Image8, Image9, Image10};
    if (Number < 1 || Number > RadioPictureCount)
        return nullptr;
    return images[Number - 1];
}

// A picture is drawn when first asked for: most runs show one or none.
TImage* TRadioTypeForm::Picture(int Number) const
{
    TImage* image = PictureImage(Number);
    if (image && image->Picture()->GetWidth() == 0)
        DrawRadioPicture(image->Picture()->Bitmap(), Number);
    return image;
}

void TRadioTypeForm::FormCreate(TObject*)
{
    TypeSelect->Items()->Clear();
    for (const TRadioType& r : RadioTypeTable)
        TypeSelect->Items()->Add(r.RadioName);
    SetClientWidth(322);
    for (int n = 1; n <= RadioPictureCount; ++n) {
        TImage* image = PictureImage(n);
        image->SetLeft(80);
        image->SetTop(308);
        image->SetVisible(false);
    }
}

void TRadioTypeForm::SetAll(std::uint8_t Radio)
{
    int index = -1;
    if (RadioTypeTable.ValidIndex(Radio))
        index = TypeSelect->Items()->IndexOf(RadioTypeTable[Radio].RadioName);
    TypeSelect->SetItemIndex(index);
    RxDelaySelect->SetValue(HeldDelay(RxDelay));
    TxDelaySelect->SetValue(HeldDelay(TxDelay));
    UpdateRadio();
}

void TRadioTypeForm::UpdateRadio()
{
    int r = TypeSelect->ItemIndex() + 1;
    for (int n = 1; n <= RadioPictureCount; ++n)
        PictureImage(n)->SetVisible(false);
    GeneralNotes->Lines()->Clear();
    if (!RadioTypeTable.ValidIndex(r)) {
        TestedBy->SetCaption(" ");
        return;
    }
    const TRadioType& radio = RadioTypeTable[r];
    TestedBy->SetCaption(std::string(" ") + radio.TestedBy);

    // ";" breaks a line; ";;" gives an empty one and an empty note one empty line.
    std::string rest = radio.RadioNotes;
    for (std::size_t p; (p = rest.find(';')) != std::string::npos;) {
        GeneralNotes->Lines()->Add(rest.substr(0, p));
        rest.erase(0, p + 1);
    }
    GeneralNotes->Lines()->Add(rest);

    const std::string number = radio.PictureNumber;
    int n = 0;
    auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), n);
    if (ec == std::errc() && ptr == number.data() + number.size())
        if (TImage* image = Picture(n))
            image->SetVisible(true);
}

void TRadioTypeForm::TypeSelectChange(TObject*) { UpdateRadio(); }

void TRadioTypeForm::GetAll(std::uint8_t& Radio)
{
    Radio = 0;
    if (TypeSelect->ItemIndex() >= 0) {
        const std::string name = TypeSelect->Items()->Strings(TypeSelect->ItemIndex());
        for (int r = 1; r <= RadioTypeCount; ++r)
            if (name == RadioTypeTable[r].RadioName)
                Radio = static_cast<std::uint8_t>(r);
    }
    RxDelay = RxDelaySelect->Value();
    TxDelay = TxDelaySelect->Value();
}

void TRadioTypeForm::EnableDisableAll(bool Enable)
{
    OKButton->SetEnabled(Enable);
    CancelButton->SetEnabled(Enable);
    TypeSelect->SetEnabled(Enable);
    RxDelaySelect->SetEnabled(Enable);
    TxDelaySelect->SetEnabled(Enable);
    AutoDetectRadio->SetEnabled(Enable);
    AutoDetectRxDelay->SetEnabled(Enable);
}

// The controls come back even when the detection fails with an exception.
void TRadioTypeForm::AutoDetectRadioClick(TObject*)
{
    EnableDisableAll(false);
    ScopeExit enable([this] { EnableDisableAll(true); });
    std::uint8_t r = AutoDetectRadioTypeFn ? AutoDetectRadioTypeFn() : 0;
    if (r != 0)
        TypeSelect->SetItemIndex(r - 1);
    UpdateRadio();
}

void TRadioTypeForm::AutoDetectRxDelayClick(TObject*)
{
    EnableDisableAll(false);
    ScopeExit enable([this] { EnableDisableAll(true); });
    int d = AutoDetectRxDelayTimeFn ? AutoDetectRxDelayTimeFn() : 0;
    if (d != 0)
        RxDelaySelect->SetValue(HeldDelay(d));
}

void TRadioTypeForm::HelpRxDelayButtonClick(TObject*)
{
    Form1->OKMessage(
        "RX delay is the time in milliseconds VYX waits for the radio to reply\r"
        "when receiving information from the radio. When the radio fails\r"
        "doing so VYX will report a communication failure. Use the \"auto\r"
        "detect\" option to let VYX detect the optimum RX delay.",
        MessageKind::Information);
}

void TRadioTypeForm::HelpTxDelayButtonClick(TObject*)
{
    Form1->OKMessage(
        "TX delay is the time in milliseconds VYX waits when updating the radio.\r"
        "This time is needed to give the radio time to process the new information\r"
        "given to it. A to low value will result in communication errors.",
        MessageKind::Information);
}

void DrawRadioPicture(TBitmap* bmp, int Number)
{
    bmp->SetSize(153, 73);
    TCanvas* c = bmp->Canvas();
    // Front panel, display window and tuning knob; the model names under the display.
    c->Brush()->SetColor(clWhite);
    c->FillRect(TRect{0, 0, 153, 73});
    c->Pen()->SetColor(clBlack);
    c->Brush()->SetColor(TColor(0x404040));
    c->Rectangle(2, 4, 151, 69);
    c->Brush()->SetColor(TColor(0x40C0F0));
    c->Rectangle(10, 10, 84, 28);
    c->Brush()->SetColor(TColor(0x202020));
    c->Ellipse(100, 18, 140, 58);
    c->Brush()->SetColor(TColor(0x909090));
    c->Ellipse(114, 32, 126, 44);
    for (int i = 0; i < 4; ++i) {
        c->Brush()->SetColor(TColor(0xB0B0B0));
        c->Rectangle(10 + i * 19, 52, 24 + i * 19, 60);
    }
    c->Brush()->SetStyle(bsClear);
    c->Font()->SetName("Arial");
    c->Font()->SetHeight(-10);
    c->Font()->SetColor(clWhite);
    if (Number >= 1 && Number <= RadioPictureCount) {
        // A long name ("TS-450S / TS-690S") is set smaller rather than over the knob.
        const std::string name = PictureModels[Number - 1];
        while (c->TextWidth(name) > 84 && c->Font()->GetHeight() < -6)
            c->Font()->SetHeight(c->Font()->GetHeight() + 1);
        c->TextOut(10, 34, name);
    }
}
