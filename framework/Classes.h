#pragma once
// The component core: persistent objects, components with owners and free notification,
// pointer lists, string lists and collections.
#include <exception>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "framework/SysUtils.h"
#include "framework/System.h"
#include "framework/Types.h"

class TFiler;
class TCollection;

QM_EXCEPTION(EStreamError, Exception)
QM_EXCEPTION(EFOpenError, EStreamError)
QM_EXCEPTION(EFCreateError, EStreamError)

// ---------------------------------------------------------------------------------------
// TPersistent

class TPersistent : public TObject {
    QM_CLASS(TPersistent, TObject)
public:
    // Copies Source into this object; when this class cannot, asks Source to copy itself
    // into this (AssignTo), which raises EConvertError when neither side knows how.
    virtual void Assign(TPersistent* Source);
    virtual std::string GetNamePath();
    virtual void DefineProperties(TFiler* Filer);
    virtual TPersistent* GetOwner();

protected:
    virtual void AssignTo(TPersistent* Dest);
    // Raises "Cannot assign a <source> to a <this>".
    [[noreturn]] void AssignError(TPersistent* Source);
};

// ---------------------------------------------------------------------------------------
// TComponent

enum TOperation { opInsert, opRemove };

enum TComponentStateFlag {
    csLoading,
    csReading,
    csWriting,
    csDestroying,
    csDesigning,
    csAncestor,
    csUpdating,
    csFixups,
    csFreeNotification,
    csInline,
    csDesignInstance
};
using TComponentState = Set<TComponentStateFlag>;

class TComponent;
using TGetChildProc = std::function<void(TComponent* Child)>;

// True for a name made of a letter or '_' followed by letters, digits or '_'.
bool IsValidIdent(const std::string& Ident);

class TComponent : public TPersistent {
    QM_CLASS(TComponent, TPersistent)
public:
    explicit TComponent(TComponent* AOwner);
    ~TComponent() override;

    TComponent* Owner() const { return FOwner; }
    TComponent* Components(int Index) const;
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    int ComponentIndex() const;
    void SetComponentIndex(int Value);
    TComponent* FindComponent(const std::string& AName) const;

    const std::string& Name() const { return FName; }
    virtual void SetName(const std::string& NewName);
    int Tag() const { return FTag; }
    void SetTag(int Value) { FTag = Value; }

    TComponentState ComponentState() const { return FComponentState; }
    void SetComponentState(TComponentState Value) { FComponentState = Value; }
    // Marks the component (not its children) as being loaded; Loaded clears the mark.
    void Loading() { FComponentState.Include(csLoading); }
    bool IsLoading() const { return FComponentState.Contains(csLoading); }
    bool IsDestroying() const { return FComponentState.Contains(csDestroying); }
    bool IsDesigning() const { return FComponentState.Contains(csDesigning); }
    void SetDesigning(bool Value, bool SetChildren = true);
    virtual void Loaded();

    // Marks this component and everything it owns as being destroyed.
    void Destroying();

    // Asks AComponent to tell this one (and this one to tell it) when it is freed.
    void FreeNotification(TComponent* AComponent);
    void RemoveFreeNotification(TComponent* AComponent);
    const std::vector<TComponent*>& FreeNotifies() const { return FFreeNotifies; }

    void InsertComponent(TComponent* AComponent);
    void RemoveComponent(TComponent* AComponent);
    void DestroyComponents();

    virtual TComponent* GetParentComponent() const { return nullptr; }
    virtual bool HasParent() const { return false; }
    virtual void SetParentComponent(TComponent*) {}
    virtual void GetChildren(const TGetChildProc& Proc, TComponent* Root);

