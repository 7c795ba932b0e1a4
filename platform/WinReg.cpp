#include "platform/RegistryInternal.h"

#include <algorithm>
#include <cstring>

#include "platform/Codepage.h"

using namespace reg_detail;

bool reg_detail::SameName(const std::string& a, const std::string& b)
{
    return CompareIgnoringCase(a, b) == 0;
}

bool reg_detail::NameLess(const std::string& a, const std::string& b)
{
    return CompareIgnoringCase(a, b) < 0;
}

void reg_detail::MarkDeleted(Node& n)
{
    n.deleted = true;
    for (auto& c : n.children)
        MarkDeleted(*c);
}

State& reg_detail::S()
{
    static State s;
    return s;
}

namespace {

int PredefinedHive(HKEY k)
{
    auto v = reinterpret_cast<uintptr_t>(k);
    if (v < 0x80000000u || v > 0x80000006u || v == 0x80000004u)
        return -1;
    return static_cast<int>(v - 0x80000000u);
}

// What a call works on: the node, its hive and the access of the handle it came through.
struct Target {
    LONG error = ERROR_SUCCESS;
    int hive = -1;
    std::shared_ptr<Node> node;
    REGSAM access = 0;
    bool predefined = false;
};

Target Resolve(State& st, HKEY k)
{
    Target t;
    int hv = PredefinedHive(k);
    if (hv >= 0) {
        if (hv == kCurrentUser && !st.hives[hv].loaded)
            LoadCurrentUser(st);
        t.hive = hv;
        t.node = st.hives[hv].root;
        t.access = KEY_ALL_ACCESS;
        t.predefined = true;
        return t;
    }
    auto it = st.handles.find(reinterpret_cast<uintptr_t>(k));
    if (it == st.handles.end()) {
        t.error = ERROR_INVALID_HANDLE;
        return t;
    }
    if (it->second.node->deleted) {
        t.error = ERROR_KEY_DELETED;
        return t;
    }
    t.hive = it->second.hive;
    t.node = it->second.node;
    t.access = it->second.access;
    return t;
}

bool SplitPath(LPCSTR subKey, std::vector<std::string>& parts)
{
    parts.clear();
    if (!subKey)
        return true;
    std::string cur;
    for (const char* p = subKey; *p; ++p) {
        if (*p == '\\') {
            if (!cur.empty())
                parts.push_back(cur);
            cur.clear();
        } else {
            cur += *p;
        }
    }
    if (!cur.empty())
        parts.push_back(cur);
    for (auto& p : parts)
        if (p.size() > 255)
            return false;
    return true;
}

HKEY NewHandle(State& st, int hive, std::shared_ptr<Node> node, REGSAM access)
{
    uintptr_t h = st.nextHandle;
    st.nextHandle += 4;
    st.handles.emplace(h, KeyHandle{hive, std::move(node), access});
    ++st.openHandles[hive];
    return reinterpret_cast<HKEY>(h);
}

bool FindPath(const Node& from, const Node* target, std::vector<std::string>& path)
{
    if (&from == target)
        return true;
    for (const auto& c : from.children) {
        path.push_back(c->name);
        if (FindPath(*c, target, path))
            return true;
        path.pop_back();
    }
    return false;
}

// `change.path` is relative to the key the call was made on. A change through a predefined
// key has no handle whose closing would save it.
LONG Changed(State& st, const Target& t, Change change)
{
    Hive& h = st.hives[t.hive];
    if (t.hive == kCurrentUser) {
        std::vector<std::string> path;
        FindPath(*h.root, t.node.get(), path);
        path.insert(path.end(), change.path.begin(), change.path.end());
        change.path = std::move(path);
        h.journal.push_back(std::move(change));
    }
    h.dirty = true;
    if (t.predefined && t.hive == kCurrentUser)
        WantSave(h);
    return ERROR_SUCCESS;
}

void Store(LPDWORD lp, DWORD v)
{
    if (lp)
        *lp = v;
}

// Copies a name into a caller's buffer whose size is counted in characters with the NUL.
LONG CopyName(const std::string& name, LPSTR buf, LPDWORD cch)
{
    if (!buf || !cch)
        return ERROR_INVALID_PARAMETER;
    if (name.size() + 1 > *cch)
        return ERROR_MORE_DATA;
    std::memcpy(buf, name.data(), name.size());
    buf[name.size()] = '\0';
    *cch = static_cast<DWORD>(name.size());
    return ERROR_SUCCESS;
}

LONG CopyData(const Value& v, LPBYTE data, LPDWORD cb)
{
    auto size = static_cast<DWORD>(v.data.size());
    if (!cb)
        return data ? ERROR_INVALID_PARAMETER : ERROR_SUCCESS;
    if (data) {
        if (*cb < size) {
            *cb = size;
            return ERROR_MORE_DATA;
        }
        if (size)
            std::memcpy(data, v.data.data(), size);
    }
    *cb = size;
    return ERROR_SUCCESS;
}

// Runs `body` under the registry lock on the key a handle names; a bad handle fails alone.
template <class Body>
LONG OnKey(HKEY hKey, Body&& body)
{
    State& st = S();
    LONG result;
    {
        std::lock_guard<std::mutex> g(st.lock);
        Target t = Resolve(st, hKey);
        result = t.error ? t.error : body(st, t);
    }
    return FinishCall(result);
}

// Moves `n` down the path as far as the keys exist; returns how many parts were found.
size_t DescendExisting(std::shared_ptr<Node>& n, const std::vector<std::string>& parts)
{
    size_t i = 0;
    for (; i < parts.size(); ++i) {
        auto child = n->ChildPtr(parts[i]);
        if (!child)
            break;
        n = child;
    }
    return i;
}

bool CanWrite(REGSAM access) { return (access & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)) != 0; }

} // namespace

