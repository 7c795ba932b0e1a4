#include "framework/Classes.h"

#include "framework/ClassesPrivate.h"
#include "framework/TypInfo.h"

#include <algorithm>

// ---------------------------------------------------------------------------------------
// TPersistent

QM_CLASS_IMPL(TPersistent, TObject)

void TPersistent::Assign(TPersistent* Source)
{
    if (Source)
        Source->AssignTo(this);
    else
        AssignError(nullptr);
}

void TPersistent::AssignTo(TPersistent* Dest)
{
    Dest->AssignError(this);
}

void TPersistent::AssignError(TPersistent* Source)
{
    std::string sourceName = Source ? Source->ClassName() : std::string("nil");
    RaiseFmt<EConvertError>("Cannot assign a %s to a %s", {sourceName, ClassName()});
}

std::string TPersistent::GetNamePath()
{
    std::string result = ClassName();
    if (TPersistent* owner = GetOwner()) {
        std::string s = owner->GetNamePath();
        if (!s.empty())
            result = s + "." + result;
    }
    return result;
}

void TPersistent::DefineProperties(TFiler*) {}

TPersistent* TPersistent::GetOwner() { return nullptr; }

// ---------------------------------------------------------------------------------------
// TComponent

// Name is written as the object's own name, not as a property.
QM_CLASS_IMPL(TComponent, TPersistent, [](TClassBuilder<TComponent>& b) {
    b.Property("Name", &TComponent::Name, &TComponent::SetName).Stored(false);
    b.Property("Tag", &TComponent::Tag, &TComponent::SetTag).Default(0);
})

bool IsValidIdent(const std::string& Ident)
{
    auto alpha = [](char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_'; };
    if (Ident.empty() || !alpha(Ident[0]))
        return false;
    return std::all_of(Ident.begin() + 1, Ident.end(),
                       [&](char c) { return alpha(c) || (c >= '0' && c <= '9'); });
}

TComponent::TComponent(TComponent* AOwner)
{
    if (AOwner)
        AOwner->InsertComponent(this);
}

TComponent::~TComponent()
{
    // Reached without BeforeDestruction when someone deletes the object directly: unlink
    // anyway so that nobody keeps a pointer to freed memory. Virtual calls on this object
    // now reach TComponent's own versions only.
    TearDown();
}

void TComponent::BeforeDestruction()
{
    if (FTornDown)
        return;
    Destroying();
    BeforeDestroy();
    TearDown();
}

void TComponent::TearDown()
{
    if (FTornDown)
        return;
    FTornDown = true;
    Destroying();
    while (!FFreeNotifies.empty()) {
        TComponent* partner = FFreeNotifies.back();
        partner->Notification(this, opRemove);
        // A partner whose Notification does not pass opRemove on still must forget us.
        DropFreeNotifyLink(partner);
        partner->DropFreeNotifyLink(this);
    }
    DestroyComponents();
    if (FOwner)
        FOwner->RemoveComponent(this);
}

TComponent* TComponent::Components(int Index) const
{
    if (Index < 0 || Index >= ComponentCount())
        RaiseFmt<EListError>(SListIndexError, {Index});
    return FComponents[Index];
}

namespace {
template <class List, class T> int IndexIn(const List& list, const T* item)
{
    auto it = std::find(list.begin(), list.end(), item);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}
} // namespace

int TComponent::ComponentIndex() const { return FOwner ? IndexIn(FOwner->FComponents, this) : -1; }

void TComponent::SetComponentIndex(int Value)
{
    if (!FOwner)
        return;
    auto& list = FOwner->FComponents;
    int cur = ComponentIndex();
    if (cur < 0)
        return;
    int count = static_cast<int>(list.size());
    Value = std::clamp(Value, 0, count - 1);
    if (Value == cur)
        return;
    list.erase(list.begin() + cur);
    list.insert(list.begin() + Value, this);
}

TComponent* TComponent::FindComponent(const std::string& AName) const
{
    if (AName.empty())
        return nullptr;
    for (TComponent* c : FComponents)
        if (SameText(c->FName, AName))
            return c;
    return nullptr;
}

void TComponent::SetName(const std::string& NewName)
{
    if (FName == NewName)
        return;
    if (!NewName.empty() && !IsValidIdent(NewName))
        RaiseFmt<EComponentError>("'%s' is not a valid component name", {NewName});
    if (FOwner)
        FOwner->ValidateRename(this, FName, NewName);
    else
        ValidateRename(nullptr, FName, NewName);
    ChangeName(NewName);
}

void TComponent::ValidateRename(TComponent* AComponent, const std::string& CurName,
                                const std::string& NewName)
{
    if (AComponent && !SameText(CurName, NewName) && AComponent->FOwner == this) {
        TComponent* other = FindComponent(NewName);
        if (other && other != AComponent)
            RaiseFmt<EComponentError>("A component named %s already exists", {NewName});
    }
}

void TComponent::ValidateContainer(TComponent* AComponent)
{
    AComponent->ValidateInsert(this);
}

void TComponent::SetDesigning(bool Value, bool SetChildren)
{
    if (Value)
        FComponentState.Include(csDesigning);
    else
        FComponentState.Exclude(csDesigning);
    if (SetChildren)
        for (TComponent* c : FComponents)
            c->SetDesigning(Value, true);
}

void TComponent::Loaded()
{
    FComponentState.Exclude(csLoading);
}

void TComponent::Destroying()
{
    if (FComponentState.Contains(csDestroying))
        return;
    FComponentState.Include(csDestroying);
    for (TComponent* c : FComponents)
        c->Destroying();
}

void TComponent::AddFreeNotifyLink(TComponent* AComponent)
{
    if (std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent) == FFreeNotifies.end())
        FFreeNotifies.push_back(AComponent);
    FComponentState.Include(csFreeNotification);
}

