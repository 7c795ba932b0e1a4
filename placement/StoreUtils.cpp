#include "placement/StoreUtils.h"

#include "framework/Forms.h"
#include "framework/IniFiles.h"
#include "framework/Registry.h"
#include "framework/SysUtils.h"
#include "placement/TextUtils.h"
#include "platform/Gdi.h"
#include "platform/Windowing.h"

std::string (*IniFileNameHook)() = nullptr;
std::string CompanyKeyName;
bool UseTitleAsKey = false;

namespace {
std::string ExecutableFileName()
{
    std::string exe = Application ? Application->ExeName() : std::string();
    if (exe.empty())
        exe = ExecutablePath();
    return ExtractFileName(exe);
}

bool IsMainForm(TCustomForm* Form)
{
    return !Application || !Application->MainForm() || Application->MainForm() == Form;
}

int ScreenPixelsPerInch() { return Screen ? Screen->PixelsPerInch() : 96; }
} // namespace

std::string DefaultSectionName(TComponent* Component)
{
    if (!Component)
        return std::string();
    if (dynamic_cast<TCustomForm*>(Component))
        return Component->ClassName();
    std::string result = Component->Name();
    if (auto* control = dynamic_cast<TControl*>(Component)) {
        if (TCustomForm* form = GetParentForm(control))
            result = form->ClassName() + result;
        else if (control->Parent())
            result = control->Parent()->Name() + result;
    } else if (dynamic_cast<TForm*>(Component->Owner())) {
        result = Format("%s.%s", {Component->Owner()->ClassName(), Component->Name()});
    }
    return result;
}

std::string DefaultIniFileName()
{
    if (IniFileNameHook)
        return IniFileNameHook();
    return ChangeFileExt(ExecutableFileName(), ".INI");
}

std::string DefaultRegistryKey()
{
    std::string base;
    if (UseTitleAsKey && Application && !Application->Title().empty())
        base = Application->Title();
    else
        base = ChangeFileExt(ExecutableFileName(), "");
    std::string key = "Software\\";
    if (!CompanyKeyName.empty())
        key += CompanyKeyName + "\\";
    return key + base;
}

std::string ReadStorageString(TObject* Storage, const std::string& Section, const std::string& Ident,
                              const std::string& Default)
{
    if (auto* reg = dynamic_cast<TRegIniFile*>(Storage))
        return reg->ReadString(Section, Ident, Default);
    if (auto* ini = dynamic_cast<TCustomIniFile*>(Storage))
        return ini->ReadString(Section, Ident, Default);
    return Default;
}

void WriteStorageString(TObject* Storage, const std::string& Section, const std::string& Ident,
                        const std::string& Value)
{
    // The ini file itself protects a quoted value with one more pair of quotes.
    if (auto* reg = dynamic_cast<TRegIniFile*>(Storage))
        reg->WriteString(Section, Ident, Value);
    else if (auto* ini = dynamic_cast<TCustomIniFile*>(Storage))
        ini->WriteString(Section, Ident, Value);
}

int ReadStorageInteger(TObject* Storage, const std::string& Section, const std::string& Ident, int Default)
{
    if (auto* reg = dynamic_cast<TRegIniFile*>(Storage))
        return reg->ReadInteger(Section, Ident, Default);
    if (auto* ini = dynamic_cast<TCustomIniFile*>(Storage))
        return ini->ReadInteger(Section, Ident, Default);
    return Default;
}

void WriteStorageInteger(TObject* Storage, const std::string& Section, const std::string& Ident, int Value)
{
    if (auto* reg = dynamic_cast<TRegIniFile*>(Storage))
        reg->WriteInteger(Section, Ident, Value);
    else if (auto* ini = dynamic_cast<TCustomIniFile*>(Storage))
        ini->WriteInteger(Section, Ident, Value);
}

std::string ScreenSizeSuffix()
{
    return Format("(%dx%d)", {GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)});
}

std::string ReadSizedString(TObject* Storage, const std::string& Section, const std::string& Ident)
{
    std::string s = ReadStorageString(Storage, Section, Ident + ScreenSizeSuffix(), "");
    if (s.empty())
        s = ReadStorageString(Storage, Section, Ident, "");
    return s;
}

void WriteSizedString(TObject* Storage, const std::string& Section, const std::string& Ident,
                      const std::string& Value)
{
    WriteStorageString(Storage, Section, Ident + ScreenSizeSuffix(), Value);
    WriteStorageString(Storage, Section, Ident, Value);
}

