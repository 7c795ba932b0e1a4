#pragma once
// Run-time type information of published properties and methods: each class registers
// them next to its declaration with a TClassBuilder, and the form reader/writer and the
// property text storage reach them by name through the functions below.
#include "framework/SysUtils.h"
#include "framework/System.h"
#include "framework/Types.h"

#include <any>
#include <cstdint>
#include <functional>
#include <limits>
#include <memory>
#include <string>
#include <type_traits>
#include <typeinfo>
#include <vector>

class Variant;

enum TTypeKind {
    tkUnknown,
    tkInteger,
    tkChar,
    tkEnumeration,
    tkFloat,
    tkString,
    tkSet,
    tkClass,
    tkMethod,
    tkWChar,
    tkLString,
    tkWString,
    tkVariant,
    tkArray,
    tkRecord,
    tkInterface,
    tkInt64,
    tkDynArray
};
using TTypeKinds = Set<TTypeKind>;

inline constexpr TTypeKinds tkAny = TTypeKinds::FromBits((uint32_t{1} << (tkDynArray + 1)) - 1);
inline constexpr TTypeKinds tkMethods = {tkMethod};
inline constexpr TTypeKinds tkProperties = tkAny - tkMethods - TTypeKinds{tkUnknown};
inline constexpr TTypeKinds tkOrdinal = {tkInteger, tkChar, tkEnumeration, tkSet, tkWChar};
inline constexpr TTypeKinds tkStrings = {tkString, tkLString, tkWString};

enum TOrdType { otSByte, otUByte, otSWord, otUWord, otSLong, otULong };
enum TFloatType { ftSingle, ftDouble, ftExtended, ftComp, ftCurr };

struct TTypeInfo;
using PTypeInfo = const TTypeInfo*;

struct TTypeData {
    // Integer, Char, Enumeration (and Int64): the value range.
    TOrdType OrdType = otSLong;
    int64_t MinValue = 0;
    int64_t MaxValue = 0;
    // Enumeration: member names by ordinal.
    std::vector<std::string> NameList;
    // Set: the member type.
    PTypeInfo CompType = nullptr;
    TFloatType FloatType = ftDouble;
    // Class: resolved on first use, since classes may refer to each other.
    TClass (*ClassTypeFn)() = nullptr;
    TClass ClassType() const { return ClassTypeFn ? ClassTypeFn() : nullptr; }
    // Method: the handler's signature.
    const std::type_info* Signature = nullptr;
};
using PTypeData = const TTypeData*;

struct TTypeInfo {
    TTypeKind Kind = tkUnknown;
    std::string TypeName;
    TTypeData Data;
    // The type's name ("Integer", "Boolean", "TParity", a class name, ...).
    std::string Name() const;
};

PTypeData GetTypeData(PTypeInfo info);

// A handler of any signature: the target object, the method's name and the Event itself.
struct TMethod {
    TObject* Data = nullptr;
    std::string Name;
    const std::type_info* Signature = nullptr;
    std::any Handler; // an Event<Sig>; empty when unassigned

    bool Assigned() const { return Handler.has_value(); }
    template <class Sig> Event<Sig> As() const
    {
        if (!Handler.has_value())
            return {};
        if (const auto* e = std::any_cast<Event<Sig>>(&Handler))
            return *e;
        throw EPropertyError("Handler " + Name + " has another signature");
    }
    template <class Sig> static TMethod From(const Event<Sig>& e)
    {
        TMethod m;
        m.Signature = &typeid(Sig);
        if (e.Assigned()) {
            m.Data = e.Target();
            m.Name = e.MethodName();
            m.Handler = e;
        }
        return m;
    }
};

struct TPropInfo {
    std::string Name;
    PTypeInfo PropType = nullptr;
    TClass Owner = nullptr; // the declaring class
    bool HasIndex = false;
    int Index = 0;
    bool HasDefault = false;
    int64_t Default = 0;       // ordinal, Set bits and Int64 kinds
    std::string DefaultStr;    // string kinds
    long double DefaultFloat = 0;
    bool StoredConst = true;
    std::function<bool(TObject*)> StoredFn;
    bool RoundTrip = true;     // false: the setter legitimately transforms values

