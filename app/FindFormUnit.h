#pragma once
// The find dialog: the search text, where the search starts and its direction. The main
// window's find command shows it modally and reads the choice with GetAll.
#include "framework/Forms.h"

#include <cstdint>
#include <string>

class TLabel;
class TEdit;
class TRadioGroup;
class TBitBtn;

// Item indexes of RadioGroup1 and RadioGroup2.
enum : std::uint8_t { FindStartCurrent = 0, FindStartTop = 1, FindStartBottom = 2 };
enum : std::uint8_t { FindForward = 0, FindBackward = 1 };

class TFindForm : public TForm {
    QM_CLASS(TFindForm, TForm)
public:
    explicit TFindForm(TComponent* AOwner);
    ~TFindForm() override;

    TLabel* Label2 = nullptr;
    TEdit* SearchStr = nullptr;
    TRadioGroup* RadioGroup1 = nullptr;
    TRadioGroup* RadioGroup2 = nullptr;
    TBitBtn* BitBtn1 = nullptr;
    TBitBtn* BitBtn2 = nullptr;

    // StartAt: 0 current position, 1 top, 2 bottom; Direction: 0 forward, 1 backward.
    void GetAll(std::uint8_t& StartAt, std::uint8_t& Direction, std::string& Text);

    void FormCreate(TObject* Sender);
    void FormShow(TObject* Sender);
    void SearchStrEnter(TObject* Sender);
    void Label2Click(TObject* Sender);
    void RadioGroup1Click(TObject* Sender);
};

extern TFindForm* FindForm;