void WritePlacementValues(TCustomForm* Form, TObject* Storage, const std::string& Section)
{
    WINDOWPLACEMENT wp;
    wp.length = sizeof(WINDOWPLACEMENT);
    GetWindowPlacement(Form->Handle(), &wp);
    if (Application && Application->MainForm() == Form && IsIconic(Application->Handle()))
        wp.showCmd = SW_SHOWMINIMIZED;
    if (Form->FormStyle() == fsMDIChild && Form->WindowState() == wsMinimized)
        wp.flags |= 1; // WPF_SETMINPOSITION
    WriteStorageInteger(Storage, Section, "Flags", static_cast<int>(wp.flags));
    WriteStorageInteger(Storage, Section, "ShowCmd", static_cast<int>(wp.showCmd));
    WriteStorageInteger(Storage, Section, "PixelsPerInch", ScreenPixelsPerInch());
    WriteSizedString(Storage, Section, "MinMaxPos",
                     Format("%d,%d,%d,%d", {wp.ptMinPosition.x, wp.ptMinPosition.y, wp.ptMaxPosition.x,
                                            wp.ptMaxPosition.y}));
    WriteSizedString(Storage, Section, "NormPos",
                     Format("%d,%d,%d,%d", {wp.rcNormalPosition.left, wp.rcNormalPosition.top,
                                            wp.rcNormalPosition.right, wp.rcNormalPosition.bottom}));
}

void ReadPlacementValues(TCustomForm* Form, TObject* Storage, const std::string& Section, bool LoadPosition,
                         bool LoadState)
{
    if (!LoadPosition && !LoadState)
        return;
    static const TCharSet delims = " ,";
    WINDOWPLACEMENT wp;
    wp.length = sizeof(WINDOWPLACEMENT);
    HWND h = Form->Handle();
    GetWindowPlacement(h, &wp);
    if (!IsWindowVisible(h))
        wp.showCmd = SW_HIDE;
    if (LoadPosition) {
        bool dataFound = false;
        wp.flags = static_cast<UINT>(ReadStorageInteger(Storage, Section, "Flags", static_cast<int>(wp.flags)));
        std::string s = ReadSizedString(Storage, Section, "MinMaxPos");
        if (!s.empty()) {
            dataFound = true;
            wp.ptMinPosition.x = StrToIntDef(ExtractWordAt(1, s, delims), 0);
            wp.ptMinPosition.y = StrToIntDef(ExtractWordAt(2, s, delims), 0);
            wp.ptMaxPosition.x = StrToIntDef(ExtractWordAt(3, s, delims), 0);
            wp.ptMaxPosition.y = StrToIntDef(ExtractWordAt(4, s, delims), 0);
        }
        s = ReadSizedString(Storage, Section, "NormPos");
        if (!s.empty()) {
            dataFound = true;
            wp.rcNormalPosition.left = StrToIntDef(ExtractWordAt(1, s, delims), Form->Left());
            wp.rcNormalPosition.top = StrToIntDef(ExtractWordAt(2, s, delims), Form->Top());
            wp.rcNormalPosition.right = StrToIntDef(ExtractWordAt(3, s, delims), Form->Left() + Form->Width());
            wp.rcNormalPosition.bottom = StrToIntDef(ExtractWordAt(4, s, delims), Form->Top() + Form->Height());
        }
        if (ReadStorageInteger(Storage, Section, "PixelsPerInch", ScreenPixelsPerInch()) != ScreenPixelsPerInch())
            dataFound = false;
        if (dataFound) {
            if (Form->BorderStyle() != bsSizeable && Form->BorderStyle() != bsSizeToolWin) {
                wp.rcNormalPosition.right = wp.rcNormalPosition.left + Form->Width();
                wp.rcNormalPosition.bottom = wp.rcNormalPosition.top + Form->Height();
            }
            if (wp.rcNormalPosition.right > wp.rcNormalPosition.left) {
                if ((Form->Position() == poScreenCenter || Form->Position() == poDesktopCenter) &&
                    !Form->IsDesigning()) {
                    // Raised so that the form does not re-centre itself on the change.
                    Form->SetDesigning(true, false);
                    Form->SetPosition(poDesigned);
                    Form->SetDesigning(false, false);
                }
                SetWindowPlacement(h, &wp);
            }
        }
    }
    if (LoadState) {
        TWindowState state = wsNormal;
        bool mainForm = IsMainForm(Form);
        if ((mainForm && Form->FormStyle() == fsMDIForm) ||
            (Form->FormStyle() == fsNormal && Form->Position() == poDefault))
            state = wsMaximized;
        switch (ReadStorageInteger(Storage, Section, "ShowCmd", 0)) {
        case 1: case 5: case 9: state = wsNormal; break;
        case 2: case 6: case 7: state = wsMinimized; break;
        case 3: state = wsMaximized; break;
        default: break;
        }
        if (state == wsMinimized && mainForm) {
            if (Form->WindowState() != wsNormal)
                Form->SetWindowState(wsNormal);
            if (Application)
                PostMessage(Application->Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
            return;
        }
        if (Form->FormStyle() != fsMDIChild && Form->FormStyle() != fsMDIForm)
            Form->SetWindowState(state);
    }
    Form->Update();
}

void DoneStoreUtils() { CompanyKeyName.clear(); }