    std::string GetNamePath() override;
    TPersistent* GetOwner() override { return FOwner; }
    void BeforeDestruction() override;

protected:
    // Points Field at Value, with a free notification on what it points at; false when it
    // pointed there already. The link to the old target stays: the link is one per pair of
    // components, and another field of this one (a tool button's drop-down and pop-up menu)
    // may still point there.
    template <class T> bool SetReference(T*& Field, T* Value)
    {
        if (Field == Value)
            return false;
        Field = Value;
        if (Field)
            Field->FreeNotification(this);
        return true;
    }
    // Called while the whole object still exists, before owned components are freed.
    virtual void BeforeDestroy() {}
    virtual void Notification(TComponent* AComponent, TOperation Operation);
    virtual void ValidateRename(TComponent* AComponent, const std::string& CurName,
                                const std::string& NewName);
    virtual void ValidateInsert(TComponent*) {}
    virtual void ValidateContainer(TComponent* AComponent);
    void ChangeName(const std::string& NewName) { FName = NewName; }

private:
    // Unlinks from free-notification partners, owned components and the owner.
    void TearDown();
    void InsertInto(TComponent* AComponent);
    void RemoveFrom(TComponent* AComponent);
    void AddFreeNotifyLink(TComponent* AComponent);
    void DropFreeNotifyLink(TComponent* AComponent);

    TComponent* FOwner = nullptr;
    std::string FName;
    int FTag = 0;
    std::vector<TComponent*> FComponents;
    std::vector<TComponent*> FFreeNotifies;
    TComponentState FComponentState;
    bool FTornDown = false;
};

// ---------------------------------------------------------------------------------------
// TList

using TListSortCompare = std::function<int(void* Item1, void* Item2)>;

class TList : public TObject {
    QM_CLASS(TList, TObject)
public:
    TList() = default;

    int Add(void* Item);
    void Insert(int Index, void* Item);
    void Delete(int Index);
    int Remove(void* Item);
    int IndexOf(void* Item) const;
    int Count() const { return static_cast<int>(FList.size()); }
    void* Items(int Index) const;
    void* operator[](int Index) const { return Items(Index); }
    void Put(int Index, void* Item);
    virtual void Clear();
    void Exchange(int Index1, int Index2);
    void Move(int CurIndex, int NewIndex);
    void Sort(const TListSortCompare& Compare);
    void Pack();
    void* First() const;
    void* Last() const;

private:
    void CheckIndex(int Index) const;
    std::vector<void*> FList;
};

// ---------------------------------------------------------------------------------------
// TStrings / TStringList

enum TDuplicates { dupIgnore, dupAccept, dupError };

class TStrings;

// Replaces the lines of Strings, when there is one, with Items.
void FillStrings(TStrings* Strings, const std::vector<std::string>& Items);
class TStringList;
using TStringListSortCompare = std::function<int(TStringList* List, int Index1, int Index2)>;

class TStrings : public TPersistent {
    QM_CLASS(TStrings, TPersistent)
public:
    TStrings() = default;

    virtual int Count() const = 0;
    virtual std::string Strings(int Index) const = 0;
    std::string operator[](int Index) const { return Strings(Index); }
    virtual void Put(int Index, const std::string& S);
    virtual TObject* Objects(int Index) const;
    virtual void PutObject(int Index, TObject* AObject);
    virtual int Add(const std::string& S);
    virtual int AddObject(const std::string& S, TObject* AObject);
    virtual void Insert(int Index, const std::string& S) = 0;
    virtual void InsertObject(int Index, const std::string& S, TObject* AObject);
    virtual void Delete(int Index) = 0;
    virtual void Clear() = 0;
    virtual void Exchange(int Index1, int Index2);
    virtual void Move(int CurIndex, int NewIndex);
    virtual int IndexOf(const std::string& S) const;
    int IndexOfName(const std::string& Name) const;
    int IndexOfObject(TObject* AObject) const;
    void AddStrings(TStrings* Strings);
    bool Equals(TStrings* Strings) const;
    void Assign(TPersistent* Source) override;
    // Streams the lines as the list property "Strings".
    void DefineProperties(TFiler* Filer) override;

