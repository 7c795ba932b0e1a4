#include "placement/FormPlace.h"

#include "framework/Filer.h"
#include "framework/Modules.h"
#include "placement/PropText.h"
#include "placement/StoreUtils.h"
#include "placement/TextUtils.h"
#include "platform/Gdi.h"
#include "platform/ScopeExit.h"
#include "platform/Windowing.h"

#include <memory>

namespace {
constexpr REGSAM KEY_READ_ACCESS = 0x20019;

HKEY RegRootKey(TPlacementRegRoot root)
{
    switch (root) {
    case prLocalMachine: return HKEY_LOCAL_MACHINE;
    case prCurrentConfig: return HKEY_CURRENT_CONFIG;
    case prClassesRoot: return HKEY_CLASSES_ROOT;
    case prUsers: return HKEY_USERS;
    case prDynData: return HKEY_DYN_DATA;
    default: return HKEY_CURRENT_USER;
    }
}

std::string VariantText(const Variant& v) { return v.IsNull() ? std::string() : VarToStr(v); }

// The value a storage holds, when it holds one.
bool StoredText(TObject* Storage, const std::string& Section, const std::string& Ident, std::string& Text)
{
    if (auto* reg = dynamic_cast<TRegIniFile*>(Storage); reg && reg->ValueExists(Section, Ident)) {
        Text = reg->ReadString(Section, Ident, "");
        return true;
    }
    if (auto* ini = dynamic_cast<TCustomIniFile*>(Storage); ini && ini->ValueExists(Section, Ident)) {
        Text = ini->ReadString(Section, Ident, "");
        return true;
    }
    return false;
}
} // namespace

// What a save would write, setting by setting, in order: an erased section or a value.
// Taken as the baseline right after a restore, each value is what the storage held, or what
// the window showed where the storage held nothing.
class TSettingsRecord : public TCustomIniFile {
public:
    struct Write {
        bool Erase = false;
        std::string Section, Ident, Value;
        bool operator==(const Write&) const = default;
    };
    struct Group {
        std::string Name;
        std::vector<Write> Writes;
    };

    // Stored: the storage whose values stand for those it holds; none for a save.
    explicit TSettingsRecord(TObject* Stored) : TCustomIniFile(std::string()), FStored(Stored) {}

    void Begin(const std::string& Name) { Groups.push_back({Name, {}}); }
    bool Unchanged(const Group& Now) const
    {
        for (const Group& g : Groups)
            if (g.Name == Now.Name)
                return g.Writes == Now.Writes;
        return false;
    }

    std::string ReadString(const std::string&, const std::string&, const std::string& Default) override
    {
        return Default;
    }
    void WriteString(const std::string& Section, const std::string& Ident, const std::string& Value) override
    {
        std::string text = Value;
        if (FStored)
            StoredText(FStored, Section, Ident, text);
        Current().Writes.push_back({false, Section, Ident, text});
    }
    void EraseSection(const std::string& Section) override { Current().Writes.push_back({true, Section, {}, {}}); }
    void ReadSection(const std::string&, std::vector<std::string>& Strings) override { Strings.clear(); }
    void ReadSections(std::vector<std::string>& Strings) override { Strings.clear(); }
    void ReadSectionValues(const std::string&, std::vector<std::string>& Strings) override { Strings.clear(); }
    void DeleteKey(const std::string&, const std::string&) override {}

    std::vector<Group> Groups;

private:
    Group& Current()
    {
        if (Groups.empty())
            Begin(std::string());
        return Groups.back();
    }
    TObject* FStored;
};

// ---- TMinMaxLimits -------------------------------------------------------------------------

QM_CLASS_IMPL(TMinMaxLimits, TPersistent, [](TClassBuilder<TMinMaxLimits>& b) {
    const char* names[] = {"MaxPosLeft",     "MaxPosTop",     "MaxSizeHeight",  "MaxSizeWidth",
                           "MaxTrackHeight", "MaxTrackWidth", "MinTrackHeight", "MinTrackWidth"};
    for (int i = 0; i < 8; ++i)
        b.IndexedProperty(names[i], i, &TMinMaxLimits::GetMinMax, &TMinMaxLimits::SetMinMax).Default(0);
})

TMinMaxLimits::TMinMaxLimits(TFormPlace* AOwner) : FOwner(AOwner) {}

