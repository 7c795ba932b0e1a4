#pragma once
// Saving and restoring a form's window placement (TFormPlace) and, with it, chosen
// component properties and named values (TFormStore), in the registry or an ini file.
#include <memory>
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/Forms.h"
#include "framework/IniFiles.h"
#include "framework/Registry.h"
#include "framework/TypInfo.h"
#include "framework/Variants.h"
#include "placement/WinHook.h"

QM_ENUM_TYPED(TPlacementOption, uint8_t, fpState, fpPosition, fpActiveControl)
using TPlacementOptions = Set<TPlacementOption>;
QM_ENUM_TYPED(TPlacementRegRoot, uint8_t, prCurrentUser, prLocalMachine, prCurrentConfig, prClassesRoot,
              prUsers, prDynData)

class TFormPlace;
class TFormStore;
class TSettingsRecord;

class TMinMaxLimits : public TPersistent {
    QM_CLASS(TMinMaxLimits, TPersistent)
public:
    explicit TMinMaxLimits(TFormPlace* AOwner);
    void Assign(TPersistent* Source) override;
    int GetMinMax(int Index) const;
    void SetMinMax(int Index, int Value);
    bool DefaultMinMaxInfo() const;
    const MINMAXINFO& MinMaxInfo() const { return FMinMaxInfo; }

private:
    TFormPlace* FOwner;
    MINMAXINFO FMinMaxInfo{};
};

class TFormPlace : public TComponent {
    QM_CLASS(TFormPlace, TComponent)
public:
    explicit TFormPlace(TComponent* AOwner);
    ~TFormPlace() override;

    bool Active() const { return FActive; }
    void SetActive(bool v) { FActive = v; }
    std::string IniFileName() const;
    void SetIniFileName(const std::string& v) { FIniFileName = v; }
    std::string IniSection() const;
    void SetIniSection(const std::string& v) { FIniSection = v; }
    TMinMaxLimits* MinMaxInfo() const { return FMinMaxInfo; }
    void SetMinMaxInfo(TMinMaxLimits* v) { FMinMaxInfo->Assign(v); }
    TPlacementOptions Options() const { return FOptions; }
    void SetOptions(TPlacementOptions v) { FOptions = v; }
    bool PreventResize() const { return FPreventResize; }
    void SetPreventResize(bool v);
    TPlacementRegRoot RegistryRoot() const { return FRegistryRoot; }
    void SetRegistryRoot(TPlacementRegRoot v) { FRegistryRoot = v; }
    bool UseRegistry() const { return FUseRegistry; }
    void SetUseRegistry(bool v) { FUseRegistry = v; }
    int Version() const { return FVersion; }
    void SetVersion(int v) { FVersion = v; }

    TNotifyEvent OnSavePlacement;
    TNotifyEvent OnRestorePlacement;

    void SaveAllPlacement();
    void RestoreAllPlacement();
    void OpenStorage(bool ReadOnly);
    void CloseStorage();
    TObject* StorageObject() const;

    virtual std::string ReadSectionString(const std::string& Section, const std::string& Ident,
                                          const std::string& Default);
    virtual void WriteSectionString(const std::string& Section, const std::string& Ident, const std::string& Value);
    std::string ReadStoredString(const std::string& Ident, const std::string& Default);
    void WriteStoredString(const std::string& Ident, const std::string& Value);
    int ReadStoredInteger(const std::string& Ident, int Default);
    void WriteStoredInteger(const std::string& Ident, int Value);

    void FormShowHandler(TObject* Sender);
    void FormCloseQueryHandler(TObject* Sender, bool& CanClose);
    void FormDestroyHandler(TObject* Sender);
    void PlacementWindowHook(TObject* Sender, TMessage& Msg, bool& Handled);

    void Loaded() override;
    void MinMaxInfoChanged();

    bool Saved() const { return FSaved; }
    bool Restored() const { return FRestored; }
    TWindowHook* WinHook() const { return FWinHook; }

protected:
    // Begins one setting that a save writes whole or not at all: the placement, a stored
    // property, a stored value.
    void BeginSettingsGroup(const std::string& Name);
    virtual void StorePlacementValues();
    virtual void LoadPlacementValues();
    virtual void DoSavePlacement();
    virtual void DoRestorePlacement();
    void BeforeDestroy() override;
    TCustomForm* Form() const;

