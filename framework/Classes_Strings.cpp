// String lists.
#include "framework/Classes.h"

#include "framework/ClassesPrivate.h"
#include "framework/Filer.h"
#include "platform/ScopeExit.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <numeric>

namespace {
const char* const SDuplicateString = "String list does not allow duplicates";
const char* const SSortedListError = "Operation not allowed on sorted list";

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }
} // namespace

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
    ScopeExit restore([this, quote = FQuoteChar] { FQuoteChar = quote; });
    FQuoteChar = '"';
    SetDelimitedTextWith(Value, ',', false);
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

void FillStrings(TStrings* Strings, const std::vector<std::string>& Items)
{
    if (!Strings)
        return;
    Strings->Clear();
    for (const auto& s : Items)
        Strings->Add(s);
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
