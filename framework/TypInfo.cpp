#include "framework/TypInfo.h"

#include "framework/SysUtils.h"
#include "framework/Variants.h"

#include <algorithm>
#include <charconv>
#include <map>
#include <mutex>

namespace {
std::string Trimmed(const std::string& s)
{
    size_t b = 0, e = s.size();
    while (b < e && static_cast<unsigned char>(s[b]) <= ' ')
        ++b;
    while (e > b && static_cast<unsigned char>(s[e - 1]) <= ' ')
        --e;
    return s.substr(b, e - b);
}

const char* KindName(TTypeKind k)
{
    static const char* const names[] = {"Unknown", "Integer", "Char",    "Enumeration",
                                        "Float",   "String",  "Set",     "Class",
                                        "Method",  "WChar",   "LString", "WString",
                                        "Variant", "Array",   "Record",  "Interface",
                                        "Int64",   "DynArray"};
    return (k >= tkUnknown && k <= tkDynArray) ? names[k] : "?";
}

// Type infos live for the whole run; they are never freed.
PTypeInfo Keep(TTypeInfo info)
{
    static std::mutex lock;
    static std::vector<std::unique_ptr<TTypeInfo>> all;
    std::lock_guard<std::mutex> g(lock);
    all.push_back(std::make_unique<TTypeInfo>(std::move(info)));
    return all.back().get();
}

PPropInfo Require(TObject* obj, const std::string& name)
{
    PPropInfo p = GetPropInfo(obj, name);
    if (!p)
        throw EPropertyError("Unknown property: '" + name + "'");
    return p;
}

void CheckTarget(TObject* obj, PPropInfo prop)
{
    if (!obj || !prop)
        throw EPropertyError("Property access without object or property");
    if (!obj->InheritsFrom(prop->Owner))
        throw EPropertyError("Property " + prop->Name + " does not belong to class " +
                             obj->ClassName());
}

[[noreturn]] void WrongKind(PPropInfo prop, const char* wanted)
{
    throw EPropertyError("Property " + prop->Name + " is of kind " +
                         KindName(prop->PropType->Kind) + ", not " + wanted);
}

[[noreturn]] void ReadOnly(PPropInfo prop)
{
    throw EPropertyError("Property " + prop->Name + " is read-only");
}

bool IsKind(PPropInfo prop, TTypeKinds kinds)
{
    return kinds.Contains(prop->PropType->Kind);
}

std::vector<PPropInfo> Declared(TClass cls)
{
    std::vector<PPropInfo> out;
    if (!cls || !cls->TypeData)
        return out;
    for (auto& p : cls->TypeData->Props)
        out.push_back(p.get());
    return out;
}
} // namespace

// ---- Type information -------------------------------------------------------------------

std::string TTypeInfo::Name() const
{
    if (Kind == tkClass) {
        TClass c = Data.ClassType();
        return c ? c->Name : TypeName;
    }
    return TypeName;
}

PTypeData GetTypeData(PTypeInfo info)
{
    return info ? &info->Data : nullptr;
}

qm_detail::TEnumDesc::TEnumDesc(const char* typeName, const char* names) : TypeName(typeName)
{
    std::string all = names;
    size_t start = 0;
    while (start <= all.size()) {
        size_t comma = all.find(',', start);
        if (comma == std::string::npos)
            comma = all.size();
        std::string item = all.substr(start, comma - start);
        // "Name = value" keeps the name; members must still run from 0 in order.
        size_t eq = item.find('=');
        if (eq != std::string::npos)
            item.resize(eq);
        item = Trimmed(item);
        if (!item.empty())
            Names.push_back(item);
        start = comma + 1;
    }
}