void TComponent::DropFreeNotifyLink(TComponent* AComponent)
{
    auto it = std::find(FFreeNotifies.begin(), FFreeNotifies.end(), AComponent);
    if (it != FFreeNotifies.end())
        FFreeNotifies.erase(it);
    if (FFreeNotifies.empty())
        FComponentState.Exclude(csFreeNotification);
}

void TComponent::FreeNotification(TComponent* AComponent)
{
    // Registered both ways even between siblings, so the link survives an owner change.
    if (!AComponent || AComponent == this)
        return;
    AddFreeNotifyLink(AComponent);
    AComponent->AddFreeNotifyLink(this);
}

void TComponent::RemoveFreeNotification(TComponent* AComponent)
{
    if (!AComponent)
        return;
    DropFreeNotifyLink(AComponent);
    AComponent->DropFreeNotifyLink(this);
}

void TComponent::Notification(TComponent* AComponent, TOperation Operation)
{
    if (Operation == opRemove && AComponent)
        RemoveFreeNotification(AComponent);
    // Receivers may free components of this owner: re-check the index after each call.
    int i = ComponentCount() - 1;
    while (i >= 0) {
        FComponents[i]->Notification(AComponent, Operation);
        --i;
        if (i >= ComponentCount())
            i = ComponentCount() - 1;
    }
}

void TComponent::InsertInto(TComponent* AComponent)
{
    FComponents.push_back(AComponent);
    AComponent->FOwner = this;
}

void TComponent::RemoveFrom(TComponent* AComponent)
{
    auto it = std::find(FComponents.begin(), FComponents.end(), AComponent);
    if (it != FComponents.end())
        FComponents.erase(it);
    AComponent->FOwner = nullptr;
}

void TComponent::InsertComponent(TComponent* AComponent)
{
    if (!AComponent)
        return;
    if (AComponent->FOwner == this)
        return;
    ValidateContainer(AComponent);
    // The component is not ours yet, so ValidateRename would not look: check here.
    if (FindComponent(AComponent->FName))
        RaiseFmt<EComponentError>("A component named %s already exists", {AComponent->FName});
    ValidateRename(AComponent, std::string(), AComponent->FName);
    if (AComponent->FOwner)
        AComponent->FOwner->RemoveComponent(AComponent);
    InsertInto(AComponent);
    if (FComponentState.Contains(csDesigning))
        AComponent->SetDesigning(true);
    Notification(AComponent, opInsert);
}

void TComponent::RemoveComponent(TComponent* AComponent)
{
    if (!AComponent || AComponent->FOwner != this)
        return;
    Notification(AComponent, opRemove);
    RemoveFrom(AComponent);
}