    void BeginUpdate();
    void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    std::string Text() const;
    virtual void SetText(const std::string& Value);
    std::string CommaText() const;
    void SetCommaText(const std::string& Value);
    std::string DelimitedText() const;
    void SetDelimitedText(const std::string& Value);
    void SetDelimiter(char Value) { FDelimiter = Value; }
    void SetQuoteChar(char Value) { FQuoteChar = Value; }
    void SetStrictDelimiter(bool Value) { FStrictDelimiter = Value; }
    void SetNameValueSeparator(char Value) { FNameValueSeparator = Value; }

    // The part before the first NameValueSeparator of line Index ("" when there is none).
    std::string Names(int Index) const;
    std::string Values(const std::string& Name) const;
    // Sets the value of Name, adding a line when it has none; an empty value deletes it.
    void SetValue(const std::string& Name, const std::string& Value);
    std::string ValueFromIndex(int Index) const;

    void LoadFromFile(const std::string& FileName);
    void SaveToFile(const std::string& FileName) const;

protected:
    virtual void SetUpdateState(bool) {}
    virtual int CompareStrings(const std::string& S1, const std::string& S2) const;
    [[noreturn]] void Error(const std::string& Fmt, int Index) const;

private:
    std::string GetDelimitedText(char Delim, char Quote, bool Strict) const;
    void SetDelimitedTextWith(const std::string& Value, char Delim, bool Strict);

    int FUpdateCount = 0;
    char FDelimiter = ',';
    char FQuoteChar = '"';
    char FNameValueSeparator = '=';
    bool FStrictDelimiter = false;
};

class TStringList : public TStrings {
    QM_CLASS(TStringList, TStrings)
public:
    TStringList() = default;
    ~TStringList() override;

    int Count() const override { return static_cast<int>(FList.size()); }
    std::string Strings(int Index) const override;
    void Put(int Index, const std::string& S) override;
    TObject* Objects(int Index) const override;
    void PutObject(int Index, TObject* AObject) override;
    int Add(const std::string& S) override;
    int AddObject(const std::string& S, TObject* AObject) override;
    void Insert(int Index, const std::string& S) override;
    void InsertObject(int Index, const std::string& S, TObject* AObject) override;
    void Delete(int Index) override;
    void Clear() override;
    void Exchange(int Index1, int Index2) override;
    void Move(int CurIndex, int NewIndex) override;
    int IndexOf(const std::string& S) const override;

    // Binary search of a sorted list; Index is where S is or would be inserted.
    virtual bool Find(const std::string& S, int& Index) const;
    virtual void Sort();
    virtual void CustomSort(const TStringListSortCompare& Compare);

    bool Sorted() const { return FSorted; }
    void SetSorted(bool Value);
    void SetDuplicates(TDuplicates Value) { FDuplicates = Value; }
    void SetCaseSensitive(bool Value);
    void SetOwnsObjects(bool Value) { FOwnsObjects = Value; }

    TNotifyEvent OnChange;
    TNotifyEvent OnChanging;

protected:
    void SetUpdateState(bool Updating) override;
    virtual void Changed();
    virtual void Changing();
    int CompareStrings(const std::string& S1, const std::string& S2) const override;

private:
    struct Item {
        std::string Str;
        TObject* Obj = nullptr;
    };
    void CheckIndex(int Index) const;
    void InsertItem(int Index, const std::string& S, TObject* AObject);
    void ExchangeItems(int Index1, int Index2);

    std::vector<Item> FList;
    bool FSorted = false;
    bool FCaseSensitive = false;
    bool FOwnsObjects = false;
    TDuplicates FDuplicates = dupIgnore;
};

// ---------------------------------------------------------------------------------------
// Collections

class TCollectionItem;
using TCollectionItemClass = TClass;

