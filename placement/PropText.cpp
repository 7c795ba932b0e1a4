#include "placement/PropText.h"

#include "framework/Forms.h"
#include "framework/SysUtils.h"
#include "framework/Variants.h"
#include "placement/TextUtils.h"
#include "platform/ScopeExit.h"

std::string PropNameDelimiter = "_";

namespace {
// A stored count beyond this is damage, not data: it would only allocate without end.
constexpr int MaxStoredCount = 65536;

bool IsStoredKind(TTypeKind k)
{
    switch (k) {
    case tkInteger: case tkChar: case tkEnumeration: case tkFloat: case tkString: case tkSet:
    case tkClass: case tkWChar: case tkLString: case tkVariant: case tkInt64:
        return true;
    default:
        return false;
    }
}

bool IsStringKind(TTypeKind k) { return k == tkString || k == tkWChar || k == tkLString; }

int FloatPrecision(TFloatType t)
{
    switch (t) {
    case ftSingle: return 7;
    case ftDouble: return 15;
    case ftCurr: return 19;
    default: return 18;
    }
}

int ReadCount(const std::string& text, int def)
{
    int n = StrToIntDef(Trim(text), def);
    return (n < 0 || n > MaxStoredCount) ? def : n;
}
} // namespace

// ---- TPropInfoList -----------------------------------------------------------------------

QM_CLASS_IMPL(TPropInfoList, TObject)

TPropInfoList::TPropInfoList(TObject* AObject, TTypeKinds Filter)
{
    if (AObject)
        FList = GetPropList(AObject, Filter);
}

PPropInfo TPropInfoList::FindPropInfo(const std::string& AName) const
{
    for (PPropInfo p : FList)
        if (SameText(p->Name, AName))
            return p;
    return nullptr;
}

// ---- Texts by kind -----------------------------------------------------------------------

std::string GetPropText(TObject* Obj, PPropInfo PropInfo)
{
    PTypeInfo type = PropInfo->PropType;
    switch (type->Kind) {
    case tkInteger:
        return IntToStr(GetOrdProp(Obj, PropInfo));
    case tkChar:
    case tkWChar:
        return std::string(1, static_cast<char>(GetOrdProp(Obj, PropInfo) & 0xFF));
    case tkEnumeration:
        return GetEnumName(type, GetOrdProp(Obj, PropInfo));
    case tkFloat:
        // Locale-free already: the decimal separator is always ".".
        return FloatToStrPrec(static_cast<double>(GetFloatProp(Obj, PropInfo)), FloatPrecision(type->Data.FloatType));
    case tkString:
    case tkLString:
        return GetStrProp(Obj, PropInfo);
    case tkSet: {
        auto bits = static_cast<uint32_t>(GetOrdProp(Obj, PropInfo));
        std::string text;
        for (int i = 0; i < 32; ++i)
            if (bits & (uint32_t{1} << i)) {
                if (!text.empty())
                    text += ",";
                text += GetEnumName(type->Data.CompType, i);
            }
        return "[" + text + "]";
    }
    case tkVariant: {
        Variant v = GetVariantProp(Obj, PropInfo);
        return v.IsNull() ? std::string() : VarToStr(v);
    }
    case tkInt64:
        return IntToStr(GetInt64Prop(Obj, PropInfo));
    default:
        return std::string();
    }
}

void SetPropText(TObject* Obj, PPropInfo PropInfo, const std::string& Text)
{
    PTypeInfo type = PropInfo->PropType;
    switch (type->Kind) {
    case tkInteger:
        SetOrdProp(Obj, PropInfo, StrToInt64Def(Text, 0));
        break;
    case tkChar:
    case tkWChar:
        if (!Text.empty())
            SetOrdProp(Obj, PropInfo, static_cast<unsigned char>(Text[0]));
        break;
    case tkEnumeration:
        for (int64_t v = type->Data.MinValue; v <= type->Data.MaxValue; ++v)
            if (SameText(GetEnumName(type, v), Text)) {
                SetOrdProp(Obj, PropInfo, v);
                break;
            }
        break;
    case tkFloat: {
        double d;
        if (TryStrToFloat(Text, d))
            SetFloatProp(Obj, PropInfo, d);
        break;
    }
    case tkString:
    case tkLString:
        SetStrProp(Obj, PropInfo, Text);
        break;
    case tkSet: {
        static const TCharSet delims = " ,[]";
        uint32_t bits = 0;
        int n = CountWords(Text, delims);
        for (int i = 1; i <= n; ++i) {
            int64_t v = GetEnumValue(type->Data.CompType, ExtractWordAt(i, Text, delims));
            if (v >= 0 && v <= 31)
                bits |= uint32_t{1} << v;
        }
        SetOrdProp(Obj, PropInfo, bits);
        break;
    }
    case tkVariant:
        SetVariantProp(Obj, PropInfo, Variant(Text));
        break;
    case tkInt64:
        SetInt64Prop(Obj, PropInfo, StrToInt64Def(Text, 0));
        break;
    default:
        break;
    }
}