LONG RegOpenKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, REGSAM samDesired, PHKEY phkResult)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    return OnKey(hKey, [&](State& st, Target& t) -> LONG {
        std::vector<std::string> parts;
        if (!SplitPath(lpSubKey, parts))
            return ERROR_FILE_NOT_FOUND;
        std::shared_ptr<Node> n = t.node;
        if (DescendExisting(n, parts) < parts.size())
            return ERROR_FILE_NOT_FOUND;
        *phkResult = NewHandle(st, t.hive, n, samDesired & KEY_ALL_ACCESS);
        return ERROR_SUCCESS;
    });
}

LONG RegCreateKeyExA(HKEY hKey, LPCSTR lpSubKey, DWORD, LPSTR, DWORD, REGSAM samDesired, LPSECURITY_ATTRIBUTES,
                     PHKEY phkResult, LPDWORD lpdwDisposition)
{
    if (!phkResult)
        return ERROR_INVALID_PARAMETER;
    *phkResult = nullptr;
    return OnKey(hKey, [&](State& st, Target& t) -> LONG {
        std::vector<std::string> parts;
        if (!SplitPath(lpSubKey, parts))
            return ERROR_INVALID_PARAMETER;
        std::shared_ptr<Node> n = t.node;
        size_t i = DescendExisting(n, parts);
        bool created = i < parts.size();
        if (created) {
            if (!(t.access & KEY_CREATE_SUB_KEY))
                return ERROR_ACCESS_DENIED;
            if (n->depth + (parts.size() - i) > kMaxKeyDepth)
                return ERROR_INVALID_PARAMETER;
            for (; i < parts.size(); ++i)
                n = n->AddChild(parts[i]);
        }
        Store(lpdwDisposition, created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY);
        *phkResult = NewHandle(st, t.hive, n, samDesired & KEY_ALL_ACCESS);
        if (created)
            return Changed(st, t, Change{Change::CreateKey, parts, {}});
        return ERROR_SUCCESS;
    });
}

