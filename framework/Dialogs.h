#pragma once
// Common dialogs as components (open, save, colour, printer set-up), the folder browse and
// the message dialogs, all through the desktop services of platform/Services.h.
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Graphics.h"
#include "framework/TypInfo.h"
#include "platform/Services.h"

// ---- Message dialogs ---------------------------------------------------------------------
QM_ENUM(TMsgDlgType, mtWarning, mtError, mtInformation, mtConfirmation, mtCustom)
QM_ENUM(TMsgDlgBtn, mbYes, mbNo, mbOK, mbCancel, mbAbort, mbRetry, mbIgnore, mbAll, mbNoToAll,
        mbYesToAll, mbHelp)
using TMsgDlgButtons = Set<TMsgDlgBtn>;
inline constexpr TMsgDlgButtons mbYesNoCancel{mbYes, mbNo, mbCancel};
inline constexpr TMsgDlgButtons mbOKCancel{mbOK, mbCancel};

// A modal box centred on the screen, captioned by its type ("Warning", "Error",
// "Information", "Note"). Buttons: Yes/No/Cancel, Yes/No, OK/Cancel, else OK. Returns the
// modal result: 1 OK, 2 Cancel, 6 Yes, 7 No.
int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int HelpCtx = 0);
// An OK box with the caption "Information".
void ShowMessage(const std::string& Msg);

// ---- Folder browse and fonts -------------------------------------------------------------
// Caption shown, browsing below Root (may be empty) from Directory; true and the chosen folder
// in Directory when confirmed.
bool SelectDirectory(const std::string& Caption, const std::string& Root, std::string& Directory);
// The screen's font family names, sorted.
std::vector<std::string> ScreenFontNames();

// ---- Common dialogs ----------------------------------------------------------------------
class TCommonDialog : public TComponent {
    QM_CLASS(TCommonDialog, TComponent)
public:
    explicit TCommonDialog(TComponent* AOwner) : TComponent(AOwner) {}
    virtual bool Execute() = 0;
    int HelpContext = 0;
    TNotifyEvent OnShow;
    TNotifyEvent OnClose;
};

QM_ENUM(TOpenOption, ofReadOnly, ofOverwritePrompt, ofHideReadOnly, ofNoChangeDir, ofShowHelp,
        ofNoValidate, ofAllowMultiSelect, ofExtensionDifferent, ofPathMustExist, ofFileMustExist,
        ofCreatePrompt, ofShareAware, ofNoReadOnlyReturn, ofNoTestFileCreate, ofNoNetworkButton,
        ofNoLongNames, ofOldStyleDialog, ofNoDereferenceLinks, ofEnableIncludeNotify,
        ofEnableSizing, ofDontAddToRecent, ofForceShowHidden)
using TOpenOptions = Set<TOpenOption>;

class TOpenDialog : public TCommonDialog {
    QM_CLASS(TOpenDialog, TCommonDialog)
public:
    explicit TOpenDialog(TComponent* AOwner);
    ~TOpenDialog() override;
    bool Execute() override;

    std::string Title;
    std::string FileName; // after Execute: the chosen full path
    std::string InitialDir; // a folder, or a file path meaning its folder
    std::string DefaultExt; // without the dot
    std::string Filter;     // "text|mask|text|mask..."
    int FilterIndex = 1;    // 1-based; after Execute: the filter the user chose
    TOpenOptions Options{ofHideReadOnly, ofEnableSizing};
    TStrings* Files() const { return FFiles; } // after Execute: every chosen file

    // The pairs of Filter; a text without mask is left out.
    std::vector<FileFilter> Filters() const;
    // The folder the dialog starts in: InitialDir when it is a folder, the folder of a file
    // path (existing or not) when that folder exists, else FileName's folder, else "".
    std::string StartFolder() const;

protected:
    virtual bool IsSaveDialog() const { return false; }

private:
    TStrings* FFiles;
};

class TSaveDialog : public TOpenDialog {
    QM_CLASS(TSaveDialog, TOpenDialog)
public:
    explicit TSaveDialog(TComponent* AOwner) : TOpenDialog(AOwner) {}

protected:
    bool IsSaveDialog() const override { return true; }
};

QM_ENUM(TColorDialogOption, cdFullOpen, cdPreventFullOpen, cdShowHelp, cdSolidColor, cdAnyColor)
using TColorDialogOptions = Set<TColorDialogOption>;

class TColorDialog : public TCommonDialog {
    QM_CLASS(TColorDialog, TCommonDialog)
public:
    explicit TColorDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
    bool Execute() override;
    TColor Color = clBlack;
    TColorDialogOptions Options;
};

class TPrinterSetupDialog : public TCommonDialog {
    QM_CLASS(TPrinterSetupDialog, TCommonDialog)
public:
    explicit TPrinterSetupDialog(TComponent* AOwner) : TCommonDialog(AOwner) {}
    // Shows the set-up of Printer(); the choice (printer or PDF file, paper, orientation,
    // copies, pages) becomes Printer()'s when confirmed. EPrinter when it cannot be shown (a
    // print server that does not answer).
    bool Execute() override;
};

void RegisterDialogsUnitClasses();
