#pragma once
// What the parts of the registry share: the tree of a hive, the journal of this process's
// changes to HKEY_CURRENT_USER, and the state behind the handles.
#include "platform/WinReg.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace reg_detail {

// Key and value names ignore case.
bool SameName(const std::string& a, const std::string& b);
bool NameLess(const std::string& a, const std::string& b);

struct Value {
    std::string name;
    DWORD type = REG_NONE;
    std::string data;
};

// Bounds of the registry: deeper keys and longer names cannot be reached through its calls.
constexpr size_t kMaxKeyDepth = 512;
constexpr size_t kMaxKeyName = 255;

struct Node {
    std::string name;
    size_t depth = 0; // 0 for a hive's root
    std::vector<std::shared_ptr<Node>> children; // kept sorted by name, ignoring case
    std::vector<Value> values;                   // in order of creation
    bool deleted = false;

    Node* Child(const std::string& n) const
    {
        for (auto& c : children)
            if (SameName(c->name, n))
                return c.get();
        return nullptr;
    }
    std::shared_ptr<Node> ChildPtr(const std::string& n) const
    {
        for (auto& c : children)
            if (SameName(c->name, n))
                return c;
        return nullptr;
    }
    std::shared_ptr<Node> AddChild(const std::string& n)
    {
        auto c = std::make_shared<Node>();
        c->name = n;
        c->depth = depth + 1;
        auto pos = std::lower_bound(children.begin(), children.end(), c,
                                    [](const auto& x, const auto& y) { return NameLess(x->name, y->name); });
        children.insert(pos, c);
        return c;
    }
    Value* FindValue(const std::string& n)
    {
        for (auto& v : values)
            if (SameName(v.name, n))
                return &v;
        return nullptr;
    }
};

void MarkDeleted(Node& n);

constexpr int kHiveCount = 7;
constexpr int kCurrentUser = 1;

// One change made through this process, by the path of the key it was made on. A save
// replays them on the file as it is then, so what other instances wrote meanwhile stays.
struct Change {
    enum Kind { SetValue, DeleteValue, CreateKey, DeleteKey, EmptyKey } kind;
    std::vector<std::string> path;
    Value value; // SetValue: the value; DeleteValue: its name
};

struct Hive {
    std::shared_ptr<Node> root = std::make_shared<Node>();
    bool loaded = false;
    bool dirty = false;
    bool rewriteWhole = false; // the file is replaced by this tree (a repaired file)
    bool saveWanted = false;   // written once the registry's lock is released
    std::vector<Change> journal;
    std::string file; // where HKEY_CURRENT_USER was read from and is saved to
};

struct KeyHandle {
    int hive;
    std::shared_ptr<Node> node;
    REGSAM access;
};

struct State {
    std::mutex lock;
    Hive hives[kHiveCount];
    bool inMemory = false;
    bool exitHookSet = false;
    std::map<uintptr_t, KeyHandle> handles;
    int openHandles[kHiveCount] = {};
    uintptr_t nextHandle = 0x1000;
    RegistryDamage damage; // until the program takes it
    std::uint64_t generation = 0; // of HKEY_CURRENT_USER, counting reloads
    bool lockStuck = false;       // the last save found the settings locked all its wait
    std::function<void(const std::string&, const std::string&)> failureReport;
    std::vector<int> reportedErrors;                            // each kind told once
    std::vector<std::pair<std::string, int>> pendingFailures; // told once the lock is released
};

State& S();

// The text file of HKEY_CURRENT_USER.
void WriteNode(std::string& out, const Node& n, const std::string& path);
// Parses the file into a fresh tree, keeping every line that reads well. The 1-based
// numbers of the lines that do not go to `bad`, and so do the values under a key line that
// does not: they have no key to go to.
void ParseHive(const std::string& text, Node& root, std::vector<size_t>& bad);

// Reads HKEY_CURRENT_USER from its file (or starts it empty in memory).
void LoadCurrentUser(State& st);
// Asks for HKEY_CURRENT_USER to be written, when it changed, once the registry's lock is
// released: the wait for the settings file's own lock must let the window go on working.
void WantSave(Hive& h);
// Writes what WantSave asked for; called with the registry's lock released. mayPump lets the
// window's messages run while another process holds the settings file's lock. A failure is
// queued for ReportFailures.
LONG SaveWanted(bool mayPump);
// Tells the program of failed writes; called with the registry's lock released, since the
// program may show a message and use the registry meanwhile.
void ReportFailures();
// The end of every call that may have asked for a save: the save, then the failures told.
// The call's own error comes before the save's.
LONG FinishCall(LONG result);

} // namespace reg_detail