namespace qm_detail {
PTypeInfo BooleanTypeInfo()
{
    static const PTypeInfo info = [] {
        TTypeInfo t;
        t.Kind = tkEnumeration;
        t.TypeName = "Boolean";
        t.Data.OrdType = otUByte;
        t.Data.MinValue = 0;
        t.Data.MaxValue = 1;
        t.Data.NameList = {"False", "True"};
        return Keep(std::move(t));
    }();
    return info;
}

PTypeInfo CharTypeInfo()
{
    static const PTypeInfo info = [] {
        TTypeInfo t;
        t.Kind = tkChar;
        t.TypeName = "Char";
        t.Data.OrdType = otUByte;
        t.Data.MinValue = 0;
        t.Data.MaxValue = 255;
        return Keep(std::move(t));
    }();
    return info;
}

PTypeInfo StringTypeInfo()
{
    static const PTypeInfo info = [] {
        TTypeInfo t;
        t.Kind = tkLString;
        t.TypeName = "string";
        return Keep(std::move(t));
    }();
    return info;
}

PTypeInfo VariantTypeInfo()
{
    static const PTypeInfo info = [] {
        TTypeInfo t;
        t.Kind = tkVariant;
        t.TypeName = "Variant";
        return Keep(std::move(t));
    }();
    return info;
}

PTypeInfo IntegerTypeInfo(const char* name, TOrdType ot, int64_t lo, int64_t hi)
{
    TTypeInfo t;
    t.Kind = tkInteger;
    t.TypeName = name;
    t.Data.OrdType = ot;
    t.Data.MinValue = lo;
    t.Data.MaxValue = hi;
    return Keep(std::move(t));
}

PTypeInfo Int64TypeInfo(const char* name, int64_t lo, int64_t hi)
{
    TTypeInfo t;
    t.Kind = tkInt64;
    t.TypeName = name;
    t.Data.MinValue = lo;
    t.Data.MaxValue = hi;
    return Keep(std::move(t));
}

PTypeInfo FloatTypeInfo(const char* name, TFloatType ft)
{
    static std::mutex lock;
    static std::map<int, PTypeInfo> made;
    std::lock_guard<std::mutex> g(lock);
    auto& slot = made[ft];
    if (!slot) {
        TTypeInfo t;
        t.Kind = tkFloat;
        t.TypeName = name;
        t.Data.FloatType = ft;
        slot = Keep(std::move(t));
    }
    return slot;
}

PTypeInfo EnumTypeInfo(const TEnumDesc& desc)
{
    TTypeInfo t;
    t.Kind = tkEnumeration;
    t.TypeName = desc.TypeName;
    t.Data.OrdType = desc.Names.size() <= 256 ? otUByte : otSLong;
    t.Data.MinValue = 0;
    t.Data.MaxValue = static_cast<int64_t>(desc.Names.size()) - 1;
    t.Data.NameList = desc.Names;
    return Keep(std::move(t));
}

PTypeInfo SetTypeInfo(PTypeInfo member)
{
    TTypeInfo t;
    t.Kind = tkSet;
    t.TypeName = "set of " + member->Name();
    t.Data.OrdType = otULong;
    t.Data.CompType = member;
    return Keep(std::move(t));
}

PTypeInfo ClassTypeInfo(TClass (*cls)())
{
    TTypeInfo t;
    t.Kind = tkClass;
    t.Data.ClassTypeFn = cls;
    return Keep(std::move(t));
}

PTypeInfo MethodTypeInfo(const std::type_info& sig)
{
    TTypeInfo t;
    t.Kind = tkMethod;
    t.TypeName = sig.name();
    t.Data.Signature = &sig;
    return Keep(std::move(t));
}

void RaiseOrdinalRange(const std::string& prop, int64_t value)
{
    throw EPropertyError("Value " + std::to_string(value) + " is out of range for property " +
                         prop);
}

void RaiseClassMismatch(const std::string& prop, TObject* value)
{
    throw EPropertyError("A " + value->ClassName() + " cannot be assigned to property " + prop);
}

void InitTypeData(TClassInfo& info)
{
    if (info.Parent && info.Parent->TypeData)
        info.TypeData = std::make_shared<TClassTypeData>(*info.Parent->TypeData);
    else
        info.TypeData = std::make_shared<TClassTypeData>();
}

void AddProperty(TClassInfo& info, std::shared_ptr<TPropInfo> prop)
{
    auto& props = info.TypeData->Props;
    for (auto& p : props)
        if (SameText(p->Name, prop->Name)) {
            // A redeclaration replaces the inherited property in its place.
            p = std::move(prop);
            return;
        }
    props.push_back(std::move(prop));
}

void AddField(TClassInfo& info, std::shared_ptr<TPublishedField> field)
{
    auto& fields = info.TypeData->Fields;
    for (auto& f : fields)
        if (SameText(f->Name, field->Name)) {
            f = std::move(field);
            return;
        }
    fields.push_back(std::move(field));
}

PTypeInfo NamedTypeInfo(PTypeInfo base, const std::string& name)
{
    static std::mutex lock;
    static std::map<std::pair<PTypeInfo, std::string>, PTypeInfo> named;
    std::lock_guard<std::mutex> g(lock);
    auto key = std::make_pair(base, name);
    auto it = named.find(key);
    if (it != named.end())
        return it->second;
    TTypeInfo t = *base;
    t.TypeName = name;
    PTypeInfo info = Keep(std::move(t));
    named.emplace(key, info);
    return info;
}

void AddMethod(TClassInfo& info, std::shared_ptr<TPublishedMethod> method)
{
    auto& methods = info.TypeData->Methods;
    for (auto& m : methods)
        if (SameText(m->Name, method->Name)) {
            m = std::move(method);
            return;
        }
    methods.push_back(std::move(method));
}
} // namespace qm_detail

