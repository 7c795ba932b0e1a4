#include "framework/System.h"

#include "framework/NameTable.h"

namespace {
TNameTable<TClass>& Classes()
{
    static TNameTable<TClass> table;
    return table;
}
} // namespace

bool TClassInfo::InheritsFrom(TClass ancestor) const
{
    for (TClass c = this; c; c = c->Parent)
        if (c == ancestor)
            return true;
    return false;
}

TClass TObject::StaticClassInfo()
{
    static const std::shared_ptr<TClassInfo> info = [] {
        auto i = std::make_shared<TClassInfo>();
        i->Name = "TObject";
        qm_detail::InitTypeData(*i);
        return i;
    }();
    return info.get();
}

void TObject::Free()
{
    BeforeDestruction();
    delete this;
}

void FreeObject(TObject* obj)
{
    if (obj)
        obj->Free();
}

void RegisterClass(TClass cls)
{
    if (!cls)
        return;
    Classes().Put(cls->Name, cls);
}

void RegisterClasses(std::initializer_list<TClass> classes)
{
    for (TClass c : classes)
        RegisterClass(c);
}

TClass FindClass(const std::string& name)
{
    return Classes().Find(name).value_or(nullptr);
}

std::vector<TClass> RegisteredClasses() { return Classes().Entries(); }
