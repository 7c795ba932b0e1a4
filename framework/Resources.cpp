#include "framework/Resources.h"

#include "framework/SysUtils.h"

#include <map>
#include <mutex>

namespace {
struct TRegistry {
    std::mutex Lock;
    std::map<std::string, TResourceData> Blobs;
};

TRegistry& Registry()
{
    static TRegistry r;
    return r;
}
} // namespace

void RegisterResource(const std::string& name, const void* data, size_t size)
{
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> g(r.Lock);
    r.Blobs[UpperCase(name)] = TResourceData{name, static_cast<const uint8_t*>(data), size};
}

void UnregisterResource(const std::string& name)
{
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> g(r.Lock);
    r.Blobs.erase(UpperCase(name));
}

std::optional<TResourceData> FindResource(const std::string& name)
{
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> g(r.Lock);
    auto it = r.Blobs.find(UpperCase(name));
    if (it == r.Blobs.end())
        return std::nullopt;
    return it->second;
}

std::vector<std::string> ResourceNames()
{
    TRegistry& r = Registry();
    std::lock_guard<std::mutex> g(r.Lock);
    std::vector<std::string> out;
    for (auto& [key, blob] : r.Blobs)
        out.push_back(blob.Name);
    return out;
}