namespace {
LONG CloseKey(State& st, HKEY hKey)
{
    if (PredefinedHive(hKey) >= 0)
        return ERROR_SUCCESS;
    auto it = st.handles.find(reinterpret_cast<uintptr_t>(hKey));
    if (it == st.handles.end())
        return ERROR_INVALID_HANDLE;
    int hive = it->second.hive;
    st.handles.erase(it);
    if (hive < 0)
        return ERROR_SUCCESS;
    // Saving when the last handle closes writes a batch of changes (a settings object
    // with its section keys) once.
    if (--st.openHandles[hive] == 0 && hive == kCurrentUser)
        WantSave(st.hives[hive]);
    return ERROR_SUCCESS;
}
} // namespace

LONG RegCloseKey(HKEY hKey)
{
    State& st = S();
    LONG result;
    {
        std::lock_guard<std::mutex> g(st.lock);
        result = CloseKey(st, hKey);
    }
    return FinishCall(result);
}

LONG RegQueryValueExA(HKEY hKey, LPCSTR lpValueName, LPDWORD, LPDWORD lpType, LPBYTE lpData, LPDWORD lpcbData)
{
    return OnKey(hKey, [&](State&, Target& t) -> LONG {
        Value* v = t.node->FindValue(lpValueName ? lpValueName : "");
        if (!v)
            return ERROR_FILE_NOT_FOUND;
        Store(lpType, v->type);
        return CopyData(*v, lpData, lpcbData);
    });
}