// ---- TPropStore --------------------------------------------------------------------------

QM_CLASS_IMPL(TPropStore, TObject)

std::string TPropStore::ReadValue(const std::string& ASection, const std::string& Item, const std::string& Default)
{
    if (!OnReadValue)
        return std::string();
    return OnReadValue(ASection, Item, Default);
}

void TPropStore::WriteValue(const std::string& ASection, const std::string& Item, const std::string& Value)
{
    OnWriteValue(ASection, Item, Value);
}

void TPropStore::ClearSection(const std::string& ASection) { OnClearSection(ASection); }

std::string TPropStore::ItemName(const std::string& APropName) { return Prefix + APropName; }

TPropStore* TPropStore::NewStorage() { return new TPropStore(); }

void TPropStore::StorePropertyValue(PPropInfo PropInfo)
{
    if (!PropInfo || !IsStoredKind(PropInfo->PropType->Kind))
        return;
    TTypeKind kind = PropInfo->PropType->Kind;
    std::string text = kind == tkClass ? StoreClassProperty(PropInfo) : GetPropText(Object, PropInfo);
    if (text.empty() && !IsStringKind(kind))
        return;
    WriteValue(Section, ItemName(PropInfo->Name), Trim(text));
}

void TPropStore::LoadPropertyValue(PPropInfo PropInfo)
{
    if (!PropInfo || !IsStoredKind(PropInfo->PropType->Kind))
        return;
    TTypeKind kind = PropInfo->PropType->Kind;
    try {
        std::string def = kind == tkClass ? std::string() : GetPropText(Object, PropInfo);
        std::string text;
        if (!def.empty() || IsStringKind(kind) || kind == tkClass)
            text = Trim(ReadValue(Section, ItemName(PropInfo->Name), def));
        if (kind == tkClass)
            LoadClassProperty(text, PropInfo);
        else
            SetPropText(Object, PropInfo, text);
    } catch (...) {
        // One bad value must not stop the others: the property keeps its value.
    }
}

void TPropStore::StoreProperties()
{
    TPropInfoList list(Object, tkStoredProps);
    for (int i = 0; i < list.Count(); ++i)
        StorePropertyValue(list.PropInfoAt(i));
}

void TPropStore::LoadProperties()
{
    TPropInfoList list(Object, tkStoredProps);
    for (int i = 0; i < list.Count(); ++i)
        LoadPropertyValue(list.PropInfoAt(i));
}

TPropStore* TPropStore::NestedStorage(TObject* Obj, const std::string& APrefix, const std::string& ASection)
{
    TPropStore* s = NewStorage();
    s->Object = Obj;
    s->Prefix = APrefix;
    s->Section = ASection;
    s->OnReadValue = OnReadValue;
    s->OnWriteValue = OnWriteValue;
    s->OnClearSection = OnClearSection;
    return s;
}

void TPropStore::StoreObjectProperties(TObject* Obj, const std::string& APrefix, const std::string& ASection)
{
    if (!Obj)
        return;
    std::unique_ptr<TPropStore> s(NestedStorage(Obj, APrefix, ASection));
    s->StoreProperties();
}

void TPropStore::LoadObjectProperties(TObject* Obj, const std::string& APrefix, const std::string& ASection)
{
    if (!Obj)
        return;
    std::unique_ptr<TPropStore> s(NestedStorage(Obj, APrefix, ASection));
    s->LoadProperties();
}