// ---- Queries ----------------------------------------------------------------------------

PPropInfo GetPropInfo(TClass cls, const std::string& name)
{
    if (!cls || !cls->TypeData)
        return nullptr;
    for (auto& p : cls->TypeData->Props)
        if (SameText(p->Name, name))
            return p.get();
    return nullptr;
}

PPropInfo GetPropInfo(const TObject* obj, const std::string& name)
{
    return obj ? GetPropInfo(obj->ClassType(), name) : nullptr;
}

PPropInfo GetPropInfo(const TObject* obj, const std::string& name, TTypeKinds kinds)
{
    PPropInfo p = GetPropInfo(obj, name);
    return (p && IsKind(p, kinds)) ? p : nullptr;
}

std::vector<PPropInfo> GetPropInfos(TClass cls)
{
    return Declared(cls);
}

std::vector<PPropInfo> GetPropInfos(const TObject* obj)
{
    return obj ? Declared(obj->ClassType()) : std::vector<PPropInfo>{};
}

std::vector<PPropInfo> GetPropList(TClass cls, TTypeKinds kinds)
{
    std::vector<PPropInfo> out;
    for (PPropInfo p : Declared(cls))
        if (IsKind(p, kinds))
            out.push_back(p);
    std::stable_sort(out.begin(), out.end(),
                     [](PPropInfo a, PPropInfo b) { return CompareText(a->Name, b->Name) < 0; });
    return out;
}

std::vector<PPropInfo> GetPropList(const TObject* obj, TTypeKinds kinds)
{
    return obj ? GetPropList(obj->ClassType(), kinds) : std::vector<PPropInfo>{};
}

bool IsPublishedProp(TClass cls, const std::string& name)
{
    return GetPropInfo(cls, name) != nullptr;
}

bool IsPublishedProp(const TObject* obj, const std::string& name)
{
    return GetPropInfo(obj, name) != nullptr;
}

TTypeKind PropType(TClass cls, const std::string& name)
{
    PPropInfo p = GetPropInfo(cls, name);
    if (!p)
        throw EPropertyError("Unknown property: '" + name + "'");
    return p->PropType->Kind;
}

TTypeKind PropType(const TObject* obj, const std::string& name)
{
    return PropType(obj ? obj->ClassType() : nullptr, name);
}

bool PropIsType(const TObject* obj, const std::string& name, TTypeKind kind)
{
    return PropType(obj, name) == kind;
}

bool PropIsType(TClass cls, const std::string& name, TTypeKind kind)
{
    return PropType(cls, name) == kind;
}

bool IsStoredProp(TObject* obj, PPropInfo prop)
{
    CheckTarget(obj, prop);
    return prop->StoredFn ? prop->StoredFn(obj) : prop->StoredConst;
}

bool IsStoredProp(TObject* obj, const std::string& name)
{
    return IsStoredProp(obj, Require(obj, name));
}

