#include "framework/Modules.h"

#include "framework/SysUtils.h"
#include "framework/Thread.h"
#include "platform/Intl.h"

#include <mutex>

namespace {
struct ModuleState {
    ModuleEntry entry;
    bool initialized = false;
};

struct Registry {
    std::recursive_mutex lock;
    std::vector<ModuleState> modules{
        {{"Translation", &InitTranslation, nullptr}, false},
        {{"Classes", &InitThreadSynchronization, &DoneThreadSynchronization}, false},
    };
    // Nesting depth of InitModules calls not yet matched by FinalizeModules.
    int initCount = 0;
    // Initialised modules, in the order they ran; finalisation walks it backwards.
    std::vector<size_t> order;
};

Registry& Modules()
{
    static Registry r;
    return r;
}
} // namespace

void AddModule(const ModuleEntry& module)
{
    auto& r = Modules();
    std::lock_guard<std::recursive_mutex> g(r.lock);
    for (auto& m : r.modules)
        if (m.entry.Name == module.Name)
            return;
    r.modules.push_back({module, false});
}

bool RemoveModule(const std::string& name)
{
    auto& r = Modules();
    std::lock_guard<std::recursive_mutex> g(r.lock);
    for (size_t i = 0; i < r.modules.size(); ++i) {
        if (r.modules[i].entry.Name != name)
            continue;
        if (r.modules[i].initialized)
            return false;
        r.modules.erase(r.modules.begin() + static_cast<std::ptrdiff_t>(i));
        // Indexes above i moved down by one.
        for (auto& k : r.order)
            if (k > i)
                --k;
        return true;
    }
    return false;
}

void InitModules(int argc, char** argv)
{
    auto& r = Modules();
    std::lock_guard<std::recursive_mutex> g(r.lock);
    if (argv)
        SetCommandLine(argc, argv);
    ++r.initCount;
    // By index: a module's start-up may add further modules, which then run in turn.
    for (size_t i = 0; i < r.modules.size(); ++i) {
        if (r.modules[i].initialized)
            continue;
        auto init = r.modules[i].entry.Initialize;
        if (init)
            init();
        // Only a module that started needs its clean-up.
        r.modules[i].initialized = true;
        r.order.push_back(i);
    }
}

void FinalizeModules()
{
    auto& r = Modules();
    std::lock_guard<std::recursive_mutex> g(r.lock);
    if (r.initCount == 0 || --r.initCount > 0)
        return;
    while (!r.order.empty()) {
        size_t i = r.order.back();
        r.order.pop_back();
        r.modules[i].initialized = false;
        auto fin = r.modules[i].entry.Finalize;
        if (!fin)
            continue;
        try {
            fin();
        } catch (...) {
            HandleApplicationException(std::current_exception());
        }
    }
}

std::vector<std::string> InitializedModules()
{
    auto& r = Modules();
    std::lock_guard<std::recursive_mutex> g(r.lock);
    std::vector<std::string> names;
    for (size_t i : r.order)
        names.push_back(r.modules[i].entry.Name);
    return names;
}
