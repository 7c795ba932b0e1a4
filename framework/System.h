#pragma once
// The root of the class hierarchy: class information (name, parent, factory, published
// members) and two-phase destruction.
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

class TObject;
class TComponent;
class TCollection;
struct TClassInfo;
struct TClassTypeData; // published properties and methods, defined in TypInfo.h
using TClass = const TClassInfo*;

struct TClassInfo {
    std::string Name;
    TClass Parent = nullptr;
    // Factories: CreateComponent for classes constructible from an owner, CreateObject for
    // default-constructible ones; either may be null.
    TComponent* (*CreateComponent)(TComponent* owner) = nullptr;
    TObject* (*CreateObject)() = nullptr;
    // Factory of collection items: classes constructible from their collection.
    TObject* (*CreateCollectionItem)(TCollection* collection) = nullptr;
    // Filled by the class's registration builder (see TypInfo.h); never null once built.
    std::shared_ptr<TClassTypeData> TypeData;

    bool InheritsFrom(TClass ancestor) const;
};

class TObject {
public:
    TObject() = default;
    TObject(const TObject&) = delete;
    TObject& operator=(const TObject&) = delete;
    virtual ~TObject() = default;

    static TClass StaticClassInfo();
    virtual TClass ClassType() const { return TObject::StaticClassInfo(); }
    std::string ClassName() const { return ClassType()->Name; }
    bool InheritsFrom(TClass cls) const { return ClassType()->InheritsFrom(cls); }

    // Two-phase destruction: BeforeDestruction runs while the whole object still exists
    // (virtual calls reach the most derived class), then the C++ destructors run.
    virtual void BeforeDestruction() {}
    void Free();
};

// Frees obj the two-phase way; nullptr is allowed.
void FreeObject(TObject* obj);
template <class T> void FreeAndNil(T*& p)
{
    T* o = p;
    p = nullptr;
    FreeObject(o);
}
// For the destructor of an object a global names: the global forgets it, so that it never
// names a freed object.
template <class T> void ForgetGlobal(T*& Global, const T* Obj)
{
    if (Global == Obj)
        Global = nullptr;
}

// Class registry by name (ASCII case ignored). Registration is explicit, from module
// start-up, so that a class's name can be looked up only once its module is up.
void RegisterClass(TClass cls);
void RegisterClasses(std::initializer_list<TClass> classes);
TClass FindClass(const std::string& name); // nullptr when unknown
std::vector<TClass> RegisteredClasses();

// Declares a class's information accessors inside its body.
#define QM_CLASS(Cls, Parent)                                              \
public:                                                                    \
    using inherited = Parent;                                              \
    static TClass StaticClassInfo();                                       \
    TClass ClassType() const override { return Cls::StaticClassInfo(); } \
                                                                           \
public:

namespace qm_detail {
template <class Cls> TComponent* CreateComponentOf(TComponent* owner) { return new Cls(owner); }
template <class Cls> TObject* CreateObjectOf() { return new Cls(); }
template <class Cls> TObject* CreateCollectionItemOf(TCollection* c) { return new Cls(c); }

template <class Cls> std::shared_ptr<TClassInfo> NewClassInfo(const char* name, TClass parent)
{
    auto info = std::make_shared<TClassInfo>();
    info->Name = name;
    info->Parent = parent;
    if constexpr (!std::is_abstract_v<Cls> && std::is_constructible_v<Cls, TComponent*>)
        info->CreateComponent = &CreateComponentOf<Cls>;
    if constexpr (!std::is_abstract_v<Cls> && std::is_default_constructible_v<Cls>)
        info->CreateObject = &CreateObjectOf<Cls>;
    if constexpr (!std::is_abstract_v<Cls> && std::is_constructible_v<Cls, TCollection*>)
        info->CreateCollectionItem = &CreateCollectionItemOf<Cls>;
    return info;
}
// Creates the type data of info (inheriting the parent's members). Defined in TypInfo.cpp.
void InitTypeData(TClassInfo& info);
} // namespace qm_detail

// Defines a class's information in its .cpp file. The optional third argument is a
// function `void(TClassBuilder<Cls>&)` that registers published properties and methods
// (TClassBuilder is declared in TypInfo.h; include it where a builder is used).
#define QM_CLASS_IMPL(Cls, Parent, ...)                                                 \
    TClass Cls::StaticClassInfo()                                                       \
    {                                                                                   \
        static const std::shared_ptr<TClassInfo> info = [] {                            \
            auto i = ::qm_detail::NewClassInfo<Cls>(#Cls, Parent::StaticClassInfo());   \
            ::qm_detail::InitTypeData(*i);                                              \
            ::qm_detail::RunBuilder<Cls>(*i __VA_OPT__(, ) __VA_ARGS__);                \
            return i;                                                                   \
        }();                                                                            \
        return info.get();                                                              \
    }

namespace qm_detail {
template <class Cls> void RunBuilder(TClassInfo&) {}
} // namespace qm_detail
