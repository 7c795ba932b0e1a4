#include "framework/Resources.h"

#include "framework/NameTable.h"

namespace {
TNameTable<TResourceData>& Resources()
{
    static TNameTable<TResourceData> table;
    return table;
}
} // namespace

void RegisterResource(const std::string& name, const void* data, size_t size)
{
    Resources().Put(name, TResourceData{name, static_cast<const uint8_t*>(data), size});
}

void UnregisterResource(const std::string& name) { Resources().Remove(name); }

std::optional<TResourceData> FindResource(const std::string& name) { return Resources().Find(name); }