namespace {
LONG* MinMaxField(MINMAXINFO& m, int Index)
{
    switch (Index) {
    case 0: return &m.ptMaxPosition.x;
    case 1: return &m.ptMaxPosition.y;
    case 2: return &m.ptMaxSize.y;
    case 3: return &m.ptMaxSize.x;
    case 4: return &m.ptMaxTrackSize.y;
    case 5: return &m.ptMaxTrackSize.x;
    case 6: return &m.ptMinTrackSize.y;
    case 7: return &m.ptMinTrackSize.x;
    default: return nullptr;
    }
}
} // namespace

int TMinMaxLimits::GetMinMax(int Index) const
{
    LONG* f = MinMaxField(const_cast<MINMAXINFO&>(FMinMaxInfo), Index);
    return f ? *f : 0;
}

void TMinMaxLimits::SetMinMax(int Index, int Value)
{
    LONG* f = MinMaxField(FMinMaxInfo, Index);
    if (!f || *f == Value)
        return;
    *f = Value;
    if (FOwner)
        FOwner->MinMaxInfoChanged();
}

bool TMinMaxLimits::DefaultMinMaxInfo() const
{
    for (int i = 0; i < 8; ++i)
        if (GetMinMax(i) != 0)
            return false;
    return true;
}

void TMinMaxLimits::Assign(TPersistent* Source)
{
    if (auto* src = dynamic_cast<TMinMaxLimits*>(Source)) {
        FMinMaxInfo = src->FMinMaxInfo;
        if (FOwner)
            FOwner->MinMaxInfoChanged();
        return;
    }
    inherited::Assign(Source);
}

// ---- TFormPlace ----------------------------------------------------------------------------

QM_CLASS_IMPL(TFormPlace, TComponent, [](TClassBuilder<TFormPlace>& b) {
    b.Property("Active", &TFormPlace::Active, &TFormPlace::SetActive).Default(true);
    b.Property("IniFileName", &TFormPlace::IniFileName, &TFormPlace::SetIniFileName)
        .Stored([](TFormPlace& p) { return !p.IsDesigning() ? false : !p.IniFileName().empty(); });
    b.Property("IniSection", &TFormPlace::IniSection, &TFormPlace::SetIniSection)
        .Stored([](TFormPlace& p) { return !p.IsDesigning() ? false : !p.IniSection().empty(); });
    b.Property("MinMaxInfo", &TFormPlace::MinMaxInfo, &TFormPlace::SetMinMaxInfo);
    b.Property("Options", &TFormPlace::Options, &TFormPlace::SetOptions)
        .Default(TPlacementOptions{fpState, fpPosition});
    b.Property("PreventResize", &TFormPlace::PreventResize, &TFormPlace::SetPreventResize).Default(false);
    b.Property("RegistryRoot", &TFormPlace::RegistryRoot, &TFormPlace::SetRegistryRoot).Default(prCurrentUser);
    b.Property("UseRegistry", &TFormPlace::UseRegistry, &TFormPlace::SetUseRegistry).Default(false);
    b.Property("Version", &TFormPlace::Version, &TFormPlace::SetVersion).Default(0);
    b.Property("OnSavePlacement", &TFormPlace::OnSavePlacement);
    b.Property("OnRestorePlacement", &TFormPlace::OnRestorePlacement);
})

TFormPlace::TFormPlace(TComponent* AOwner) : TComponent(AOwner)
{
    if (dynamic_cast<TForm*>(AOwner))
        FOptions = {fpState, fpPosition};
    FWinHook = new TWindowHook(this);
    FWinHook->AfterMessage = QM_METHOD(this, TFormPlace, PlacementWindowHook);
    FMinMaxInfo = new TMinMaxLimits(this);
}

TFormPlace::~TFormPlace()
{
    delete FMinMaxInfo;
    FMinMaxInfo = nullptr;
}

void TFormPlace::BeforeDestroy()
{
    CloseStorage();
    if (!IsDesigning()) {
        UnhookOwnerWindow();
        UnhookFormEvents();
    }
    inherited::BeforeDestroy();
}

TCustomForm* TFormPlace::Form() const { return dynamic_cast<TCustomForm*>(Owner()); }

std::string TFormPlace::IniFileName() const
{
    if (FIniFileName.empty() && !IsDesigning())
        return FUseRegistry ? DefaultRegistryKey() : DefaultIniFileName();
    return FIniFileName;
}

