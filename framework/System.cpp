#include "framework/System.h"

#include "framework/SysUtils.h"

#include <algorithm>
#include <map>
#include <mutex>

namespace {
struct ClassRegistry {
    std::mutex lock;
    std::map<std::string, TClass> byName;
};

ClassRegistry& Registry()
{
    static ClassRegistry r;
    return r;
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
    auto& r = Registry();
    std::lock_guard<std::mutex> g(r.lock);
    r.byName[UpperCase(cls->Name)] = cls;
}

void RegisterClasses(std::initializer_list<TClass> classes)
{
    for (TClass c : classes)
        RegisterClass(c);
}

TClass FindClass(const std::string& name)
{
    auto& r = Registry();
    std::lock_guard<std::mutex> g(r.lock);
    auto it = r.byName.find(UpperCase(name));
    return it == r.byName.end() ? nullptr : it->second;
}

std::vector<TClass> RegisteredClasses()
{
    auto& r = Registry();
    std::lock_guard<std::mutex> g(r.lock);
    std::vector<TClass> out;
    for (auto& [k, v] : r.byName)
        out.push_back(v);
    return out;
}
