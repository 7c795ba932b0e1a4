#include "framework/Modules.h"

#include <vector>

namespace {
struct ModuleState {
    ModuleEntry entry;
    bool initialized = false;
};
std::vector<ModuleState>& Modules()
{
    static std::vector<ModuleState> m;
    return m;
}
} // namespace

void AddModule(const ModuleEntry& module)
{
    for (auto& m : Modules())
        if (m.entry.Name == module.Name)
            return;
    Modules().push_back({module, false});
}

void InitModules(int, char**)
{
    for (auto& m : Modules()) {
        if (m.initialized)
            continue;
        if (m.entry.Initialize)
            m.entry.Initialize();
        m.initialized = true;
    }
}

void FinalizeModules()
{
    auto& mods = Modules();
    for (auto it = mods.rbegin(); it != mods.rend(); ++it) {
        if (!it->initialized)
            continue;
        it->initialized = false;
        if (it->entry.Finalize)
            it->entry.Finalize();
    }
}