std::string TFormPlace::IniSection() const
{
    if (FIniSection.empty() && !IsDesigning())
        return DefaultSectionName(Owner());
    return FIniSection;
}

void TFormPlace::Loaded()
{
    bool loading = IsLoading();
    inherited::Loaded();
    if (IsDesigning())
        return;
    if (loading)
        HookFormEvents();
    UpdateOwnerWindowHook();
}

void TFormPlace::HookFormEvents()
{
    TCustomForm* form = Form();
    if (!form || FEventsHooked)
        return;
    FSaveFormShow = form->OnShow;
    FSaveFormCloseQuery = form->OnCloseQuery;
    FSaveFormDestroy = form->OnDestroy;
    form->OnShow = QM_METHOD(this, TFormPlace, FormShowHandler);
    form->OnCloseQuery = QM_METHOD(this, TFormPlace, FormCloseQueryHandler);
    form->OnDestroy = QM_METHOD(this, TFormPlace, FormDestroyHandler);
    FEventsHooked = true;
    FDefMaximize = form->BorderIcons().Contains(biMaximize);
    if (FPreventResize)
        UpdateBorderIcons();
}

void TFormPlace::UnhookFormEvents()
{
    TCustomForm* form = Form();
    if (!form || !FEventsHooked)
        return;
    form->OnShow = FSaveFormShow;
    form->OnCloseQuery = FSaveFormCloseQuery;
    form->OnDestroy = FSaveFormDestroy;
    FEventsHooked = false;
}

void TFormPlace::UpdateOwnerWindowHook()
{
    if (FMinMaxInfo->DefaultMinMaxInfo() && !FPreventResize)
        UnhookOwnerWindow();
    else
        HookOwnerWindow();
}

void TFormPlace::HookOwnerWindow()
{
    if (!IsDesigning() && Form() && !IsDestroying())
        FWinHook->SetWinControl(Form());
}

void TFormPlace::UnhookOwnerWindow()
{
    if (FWinHook)
        FWinHook->SetWinControl(nullptr);
}

void TFormPlace::MinMaxInfoChanged()
{
    AdjustMaxPosition();
    if (!IsLoading())
        UpdateOwnerWindowHook();
}

void TFormPlace::SetPreventResize(bool v)
{
    if (!Form() || v == FPreventResize)
        return;
    FPreventResize = v;
    AdjustMaxPosition();
    UpdateBorderIcons();
}

void TFormPlace::UpdateBorderIcons()
{
    TCustomForm* form = Form();
    if (IsDesigning() || !form)
        return;
    if (FPreventResize)
        FDefMaximize = form->BorderIcons().Contains(biMaximize);
    {
        // Handlers the form runs while its icons change must not save or restore the placement.
        ScopeExit restore([this, wasActive = FActive] { FActive = wasActive; });
        FActive = false;
        TBorderIcons icons = form->BorderIcons();
        if (!FPreventResize && FDefMaximize && form->BorderStyle() != bsDialog)
            icons += biMaximize;
        else
            icons -= biMaximize;
        form->SetBorderIcons(icons);
    }
    if (!IsLoading())
        UpdateOwnerWindowHook();
}

void TFormPlace::AdjustMaxPosition()
{
    TCustomForm* form = Form();
    if (!form || !form->HandleAllocated() || IsLoading() || FPreventResize || !FMinMaxInfo->DefaultMinMaxInfo())
        return;
    HWND h = form->Handle();
    WINDOWPLACEMENT wp;
    wp.length = sizeof(WINDOWPLACEMENT);
    GetWindowPlacement(h, &wp);
    if (!IsWindowVisible(h))
        wp.showCmd = SW_HIDE;
    switch (form->BorderStyle()) {
    case bsSingle:
    case bsToolWindow:
        wp.ptMaxPosition = {-GetSystemMetrics(SM_CXBORDER), -GetSystemMetrics(SM_CYBORDER)};
        break;
    case bsSizeable:
    case bsSizeToolWin:
        wp.ptMaxPosition = {-GetSystemMetrics(SM_CXFRAME), -GetSystemMetrics(SM_CYFRAME)};
        break;
    case bsDialog:
        wp.ptMaxPosition = {-GetSystemMetrics(SM_CXDLGFRAME), -GetSystemMetrics(SM_CYDLGFRAME)};
        break;
    default:
        wp.ptMaxPosition = {0, 0};
        break;
    }
    SetWindowPlacement(h, &wp);
}