LONG RegSetValueExA(HKEY hKey, LPCSTR lpValueName, DWORD, DWORD dwType, const BYTE* lpData, DWORD cbData)
{
    if (!lpData && cbData)
        return ERROR_NOACCESS;
    if (dwType == REG_DWORD && cbData != 4)
        return ERROR_INVALID_PARAMETER;
    return OnKey(hKey, [&](State& st, Target& t) -> LONG {
        if (!(t.access & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        std::string name = lpValueName ? lpValueName : "";
        if (name.size() > 16383)
            return ERROR_INVALID_PARAMETER;
        std::string data(reinterpret_cast<const char*>(lpData), lpData ? cbData : 0);
        // Storing what is already there changes nothing, and must not undo at the next save
        // what another instance wrote meanwhile.
        if (Value* v = t.node->FindValue(name)) {
            if (v->type == dwType && v->data == data)
                return ERROR_SUCCESS;
            v->type = dwType;
            v->data = data;
        } else {
            t.node->values.push_back(Value{name, dwType, data});
        }
        return Changed(st, t, Change{Change::SetValue, {}, Value{name, dwType, std::move(data)}});
    });
}

LONG RegDeleteValueA(HKEY hKey, LPCSTR lpValueName)
{
    return OnKey(hKey, [&](State& st, Target& t) -> LONG {
        if (!(t.access & KEY_SET_VALUE))
            return ERROR_ACCESS_DENIED;
        std::string name = lpValueName ? lpValueName : "";
        auto& vals = t.node->values;
        auto it = std::find_if(vals.begin(), vals.end(), [&](const Value& v) { return SameName(v.name, name); });
        if (it == vals.end())
            return ERROR_FILE_NOT_FOUND;
        vals.erase(it);
        return Changed(st, t, Change{Change::DeleteValue, {}, Value{name, REG_NONE, {}}});
    });
}

namespace {
// Deletes the key at parts below t.node; recursive deletes the whole subtree.
LONG DeleteKey(State& st, const Target& t, LPCSTR subKey, bool recursive)
{
    if (!CanWrite(t.access))
        return ERROR_ACCESS_DENIED;
    std::vector<std::string> parts;
    if (!SplitPath(subKey, parts))
        return ERROR_FILE_NOT_FOUND;
    if (parts.empty()) {
        if (!recursive)
            return ERROR_ACCESS_DENIED;
        // An empty subkey empties the key itself.
        for (auto& c : t.node->children)
            MarkDeleted(*c);
        t.node->children.clear();
        t.node->values.clear();
        return Changed(st, t, Change{Change::EmptyKey, {}, {}});
    }
    std::shared_ptr<Node> parent = t.node;
    for (size_t i = 0; i + 1 < parts.size(); ++i) {
        parent = parent->ChildPtr(parts[i]);
        if (!parent)
            return ERROR_FILE_NOT_FOUND;
    }
    auto& kids = parent->children;
    auto it = std::find_if(kids.begin(), kids.end(), [&](const auto& c) { return SameName(c->name, parts.back()); });
    if (it == kids.end())
        return ERROR_FILE_NOT_FOUND;
    if (!recursive && !(*it)->children.empty())
        return ERROR_ACCESS_DENIED;
    MarkDeleted(**it);
    kids.erase(it);
    return Changed(st, t, Change{Change::DeleteKey, parts, {}});
}
} // namespace

LONG RegDeleteKeyA(HKEY hKey, LPCSTR lpSubKey)
{
    return OnKey(hKey, [&](State& st, Target& t) -> LONG {
        return DeleteKey(st, t, lpSubKey, false);
    });
}

LONG RegDeleteTreeA(HKEY hKey, LPCSTR lpSubKey)
{
    return OnKey(hKey, [&](State& st, Target& t) -> LONG {
        return DeleteKey(st, t, lpSubKey, true);
    });
}

LONG RegEnumKeyExA(HKEY hKey, DWORD dwIndex, LPSTR lpName, LPDWORD lpcchName, LPDWORD, LPSTR lpClass,
                   LPDWORD lpcchClass, void*)
{
    return OnKey(hKey, [&](State&, Target& t) -> LONG {
        if (dwIndex >= t.node->children.size())
            return ERROR_NO_MORE_ITEMS;
        LONG r = CopyName(t.node->children[dwIndex]->name, lpName, lpcchName);
        if (r == ERROR_SUCCESS && lpClass && lpcchClass && *lpcchClass) {
            lpClass[0] = '\0';
            *lpcchClass = 0;
        }
        return r;
    });
}

LONG RegEnumValueA(HKEY hKey, DWORD dwIndex, LPSTR lpValueName, LPDWORD lpcchValueName, LPDWORD, LPDWORD lpType,
                   LPBYTE lpData, LPDWORD lpcbData)
{
    return OnKey(hKey, [&](State&, Target& t) -> LONG {
        if (dwIndex >= t.node->values.size())
            return ERROR_NO_MORE_ITEMS;
        const Value& v = t.node->values[dwIndex];
        LONG r = CopyName(v.name, lpValueName, lpcchValueName);
        if (r != ERROR_SUCCESS)
            return r;
        Store(lpType, v.type);
        return CopyData(v, lpData, lpcbData);
    });
}

LONG RegQueryInfoKeyA(HKEY hKey, LPSTR lpClass, LPDWORD lpcchClass, LPDWORD, LPDWORD lpcSubKeys,
                      LPDWORD lpcbMaxSubKeyLen, LPDWORD lpcbMaxClassLen, LPDWORD lpcValues,
                      LPDWORD lpcbMaxValueNameLen, LPDWORD lpcbMaxValueLen, LPDWORD lpcbSecurityDescriptor, void*)
{
    return OnKey(hKey, [&](State&, Target& t) -> LONG {
        if (lpClass && lpcchClass && *lpcchClass)
            lpClass[0] = '\0';
        Store(lpcchClass, 0);
        Store(lpcbMaxClassLen, 0);
        Store(lpcbSecurityDescriptor, 0);
        DWORD maxKey = 0, maxName = 0, maxData = 0;
        for (auto& c : t.node->children)
            maxKey = std::max(maxKey, static_cast<DWORD>(c->name.size()));
        for (auto& v : t.node->values) {
            maxName = std::max(maxName, static_cast<DWORD>(v.name.size()));
            maxData = std::max(maxData, static_cast<DWORD>(v.data.size()));
        }
        Store(lpcSubKeys, static_cast<DWORD>(t.node->children.size()));
        Store(lpcbMaxSubKeyLen, maxKey);
        Store(lpcValues, static_cast<DWORD>(t.node->values.size()));
        Store(lpcbMaxValueNameLen, maxName);
        Store(lpcbMaxValueLen, maxData);
        return ERROR_SUCCESS;
    });
}
