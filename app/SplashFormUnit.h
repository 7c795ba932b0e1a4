#pragma once
// The splash window: highlights one supported radio after another on a picture of them all
// until the user clicks or types. Shown without blocking the main window.
#include "framework/Forms.h"

#include <cstdint>
#include <functional>
#include <string>

class TImage;
class TLabel;
class TTimer;

class TSplashForm : public TForm {
    QM_CLASS(TSplashForm, TForm)
public:
    explicit TSplashForm(TComponent* AOwner);
    ~TSplashForm() override;

    TImage* SplashBackgroundImage = nullptr;
    TImage* AllRadioImage = nullptr;
    TLabel* MainLabel = nullptr;
    TImage* RadioImage = nullptr;
    TTimer* SplashTimer = nullptr;

    void FormCreate(TObject* Sender);
    void FormActivate(TObject* Sender);
    void SplashTimerTimer(TObject* Sender);
    void FormKeyPress(TObject* Sender, char& Key);
    void SplashBackgroundImageClick(TObject* Sender);
    void MainLabelClick(TObject* Sender);
    void RadioImageClick(TObject* Sender);
    void AllRadioImageClick(TObject* Sender);

    // The picture number 1..8 the last tick showed (0 before the first).
    int ShownPicture() const { return FShownPicture; }

protected:
    void DoShow() override;

private:
    void DrawPictures();
    void StopAndClose();
    int FShownPicture = 0;
};

extern TSplashForm* SplashForm;
// The number 1..8 of the picture shown last; 0 at start and after picture 8.
extern std::uint8_t LastSplashPicture;
// Draws a whole number 1..8; replaceable for tests.
extern std::function<int()> SplashRandomPicture;