void TFormPlace::PlacementWindowHook(TObject*, TMessage& Msg, bool&)
{
    TCustomForm* form = Form();
    if (FPreventResize && form) {
        switch (Msg.Msg) {
        case WM_GETMINMAXINFO:
            if (form->HandleAllocated() && IsWindowVisible(form->Handle())) {
                auto* mmi = reinterpret_cast<MINMAXINFO*>(Msg.LParam);
                mmi->ptMinTrackSize = {form->Width(), form->Height()};
                mmi->ptMaxTrackSize = {form->Width(), form->Height()};
                Msg.Result = 1;
            }
            break;
        case WM_NCHITTEST:
            if (Msg.Result >= 10 && Msg.Result <= 17) // HTLEFT .. HTBOTTOMRIGHT
                Msg.Result = HTNOWHERE;
            break;
        case WM_INITMENUPOPUP:
            // The toolkit's windows have no system menu to grey: only the answer remains.
            if (HIWORD(static_cast<uint64_t>(Msg.LParam)) != 0)
                Msg.Result = 1;
            break;
        default:
            break;
        }
    } else if (Msg.Msg == WM_GETMINMAXINFO && !FMinMaxInfo->DefaultMinMaxInfo()) {
        auto* mmi = reinterpret_cast<MINMAXINFO*>(Msg.LParam);
        const MINMAXINFO& lim = FMinMaxInfo->MinMaxInfo();
        MINMAXINFO& limits = const_cast<MINMAXINFO&>(lim);
        for (int i = 0; i < 8; ++i) {
            LONG v = *MinMaxField(limits, i);
            if (v != 0)
                *MinMaxField(*mmi, i) = v;
        }
        Msg.Result = 1;
    }
}

void TFormPlace::GuardedCall(void (TFormPlace::*Action)())
{
    try {
        (this->*Action)();
    } catch (...) {
        if (Application)
            Application->HandleException(this);
    }
}

void TFormPlace::FormShowHandler(TObject* Sender)
{
    if (FActive)
        GuardedCall(&TFormPlace::RestoreAllPlacement);
    FSaveFormShow(Sender);
}

void TFormPlace::FormCloseQueryHandler(TObject* Sender, bool& CanClose)
{
    FSaveFormCloseQuery(Sender, CanClose);
    TCustomForm* form = Form();
    if (CanClose && FActive && form && form->Handle() != nullptr)
        GuardedCall(&TFormPlace::SaveAllPlacement);
}

void TFormPlace::FormDestroyHandler(TObject* Sender)
{
    if (FActive && !FSaved) {
        FDestroying = true;
        GuardedCall(&TFormPlace::SaveAllPlacement);
        FDestroying = false;
    }
    FSaveFormDestroy(Sender);
}

void TFormPlace::OpenStorage(bool ReadOnly)
{
    if (StorageObject())
        return;
    if (FUseRegistry) {
        std::string key = IniFileName();
        auto reg = std::make_unique<TRegIniFile>(key);
        if (ReadOnly)
            reg->SetAccess(KEY_READ_ACCESS);
        if (FRegistryRoot != prCurrentUser) {
            reg->SetRootKey(RegRootKey(FRegistryRoot));
            reg->OpenKey(key, !ReadOnly);
        }
        FRegIniFile = reg.release();
    } else {
        FIniFile = new TIniFile(IniFileName());
    }
}

void TFormPlace::CloseStorage()
{
    FreeAndNil(FIniFile);
    FreeAndNil(FRegIniFile);
}

TObject* TFormPlace::StorageObject() const
{
    if (FRecording)
        return FRecording;
    if (FRegIniFile)
        return FRegIniFile;
    return FIniFile;
}

namespace {
// Opens a storage for one access when none is open, and closes it again afterwards.
class TOneAccess {
public:
    TOneAccess(TFormPlace* p, bool readOnly) : FPlace(p), FOpened(!p->StorageObject())
    {
        if (FOpened)
            p->OpenStorage(readOnly);
    }
    ~TOneAccess()
    {
        if (FOpened)
            FPlace->CloseStorage();
    }

private:
    TFormPlace* FPlace;
    bool FOpened;
};
} // namespace

std::string TFormPlace::ReadSectionString(const std::string& Section, const std::string& Ident,
                                          const std::string& Default)
{
    TOneAccess access(this, true);
    return ReadStorageString(StorageObject(), Section, Ident, Default);
}

