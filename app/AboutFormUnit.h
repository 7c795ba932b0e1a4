#pragma once
// The about box: program name and version, a thanks text and the author's contact links.
// Shown without blocking the main window.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TImage;
class TStaticText;
class TMemo;
class TBevel;
class TButton;

class TAboutForm : public TForm {
    QM_CLASS(TAboutForm, TForm)
public:
    explicit TAboutForm(TComponent* AOwner);
    ~TAboutForm() override;

    TImage* Image1 = nullptr;
    TStaticText* StaticText1 = nullptr;
    TStaticText* StaticText2 = nullptr;
    TMemo* Memo1 = nullptr;
    TBevel* Bevel1 = nullptr;
    TImage* EMailImage = nullptr;
    TStaticText* StaticText7 = nullptr;
    TImage* ICQImage = nullptr;
    TButton* OkButton = nullptr;

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void OkButtonClick(TObject* Sender);
    void StaticText7Click(TObject* Sender);
    void EMailImageClick(TObject* Sender);
    void ICQImageClick(TObject* Sender);
};

extern TAboutForm* AboutForm;

// The author's messenger contact.
constexpr const char* AuthorContactName = "Quillmere_Author";
constexpr const char* AuthorMessengerNumber = "123456789";