bool IsDefaultPropValue(TObject* obj, PPropInfo prop)
{
    CheckTarget(obj, prop);
    if (!prop->HasDefault)
        return false;
    if (prop->GetOrd)
        return prop->GetOrd(obj) == prop->Default;
    if (prop->GetFloat)
        return prop->GetFloat(obj) == prop->DefaultFloat;
    if (prop->GetStr)
        return prop->GetStr(obj) == prop->DefaultStr;
    return false;
}

// ---- Access -----------------------------------------------------------------------------

int64_t GetOrdProp(TObject* obj, PPropInfo prop)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, tkOrdinal + TTypeKinds{tkClass}) || !prop->GetOrd)
        WrongKind(prop, "an ordinal");
    return prop->GetOrd(obj);
}

int64_t GetOrdProp(TObject* obj, const std::string& name)
{
    return GetOrdProp(obj, Require(obj, name));
}

void SetOrdProp(TObject* obj, PPropInfo prop, int64_t value)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, tkOrdinal + TTypeKinds{tkClass}) || !prop->GetOrd)
        WrongKind(prop, "an ordinal");
    if (!prop->SetOrd)
        ReadOnly(prop);
    prop->SetOrd(obj, value);
}

void SetOrdProp(TObject* obj, const std::string& name, int64_t value)
{
    SetOrdProp(obj, Require(obj, name), value);
}

std::string GetStrProp(TObject* obj, PPropInfo prop)
{
    CheckTarget(obj, prop);
    if (!prop->GetStr)
        WrongKind(prop, "a string");
    return prop->GetStr(obj);
}

std::string GetStrProp(TObject* obj, const std::string& name)
{
    return GetStrProp(obj, Require(obj, name));
}

void SetStrProp(TObject* obj, PPropInfo prop, const std::string& value)
{
    CheckTarget(obj, prop);
    if (!prop->GetStr)
        WrongKind(prop, "a string");
    if (!prop->SetStr)
        ReadOnly(prop);
    prop->SetStr(obj, value);
}

void SetStrProp(TObject* obj, const std::string& name, const std::string& value)
{
    SetStrProp(obj, Require(obj, name), value);
}

long double GetFloatProp(TObject* obj, PPropInfo prop)
{
    CheckTarget(obj, prop);
    if (!prop->GetFloat)
        WrongKind(prop, "a float");
    return prop->GetFloat(obj);
}

long double GetFloatProp(TObject* obj, const std::string& name)
{
    return GetFloatProp(obj, Require(obj, name));
}

void SetFloatProp(TObject* obj, PPropInfo prop, long double value)
{
    CheckTarget(obj, prop);
    if (!prop->GetFloat)
        WrongKind(prop, "a float");
    if (!prop->SetFloat)
        ReadOnly(prop);
    prop->SetFloat(obj, value);
}

void SetFloatProp(TObject* obj, const std::string& name, long double value)
{
    SetFloatProp(obj, Require(obj, name), value);
}

int64_t GetInt64Prop(TObject* obj, PPropInfo prop)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, TTypeKinds{tkInt64}))
        WrongKind(prop, "an Int64");
    return prop->GetOrd(obj);
}

int64_t GetInt64Prop(TObject* obj, const std::string& name)
{
    return GetInt64Prop(obj, Require(obj, name));
}

void SetInt64Prop(TObject* obj, PPropInfo prop, int64_t value)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, TTypeKinds{tkInt64}))
        WrongKind(prop, "an Int64");
    if (!prop->SetOrd)
        ReadOnly(prop);
    prop->SetOrd(obj, value);
}

void SetInt64Prop(TObject* obj, const std::string& name, int64_t value)
{
    SetInt64Prop(obj, Require(obj, name), value);
}

TObject* GetObjectProp(TObject* obj, PPropInfo prop)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, TTypeKinds{tkClass}))
        WrongKind(prop, "a class");
    return reinterpret_cast<TObject*>(static_cast<intptr_t>(prop->GetOrd(obj)));
}

TObject* GetObjectProp(TObject* obj, const std::string& name)
{
    return GetObjectProp(obj, Require(obj, name));
}

TClass GetObjectPropClass(PPropInfo prop)
{
    return prop && prop->PropType->Kind == tkClass ? prop->PropType->Data.ClassType() : nullptr;
}