void TFormPlace::WriteSectionString(const std::string& Section, const std::string& Ident, const std::string& Value)
{
    TOneAccess access(this, false);
    WriteStorageString(StorageObject(), Section, Ident, Value);
}

std::string TFormPlace::ReadStoredString(const std::string& Ident, const std::string& Default)
{
    return ReadSectionString(IniSection(), Ident, Default);
}

void TFormPlace::WriteStoredString(const std::string& Ident, const std::string& Value)
{
    WriteSectionString(IniSection(), Ident, Value);
}

int TFormPlace::ReadStoredInteger(const std::string& Ident, int Default)
{
    TOneAccess access(this, true);
    return ReadStorageInteger(StorageObject(), IniSection(), Ident, Default);
}

void TFormPlace::WriteStoredInteger(const std::string& Ident, int Value)
{
    TOneAccess access(this, false);
    WriteStorageInteger(StorageObject(), IniSection(), Ident, Value);
}

void TFormPlace::BeginSettingsGroup(const std::string& Name)
{
    if (FRecording)
        FRecording->Begin(Name);
}

void TFormPlace::RecordSettings(TSettingsRecord& Record)
{
    FRecording = &Record;
    ScopeExit stop([this] { FRecording = nullptr; });
    StorePlacementValues();
}

void TFormPlace::SaveAllPlacement()
{
    // A form whose placement was never restored must not overwrite what is stored.
    if (FActive && !FRestored)
        return;
    auto now = std::make_unique<TSettingsRecord>(nullptr);
    RecordSettings(*now);
    OpenStorage(false);
    {
        ScopeExit close([this] { CloseStorage(); });
        bool written = false;
        for (const TSettingsRecord::Group& group : now->Groups) {
            if (FBaseline && FBaseline->Unchanged(group))
                continue;
            written = true;
            for (const TSettingsRecord::Write& w : group.Writes) {
                if (!w.Erase)
                    WriteStorageString(StorageObject(), w.Section, w.Ident, w.Value);
                else if (auto* reg = dynamic_cast<TRegIniFile*>(StorageObject()))
                    reg->EraseSection(w.Section);
                else if (auto* ini = dynamic_cast<TCustomIniFile*>(StorageObject()))
                    ini->EraseSection(w.Section);
            }
        }
        // The version goes with the values it describes.
        if (written || !FBaseline)
            WriteStoredInteger("FormVersion", FVersion);
        DoSavePlacement();
        FSaved = true;
    }
    FBaseline = std::move(now);
}

void TFormPlace::StorePlacementValues()
{
    BeginSettingsGroup("placement");
    if (TCustomForm* form = Form()) {
        TObject* storage = StorageObject();
        std::string section = IniSection();
        if (FOptions.Contains(fpState) || FOptions.Contains(fpPosition)) {
            WritePlacementValues(form, storage, section);
            if (auto* reg = dynamic_cast<TRegIniFile*>(storage))
                reg->WriteBool(section, "Visible", FDestroying);
            else if (auto* ini = dynamic_cast<TCustomIniFile*>(storage))
                ini->WriteBool(section, "Visible", FDestroying);
        }
        if (FOptions.Contains(fpActiveControl) && form->ActiveControl()) {
            if (auto* reg = dynamic_cast<TRegIniFile*>(storage))
                reg->WriteString(section, "ActiveControl", form->ActiveControl()->Name());
            else if (auto* ini = dynamic_cast<TCustomIniFile*>(storage))
                ini->WriteString(section, "ActiveControl", form->ActiveControl()->Name());
        }
    }
}

void TFormPlace::RestoreAllPlacement()
{
    FSaved = false;
    OpenStorage(true);
    {
        ScopeExit close([this] {
            FRestored = true;
            CloseStorage();
        });
        if (ReadStoredInteger("FormVersion", 0) >= FVersion) {
            LoadPlacementValues();
            FRestored = true;
            DoRestorePlacement();
            TCustomForm* form = Form();
            if (FOptions.Contains(fpActiveControl) && form) {
                std::string name = ReadStoredString("ActiveControl", "");
                auto* control = dynamic_cast<TWinControl*>(name.empty() ? nullptr : form->FindComponent(name));
                if (control && control->CanFocus())
                    form->SetActiveControl(control);
            }
        }
    }
    AdjustMaxPosition();
    // Should the baseline fail, the next save writes every setting as the window shows it.
    FBaseline.reset();
    OpenStorage(true);
    try {
        auto baseline = std::make_unique<TSettingsRecord>(StorageObject());
        RecordSettings(*baseline);
        FBaseline = std::move(baseline);
    } catch (...) {
    }
    CloseStorage();
}

