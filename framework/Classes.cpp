#include "framework/Classes.h"

#include "framework/Filer.h"
#include "framework/TypInfo.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <numeric>
#include <sstream>

namespace {
const char* const SListIndexError = "List index out of bounds (%d)";
const char* const SDuplicateString = "String list does not allow duplicates";
const char* const SSortedListError = "Operation not allowed on sorted list";

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
} // namespace

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

int TComponent::ComponentIndex() const
{
    if (!FOwner)
        return -1;
    auto& list = FOwner->FComponents;
    auto it = std::find(list.begin(), list.end(), this);
    return it == list.end() ? -1 : static_cast<int>(it - list.begin());
}

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

void TComponent::SetInline(bool Value)
{
    if (Value)
        FComponentState.Include(csInline);
    else
        FComponentState.Exclude(csInline);
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

void* TList::Extract(void* Item)
{
    return Remove(Item) >= 0 ? Item : nullptr;
}

int TList::IndexOf(void* Item) const
{
    auto it = std::find(FList.begin(), FList.end(), Item);
    return it == FList.end() ? -1 : static_cast<int>(it - FList.begin());
}

void TList::SetCount(int NewCount)
{
    if (NewCount < 0)
        RaiseFmt<EListError>("List count out of bounds (%d)", {NewCount});
    FList.resize(NewCount, nullptr);
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

void TList::SetCapacity(int NewCapacity)
{
    if (NewCapacity < Count())
        RaiseFmt<EListError>("List capacity out of bounds (%d)", {NewCapacity});
    FList.reserve(NewCapacity);
}

// ---------------------------------------------------------------------------------------
// TStrings

QM_CLASS_IMPL(TStrings, TPersistent)

void TStrings::Error(const std::string& Fmt, int Index) const
{
    RaiseFmt<EStringListError>(Fmt, {Index});
}

void TStrings::Put(int Index, const std::string& S)
{
    TObject* obj = Objects(Index);
    Delete(Index);
    InsertObject(Index, S, obj);
}

TObject* TStrings::Objects(int) const { return nullptr; }

void TStrings::PutObject(int, TObject*) {}

int TStrings::Add(const std::string& S)
{
    int result = Count();
    Insert(result, S);
    return result;
}

int TStrings::AddObject(const std::string& S, TObject* AObject)
{
    int result = Add(S);
    PutObject(result, AObject);
    return result;
}

void TStrings::InsertObject(int Index, const std::string& S, TObject* AObject)
{
    Insert(Index, S);
    PutObject(Index, AObject);
}

void TStrings::Exchange(int Index1, int Index2)
{
    TUpdateScope<TStrings> scope(this);
    std::string s1 = Strings(Index1);
    TObject* o1 = Objects(Index1);
    Put(Index1, Strings(Index2));
    PutObject(Index1, Objects(Index2));
    Put(Index2, s1);
    PutObject(Index2, o1);
}

void TStrings::Move(int CurIndex, int NewIndex)
{
    if (CurIndex == NewIndex)
        return;
    TUpdateScope<TStrings> scope(this);
    std::string s = Strings(CurIndex);
    TObject* obj = Objects(CurIndex);
    Delete(CurIndex);
    InsertObject(NewIndex, s, obj);
}

void TStrings::DefineProperties(TFiler* Filer)
{
    bool hasData = Count() > 0;
    if (auto* ancestor = dynamic_cast<TStrings*>(Filer->Ancestor()))
        hasData = !Equals(ancestor);
    Filer->DefineProperty(
        "Strings",
        [this](TReader* Reader) {
            Reader->ReadListBegin();
            TUpdateScope<TStrings> scope(this);
            Clear();
            while (!Reader->EndOfList())
                Add(Reader->ReadString());
            Reader->ReadListEnd();
        },
        [this](TWriter* Writer) {
            Writer->WriteListBegin();
            for (int i = 0, n = Count(); i < n; ++i)
                Writer->WriteString(Strings(i));
            Writer->WriteListEnd();
        },
        hasData);
}

int TStrings::CompareStrings(const std::string& S1, const std::string& S2) const
{
    return AnsiCompareText(S1, S2);
}

int TStrings::IndexOf(const std::string& S) const
{
    for (int i = 0, n = Count(); i < n; ++i)
        if (CompareStrings(Strings(i), S) == 0)
            return i;
    return -1;
}

int TStrings::IndexOfName(const std::string& Name) const
{
    for (int i = 0, n = Count(); i < n; ++i) {
        std::string s = Strings(i);
        auto p = s.find(FNameValueSeparator);
        if (p != std::string::npos && CompareStrings(s.substr(0, p), Name) == 0)
            return i;
    }
    return -1;
}

int TStrings::IndexOfObject(TObject* AObject) const
{
    for (int i = 0, n = Count(); i < n; ++i)
        if (Objects(i) == AObject)
            return i;
    return -1;
}

void TStrings::AddStrings(TStrings* Strings)
{
    if (!Strings || Strings == this)
        return;
    TUpdateScope<TStrings> scope(this);
    for (int i = 0, n = Strings->Count(); i < n; ++i)
        AddObject(Strings->Strings(i), Strings->Objects(i));
}

bool TStrings::Equals(TStrings* Strings) const
{
    if (!Strings)
        return false;
    int n = Count();
    if (n != Strings->Count())
        return false;
    for (int i = 0; i < n; ++i)
        if (this->Strings(i) != Strings->Strings(i))
            return false;
    return true;
}

void TStrings::Assign(TPersistent* Source)
{
    if (auto* src = dynamic_cast<TStrings*>(Source)) {
        if (src == this)
            return;
        TUpdateScope<TStrings> scope(this);
        Clear();
        AddStrings(src);
        return;
    }
    TPersistent::Assign(Source);
}

void TStrings::BeginUpdate()
{
    if (FUpdateCount == 0)
        SetUpdateState(true);
    ++FUpdateCount;
}

void TStrings::EndUpdate()
{
    if (FUpdateCount <= 0)
        return;
    --FUpdateCount;
    if (FUpdateCount == 0)
        SetUpdateState(false);
}

std::string TStrings::Text() const
{
    std::string result;
    for (int i = 0, n = Count(); i < n; ++i) {
        result += Strings(i);
        result += "\r\n";
    }
    return result;
}

void TStrings::SetText(const std::string& Value)
{
    TUpdateScope<TStrings> scope(this);
    Clear();
    size_t p = 0, n = Value.size();
    while (p < n) {
        size_t start = p;
        while (p < n && Value[p] != '\r' && Value[p] != '\n')
            ++p;
        Add(Value.substr(start, p - start));
        if (p < n && Value[p] == '\r')
            ++p;
        if (p < n && Value[p] == '\n')
            ++p;
    }
}

std::string TStrings::GetDelimitedText(char Delim, char Quote, bool Strict) const
{
    int n = Count();
    std::string quote(1, Quote);
    if (n == 1 && Strings(0).empty())
        return quote + quote;
    std::string result;
    for (int i = 0; i < n; ++i) {
        std::string s = Strings(i);
        bool needQuotes = std::any_of(s.begin(), s.end(), [&](char c) {
            return c == Quote || c == Delim || (!Strict && IsBlank(c));
        });
        if (needQuotes) {
            std::string q = quote;
            for (char c : s) {
                q += c;
                if (c == Quote)
                    q += c;
            }
            q += Quote;
            s = q;
        }
        if (i > 0)
            result += Delim;
        result += s;
    }
    return result;
}

void TStrings::SetDelimitedTextWith(const std::string& Value, char Delim, bool Strict)
{
    TUpdateScope<TStrings> scope(this);
    Clear();
    size_t p = 0, n = Value.size();
    auto skipBlanks = [&] {
        if (!Strict)
            while (p < n && IsBlank(Value[p]))
                ++p;
    };
    skipBlanks();
    while (p < n) {
        std::string s;
        if (Value[p] == FQuoteChar) {
            ++p;
            while (p < n) {
                if (Value[p] == FQuoteChar) {
                    if (p + 1 < n && Value[p + 1] == FQuoteChar) {
                        s += FQuoteChar;
                        p += 2;
                        continue;
                    }
                    ++p;
                    break;
                }
                s += Value[p++];
            }
        } else {
            size_t start = p;
            while (p < n && Value[p] != Delim && (Strict || !IsBlank(Value[p])))
                ++p;
            s = Value.substr(start, p - start);
        }
        Add(s);
        skipBlanks();
        if (p < n && Value[p] == Delim) {
            if (p + 1 == n)
                Add(std::string());
            ++p;
            skipBlanks();
        }
    }
}

std::string TStrings::CommaText() const { return GetDelimitedText(',', '"', false); }

void TStrings::SetCommaText(const std::string& Value)
{
    char quote = FQuoteChar;
    FQuoteChar = '"';
    try {
        SetDelimitedTextWith(Value, ',', false);
    } catch (...) {
        FQuoteChar = quote;
        throw;
    }
    FQuoteChar = quote;
}

std::string TStrings::DelimitedText() const {
    return GetDelimitedText(FDelimiter, FQuoteChar, FStrictDelimiter);
}

void TStrings::SetDelimitedText(const std::string& Value)
{
    SetDelimitedTextWith(Value, FDelimiter, FStrictDelimiter);
}

std::string TStrings::Names(int Index) const
{
    std::string s = Strings(Index);
    auto p = s.find(FNameValueSeparator);
    return p == std::string::npos ? std::string() : s.substr(0, p);
}

std::string TStrings::Values(const std::string& Name) const
{
    int i = IndexOfName(Name);
    return i >= 0 ? ValueFromIndex(i) : std::string();
}

void TStrings::SetValue(const std::string& Name, const std::string& Value)
{
    int i = IndexOfName(Name);
    std::string line = Name + FNameValueSeparator + Value;
    if (Value.empty()) {
        if (i >= 0)
            Delete(i);
        return;
    }
    auto* sorted = dynamic_cast<TStringList*>(this);
    if (sorted && sorted->Sorted()) {
        // A sorted list refuses Put: replace the line so that it lands in its place.
        TUpdateScope<TStrings> scope(this);
        TObject* obj = nullptr;
        if (i >= 0) {
            obj = Objects(i);
            Delete(i);
        }
        AddObject(line, obj);
        return;
    }
    if (i < 0)
        Add(line);
    else
        Put(i, line);
}

std::string TStrings::ValueFromIndex(int Index) const
{
    std::string s = Strings(Index);
    auto p = s.find(FNameValueSeparator);
    return p == std::string::npos ? std::string() : s.substr(p + 1);
}

void TStrings::SetValueFromIndex(int Index, const std::string& Value)
{
    if (Value.empty()) {
        Delete(Index);
        return;
    }
    std::string name = Names(Index);
    Put(Index, name + FNameValueSeparator + Value);
}

void TStrings::LoadFromFile(const std::string& FileName)
{
    std::ifstream in(FileName, std::ios::binary);
    if (!in)
        RaiseFmt<EFOpenError>("Cannot open file \"%s\"", {FileName});
    std::string data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad())
        RaiseFmt<EFOpenError>("Cannot read file \"%s\"", {FileName});
    SetText(data);
}

void TStrings::SaveToFile(const std::string& FileName) const
{
    std::ofstream out(FileName, std::ios::binary | std::ios::trunc);
    if (!out)
        RaiseFmt<EFCreateError>("Cannot create file \"%s\"", {FileName});
    std::string data = Text();
    out.write(data.data(), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out)
        RaiseFmt<EFCreateError>("Cannot write file \"%s\"", {FileName});
}

// ---------------------------------------------------------------------------------------
// TStringList

QM_CLASS_IMPL(TStringList, TStrings)

TStringList::~TStringList()
{
    OnChange.Clear();
    OnChanging.Clear();
    if (FOwnsObjects)
        for (Item& it : FList)
            FreeAndNil(it.Obj);
}

void TStringList::CheckIndex(int Index) const
{
    if (Index < 0 || Index >= Count())
        Error(SListIndexError, Index);
}

void TStringList::Changed()
{
    if (UpdateCount() == 0)
        OnChange(this);
}

void TStringList::Changing()
{
    if (UpdateCount() == 0)
        OnChanging(this);
}

void TStringList::SetUpdateState(bool Updating)
{
    if (Updating)
        OnChanging(this);
    else
        OnChange(this);
}

int TStringList::CompareStrings(const std::string& S1, const std::string& S2) const
{
    return FCaseSensitive ? CompareStr(S1, S2) : AnsiCompareText(S1, S2);
}

std::string TStringList::Strings(int Index) const
{
    CheckIndex(Index);
    return FList[Index].Str;
}

void TStringList::Put(int Index, const std::string& S)
{
    if (FSorted)
        Error(SSortedListError, 0);
    CheckIndex(Index);
    Changing();
    FList[Index].Str = S;
    Changed();
}

TObject* TStringList::Objects(int Index) const
{
    CheckIndex(Index);
    return FList[Index].Obj;
}

void TStringList::PutObject(int Index, TObject* AObject)
{
    CheckIndex(Index);
    Changing();
    FList[Index].Obj = AObject;
    Changed();
}

int TStringList::Add(const std::string& S) { return AddObject(S, nullptr); }

int TStringList::AddObject(const std::string& S, TObject* AObject)
{
    int index;
    if (!FSorted) {
        index = Count();
    } else if (Find(S, index)) {
        if (FDuplicates == dupIgnore)
            return index;
        if (FDuplicates == dupError)
            Error(SDuplicateString, 0);
    }
    InsertItem(index, S, AObject);
    return index;
}

void TStringList::Insert(int Index, const std::string& S) { InsertObject(Index, S, nullptr); }

void TStringList::InsertObject(int Index, const std::string& S, TObject* AObject)
{
    if (FSorted)
        Error(SSortedListError, 0);
    if (Index < 0 || Index > Count())
        Error(SListIndexError, Index);
    InsertItem(Index, S, AObject);
}

void TStringList::InsertItem(int Index, const std::string& S, TObject* AObject)
{
    Changing();
    FList.insert(FList.begin() + Index, Item{S, AObject});
    Changed();
}

void TStringList::Delete(int Index)
{
    CheckIndex(Index);
    Changing();
    TObject* obj = FList[Index].Obj;
    FList.erase(FList.begin() + Index);
    if (FOwnsObjects)
        FreeObject(obj);
    Changed();
}

void TStringList::Clear()
{
    if (FList.empty())
        return;
    Changing();
    std::vector<Item> old;
    old.swap(FList);
    if (FOwnsObjects)
        for (Item& it : old)
            FreeAndNil(it.Obj);
    Changed();
}

void TStringList::ExchangeItems(int Index1, int Index2)
{
    std::swap(FList[Index1], FList[Index2]);
}

void TStringList::Exchange(int Index1, int Index2)
{
    CheckIndex(Index1);
    CheckIndex(Index2);
    Changing();
    ExchangeItems(Index1, Index2);
    Changed();
}

void TStringList::Move(int CurIndex, int NewIndex)
{
    if (CurIndex == NewIndex)
        return;
    CheckIndex(CurIndex);
    CheckIndex(NewIndex);
    if (FSorted)
        Error(SSortedListError, 0);
    Changing();
    Item item = FList[CurIndex];
    FList.erase(FList.begin() + CurIndex);
    FList.insert(FList.begin() + NewIndex, item);
    Changed();
}

int TStringList::IndexOf(const std::string& S) const
{
    if (!FSorted)
        return TStrings::IndexOf(S);
    int index;
    return Find(S, index) ? index : -1;
}

bool TStringList::Find(const std::string& S, int& Index) const
{
    bool result = false;
    int l = 0, h = Count() - 1;
    while (l <= h) {
        int i = (l + h) / 2;
        int c = CompareStrings(FList[i].Str, S);
        if (c < 0) {
            l = i + 1;
        } else {
            h = i - 1;
            if (c == 0) {
                result = true;
                // With duplicates the first equal one is wanted.
                if (FDuplicates != dupAccept)
                    l = i;
            }
        }
    }
    Index = l;
    return result;
}

void TStringList::Sort()
{
    CustomSort([](TStringList* list, int a, int b) {
        return list->CompareStrings(list->FList[a].Str, list->FList[b].Str);
    });
}

void TStringList::CustomSort(const TStringListSortCompare& Compare)
{
    if (FSorted || Count() < 2)
        return;
    Changing();
    // Compare sees the list unchanged while the order is worked out on indexes.
    std::vector<int> order(FList.size());
    std::iota(order.begin(), order.end(), 0);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return Compare(this, a, b) < 0; });
    std::vector<Item> sorted;
    sorted.reserve(FList.size());
    for (int i : order)
        sorted.push_back(FList[i]);
    FList.swap(sorted);
    Changed();
}

void TStringList::SetSorted(bool Value)
{
    if (FSorted == Value)
        return;
    if (Value)
        Sort();
    FSorted = Value;
}

void TStringList::SetCaseSensitive(bool Value)
{
    if (FCaseSensitive == Value)
        return;
    FCaseSensitive = Value;
    if (FSorted) {
        FSorted = false;
        Sort();
        FSorted = true;
    }
}

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

int TCollectionItem::Index() const
{
    if (!FCollection)
        return -1;
    auto& items = FCollection->FItems;
    auto it = std::find(items.begin(), items.end(), this);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
}

void TCollectionItem::SetIndex(int Value)
{
    int cur = Index();
    if (cur >= 0 && cur != Value) {
        FCollection->MoveItem(this, Value);
        Changed(true);
    }
}

void TCollectionItem::SetDisplayName(const std::string&)
{
    Changed(false);
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
    BeginUpdate();
    try {
        while (!FItems.empty())
            FreeObject(FItems.back());
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

TCollectionItem* TCollection::Items(int Index) const
{
    CheckIndex(Index);
    return FItems[Index];
}

void TCollection::SetItem(int Index, TCollectionItem* Value)
{
    Items(Index)->Assign(Value);
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