std::string TPropStore::StoreClassProperty(PPropInfo PropInfo)
{
    TObject* obj = GetObjectProp(Object, PropInfo);
    if (!obj)
        return std::string();
    if (dynamic_cast<TStrings*>(obj)) {
        StoreStringsProperty(PropInfo);
    } else if (auto* coll = dynamic_cast<TCollection*>(obj)) {
        std::string sub = Section + "." + Prefix + PropInfo->Name;
        ClearSection(sub);
        WriteValue(Section, Prefix + PropInfo->Name + ".Count", IntToStr(coll->Count()));
        for (int i = 0; i < coll->Count(); ++i)
            StoreObjectProperties(coll->Items(i), "Item" + IntToStr(i) + PropNameDelimiter, sub);
    } else if (dynamic_cast<TComponent*>(obj)) {
        return StoreComponentReference(PropInfo);
    }
    StoreObjectProperties(obj, Prefix + PropInfo->Name, Section);
    return std::string();
}

void TPropStore::LoadClassProperty(const std::string& Text, PPropInfo PropInfo)
{
    TObject* obj = GetObjectProp(Object, PropInfo);
    TClass declared = GetObjectPropClass(PropInfo);
    // A reference is resolved by the property's class, so that an empty one can be filled.
    if (dynamic_cast<TComponent*>(obj) || (declared && declared->InheritsFrom(TComponent::StaticClassInfo()))) {
        LoadComponentReference(Text, PropInfo);
        return;
    }
    if (!obj)
        return;
    if (dynamic_cast<TStrings*>(obj)) {
        LoadStringsProperty(PropInfo);
    } else if (auto* coll = dynamic_cast<TCollection*>(obj)) {
        int oldCount = coll->Count();
        int n = ReadCount(ReadValue(Section, Prefix + PropInfo->Name + ".Count", IntToStr(oldCount)), oldCount);
        // More items than the collection can hold is a damaged count, not a layout: keep
        // the items it has, so that the next save writes them over the damage.
        if (n > coll->MaxPlausibleCount())
            return;
        bool changed = n != coll->Count();
        std::string sub = Section + "." + Prefix + PropInfo->Name;
        TUpdateScope<TCollection> update(coll);
        if (changed)
            coll->Clear();
        for (int i = 0; i < n; ++i) {
            if (changed)
                coll->Add();
            LoadObjectProperties(coll->Items(i), "Item" + IntToStr(i) + PropNameDelimiter, sub);
        }
    }
    LoadObjectProperties(obj, Prefix + PropInfo->Name, Section);
}

void TPropStore::StoreStringsProperty(PPropInfo PropInfo)
{
    auto* list = dynamic_cast<TStrings*>(GetObjectProp(Object, PropInfo));
    std::string sub = Section + "." + ItemName(PropInfo->Name);
    ClearSection(sub);
    if (!list || list->Count() == 0)
        return;
    WriteValue(sub, "Count", IntToStr(list->Count()));
    for (int i = 0; i < list->Count(); ++i)
        WriteValue(sub, Format("Item%d", {i}), list->Strings(i));
}

void TPropStore::LoadStringsProperty(PPropInfo PropInfo)
{
    auto* list = dynamic_cast<TStrings*>(GetObjectProp(Object, PropInfo));
    std::string sub = Section + "." + ItemName(PropInfo->Name);
    int n = ReadCount(ReadValue(sub, "Count", "0"), 0);
    if (!list || n <= 0)
        return;
    TStringList lines;
    for (int i = 0; i < n; ++i)
        lines.Add(ReadValue(sub, Format("Item%d", {i}), ""));
    list->Assign(&lines);
}

std::string TPropStore::StoreComponentReference(PPropInfo PropInfo)
{
    auto* comp = dynamic_cast<TComponent*>(GetObjectProp(Object, PropInfo));
    if (!comp)
        return std::string();
    std::string text = comp->Name();
    TComponent* owner = comp->Owner();
    if (owner && owner != Owner) {
        std::string ownerName = owner->Name();
        if (ownerName.empty()) {
            ownerName = owner->ClassName();
            if (!ownerName.empty() && (ownerName[0] == 'T' || ownerName[0] == 't'))
                ownerName.erase(0, 1);
        }
        text = ownerName + "." + text;
    }
    return text;
}