    bool FRestored = false;

private:
    void HookFormEvents();
    void UnhookFormEvents();
    void UpdateOwnerWindowHook();
    void HookOwnerWindow();
    void UnhookOwnerWindow();
    void UpdateBorderIcons();
    void AdjustMaxPosition();
    void GuardedCall(void (TFormPlace::*Action)());
    // What StorePlacementValues writes, taken into Record instead of the storage.
    void RecordSettings(TSettingsRecord& Record);

    // A save writes only the settings that changed since they were restored: those that
    // differ from what the storage held then, or, where it held nothing, from what the
    // window showed. Another instance's settings are not undone by defaults never changed.
    std::unique_ptr<TSettingsRecord> FBaseline;
    TSettingsRecord* FRecording = nullptr;

    bool FActive = true;
    std::string FIniFileName;
    std::string FIniSection;
    TPlacementOptions FOptions;
    bool FPreventResize = false;
    TPlacementRegRoot FRegistryRoot = prCurrentUser;
    bool FUseRegistry = false;
    int FVersion = 0;
    TIniFile* FIniFile = nullptr;
    TRegIniFile* FRegIniFile = nullptr;
    bool FSaved = false;
    bool FDestroying = false;
    TMinMaxLimits* FMinMaxInfo = nullptr;
    bool FDefMaximize = false;
    bool FEventsHooked = false;
    TWindowHook* FWinHook = nullptr;
    TNotifyEvent FSaveFormShow;
    TNotifyEvent FSaveFormDestroy;
    TCloseQueryEvent FSaveFormCloseQuery;
};

class TStoredValue;
using TStoredValueEvent = Event<void(TStoredValue* Sender, Variant& Value)>;

class TStoredValue : public TCollectionItem {
    QM_CLASS(TStoredValue, TCollectionItem)
public:
    explicit TStoredValue(TCollection* Collection);
    void Assign(TPersistent* Source) override;

    const std::string& Name() const { return FName; }
    void SetName(const std::string& Value);
    const Variant& Value() const { return FValue; }
    void SetValue(const Variant& v) { FValue = v; }
    const std::string& KeyString() const { return FKeyString; }
    void SetKeyString(const std::string& v) { FKeyString = v; }

    TStoredValueEvent OnSave;
    TStoredValueEvent OnRestore;

    virtual void SaveStoredValue();
    virtual void RestoreStoredValue();

protected:
    std::string GetDisplayName() const override;

private:
    TFormStore* Storage() const;
    std::string FName;
    Variant FValue;
    std::string FKeyString;
};

class TStoredValues : public TOwnedCollection {
    QM_CLASS(TStoredValues, TOwnedCollection)
public:
    explicit TStoredValues(TFormStore* AOwner);
    int IndexOfName(const std::string& Name) const;
    TStoredValue* Items(int Index) const { return static_cast<TStoredValue*>(TCollection::Items(Index)); }
    TStoredValue* Add() { return static_cast<TStoredValue*>(TCollection::Add()); }
    TFormStore* Storage() const { return FStorage; }
    virtual void SaveAllValues();
    virtual void RestoreAllValues();

private:
    TFormStore* FStorage;
};

class TFormStore : public TFormPlace {
    QM_CLASS(TFormStore, TFormPlace)
public:
    explicit TFormStore(TComponent* AOwner);
    ~TFormStore() override;

    TStrings* StoredProps() const { return FStoredProps; }
    void SetStoredProps(TStrings* Value);
    TStoredValues* StoredValues() const { return FStoredValues; }
    void SetStoredValues(TStoredValues* Value);

    void Loaded() override;
    void DefineProperties(TFiler* Filer) override;

protected:
    void Notification(TComponent* AComponent, TOperation Operation) override;
    void StorePlacementValues() override;
    void LoadPlacementValues() override;
    virtual void StorePropertyList();
    virtual void LoadPropertyList();

private:
    void NotifyStoredComponents();
    void ClearStorageSection(const std::string& Section);
    TStringList* FStoredProps;
    TStoredValues* FStoredValues;
};

// Registers the classes of the placement units and hooks their shut-down into the modules.
void RegisterPlacementClasses();
// Module shut-down of the placement units.
void DonePlacement();
