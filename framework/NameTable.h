#pragma once
// A table of entries found by name with the ASCII letter case ignored, safe to use from any
// thread. Shared by the class and resource registries only.
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "framework/SysUtils.h"

template <class T> class TNameTable {
public:
    void Put(const std::string& Name, T Value)
    {
        std::lock_guard<std::mutex> g(FLock);
        FEntries[UpperCase(Name)] = std::move(Value);
    }
    void Remove(const std::string& Name)
    {
        std::lock_guard<std::mutex> g(FLock);
        FEntries.erase(UpperCase(Name));
    }
    std::optional<T> Find(const std::string& Name) const
    {
        std::lock_guard<std::mutex> g(FLock);
        auto it = FEntries.find(UpperCase(Name));
        if (it == FEntries.end())
            return std::nullopt;
        return it->second;
    }
    // In the order of their folded names.
    std::vector<T> Entries() const
    {
        std::lock_guard<std::mutex> g(FLock);
        std::vector<T> out;
        for (const auto& [key, value] : FEntries)
            out.push_back(value);
        return out;
    }

private:
    mutable std::mutex FLock;
    std::map<std::string, T> FEntries;
};
