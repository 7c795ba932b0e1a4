#pragma once
// Default names of the settings storage and single-value access to whichever storage
// object (a registry-ini object or an ini file) is open.
#include <string>

class TObject;
class TComponent;
class TCustomForm;

// Module settings; nothing in the program changes them.
extern std::string (*IniFileNameHook)();
extern std::string CompanyKeyName;
extern bool UseTitleAsKey;

std::string DefaultSectionName(TComponent* Component);
std::string DefaultIniFileName();
std::string DefaultRegistryKey();

std::string ReadStorageString(TObject* Storage, const std::string& Section, const std::string& Ident,
                              const std::string& Default);
void WriteStorageString(TObject* Storage, const std::string& Section, const std::string& Ident,
                        const std::string& Value);
int ReadStorageInteger(TObject* Storage, const std::string& Section, const std::string& Ident, int Default);
void WriteStorageInteger(TObject* Storage, const std::string& Section, const std::string& Ident, int Value);

std::string ScreenSizeSuffix();
std::string ReadSizedString(TObject* Storage, const std::string& Section, const std::string& Ident);
void WriteSizedString(TObject* Storage, const std::string& Section, const std::string& Ident,
                      const std::string& Value);

// The window placement of a form, written to or read from the storage object.
void WritePlacementValues(TCustomForm* Form, TObject* Storage, const std::string& Section);
void ReadPlacementValues(TCustomForm* Form, TObject* Storage, const std::string& Section, bool LoadPosition,
                         bool LoadState);

// Module shut-down.
void DoneStoreUtils();
