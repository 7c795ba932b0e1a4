#include "framework/Dialogs.h"

#include "framework/Printers.h"

QM_CLASS_IMPL(TCommonDialog, TComponent, [](TClassBuilder<TCommonDialog>& b) {
    b.Property("HelpContext", &TCommonDialog::HelpContext).Default(0);
    b.Property("OnShow", &TCommonDialog::OnShow);
    b.Property("OnClose", &TCommonDialog::OnClose);
})

QM_CLASS_IMPL(TOpenDialog, TCommonDialog, [](TClassBuilder<TOpenDialog>& b) {
    b.Property("DefaultExt", &TOpenDialog::DefaultExt).Default(std::string());
    b.Property("FileName", &TOpenDialog::FileName).Default(std::string());
    b.Property("Filter", &TOpenDialog::Filter).Default(std::string());
    b.Property("FilterIndex", &TOpenDialog::FilterIndex).Default(1);
    b.Property("InitialDir", &TOpenDialog::InitialDir).Default(std::string());
    b.Property("Options", &TOpenDialog::Options).Default(TOpenOptions{ofHideReadOnly, ofEnableSizing});
    b.Property("Title", &TOpenDialog::Title).Default(std::string());
})

QM_CLASS_IMPL(TSaveDialog, TOpenDialog)

QM_CLASS_IMPL(TColorDialog, TCommonDialog, [](TClassBuilder<TColorDialog>& b) {
    b.Property("Color", &TColorDialog::Color).Default(clBlack).TypeName("TColor");
    b.Property("Options", &TColorDialog::Options).Default(TColorDialogOptions{});
})

QM_CLASS_IMPL(TPrinterSetupDialog, TCommonDialog)

void RegisterDialogsUnitClasses()
{
    RegisterClasses({TOpenDialog::StaticClassInfo(), TSaveDialog::StaticClassInfo(),
                     TColorDialog::StaticClassInfo(), TPrinterSetupDialog::StaticClassInfo()});
}

// ---- Message dialogs ---------------------------------------------------------------------

int MessageDlg(const std::string& Msg, TMsgDlgType DlgType, TMsgDlgButtons Buttons, int)
{
    MessageButtons buttons = MessageButtons::OK;
    if (Buttons.Contains(mbYes) && Buttons.Contains(mbNo))
        buttons = Buttons.Contains(mbCancel) ? MessageButtons::YesNoCancel : MessageButtons::YesNo;
    else if (Buttons.Contains(mbOK) && Buttons.Contains(mbCancel))
        buttons = MessageButtons::OKCancel;
    auto kind = static_cast<MessageKind>(DlgType);
    return MessageBoxService().Show(Msg, MessageKindCaption(kind), kind, buttons);
}

void ShowMessage(const std::string& Msg)
{
    MessageBoxService().Show(Msg, MessageKindCaption(MessageKind::Information),
                             MessageKind::Information, MessageButtons::OK);
}

bool SelectDirectory(const std::string& Caption, const std::string& Root, std::string& Directory)
{
    std::string dir = Directory;
    if (!FileDialogService().SelectFolder(Caption, Root, dir))
        return false;
    Directory = dir;
    return true;
}

std::vector<std::string> ScreenFontNames() { return FontListService().ScreenFonts(); }

// ---- Open and save -----------------------------------------------------------------------

TOpenDialog::TOpenDialog(TComponent* AOwner) : TCommonDialog(AOwner), FFiles(new TStringList()) {}

TOpenDialog::~TOpenDialog() { FreeObject(FFiles); }

std::vector<FileFilter> TOpenDialog::Filters() const
{
    std::vector<FileFilter> out;
    std::vector<std::string> parts;
    std::string cur;
    for (char c : Filter) {
        if (c == '|') {
            parts.push_back(cur);
            cur.clear();
        } else {
            cur += c;
        }
    }
    parts.push_back(cur);
    for (size_t i = 0; i + 1 < parts.size(); i += 2)
        if (!Trim(parts[i + 1]).empty())
            out.push_back({parts[i], Trim(parts[i + 1])});
    return out;
}

std::string TOpenDialog::StartFolder() const
{
    if (!InitialDir.empty()) {
        if (DirectoryExists(InitialDir))
            return ExcludeTrailingPathDelimiter(InitialDir);
        std::string parent = ExtractFileDir(InitialDir);
        if (!parent.empty() && DirectoryExists(parent))
            return parent;
    }
    std::string own = ExtractFileDir(FileName);
    if (!own.empty() && DirectoryExists(own))
        return own;
    return "";
}

bool TOpenDialog::Execute()
{
    FileDialogRequest rq;
    rq.Save = IsSaveDialog();
    rq.Title = Title;
    rq.Directory = StartFolder();
    rq.FileName = ExtractFileName(FileName);
    rq.DefaultExt = DefaultExt;
    rq.Filters = Filters();
    rq.FilterIndex = rq.Filters.empty() ? 1 : std::clamp(FilterIndex, 1, static_cast<int>(rq.Filters.size()));
    rq.OverwritePrompt = Options.Contains(ofOverwritePrompt);
    rq.FileMustExist = Options.Contains(ofFileMustExist);
    rq.AllowMultiSelect = Options.Contains(ofAllowMultiSelect);

    OnShow(this);
    FileDialogResult res = FileDialogService().Run(rq);
    OnClose(this);
    if (!res.Accepted || res.FileNames.empty())
        return false;
    if (!rq.Filters.empty())
        FilterIndex = std::clamp(res.FilterIndex, 1, static_cast<int>(rq.Filters.size()));
    // A bare name takes the extension of the filter it was typed under.
    const std::string ext =
        DefaultExt.empty() || rq.Filters.empty() ? DefaultExt
                                                 : FilterExtension(rq.Filters[std::size_t(FilterIndex - 1)], DefaultExt);
    FFiles->Clear();
    for (std::string name : res.FileNames) {
        if (!ext.empty() && ExtractFileExt(name).empty())
            name += "." + ext;
        FFiles->Add(name);
    }
    FileName = FFiles->Strings(0);
    return true;
}

// ---- Colour and printer set-up -----------------------------------------------------------

bool TColorDialog::Execute()
{
    COLORREF c = ColorToRGB(Color);
    OnShow(this);
    bool ok = ColorDialogService().ChooseColor(c);
    OnClose(this);
    if (ok)
        Color = static_cast<TColor>(c & 0xFFFFFF);
    return ok;
}

bool TPrinterSetupDialog::Execute()
{
    PrintTarget t = Printer()->Target();
    OnShow(this);
    std::string error;
    bool ok = PrintService().SetupDialog(t, error);
    OnClose(this);
    if (!ok && !error.empty())
        throw EPrinter(error);
    if (ok)
        Printer()->ApplyTarget(t);
    return ok;
}
