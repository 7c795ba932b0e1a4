#pragma once
// The radio type dialog: the model, its notes, tester credit and picture, and the two link
// timings RxDelay and TxDelay, with detection of the model and measurement of RxDelay.
#include "framework/Forms.h"

#include <cstdint>
#include <functional>
#include <string>

class TBevel;
class TLabel;
class TComboBox;
class TButton;
class TSpinEdit;
class TMemo;
class TImage;
class TBitmap;

constexpr int RadioPictureCount = 10;

class TRadioTypeForm : public TForm {
    QM_CLASS(TRadioTypeForm, TForm)
public:
    explicit TRadioTypeForm(TComponent* AOwner);
    ~TRadioTypeForm() override;

    TBevel* Bevel1 = nullptr;
    TLabel* Label1 = nullptr;
    TComboBox* TypeSelect = nullptr;
    TButton* AutoDetectRadio = nullptr;
    TBevel* Bevel2 = nullptr;
    TLabel* Label6 = nullptr;
    TLabel* Label2 = nullptr;
    TButton* HelpRxDelayButton = nullptr;
    TSpinEdit* RxDelaySelect = nullptr;
    TButton* AutoDetectRxDelay = nullptr;
    TLabel* Label3 = nullptr;
    TButton* HelpTxDelayButton = nullptr;
    TSpinEdit* TxDelaySelect = nullptr;
    TLabel* Label5 = nullptr;
    TLabel* TestedBy = nullptr;
    TLabel* Label7 = nullptr;
    TMemo* GeneralNotes = nullptr;
    TBevel* Bevel3 = nullptr;
    TLabel* Label4 = nullptr;
    TImage* Image1 = nullptr;
    TImage* Image2 = nullptr;
    TImage* Image3 = nullptr;
    TImage* Image4 = nullptr;
    TImage* Image5 = nullptr;
    TImage* Image6 = nullptr;
    TImage* Image7 = nullptr;
    TImage* Image8 = nullptr;
    TImage* Image9 = nullptr;
    TImage* Image10 = nullptr;
    TButton* OKButton = nullptr;
    TButton* CancelButton = nullptr;

    // Radio is the 1-based model index.
    void SetAll(std::uint8_t Radio);
    // 0 when no model name matches; also writes the two delays into RxDelay and TxDelay.
    void GetAll(std::uint8_t& Radio);
    void UpdateRadio();
    void EnableDisableAll(bool Enable);
    // Picture 1..10 (the model pictures); null for any other number.
    TImage* Picture(int Number) const;

    void FormCreate(TObject* Sender);
    void TypeSelectChange(TObject* Sender);
    void AutoDetectRadioClick(TObject* Sender);
    void AutoDetectRxDelayClick(TObject* Sender);
    void HelpRxDelayButtonClick(TObject* Sender);
    void HelpTxDelayButtonClick(TObject* Sender);

private:
    // Picture n's image, drawn or not.
    TImage* PictureImage(int Number) const;
};

extern TRadioTypeForm* RadioTypeForm;

// The main window's model detection (1-based index or 0) and RxDelay measurement (ms or 0);
// both talk to the radio and report their own results. Set by the unit that provides them;
// while unset the buttons find nothing.
extern std::function<std::uint8_t()> AutoDetectRadioTypeFn;
extern std::function<int()> AutoDetectRxDelayTimeFn;

// Draws the model picture of a number 1..10 (a 153 by 73 front view with its model names).
void DrawRadioPicture(TBitmap* Bitmap, int Number);