void TFormPlace::LoadPlacementValues()
{
    if (TCustomForm* form = Form())
        ReadPlacementValues(form, StorageObject(), IniSection(), FOptions.Contains(fpPosition),
                            FOptions.Contains(fpState));
}

void TFormPlace::DoSavePlacement() { OnSavePlacement(this); }

void TFormPlace::DoRestorePlacement() { OnRestorePlacement(this); }

// ---- TStoredValue --------------------------------------------------------------------------

QM_CLASS_IMPL(TStoredValue, TCollectionItem, [](TClassBuilder<TStoredValue>& b) {
    b.Property("Name", &TStoredValue::Name, &TStoredValue::SetName);
    b.Property("Value", &TStoredValue::Value, &TStoredValue::SetValue)
        .Stored([](TStoredValue& v) { return !v.Value().IsEmpty(); });
    b.Property("KeyString", &TStoredValue::KeyString, &TStoredValue::SetKeyString);
    b.Property("OnSave", &TStoredValue::OnSave);
    b.Property("OnRestore", &TStoredValue::OnRestore);
})

TStoredValue::TStoredValue(TCollection* Collection) : TCollectionItem(Collection) {}

TFormStore* TStoredValue::Storage() const
{
    auto* values = dynamic_cast<TStoredValues*>(Collection());
    return values ? values->Storage() : nullptr;
}

void TStoredValue::SetName(const std::string& Value)
{
    if (!Value.empty() && !AnsiSameText(Value, FName)) {
        if (auto* values = dynamic_cast<TStoredValues*>(Collection())) {
            int i = values->IndexOfName(Value);
            if (i >= 0 && values->Items(i) != this)
                throw EStringListError("String list does not allow duplicates");
        }
    }
    FName = Value;
}

std::string TStoredValue::GetDisplayName() const
{
    return FName.empty() ? inherited::GetDisplayName() : FName;
}

void TStoredValue::Assign(TPersistent* Source)
{
    if (auto* src = dynamic_cast<TStoredValue*>(Source)) {
        FValue = src->FValue.IsEmpty() ? Variant() : src->FValue;
        SetName(src->Name());
        FKeyString = src->FKeyString;
        return;
    }
    inherited::Assign(Source);
}

void TStoredValue::SaveStoredValue()
{
    TFormStore* store = Storage();
    if (!store)
        return;
    Variant v = FValue;
    OnSave(this, v);
    std::string text = VariantText(v);
    if (!FKeyString.empty())
        text = XorHexEncode(FKeyString, text);
    store->WriteStoredString(FName, text);
}

void TStoredValue::RestoreStoredValue()
{
    TFormStore* store = Storage();
    if (!store)
        return;
    std::string def = VariantText(FValue);
    if (!FKeyString.empty())
        def = XorHexEncode(FKeyString, def);
    std::string text = store->ReadStoredString(FName, def);
    if (!FKeyString.empty())
        text = XorHexDecode(FKeyString, text);
    Variant v(text);
    OnRestore(this, v);
    FValue = v;
}

// ---- TStoredValues -------------------------------------------------------------------------

QM_CLASS_IMPL(TStoredValues, TOwnedCollection)

TStoredValues::TStoredValues(TFormStore* AOwner)
    : TOwnedCollection(AOwner, TStoredValue::StaticClassInfo()), FStorage(AOwner)
{
}

int TStoredValues::IndexOfName(const std::string& Name) const
{
    for (int i = 0; i < Count(); ++i)
        if (AnsiSameText(Items(i)->Name(), Name))
            return i;
    return -1;
}

void TStoredValues::SaveAllValues()
{
    for (int i = 0; i < Count(); ++i)
        Items(i)->SaveStoredValue();
}

void TStoredValues::RestoreAllValues()
{
    for (int i = 0; i < Count(); ++i)
        Items(i)->RestoreStoredValue();
}

// ---- TFormStore ----------------------------------------------------------------------------