    // Access by kind; a missing setter makes the property read-only.
    std::function<int64_t(TObject*)> GetOrd;
    std::function<void(TObject*, int64_t)> SetOrd;
    std::function<long double(TObject*)> GetFloat;
    std::function<void(TObject*, long double)> SetFloat;
    std::function<std::string(TObject*)> GetStr;
    std::function<void(TObject*, const std::string&)> SetStr;
    // Variant kind: the value through a pointer to a Variant.
    std::function<void(TObject*, void*)> GetRaw;
    std::function<void(TObject*, const void*)> SetRaw;
    // Method kind; the setter is given a handler of the property's signature only.
    std::function<TMethod(TObject*)> GetMethod;
    std::function<void(TObject*, const TMethod&)> SetMethod;

    bool Writable() const { return SetOrd || SetFloat || SetStr || SetRaw || SetMethod; }
};
using PPropInfo = const TPropInfo*;

// A published method: Bind(instance) gives the handler bound to the instance.
struct TPublishedMethod {
    std::string Name;
    const std::type_info* Signature = nullptr;
    std::function<TMethod(TObject*)> Bind;
};

// A published field: a member pointer the form reader fills with the component of that
// name when it creates it.
struct TPublishedField {
    std::string Name;
    TClass (*ClassFn)() = nullptr; // the class the field holds
    std::function<void(TObject* owner, TObject* value)> Set;
};

struct TClassTypeData {
    std::vector<std::shared_ptr<TPropInfo>> Props; // inherited first, declaration order
    std::vector<std::shared_ptr<TPublishedMethod>> Methods;
    std::vector<std::shared_ptr<TPublishedField>> Fields;
};

// ---- Enumerations -----------------------------------------------------------------------

namespace qm_detail {
struct TEnumDesc {
    TEnumDesc(const char* typeName, const char* names);
    std::string TypeName;
    std::vector<std::string> Names;
};
} // namespace qm_detail