void TPropStore::LoadComponentReference(const std::string& Text, PPropInfo PropInfo)
{
    std::string text = Trim(Text);
    if (text.empty())
        return;
    if (SameText(text, "(null)")) {
        SetObjectProp(Object, PropInfo, nullptr);
        return;
    }
    std::string ownerName, compName = text;
    size_t dot = text.find('.');
    if (dot != std::string::npos) {
        ownerName = text.substr(0, dot);
        compName = text.substr(dot + 1);
    }
    TComponent* root = ownerName.empty() ? Owner : FindTopLevelComponent(ownerName);
    if (root)
        SetObjectProp(Object, PropInfo, root->FindComponent(compName));
}

// ---- Stored-property lists ---------------------------------------------------------------

std::string JoinStoredItem(const std::string& CompName, const std::string& PropName)
{
    if (CompName.empty() || PropName.empty())
        return std::string();
    return CompName + "." + PropName;
}

bool SplitStoredItem(const std::string& Item, std::string& CompName, std::string& PropName)
{
    size_t dot = Item.find('.');
    if (dot == std::string::npos)
        return false;
    CompName = Trim(Item.substr(0, dot));
    PropName = Trim(Item.substr(dot + 1));
    return !CompName.empty() && !PropName.empty();
}

std::string ReplaceStoredComponent(const std::string& Item, const std::string& NewCompName)
{
    std::string comp, prop;
    if (!SplitStoredItem(Item, comp, prop))
        return std::string();
    return JoinStoredItem(NewCompName, prop);
}

void SyncStoredList(TComponent* Owner, TStrings* List, bool FromNames)
{
    if (!Owner || !List)
        return;
    for (int i = List->Count() - 1; i >= 0; --i) {
        std::string comp, prop;
        if (!SplitStoredItem(List->Strings(i), comp, prop)) {
            List->Delete(i);
        } else if (FromNames) {
            if (TComponent* c = Owner->FindComponent(comp))
                List->PutObject(i, c);
            else
                List->Delete(i);
        } else if (auto* c = dynamic_cast<TComponent*>(List->Objects(i))) {
            List->Put(i, ReplaceStoredComponent(List->Strings(i), c->Name()));
        } else {
            List->Delete(i);
        }
    }
}

namespace {
struct ComponentProps {
    TComponent* Component;
    std::unique_ptr<TPropInfoList> Props;
};

void ForEachStoredProp(TPropStore* Storage, TComponent* Owner, TStrings* List, bool Store)
{
    if (!Storage || !Owner || !List)
        return;
    SyncStoredList(Owner, List, false);
    std::vector<ComponentProps> comps;
    for (int i = 0; i < List->Count(); ++i) {
        auto* c = dynamic_cast<TComponent*>(List->Objects(i));
        bool known = false;
        for (auto& cp : comps)
            known = known || cp.Component == c;
        if (c && !known)
            comps.push_back({c, std::make_unique<TPropInfoList>(c, tkStoredProps)});
    }
    Storage->Owner = Owner;
    ScopeExit release([Storage] { Storage->Owner = nullptr; });
    for (int i = 0; i < List->Count(); ++i) {
        std::string compName, propName;
        if (!SplitStoredItem(List->Strings(i), compName, propName))
            continue;
        auto* c = dynamic_cast<TComponent*>(List->Objects(i));
        if (!c)
            continue;
        Storage->Object = c;
        Storage->Prefix = c->Name();
        for (auto& cp : comps)
            if (cp.Component == c) {
                Storage->Prefix += PropNameDelimiter;
                PPropInfo p = cp.Props->FindPropInfo(propName);
                if (Store)
                    Storage->StorePropertyValue(p);
                else
                    Storage->LoadPropertyValue(p);
                break;
            }
    }
}
} // namespace

void StoreComponentProps(TPropStore* Storage, TComponent* Owner, TStrings* List)
{
    ForEachStoredProp(Storage, Owner, List, true);
}

void LoadComponentProps(TPropStore* Storage, TComponent* Owner, TStrings* List)
{
    ForEachStoredProp(Storage, Owner, List, false);
}

TComponent* FindTopLevelComponent(const std::string& Name)
{
    return Screen ? Screen->FindForm(Name) : nullptr;
}

void DonePropText() { PropNameDelimiter.clear(); }