void TComponent::DestroyComponents()
{
    // Each one is freed while still owned, so its siblings hear of it before it goes.
    while (!FComponents.empty()) {
        TComponent* c = FComponents.back();
        FreeObject(c);
    }
}

void TComponent::GetChildren(const TGetChildProc&, TComponent*) {}

std::string TComponent::GetNamePath() { return FName; }

// ---------------------------------------------------------------------------------------
// TList

QM_CLASS_IMPL(TList, TObject)

void TList::CheckIndex(int Index) const
{
    if (Index < 0 || Index >= Count())
        RaiseFmt<EListError>(SListIndexError, {Index});
}

int TList::Add(void* Item)
{
    FList.push_back(Item);
    return Count() - 1;
}

void TList::Insert(int Index, void* Item)
{
    if (Index < 0 || Index > Count())
        RaiseFmt<EListError>(SListIndexError, {Index});
    FList.insert(FList.begin() + Index, Item);
}

void TList::Delete(int Index)
{
    CheckIndex(Index);
    FList.erase(FList.begin() + Index);
}

int TList::Remove(void* Item)
{
    int i = IndexOf(Item);
    if (i >= 0)
        FList.erase(FList.begin() + i);
    return i;
}

int TList::IndexOf(void* Item) const
{
    auto it = std::find(FList.begin(), FList.end(), Item);
    return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

void* TList::Items(int Index) const
{
    CheckIndex(Index);
    return FList[Index];
}

void TList::Put(int Index, void* Item)
{
    CheckIndex(Index);
    FList[Index] = Item;
}

void TList::Clear() { FList.clear(); }

void TList::Exchange(int Index1, int Index2)
{
    CheckIndex(Index1);
    CheckIndex(Index2);
    std::swap(FList[Index1], FList[Index2]);
}

void TList::Move(int CurIndex, int NewIndex)
{
    if (CurIndex == NewIndex)
        return;
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    void* item = FList[CurIndex];
    FList.erase(FList.begin() + CurIndex);
    FList.insert(FList.begin() + NewIndex, item);
}

void TList::Sort(const TListSortCompare& Compare)
{
    std::stable_sort(FList.begin(), FList.end(),
                     [&](void* a, void* b) { return Compare(a, b) < 0; });
}

void TList::Pack()
{
    FList.erase(std::remove(FList.begin(), FList.end(), nullptr), FList.end());
}

void* TList::First() const { return Items(0); }

void* TList::Last() const { return Items(Count() - 1); }

// ---------------------------------------------------------------------------------------
// Collections

QM_CLASS_IMPL(TCollectionItem, TPersistent)

TCollectionItem::TCollectionItem(TCollection* Collection)
{
    if (Collection)
        Collection->InsertItem(this);
}

TCollectionItem::~TCollectionItem()
{
    if (FCollection)
        FCollection->RemoveItem(this);
}

void TCollectionItem::SetCollection(TCollection* Value)
{
    if (FCollection == Value)
        return;
    if (FCollection)
        FCollection->RemoveItem(this);
    if (Value) {
        Value->InsertItem(this);
        Value->Notify(this, cnAdded);
    }
}

int TCollectionItem::Index() const { return FCollection ? IndexIn(FCollection->FItems, this) : -1; }

void TCollectionItem::SetIndex(int Value)
{
    int cur = Index();
    if (cur >= 0 && cur != Value) {
        FCollection->MoveItem(this, Value);
        Changed(true);
    }
}

std::string TCollectionItem::GetDisplayName() const { return ClassName(); }

void TCollectionItem::Changed(bool AllItems)
{
    if (FCollection && FCollection->FUpdateCount == 0)
        FCollection->Update(AllItems ? nullptr : this);
}

std::string TCollectionItem::GetNamePath()
{
    if (!FCollection)
        return ClassName();
    return Format("%s[%d]", {FCollection->GetNamePath(), Index()});
}

TPersistent* TCollectionItem::GetOwner() { return FCollection; }

void TCollectionItem::BeforeDestruction()
{
    if (FCollection)
        FCollection->RemoveItem(this);
}

QM_CLASS_IMPL(TCollection, TPersistent)

TCollection::TCollection(TCollectionItemClass ItemClass) : FItemClass(ItemClass) {}

TCollection::~TCollection()
{
    FUpdateCount = 1;
    Clear();
}

void TCollection::BeforeDestruction()
{
    // Items go while the collection is whole, without an update per item.
    FUpdateCount = 1;
    Clear();
}

void TCollection::CheckIndex(int Index) const
{
    if (Index < 0 || Index >= Count())
        RaiseFmt<EListError>(SListIndexError, {Index});
}

TCollectionItem* TCollection::Add()
{
    if (!FItemClass || !FItemClass->CreateCollectionItem)
        RaiseFmt<EInvalidOperation>("Cannot create an item of class %s",
                                    {FItemClass ? FItemClass->Name : std::string("nil")});
    TObject* obj = FItemClass->CreateCollectionItem(this);
    auto* item = static_cast<TCollectionItem*>(obj);
    // Told only now: during the constructor the item was not yet its full class.
    Notify(item, cnAdded);
    return item;
}

TCollectionItem* TCollection::Insert(int Index)
{
    if (Index < 0 || Index > Count())
        RaiseFmt<EListError>(SListIndexError, {Index});
    TCollectionItem* item = Add();
    item->SetIndex(Index);
    return item;
}

void TCollection::Delete(int Index)
{
    CheckIndex(Index);
    TCollectionItem* item = FItems[Index];
    Notify(item, cnDeleting);
    FreeObject(item);
}

void TCollection::Clear()
{
    if (FItems.empty())
        return;
    TUpdateScope<TCollection> update(this);
    while (!FItems.empty())
        FreeObject(FItems.back());
}

TCollectionItem* TCollection::Items(int Index) const
{
    CheckIndex(Index);
    return FItems[Index];
}

TCollectionItem* TCollection::FindItemID(int ID) const
{
    for (TCollectionItem* item : FItems)
        if (item->FID == ID)
            return item;
    return nullptr;
}

void TCollection::BeginUpdate() { ++FUpdateCount; }

void TCollection::EndUpdate()
{
    if (FUpdateCount <= 0)
        return;
    --FUpdateCount;
    Changed();
}

void TCollection::Changed()
{
    if (FUpdateCount == 0)
        Update(nullptr);
}

void TCollection::Assign(TPersistent* Source)
{
    if (auto* src = dynamic_cast<TCollection*>(Source)) {
        if (src == this)
            return;
        TUpdateScope<TCollection> scope(this);
        Clear();
        for (TCollectionItem* item : src->FItems)
            Add()->Assign(item);
        return;
    }
    TPersistent::Assign(Source);
}

std::string TCollection::PropName()
{
    if (!FPropName.empty())
        return FPropName;
    // Otherwise the owner's published property that holds this collection.
    if (TPersistent* owner = GetOwner())
        for (PPropInfo p : GetPropList(owner, TTypeKinds{tkClass}))
            if (GetObjectProp(owner, p) == this)
                return p->Name;
    return std::string();
}

std::string TCollection::GetNamePath()
{
    std::string result = ClassName();
    TPersistent* owner = GetOwner();
    if (!owner)
        return result;
    std::string s = owner->GetNamePath();
    if (s.empty())
        return result;
    std::string p = PropName();
    if (p.empty())
        return result;
    return s + "." + p;
}

void TCollection::InsertItem(TCollectionItem* Item)
{
    FItems.push_back(Item);
    Item->FCollection = this;
    Item->FID = FNextID++;
    Changed();
}

void TCollection::RemoveItem(TCollectionItem* Item)
{
    Notify(Item, cnExtracting);
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it != FItems.end())
        FItems.erase(it);
    Item->FCollection = nullptr;
    Changed();
}

void TCollection::MoveItem(TCollectionItem* Item, int NewIndex)
{
    CheckIndex(NewIndex);
    auto it = std::find(FItems.begin(), FItems.end(), Item);
    if (it == FItems.end())
        return;
    FItems.erase(it);
    FItems.insert(FItems.begin() + NewIndex, Item);
}

QM_CLASS_IMPL(TOwnedCollection, TCollection)

void RegisterClassesUnitClasses()
{
    RegisterClasses({TPersistent::StaticClassInfo(), TComponent::StaticClassInfo(),
                     TList::StaticClassInfo(), TStrings::StaticClassInfo(),
                     TStringList::StaticClassInfo(), TCollectionItem::StaticClassInfo(),
                     TCollection::StaticClassInfo(), TOwnedCollection::StaticClassInfo()});
}
