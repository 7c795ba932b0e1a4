#pragma once
// The options dialog: the folder of channel files, the start-up action, the splash switch
// and the association of channel files with the program. Also the test whether the
// association may be offered.
#include "framework/Forms.h"

#include <cstdint>
#include <functional>
#include <string>

class TBevel;
class TLabel;
class TEdit;
class TButton;
class TCheckBox;
class TRadioButton;

class TOptionsForm : public TForm {
    QM_CLASS(TOptionsForm, TForm)
public:
    explicit TOptionsForm(TComponent* AOwner);
    ~TOptionsForm() override;

    TBevel* Bevel1 = nullptr;
    TLabel* Label1 = nullptr;
    TEdit* Edit1 = nullptr;
    TButton* BrowseButton2 = nullptr;
    TBevel* Bevel2 = nullptr;
    TCheckBox* SplashScreenCheckBox = nullptr;
    TCheckBox* FileAssociationCheckBox = nullptr;
    TBevel* Bevel3 = nullptr;
    TCheckBox* OnStartup = nullptr;
    TRadioButton* RadioButton1 = nullptr;
    TRadioButton* RadioButton2 = nullptr;
    TRadioButton* RadioButton3 = nullptr;
    TEdit* Edit2 = nullptr;
    TButton* BrowseButton1 = nullptr;
    TButton* OKButton = nullptr;
    TButton* CancelButton = nullptr;

    // Fills the controls from the option variables.
    void SetAll();
    // AutoLoadOption is left as the caller set it when no start-up button is checked.
    void GetALL(std::string& MemoryFileDir, std::string& AutoStartMem, bool& AutoVink,
                bool& DisableSplashScreen, std::uint8_t& AutoLoadOption, bool& FileAssociation);
    void UpdateCheckBox();

    void OnStartupClick(TObject* Sender);
    void RadioButton1Click(TObject* Sender);
    void RadioButton2Click(TObject* Sender);
    void RadioButton3Click(TObject* Sender);
    void BrowseButton1Click(TObject* Sender);
    void BrowseButton2Click(TObject* Sender);
};

extern TOptionsForm* OptionsForm;

// The main window's open-file dialog for channel files: the chosen file or "". Set by the
// unit that provides it; while unset the browse button chooses nothing.
extern std::function<std::string()> BrowseFileFn;

// Whether the user may associate channel files with the program: the desktop's per-user
// data folder is writable.
bool IsAdmin();