class TCollectionItem : public TPersistent {
    QM_CLASS(TCollectionItem, TPersistent)
public:
    explicit TCollectionItem(TCollection* Collection);
    ~TCollectionItem() override;

    TCollection* Collection() const { return FCollection; }
    void SetCollection(TCollection* Value);
    int Index() const;
    virtual void SetIndex(int Value);
    int ID() const { return FID; }
    std::string DisplayName() const { return GetDisplayName(); }

    std::string GetNamePath() override;
    TPersistent* GetOwner() override;
    // Leaves the collection while the item is still whole.
    void BeforeDestruction() override;

protected:
    virtual std::string GetDisplayName() const;
    // Tells the collection this item (or, with AllItems, every item) changed.
    void Changed(bool AllItems);

private:
    friend class TCollection;
    TCollection* FCollection = nullptr;
    int FID = 0;
};

enum TCollectionNotification { cnAdded, cnExtracting, cnDeleting };

class TCollection : public TPersistent {
    QM_CLASS(TCollection, TPersistent)
public:
    explicit TCollection(TCollectionItemClass ItemClass);
    ~TCollection() override;

    TCollectionItem* Add();
    TCollectionItem* Insert(int Index);
    void Delete(int Index);
    void Clear();
    int Count() const { return static_cast<int>(FItems.size()); }
    TCollectionItem* Items(int Index) const;
    TCollectionItem* FindItemID(int ID) const;
    TCollectionItemClass ItemClass() const { return FItemClass; }
    // The most items this collection can sensibly hold; a stored count beyond it is damage.
    virtual int MaxPlausibleCount() const { return std::numeric_limits<int>::max(); }

    virtual void BeginUpdate();
    virtual void EndUpdate();
    int UpdateCount() const { return FUpdateCount; }

    void Assign(TPersistent* Source) override;
    std::string GetNamePath() override;
    void BeforeDestruction() override;
    // The name of the owner's property holding this collection ("" when unknown).
    std::string PropName();
    void SetPropName(const std::string& Value) { FPropName = Value; }

protected:
    // Called when an item (nullptr: all items) changed, outside BeginUpdate/EndUpdate.
    virtual void Update(TCollectionItem*) {}
    virtual void Notify(TCollectionItem*, TCollectionNotification) {}
    void Changed();

private:
    friend class TCollectionItem;
    void InsertItem(TCollectionItem* Item);
    void RemoveItem(TCollectionItem* Item);
    void MoveItem(TCollectionItem* Item, int NewIndex);
    void CheckIndex(int Index) const;

    TCollectionItemClass FItemClass;
    std::vector<TCollectionItem*> FItems;
    int FUpdateCount = 0;
    int FNextID = 0;
    std::string FPropName;
    bool FClearing = false;
};

class TOwnedCollection : public TCollection {
    QM_CLASS(TOwnedCollection, TCollection)
public:
    TOwnedCollection(TPersistent* AOwner, TCollectionItemClass ItemClass)
        : TCollection(ItemClass), FOwner(AOwner)
    {
    }
    TPersistent* Owner() const { return FOwner; }
    TPersistent* GetOwner() override { return FOwner; }

private:
    TPersistent* FOwner;
};

// Calls BeginUpdate now and EndUpdate when the scope ends, also when it ends by an exception.
template <class T> class TUpdateScope {
public:
    explicit TUpdateScope(T* Target) : FTarget(Target) { FTarget->BeginUpdate(); }
    TUpdateScope(const TUpdateScope&) = delete;
    TUpdateScope& operator=(const TUpdateScope&) = delete;
    ~TUpdateScope() noexcept(false)
    {
        if (std::uncaught_exceptions() > FExceptions) {
            try {
                FTarget->EndUpdate();
            } catch (...) {
            }
        } else {
            FTarget->EndUpdate();
        }
    }

private:
    T* FTarget;
    int FExceptions = std::uncaught_exceptions();
};

void RegisterClassesUnitClasses();