void SetObjectProp(TObject* obj, PPropInfo prop, TObject* value)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, TTypeKinds{tkClass}))
        WrongKind(prop, "a class");
    if (!prop->SetOrd)
        ReadOnly(prop);
    if (value && !value->InheritsFrom(GetObjectPropClass(prop)))
        qm_detail::RaiseClassMismatch(prop->Name, value);
    prop->SetOrd(obj, static_cast<int64_t>(reinterpret_cast<intptr_t>(value)));
}

void SetObjectProp(TObject* obj, const std::string& name, TObject* value)
{
    SetObjectProp(obj, Require(obj, name), value);
}

TMethod GetMethodProp(TObject* obj, PPropInfo prop)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, TTypeKinds{tkMethod}) || !prop->GetMethod)
        WrongKind(prop, "a method");
    return prop->GetMethod(obj);
}

TMethod GetMethodProp(TObject* obj, const std::string& name)
{
    return GetMethodProp(obj, Require(obj, name));
}

void SetMethodProp(TObject* obj, PPropInfo prop, const TMethod& value)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, TTypeKinds{tkMethod}) || !prop->GetMethod)
        WrongKind(prop, "a method");
    if (!prop->SetMethod)
        ReadOnly(prop);
    const std::type_info* want = prop->PropType->Data.Signature;
    if (value.Assigned() && (!value.Signature || *value.Signature != *want))
        throw EPropertyError("Method " + value.Name + " does not match the type of event " +
                             prop->Name);
    prop->SetMethod(obj, value);
}

void SetMethodProp(TObject* obj, const std::string& name, const TMethod& value)
{
    SetMethodProp(obj, Require(obj, name), value);
}

std::string GetEnumProp(TObject* obj, PPropInfo prop)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, TTypeKinds{tkEnumeration}))
        WrongKind(prop, "an enumeration");
    return GetEnumName(prop->PropType, prop->GetOrd(obj));
}

std::string GetEnumProp(TObject* obj, const std::string& name)
{
    return GetEnumProp(obj, Require(obj, name));
}

void SetEnumProp(TObject* obj, PPropInfo prop, const std::string& value)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, TTypeKinds{tkEnumeration}))
        WrongKind(prop, "an enumeration");
    int64_t v = GetEnumValue(prop->PropType, value);
    if (v < 0)
        throw EPropertyError("Invalid property element: " + value);
    SetOrdProp(obj, prop, v);
}

void SetEnumProp(TObject* obj, const std::string& name, const std::string& value)
{
    SetEnumProp(obj, Require(obj, name), value);
}

std::string GetSetProp(TObject* obj, PPropInfo prop, bool brackets)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, TTypeKinds{tkSet}))
        WrongKind(prop, "a set");
    return SetToString(prop->PropType, prop->GetOrd(obj), brackets);
}

std::string GetSetProp(TObject* obj, const std::string& name, bool brackets)
{
    return GetSetProp(obj, Require(obj, name), brackets);
}

void SetSetProp(TObject* obj, PPropInfo prop, const std::string& value)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, TTypeKinds{tkSet}))
        WrongKind(prop, "a set");
    SetOrdProp(obj, prop, StringToSet(prop->PropType, value));
}

void SetSetProp(TObject* obj, const std::string& name, const std::string& value)
{
    SetSetProp(obj, Require(obj, name), value);
}

Variant GetVariantProp(TObject* obj, PPropInfo prop)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, TTypeKinds{tkVariant}) || !prop->GetRaw)
        WrongKind(prop, "a Variant");
    Variant v;
    prop->GetRaw(obj, &v);
    return v;
}

Variant GetVariantProp(TObject* obj, const std::string& name)
{
    return GetVariantProp(obj, Require(obj, name));
}

void SetVariantProp(TObject* obj, PPropInfo prop, const Variant& value)
{
    CheckTarget(obj, prop);
    if (!IsKind(prop, TTypeKinds{tkVariant}) || !prop->GetRaw)
        WrongKind(prop, "a Variant");
    if (!prop->SetRaw)
        ReadOnly(prop);
    prop->SetRaw(obj, &value);
}

void SetVariantProp(TObject* obj, const std::string& name, const Variant& value)
{
    SetVariantProp(obj, Require(obj, name), value);
}