// Declares an enumeration (values from 0 in order) and records its name and member names.
#define QM_ENUM(Name, ...)                                                                 \
    enum Name { __VA_ARGS__ };                                                             \
    [[maybe_unused]] inline const ::qm_detail::TEnumDesc& QmEnumDesc(Name*)                \
    {                                                                                      \
        static const ::qm_detail::TEnumDesc d(#Name, #__VA_ARGS__);                       \
        return d;                                                                          \
    }
// As QM_ENUM with an underlying type ("each stored in one byte").
#define QM_ENUM_TYPED(Name, Underlying, ...)                                               \
    enum Name : Underlying { __VA_ARGS__ };                                                \
    [[maybe_unused]] inline const ::qm_detail::TEnumDesc& QmEnumDesc(Name*)                \
    {                                                                                      \
        static const ::qm_detail::TEnumDesc d(#Name, #__VA_ARGS__);                       \
        return d;                                                                          \
    }
#define QM_ENUM_CLASS(Name, ...)                                                           \
    enum class Name { __VA_ARGS__ };                                                       \
    [[maybe_unused]] inline const ::qm_detail::TEnumDesc& QmEnumDesc(Name*)                \
    {                                                                                      \
        static const ::qm_detail::TEnumDesc d(#Name, #__VA_ARGS__);                       \
        return d;                                                                          \
    }
// Records the names of an enumeration declared elsewhere (in the enumeration's namespace).
#define QM_DESCRIBE_ENUM(Name, ...)                                                        \
    [[maybe_unused]] inline const ::qm_detail::TEnumDesc& QmEnumDesc(Name*)                \
    {                                                                                      \
        static const ::qm_detail::TEnumDesc d(#Name, #__VA_ARGS__);                       \
        return d;                                                                          \
    }

// ---- Type information of C++ types ------------------------------------------------------

namespace qm_detail {
template <class T> struct IsSet : std::false_type {};
template <class E> struct IsSet<Set<E>> : std::true_type {
    using Member = E;
};
template <class T> struct IsEvent : std::false_type {};
template <class S> struct IsEvent<Event<S>> : std::true_type {
    using Signature = S;
};
template <class T> inline constexpr bool AlwaysFalse = false;
template <class E>
concept DescribedEnum = std::is_enum_v<E> && requires { QmEnumDesc(static_cast<E*>(nullptr)); };

PTypeInfo BooleanTypeInfo();
PTypeInfo CharTypeInfo();
PTypeInfo StringTypeInfo();
PTypeInfo VariantTypeInfo();
PTypeInfo IntegerTypeInfo(const char* name, TOrdType ot, int64_t lo, int64_t hi);
PTypeInfo Int64TypeInfo(const char* name, int64_t lo, int64_t hi);
PTypeInfo FloatTypeInfo(const char* name, TFloatType ft);
PTypeInfo EnumTypeInfo(const TEnumDesc& desc);
PTypeInfo SetTypeInfo(PTypeInfo member);
PTypeInfo ClassTypeInfo(TClass (*cls)());
PTypeInfo MethodTypeInfo(const std::type_info& sig);

template <class T> const char* IntegerName()
{
    if constexpr (std::is_same_v<T, int8_t>) return "ShortInt";
    else if constexpr (std::is_same_v<T, uint8_t>) return "Byte";
    else if constexpr (std::is_same_v<T, int16_t>) return "SmallInt";
    else if constexpr (std::is_same_v<T, uint16_t>) return "Word";
    else if constexpr (std::is_same_v<T, uint32_t>) return "Cardinal";
    else if constexpr (sizeof(T) == 8 && std::is_unsigned_v<T>) return "UInt64";
    else if constexpr (sizeof(T) == 8) return "Int64";
    else return "Integer";
}

template <class T> TOrdType OrdTypeOf()
{
    if constexpr (sizeof(T) == 1) return std::is_signed_v<T> ? otSByte : otUByte;
    else if constexpr (sizeof(T) == 2) return std::is_signed_v<T> ? otSWord : otUWord;
    else return std::is_signed_v<T> ? otSLong : otULong;
}
} // namespace qm_detail

// The type information of a C++ type usable as a published property.
template <class T> PTypeInfo TypeInfoOf()
{
    using namespace qm_detail;
    if constexpr (std::is_same_v<T, bool>) {
        return BooleanTypeInfo();
    } else if constexpr (std::is_same_v<T, char>) {
        return CharTypeInfo();
    } else if constexpr (std::is_enum_v<T>) {
        static_assert(DescribedEnum<T>,
                      "published enumeration: declare it with QM_ENUM or QM_DESCRIBE_ENUM");
        static const PTypeInfo info = EnumTypeInfo(QmEnumDesc(static_cast<T*>(nullptr)));
        return info;
    } else if constexpr (std::is_integral_v<T> && sizeof(T) <= 4) {
        static const PTypeInfo info =
            IntegerTypeInfo(IntegerName<T>(), OrdTypeOf<T>(), std::numeric_limits<T>::min(),
                            static_cast<int64_t>(std::numeric_limits<T>::max()));
        return info;
    } else if constexpr (std::is_integral_v<T> && sizeof(T) == 8) {
        static const PTypeInfo info =
            // Values are carried as int64_t, so an unsigned 64-bit range stops at its max.
            Int64TypeInfo(IntegerName<T>(), static_cast<int64_t>(std::numeric_limits<T>::min()),
                          std::numeric_limits<int64_t>::max());
        return info;
    } else if constexpr (std::is_same_v<T, float>) {
        return FloatTypeInfo("Single", ftSingle);
    } else if constexpr (std::is_same_v<T, double>) {
        return FloatTypeInfo("Double", ftDouble);
    } else if constexpr (std::is_same_v<T, long double>) {
        return FloatTypeInfo("Extended", ftExtended);
    } else if constexpr (std::is_same_v<T, std::string>) {
        return StringTypeInfo();
    } else if constexpr (std::is_same_v<T, Variant>) {
        return VariantTypeInfo();
    } else if constexpr (IsSet<T>::value) {
        static const PTypeInfo info = SetTypeInfo(TypeInfoOf<typename IsSet<T>::Member>());
        return info;
    } else if constexpr (std::is_pointer_v<T>) {
        using C = std::remove_cv_t<std::remove_pointer_t<T>>;
        static_assert(std::is_base_of_v<TObject, C>,
                      "published pointer property: the class must derive from TObject");
        static const PTypeInfo info = ClassTypeInfo([] { return C::StaticClassInfo(); });
        return info;
    } else if constexpr (IsEvent<T>::value) {
        static const PTypeInfo info = MethodTypeInfo(typeid(typename IsEvent<T>::Signature));
        return info;
    } else {
        static_assert(AlwaysFalse<T>, "unsupported published property type (use bool, char, "
                                      "integers, floats, std::string, Variant, QM_ENUM "
                                      "enumerations, Set<E>, TObject pointers or Event<Sig>)");
        return nullptr;
    }
}

namespace qm_detail {
[[noreturn]] void RaiseOrdinalRange(const std::string& prop, int64_t value);
[[noreturn]] void RaiseClassMismatch(const std::string& prop, TObject* value);

// The ordinal of a value of an ordinal, set or class type.
template <class T> int64_t ToOrd(const T& v)
{
    if constexpr (std::is_same_v<T, char>) return static_cast<unsigned char>(v);
    else if constexpr (std::is_enum_v<T>) return static_cast<int64_t>(v);
    else if constexpr (std::is_integral_v<T>) return static_cast<int64_t>(v);
    else if constexpr (IsSet<T>::value) return static_cast<int64_t>(v.Bits());
    else return static_cast<int64_t>(reinterpret_cast<intptr_t>(static_cast<TObject*>(v)));
}

template <class T> T FromOrd(const std::string& prop, PTypeInfo type, int64_t v)
{
    if constexpr (std::is_same_v<T, char>) {
        if (v < 0 || v > 255)
            RaiseOrdinalRange(prop, v);
        return static_cast<char>(static_cast<unsigned char>(v));
    } else if constexpr (std::is_enum_v<T> || std::is_integral_v<T>) {
        if (v < type->Data.MinValue || v > type->Data.MaxValue)
            RaiseOrdinalRange(prop, v);
        return static_cast<T>(v);
    } else if constexpr (IsSet<T>::value) {
        // Members the enumeration does not have are dropped.
        int64_t count = static_cast<int64_t>(type->Data.CompType->Data.NameList.size());
        uint32_t mask = count >= 32 ? 0xFFFFFFFFu : ((uint32_t{1} << count) - 1);
        return T::FromBits(static_cast<uint32_t>(v) & mask);
    } else {
        using C = std::remove_pointer_t<T>;
        auto* obj = reinterpret_cast<TObject*>(static_cast<intptr_t>(v));
        if (!obj)
            return nullptr;
        auto* typed = dynamic_cast<C*>(obj);
        if (!typed)
            RaiseClassMismatch(prop, obj);
        return typed;
    }
}

template <class T> constexpr bool IsOrdinalLike()
{
    return std::is_integral_v<T> || std::is_enum_v<T> || IsSet<T>::value ||
           std::is_pointer_v<T>;
}

void AddProperty(TClassInfo& info, std::shared_ptr<TPropInfo> prop);
void AddMethod(TClassInfo& info, std::shared_ptr<TPublishedMethod> method);

template <class M> struct MethodTraits;
template <class C, class R, class... A> struct MethodTraits<R (C::*)(A...)> {
    using Class = C;
    using Signature = R(A...);
};
} // namespace qm_detail

// ---- Registration -----------------------------------------------------------------------

namespace qm_detail {
// A copy of base carrying another type name (kept for the whole run, one per pair).
PTypeInfo NamedTypeInfo(PTypeInfo base, const std::string& name);
void AddField(TClassInfo& info, std::shared_ptr<TPublishedField> field);
} // namespace qm_detail

// Refines the property just declared: defaults, stored condition, round-trip opt-out.
template <class Cls, class T> class TPropBuilder {
public:
    explicit TPropBuilder(TPropInfo* p) : p_(p) {}

    // The streaming default: a value equal to it is not written to a form description.
    TPropBuilder& Default(const T& v)
    {
        p_->HasDefault = true;
        if constexpr (qm_detail::IsOrdinalLike<T>())
            p_->Default = qm_detail::ToOrd<T>(v);
        else if constexpr (std::is_floating_point_v<T>)
            p_->DefaultFloat = v;
        else if constexpr (std::is_same_v<T, std::string>)
            p_->DefaultStr = v;
        else
            static_assert(qm_detail::AlwaysFalse<T>, "this property kind has no default");
        return *this;
    }
    TPropBuilder& NoDefault()
    {
        p_->HasDefault = false;
        return *this;
    }
    TPropBuilder& Stored(bool stored)
    {
        p_->StoredConst = stored;
        p_->StoredFn = nullptr;
        return *this;
    }
    // A predicate: a member function of the class (or a base) or a callable taking Cls&.
    template <class F>
        requires std::is_invocable_r_v<bool, F, Cls&>
    TPropBuilder& Stored(F pred)
    {
        p_->StoredFn = [pred](TObject* o) { return std::invoke(pred, *static_cast<Cls*>(o)); };
        return *this;
    }
    // The setter transforms values (rounds, clamps, normalises), so a generic
    // write-then-read check does not apply.
    TPropBuilder& NoRoundTrip()
    {
        p_->RoundTrip = false;
        return *this;
    }
    // Gives the property's type a name of its own ("TColor"), so that the identifiers
    // registered for that name (RegisterIntegerIdents) are read and written for it.
    TPropBuilder& TypeName(const std::string& name)
    {
        p_->PropType = qm_detail::NamedTypeInfo(p_->PropType, name);
        return *this;
    }

private:
    TPropInfo* p_;
};

template <class Cls> class TClassBuilder {
public:
    explicit TClassBuilder(TClassInfo& info) : info_(info) {}

    // Property(name, &Cls::Field): read and written directly.
    // Property(name, getter[, setter]): member functions or callables taking Cls&.
    template <class G> auto Property(const std::string& name, G getter)
    {
        if constexpr (std::is_member_object_pointer_v<G>) {
            using T = std::remove_cvref_t<std::invoke_result_t<G, Cls&>>;
            return Add<T>(
                name, false, 0, [getter](Cls& o) -> T { return o.*getter; },
                [getter](Cls& o, const T& v) { o.*getter = v; });
        } else {
            using T = std::remove_cvref_t<std::invoke_result_t<G, Cls&>>;
            return Add<T>(
                name, false, 0, [getter](Cls& o) -> T { return std::invoke(getter, o); },
                nullptr);
        }
    }
    template <class G, class S> auto Property(const std::string& name, G getter, S setter)
    {
        using T = std::remove_cvref_t<std::invoke_result_t<G, Cls&>>;
        static_assert(std::is_invocable_v<S, Cls&, const T&>,
                      "property setter must accept the getter's type");
        return Add<T>(
            name, false, 0, [getter](Cls& o) -> T { return std::invoke(getter, o); },
            [setter](Cls& o, const T& v) { std::invoke(setter, o, v); });
    }
    // An indexed property: getter(int index), setter(int index, value).
    template <class G> auto IndexedProperty(const std::string& name, int index, G getter)
    {
        using T = std::remove_cvref_t<std::invoke_result_t<G, Cls&, int>>;
        return Add<T>(
            name, true, index,
            [getter, index](Cls& o) -> T { return std::invoke(getter, o, index); }, nullptr);
    }
    template <class G, class S>
    auto IndexedProperty(const std::string& name, int index, G getter, S setter)
    {
        using T = std::remove_cvref_t<std::invoke_result_t<G, Cls&, int>>;
        static_assert(std::is_invocable_v<S, Cls&, int, const T&>,
                      "indexed property setter must accept (int, value)");
        return Add<T>(
            name, true, index,
            [getter, index](Cls& o) -> T { return std::invoke(getter, o, index); },
            [setter, index](Cls& o, const T& v) { std::invoke(setter, o, index, v); });
    }

    // A published method, found by name when a form description binds an event to it.
    template <class M> void Method(const std::string& name, M method)
    {
        using Traits = qm_detail::MethodTraits<M>;
        using Sig = typename Traits::Signature;
        using C = typename Traits::Class;
        static_assert(std::is_base_of_v<C, Cls>, "published method of another class");
        auto m = std::make_shared<TPublishedMethod>();
        m->Name = name;
        m->Signature = &typeid(Sig);
        std::string bare = name;
        m->Bind = [method, bare](TObject* obj) {
            auto* self = static_cast<Cls*>(obj);
            Event<Sig> e(MethodRef<C, M>{self, method, bare.c_str()});
            return TMethod::From(e);
        };
        qm_detail::AddMethod(info_, std::move(m));
    }

    // A published field (Field("MemGrid", &TForm1::MemGrid)): the form reader stores the
    // component of that name there when it creates it.
    template <class C, class T> void Field(const std::string& name, T* C::*member)
    {
        static_assert(std::is_base_of_v<C, Cls>, "published field of another class");
        static_assert(std::is_base_of_v<TObject, T>, "published field: a TObject pointer");
        auto f = std::make_shared<TPublishedField>();
        f->Name = name;
        f->ClassFn = [] { return T::StaticClassInfo(); };
        f->Set = [member](TObject* owner, TObject* value) {
            static_cast<Cls*>(owner)->*member = dynamic_cast<T*>(value);
        };
        qm_detail::AddField(info_, std::move(f));
    }

private:
    template <class T, class Get, class Put>
    TPropBuilder<Cls, T> Add(const std::string& name, bool indexed, int index, Get get, Put put)
    {
        constexpr bool writable = !std::is_same_v<Put, std::nullptr_t>;
        auto p = std::make_shared<TPropInfo>();
        p->Name = name;
        p->PropType = TypeInfoOf<T>();
        p->Owner = &info_;
        p->HasIndex = indexed;
        p->Index = index;
        auto self = [](TObject* o) -> Cls& { return *static_cast<Cls*>(o); };
        PTypeInfo type = p->PropType;
        std::string pname = name;
        if constexpr (qm_detail::IsOrdinalLike<T>()) {
            p->GetOrd = [get, self](TObject* o) { return qm_detail::ToOrd<T>(get(self(o))); };
            if constexpr (writable)
                p->SetOrd = [put, self, type, pname](TObject* o, int64_t v) {
                    put(self(o), qm_detail::FromOrd<T>(pname, type, v));
                };
        } else if constexpr (std::is_floating_point_v<T>) {
            p->GetFloat = [get, self](TObject* o) {
                return static_cast<long double>(get(self(o)));
            };
            if constexpr (writable)
                p->SetFloat = [put, self](TObject* o, long double v) {
                    put(self(o), static_cast<T>(v));
                };
        } else if constexpr (std::is_same_v<T, std::string>) {
            p->GetStr = [get, self](TObject* o) { return get(self(o)); };
            if constexpr (writable)
                p->SetStr = [put, self](TObject* o, const std::string& v) { put(self(o), v); };
        } else if constexpr (qm_detail::IsEvent<T>::value) {
            using Sig = typename qm_detail::IsEvent<T>::Signature;
            p->GetMethod = [get, self](TObject* o) { return TMethod::From(get(self(o))); };
            if constexpr (writable)
                p->SetMethod = [put, self](TObject* o, const TMethod& m) {
                    put(self(o), m.As<Sig>());
                };
        } else {
            p->GetRaw = [get, self](TObject* o, void* out) { *static_cast<T*>(out) = get(self(o)); };
            if constexpr (writable)
                p->SetRaw = [put, self](TObject* o, const void* in) {
                    put(self(o), *static_cast<const T*>(in));
                };
        }
        TPropInfo* raw = p.get();
        qm_detail::AddProperty(info_, std::move(p));
        return TPropBuilder<Cls, T>(raw);
    }

    TClassInfo& info_;
};

namespace qm_detail {
template <class Cls, class F> void RunBuilder(TClassInfo& info, F&& build)
{
    TClassBuilder<Cls> b(info);
    build(b);
}
} // namespace qm_detail

// ---- Queries ----------------------------------------------------------------------------

// Name lookups ignore ASCII case; nullptr when there is no such property.
PPropInfo GetPropInfo(TClass cls, const std::string& name);
PPropInfo GetPropInfo(const TObject* obj, const std::string& name);
PPropInfo GetPropInfo(const TObject* obj, const std::string& name, TTypeKinds kinds);
// Published properties of the kinds given, sorted by name ignoring ASCII case.
std::vector<PPropInfo> GetPropList(TClass cls, TTypeKinds kinds = tkAny);
std::vector<PPropInfo> GetPropList(const TObject* obj, TTypeKinds kinds = tkAny);
// All published properties in declaration order, inherited ones first.
std::vector<PPropInfo> GetPropInfos(TClass cls);
std::vector<PPropInfo> GetPropInfos(const TObject* obj);

bool IsPublishedProp(TClass cls, const std::string& name);
bool IsPublishedProp(const TObject* obj, const std::string& name);
TTypeKind PropType(TClass cls, const std::string& name);
TTypeKind PropType(const TObject* obj, const std::string& name);
bool PropIsType(const TObject* obj, const std::string& name, TTypeKind kind);
bool PropIsType(TClass cls, const std::string& name, TTypeKind kind);
bool IsStoredProp(TObject* obj, PPropInfo prop);
bool IsStoredProp(TObject* obj, const std::string& name);
// True when the property has a default and its current value equals it.
bool IsDefaultPropValue(TObject* obj, PPropInfo prop);

// ---- Access -----------------------------------------------------------------------------
// Unknown names raise EPropertyError "Unknown property: '%s'", a kind mismatch or a value
// out of range raises EPropertyError, writing a read-only property raises EPropertyError
// "Property %s is read-only".

int64_t GetOrdProp(TObject* obj, PPropInfo prop);
int64_t GetOrdProp(TObject* obj, const std::string& name);
void SetOrdProp(TObject* obj, PPropInfo prop, int64_t value);
void SetOrdProp(TObject* obj, const std::string& name, int64_t value);

std::string GetStrProp(TObject* obj, PPropInfo prop);
std::string GetStrProp(TObject* obj, const std::string& name);
void SetStrProp(TObject* obj, PPropInfo prop, const std::string& value);
void SetStrProp(TObject* obj, const std::string& name, const std::string& value);

long double GetFloatProp(TObject* obj, PPropInfo prop);
long double GetFloatProp(TObject* obj, const std::string& name);
void SetFloatProp(TObject* obj, PPropInfo prop, long double value);
void SetFloatProp(TObject* obj, const std::string& name, long double value);

int64_t GetInt64Prop(TObject* obj, PPropInfo prop);
int64_t GetInt64Prop(TObject* obj, const std::string& name);
void SetInt64Prop(TObject* obj, PPropInfo prop, int64_t value);
void SetInt64Prop(TObject* obj, const std::string& name, int64_t value);

TObject* GetObjectProp(TObject* obj, PPropInfo prop);
TObject* GetObjectProp(TObject* obj, const std::string& name);
// The class the property holds (its declared pointer type).
TClass GetObjectPropClass(PPropInfo prop);
void SetObjectProp(TObject* obj, PPropInfo prop, TObject* value);
void SetObjectProp(TObject* obj, const std::string& name, TObject* value);

TMethod GetMethodProp(TObject* obj, PPropInfo prop);
TMethod GetMethodProp(TObject* obj, const std::string& name);
// An unassigned TMethod clears the event; one of another signature raises EPropertyError.
void SetMethodProp(TObject* obj, PPropInfo prop, const TMethod& value);
void SetMethodProp(TObject* obj, const std::string& name, const TMethod& value);

std::string GetEnumProp(TObject* obj, PPropInfo prop);
std::string GetEnumProp(TObject* obj, const std::string& name);
void SetEnumProp(TObject* obj, PPropInfo prop, const std::string& value);
void SetEnumProp(TObject* obj, const std::string& name, const std::string& value);

std::string GetSetProp(TObject* obj, PPropInfo prop, bool brackets = true);
std::string GetSetProp(TObject* obj, const std::string& name, bool brackets = true);
void SetSetProp(TObject* obj, PPropInfo prop, const std::string& value);
void SetSetProp(TObject* obj, const std::string& name, const std::string& value);

Variant GetVariantProp(TObject* obj, PPropInfo prop);
Variant GetVariantProp(TObject* obj, const std::string& name);
void SetVariantProp(TObject* obj, PPropInfo prop, const Variant& value);
void SetVariantProp(TObject* obj, const std::string& name, const Variant& value);

// Any property as a Variant (enumerations and sets as their names when preferStrings).
Variant GetPropValue(TObject* obj, const std::string& name, bool preferStrings = true);
void SetPropValue(TObject* obj, const std::string& name, const Variant& value);

// ---- Names ------------------------------------------------------------------------------

// The name of an enumeration value ("" when out of range); integers give their decimal.
std::string GetEnumName(PTypeInfo type, int64_t value);
// The value of a member name, ignoring ASCII case; -1 when unknown.
int64_t GetEnumValue(PTypeInfo type, const std::string& name);
// Set bits as "[a,b]" (or "a,b") and back; an unknown member name raises EPropertyError.
std::string SetToString(PPropInfo prop, int64_t value, bool brackets = true);
std::string SetToString(PTypeInfo setType, int64_t value, bool brackets = true);
int64_t StringToSet(PPropInfo prop, const std::string& value);
int64_t StringToSet(PTypeInfo setType, const std::string& value);

// ---- Identifiers of integer types ------------------------------------------------------
// Integer types with named values (colours, cursors) register converters by type name;
// properties declare that type name with TPropBuilder::TypeName. A later registration of
// the same name replaces the earlier one.

using TIdentToInt = std::function<bool(const std::string& ident, int64_t& value)>;
using TIntToIdent = std::function<bool(int64_t value, std::string& ident)>;
void RegisterIntegerIdents(const std::string& typeName, TIdentToInt identToInt,
                           TIntToIdent intToIdent);
// False when the type has no converters or they do not know the identifier/value.
bool IdentToInteger(PTypeInfo type, const std::string& ident, int64_t& value);
bool IntegerToIdent(PTypeInfo type, int64_t value, std::string& ident);

// ---- Published methods ------------------------------------------------------------------

const TPublishedMethod* FindPublishedMethod(TClass cls, const std::string& name);
// The handler obj's published method of that name, bound to obj; unassigned when none.
TMethod MethodAddress(TObject* obj, const std::string& name);
// The name of the published method a handler calls, "" when it is not one of obj's.
std::string MethodName(TObject* obj, const TMethod& method);

// The published field of that name (ASCII case ignored), or null.
const TPublishedField* FindPublishedField(TClass cls, const std::string& name);