QM_CLASS_IMPL(TFormStore, TFormPlace, [](TClassBuilder<TFormStore>& b) {
    b.Property("StoredProps", &TFormStore::StoredProps, &TFormStore::SetStoredProps).Stored([](TFormStore& s) {
        // Written to a form description: entries follow renamed components first.
        TComponent* root = s.Owner();
        if (root && root->ComponentState().Contains(csWriting))
            SyncStoredList(root, s.StoredProps(), false);
        return s.StoredProps()->Count() > 0;
    });
    b.Property("StoredValues", &TFormStore::StoredValues, &TFormStore::SetStoredValues);
})

TFormStore::TFormStore(TComponent* AOwner) : TFormPlace(AOwner)
{
    FStoredProps = new TStringList();
    FStoredValues = new TStoredValues(this);
    FStoredValues->SetPropName("StoredValues");
}

TFormStore::~TFormStore()
{
    delete FStoredProps;
    FreeObject(FStoredValues);
}

void TFormStore::SetStoredProps(TStrings* Value)
{
    FStoredProps->Assign(Value);
    NotifyStoredComponents();
}

void TFormStore::SetStoredValues(TStoredValues* Value) { FStoredValues->Assign(Value); }

void TFormStore::NotifyStoredComponents()
{
    for (int i = FStoredProps->Count() - 1; i >= 0; --i)
        if (auto* c = dynamic_cast<TComponent*>(FStoredProps->Objects(i)))
            c->FreeNotification(this);
}

void TFormStore::Loaded()
{
    inherited::Loaded();
    SyncStoredList(Owner(), FStoredProps, true);
    NotifyStoredComponents();
}

void TFormStore::DefineProperties(TFiler* Filer) { inherited::DefineProperties(Filer); }

void TFormStore::Notification(TComponent* AComponent, TOperation Operation)
{
    inherited::Notification(AComponent, Operation);
    if (Operation == opRemove && !IsDestroying() && FStoredProps)
        for (int i = FStoredProps->Count() - 1; i >= 0; --i)
            if (FStoredProps->Objects(i) == AComponent)
                FStoredProps->Delete(i);
}

void TFormStore::StorePlacementValues()
{
    inherited::StorePlacementValues();
    StorePropertyList();
    for (int i = 0; i < FStoredValues->Count(); ++i) {
        BeginSettingsGroup("value " + FStoredValues->Items(i)->Name());
        FStoredValues->Items(i)->SaveStoredValue();
    }
}

void TFormStore::LoadPlacementValues()
{
    inherited::LoadPlacementValues();
    FRestored = true;
    LoadPropertyList();
    FStoredValues->RestoreAllValues();
}

void TFormStore::ClearStorageSection(const std::string& Section)
{
    if (auto* reg = dynamic_cast<TRegIniFile*>(StorageObject()))
        reg->EraseSection(Section);
    else if (auto* ini = dynamic_cast<TCustomIniFile*>(StorageObject()))
        ini->EraseSection(Section);
}

void TFormStore::StorePropertyList()
{
    TPropStore store;
    store.Section = IniSection();
    store.OnWriteValue = QM_METHOD(this, TFormStore, WriteSectionString);
    store.OnClearSection = QM_METHOD(this, TFormStore, ClearStorageSection);
    SyncStoredList(Owner(), FStoredProps, false);
    for (int i = 0; i < FStoredProps->Count(); ++i) {
        BeginSettingsGroup("property " + FStoredProps->Strings(i));
        TStringList one;
        one.AddObject(FStoredProps->Strings(i), FStoredProps->Objects(i));
        StoreComponentProps(&store, Owner(), &one);
    }
}

void TFormStore::LoadPropertyList()
{
    TPropStore store;
    store.Section = IniSection();
    store.OnReadValue = QM_METHOD(this, TFormStore, ReadSectionString);
    try {
        LoadComponentProps(&store, Owner(), FStoredProps);
    } catch (...) {
        // A damaged stored list must not keep the window from coming up.
    }
}

// ---- Registration --------------------------------------------------------------------------

void DonePlacement()
{
    FreeHookList();
    DonePropText();
    DoneStoreUtils();
}

void RegisterPlacementClasses()
{
    RegisterClasses({TWindowHook::StaticClassInfo(), TFormPlace::StaticClassInfo(), TFormStore::StaticClassInfo(),
                     TStoredValue::StaticClassInfo(), TStoredValues::StaticClassInfo(),
                     TMinMaxLimits::StaticClassInfo()});
}