Variant GetPropValue(TObject* obj, const std::string& name, bool preferStrings)
{
    PPropInfo p = Require(obj, name);
    switch (p->PropType->Kind) {
    case tkInteger:
        return Variant(GetOrdProp(obj, p));
    case tkChar:
    case tkWChar:
        return Variant(std::string(1, static_cast<char>(GetOrdProp(obj, p))));
    case tkEnumeration:
        if (p->PropType == TypeInfoOf<bool>())
            return Variant(GetOrdProp(obj, p) != 0);
        return preferStrings ? Variant(GetEnumProp(obj, p)) : Variant(GetOrdProp(obj, p));
    case tkSet:
        return preferStrings ? Variant(GetSetProp(obj, p)) : Variant(GetOrdProp(obj, p));
    case tkFloat:
        return Variant(static_cast<double>(GetFloatProp(obj, p)));
    case tkString:
    case tkLString:
    case tkWString:
        return Variant(GetStrProp(obj, p));
    case tkInt64:
        return Variant(GetInt64Prop(obj, p));
    case tkVariant:
        return GetVariantProp(obj, p);
    default:
        WrongKind(p, "a value convertible to Variant");
    }
}

void SetPropValue(TObject* obj, const std::string& name, const Variant& value)
{
    PPropInfo p = Require(obj, name);
    bool text = value.VarType() == varString;
    switch (p->PropType->Kind) {
    case tkInteger:
        SetOrdProp(obj, p, value.AsInt64());
        break;
    case tkChar:
    case tkWChar:
        if (text) {
            std::string s = value.AsString();
            if (s.size() != 1)
                throw EPropertyError("Invalid character value for property " + p->Name);
            SetOrdProp(obj, p, static_cast<unsigned char>(s[0]));
        } else {
            SetOrdProp(obj, p, value.AsInt64());
        }
        break;
    case tkEnumeration:
        if (text)
            SetEnumProp(obj, p, value.AsString());
        else if (value.VarType() == varBoolean)
            SetOrdProp(obj, p, value.AsBool() ? 1 : 0);
        else
            SetOrdProp(obj, p, value.AsInt64());
        break;
    case tkSet:
        if (text)
            SetSetProp(obj, p, value.AsString());
        else
            SetOrdProp(obj, p, value.AsInt64());
        break;
    case tkFloat:
        SetFloatProp(obj, p, value.AsDouble());
        break;
    case tkString:
    case tkLString:
    case tkWString:
        SetStrProp(obj, p, value.AsString());
        break;
    case tkInt64:
        SetInt64Prop(obj, p, value.AsInt64());
        break;
    case tkVariant:
        SetVariantProp(obj, p, value);
        break;
    default:
        WrongKind(p, "a value convertible from Variant");
    }
}

// ---- Names ------------------------------------------------------------------------------

std::string GetEnumName(PTypeInfo type, int64_t value)
{
    if (!type)
        return {};
    if (type->Kind == tkInteger || type->Kind == tkInt64)
        return std::to_string(value);
    if (type->Kind != tkEnumeration)
        return {};
    const auto& names = type->Data.NameList;
    if (value < 0 || value >= static_cast<int64_t>(names.size()))
        return {};
    return names[static_cast<size_t>(value)];
}

int64_t GetEnumValue(PTypeInfo type, const std::string& name)
{
    if (!type)
        return -1;
    if (type->Kind == tkInteger || type->Kind == tkInt64) {
        int64_t v = 0;
        std::string t = Trimmed(name);
        auto [end, ec] = std::from_chars(t.data(), t.data() + t.size(), v);
        return (ec == std::errc() && end == t.data() + t.size() && !t.empty()) ? v : -1;
    }
    if (type->Kind != tkEnumeration)
        return -1;
    const auto& names = type->Data.NameList;
    for (size_t i = 0; i < names.size(); ++i)
        if (SameText(names[i], name))
            return static_cast<int64_t>(i);
    return -1;
}

