#pragma once
// Published properties of components as named text values and back. A TPropStore knows
// nothing about where the texts go: its user supplies the read, write and erase events.
#include <string>
#include <vector>

#include "framework/Classes.h"
#include "framework/TypInfo.h"

// Joins a component name to its property names, and an item label to its property names.
extern std::string PropNameDelimiter;

// Every kind but the undefined kind and methods.
inline constexpr TTypeKinds tkStoredProps = tkAny - TTypeKinds{tkUnknown, tkMethod};

class TPropInfoList : public TObject {
    QM_CLASS(TPropInfoList, TObject)
public:
    TPropInfoList(TObject* AObject, TTypeKinds Filter);
    PPropInfo FindPropInfo(const std::string& AName) const;
    PPropInfo PropInfoAt(int Index) const { return FList.at(static_cast<size_t>(Index)); }
    int Count() const { return static_cast<int>(FList.size()); }

private:
    std::vector<PPropInfo> FList;
};

using TReadStrEvent = Event<std::string(const std::string& ASection, const std::string& Item,
                                        const std::string& Default)>;
using TWriteStrEvent = Event<void(const std::string& ASection, const std::string& Item,
                                  const std::string& Value)>;
using TEraseSectEvent = Event<void(const std::string& ASection)>;

class TPropStore : public TObject {
    QM_CLASS(TPropStore, TObject)
public:
    TPropStore() = default;

    TObject* Object = nullptr;
    TComponent* Owner = nullptr;
    std::string Prefix;
    std::string Section;
    TReadStrEvent OnReadValue;
    TWriteStrEvent OnWriteValue;
    TEraseSectEvent OnClearSection;

    virtual std::string ReadValue(const std::string& ASection, const std::string& Item,
                                  const std::string& Default);
    virtual void WriteValue(const std::string& ASection, const std::string& Item, const std::string& Value);
    virtual void ClearSection(const std::string& ASection);
    virtual std::string ItemName(const std::string& APropName);
    virtual TPropStore* NewStorage();

    void StorePropertyValue(PPropInfo PropInfo);
    void LoadPropertyValue(PPropInfo PropInfo);
    // Every property of Object (all stored kinds, in name order).
    void StoreProperties();
    void LoadProperties();

private:
    std::string StoreClassProperty(PPropInfo PropInfo);
    void LoadClassProperty(const std::string& Text, PPropInfo PropInfo);
    void StoreStringsProperty(PPropInfo PropInfo);
    void LoadStringsProperty(PPropInfo PropInfo);
    std::string StoreComponentReference(PPropInfo PropInfo);
    void LoadComponentReference(const std::string& Text, PPropInfo PropInfo);
    TPropStore* NestedStorage(TObject* Obj, const std::string& APrefix, const std::string& ASection);
    void StoreObjectProperties(TObject* Obj, const std::string& APrefix, const std::string& ASection);
    void LoadObjectProperties(TObject* Obj, const std::string& APrefix, const std::string& ASection);
};

std::string JoinStoredItem(const std::string& CompName, const std::string& PropName);
bool SplitStoredItem(const std::string& Item, std::string& CompName, std::string& PropName);
std::string ReplaceStoredComponent(const std::string& Item, const std::string& NewCompName);

void SyncStoredList(TComponent* Owner, TStrings* List, bool FromNames);
void StoreComponentProps(TPropStore* Storage, TComponent* Owner, TStrings* List);
void LoadComponentProps(TPropStore* Storage, TComponent* Owner, TStrings* List);
TComponent* FindTopLevelComponent(const std::string& Name);

// The text of a property by its kind (class kind: empty), and its setting from a text.
std::string GetPropText(TObject* Obj, PPropInfo PropInfo);
void SetPropText(TObject* Obj, PPropInfo PropInfo, const std::string& Text);

// Module shut-down.
void DonePropText();