std::string SetToString(PTypeInfo setType, int64_t value, bool brackets)
{
    if (!setType || setType->Kind != tkSet)
        throw EPropertyError("Not a set type");
    std::string out;
    PTypeInfo member = setType->Data.CompType;
    for (int i = 0; i < 32; ++i) {
        if (!(static_cast<uint64_t>(value) & (uint64_t{1} << i)))
            continue;
        std::string name = GetEnumName(member, i);
        if (name.empty())
            continue;
        if (!out.empty())
            out += ',';
        out += name;
    }
    return brackets ? "[" + out + "]" : out;
}

std::string SetToString(PPropInfo prop, int64_t value, bool brackets)
{
    return SetToString(prop ? prop->PropType : nullptr, value, brackets);
}

int64_t StringToSet(PTypeInfo setType, const std::string& value)
{
    if (!setType || setType->Kind != tkSet)
        throw EPropertyError("Not a set type");
    PTypeInfo member = setType->Data.CompType;
    int64_t bits = 0;
    std::string word;
    auto flush = [&] {
        if (word.empty())
            return;
        int64_t v = GetEnumValue(member, word);
        if (v < 0 || v > 31)
            throw EPropertyError("Invalid property element: " + word);
        bits |= int64_t{1} << v;
        word.clear();
    };
    for (char c : value) {
        if (c == '[' || c == ']' || c == ',' || static_cast<unsigned char>(c) <= ' ')
            flush();
        else
            word += c;
    }
    flush();
    return bits;
}

int64_t StringToSet(PPropInfo prop, const std::string& value)
{
    return StringToSet(prop ? prop->PropType : nullptr, value);
}

// ---- Published methods ------------------------------------------------------------------

const TPublishedMethod* FindPublishedMethod(TClass cls, const std::string& name)
{
    if (!cls || !cls->TypeData)
        return nullptr;
    for (auto& m : cls->TypeData->Methods)
        if (SameText(m->Name, name))
            return m.get();
    return nullptr;
}

TMethod MethodAddress(TObject* obj, const std::string& name)
{
    if (!obj)
        return {};
    const TPublishedMethod* m = FindPublishedMethod(obj->ClassType(), name);
    return m ? m->Bind(obj) : TMethod{};
}

std::string MethodName(TObject* obj, const TMethod& method)
{
    if (!obj || !method.Assigned() || method.Data != obj)
        return {};
    const TPublishedMethod* m = FindPublishedMethod(obj->ClassType(), method.Name);
    return (m && method.Signature && *m->Signature == *method.Signature) ? m->Name : std::string{};
}

const TPublishedField* FindPublishedField(TClass cls, const std::string& name)
{
    if (!cls || !cls->TypeData)
        return nullptr;
    for (auto& f : cls->TypeData->Fields)
        if (SameText(f->Name, name))
            return f.get();
    return nullptr;
}

// ---- Identifiers of integer types ------------------------------------------------------

namespace {
struct TIntegerIdents {
    TIdentToInt ToInt;
    TIntToIdent ToIdent;
};

std::mutex& IdentLock()
{
    static std::mutex m;
    return m;
}

std::map<std::string, TIntegerIdents>& IdentMap()
{
    static std::map<std::string, TIntegerIdents> m;
    return m;
}

bool FindIdents(PTypeInfo type, TIntegerIdents& out)
{
    if (!type || (type->Kind != tkInteger && type->Kind != tkInt64))
        return false;
    std::lock_guard<std::mutex> g(IdentLock());
    auto it = IdentMap().find(UpperCase(type->TypeName));
    if (it == IdentMap().end())
        return false;
    out = it->second;
    return true;
}
} // namespace

void RegisterIntegerIdents(const std::string& typeName, TIdentToInt identToInt,
                           TIntToIdent intToIdent)
{
    std::lock_guard<std::mutex> g(IdentLock());
    IdentMap()[UpperCase(typeName)] = TIntegerIdents{std::move(identToInt), std::move(intToIdent)};
}

bool IdentToInteger(PTypeInfo type, const std::string& ident, int64_t& value)
{
    TIntegerIdents m;
    return FindIdents(type, m) && m.ToInt && m.ToInt(ident, value);
}

bool IntegerToIdent(PTypeInfo type, int64_t value, std::string& ident)
{
    TIntegerIdents m;
    return FindIdents(type, m) && m.ToIdent && m.ToIdent(value, ident);
}
