#include "platform/WinReg.h"
#include "platform/Codepage.h"

#include "platform/Files.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <functional>
#include <map>
#include <memory>
#include <utility>
#include <mutex>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

bool SameName(const std::string& a, const std::string& b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (LowerAscii(a[i]) != LowerAscii(b[i]))
            return false;
    return true;
}

bool NameLess(const std::string& a, const std::string& b)
{
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(LowerAscii(x)) < static_cast<unsigned char>(LowerAscii(y));
    });
}

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

void MarkDeleted(Node& n)
{
    n.deleted = true;
    for (auto& c : n.children)
        MarkDeleted(*c);
}

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
    std::function<void(const std::string&, const std::string&)> failureReport;
    std::vector<int> reportedErrors;                            // each told once
    std::vector<std::pair<std::string, int>> pendingFailures; // told once the lock is released
};

State& S()
{
    static State s;
    return s;
}

// ---- the text file of HKEY_CURRENT_USER ---------------------------------------------

const char kHexDigits[] = "0123456789abcdef";

std::string QuoteText(const std::string& s)
{
    std::string out = "\"";
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c >= 0x20 && c < 0x7F) {
            out += static_cast<char>(c);
        } else {
            out += "\\x";
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 15];
        }
    }
    return out + "\"";
}

// '\' separates a path's keys; a key name holding one (only a repaired file's "%5c" can
// give one) is escaped with '%' like the other characters a path cannot hold.
std::string EscapeKeyName(const std::string& s)
{
    std::string out;
    for (unsigned char c : s) {
        if (c < 0x20 || c >= 0x7F || c == '%' || c == '[' || c == ']' || c == '\\') {
            out += '%';
            out += kHexDigits[c >> 4];
            out += kHexDigits[c & 15];
        } else {
            out += static_cast<char>(c);
        }
    }
    return out;
}

int HexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    c = LowerAscii(c);
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string HexBytes(const std::string& data)
{
    std::string out;
    for (size_t i = 0; i < data.size(); ++i) {
        if (i)
            out += ',';
        auto c = static_cast<unsigned char>(data[i]);
        out += kHexDigits[c >> 4];
        out += kHexDigits[c & 15];
    }
    return out;
}

// A text value ends in one NUL, which the file leaves out and reading restores; any other
// ending is kept byte for byte in the hex form.
bool EndsInOneNul(const std::string& data)
{
    return !data.empty() && data.back() == '\0' && (data.size() == 1 || data[data.size() - 2] != '\0');
}

std::string WithoutNul(const std::string& data) { return data.substr(0, data.size() - 1); }

// A key's path is written once, on the key itself; its parents follow from it, so a key
// with only subkeys needs no line of its own.
void WriteNode(std::string& out, const Node& n, const std::string& path)
{
    if (!n.values.empty() || (!path.empty() && n.children.empty())) {
        out += '[' + path + "]\n";
        for (auto& v : n.values) {
            out += QuoteText(v.name) + '=';
            if (v.type == REG_DWORD && v.data.size() == 4) {
                DWORD d;
                std::memcpy(&d, v.data.data(), 4);
                char buf[16];
                std::snprintf(buf, sizeof buf, "dword:%08x", static_cast<unsigned>(d));
                out += buf;
            } else if (v.type == REG_SZ && EndsInOneNul(v.data)) {
                out += "sz:" + QuoteText(WithoutNul(v.data));
            } else if (v.type == REG_EXPAND_SZ && EndsInOneNul(v.data)) {
                out += "expand:" + QuoteText(WithoutNul(v.data));
            } else if (v.type == REG_MULTI_SZ) {
                out += "multi:" + QuoteText(v.data);
            } else if (v.type == REG_BINARY) {
                out += "hex:" + HexBytes(v.data);
            } else {
                out += "hex(" + std::to_string(v.type) + "):" + HexBytes(v.data);
            }
            out += '\n';
        }
        out += '\n';
    }
    for (auto& c : n.children)
        WriteNode(out, *c, path.empty() ? EscapeKeyName(c->name) : path + '\\' + EscapeKeyName(c->name));
}

// A small cursor over one line; every parse step fails cleanly on malformed text.
struct LineReader {
    const std::string& s;
    size_t i = 0;
    bool Eat(const char* lit)
    {
        size_t n = std::strlen(lit);
        if (s.compare(i, n, lit) != 0)
            return false;
        i += n;
        return true;
    }
    bool AtEnd() const { return i >= s.size(); }
    bool Quoted(std::string& out)
    {
        out.clear();
        if (!Eat("\""))
            return false;
        while (i < s.size()) {
            char c = s[i++];
            if (c == '"')
                return true;
            if (c != '\\') {
                out += c;
                continue;
            }
            if (i >= s.size())
                return false;
            char e = s[i++];
            if (e == '\\' || e == '"') {
                out += e;
            } else if (e == 'x' && i + 1 < s.size() && HexValue(s[i]) >= 0 && HexValue(s[i + 1]) >= 0) {
                out += static_cast<char>(HexValue(s[i]) * 16 + HexValue(s[i + 1]));
                i += 2;
            } else {
                return false;
            }
        }
        return false;
    }
    bool Hex(std::string& out)
    {
        out.clear();
        while (i < s.size()) {
            if (i + 1 >= s.size() || HexValue(s[i]) < 0 || HexValue(s[i + 1]) < 0)
                return false;
            out += static_cast<char>(HexValue(s[i]) * 16 + HexValue(s[i + 1]));
            i += 2;
            if (i < s.size() && !Eat(","))
                return false;
        }
        return true;
    }
};

bool ParseKeyPath(const std::string& text, std::vector<std::string>& parts)
{
    parts.clear();
    if (text.empty())
        return true;
    std::string cur;
    for (size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c == '\\') {
            if (cur.empty())
                return false;
            parts.push_back(cur);
            cur.clear();
        } else if (c == '%') {
            if (i + 2 >= text.size() || HexValue(text[i + 1]) < 0 || HexValue(text[i + 2]) < 0)
                return false;
            cur += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
            i += 2;
        } else {
            cur += c;
        }
    }
    if (cur.empty())
        return false;
    parts.push_back(cur);
    if (parts.size() > kMaxKeyDepth)
        return false;
    for (const std::string& p : parts)
        if (p.size() > kMaxKeyName || p.find('\0') != std::string::npos)
            return false;
    return true;
}

// One "name"=kind:data line; false when it does not read as one.
bool ParseValueLine(const std::string& line, Value& v)
{
    LineReader r{line};
    if (!r.Quoted(v.name) || !r.Eat("="))
        return false;
    const bool plain = r.Eat("sz:");
    if (plain || r.Eat("expand:")) {
        v.type = plain ? REG_SZ : REG_EXPAND_SZ;
        if (!r.Quoted(v.data))
            return false;
        // Files of earlier versions wrote the NUL out.
        if (v.data.empty() || v.data.back() != '\0')
            v.data += '\0';
    } else if (r.Eat("multi:")) {
        v.type = REG_MULTI_SZ;
        if (!r.Quoted(v.data))
            return false;
    } else if (r.Eat("dword:")) {
        std::string digits = line.substr(r.i);
        if (digits.size() != 8)
            return false;
        DWORD d = 0;
        for (char c : digits) {
            int h = HexValue(c);
            if (h < 0)
                return false;
            d = d * 16 + static_cast<DWORD>(h);
        }
        v.type = REG_DWORD;
        v.data.assign(reinterpret_cast<const char*>(&d), 4);
        r.i = line.size();
    } else if (r.Eat("hex:")) {
        v.type = REG_BINARY;
        if (!r.Hex(v.data))
            return false;
    } else if (r.Eat("hex(")) {
        size_t close = line.find("):", r.i);
        if (close == std::string::npos || close == r.i || close - r.i > 10)
            return false;
        unsigned long t = 0;
        for (size_t k = r.i; k < close; ++k) {
            if (line[k] < '0' || line[k] > '9')
                return false;
            t = t * 10 + static_cast<unsigned long>(line[k] - '0');
        }
        if (t > 0xFFFFFFFFul)
            return false;
        v.type = static_cast<DWORD>(t);
        r.i = close + 2;
        if (!r.Hex(v.data))
            return false;
    } else {
        return false;
    }
    return r.AtEnd();
}

// Parses the file into a fresh tree, keeping every line that reads well. The 1-based
// numbers of the lines that do not go to `bad`, and so do the values under a key line that
// does not: they have no key to go to.
void ParseHive(const std::string& text, Node& root, std::vector<size_t>& bad)
{
    Node* current = nullptr;
    size_t lineNo = 0;
    // A byte-order mark, as some editors put before the first line, is not part of it.
    size_t pos = StartsWithByteOrderMark(text) ? Utf8ByteOrderMark.size() : 0;
    while (pos < text.size()) {
        size_t end = text.find('\n', pos);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(pos, end - pos);
        pos = end + 1;
        ++lineNo;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == ';')
            continue;
        if (line[0] == '[') {
            std::vector<std::string> parts;
            current = nullptr;
            if (line.back() != ']' || !ParseKeyPath(line.substr(1, line.size() - 2), parts)) {
                bad.push_back(lineNo);
                continue;
            }
            Node* n = &root;
            for (auto& p : parts) {
                Node* c = n->Child(p);
                n = c ? c : n->AddChild(p).get();
            }
            current = n;
            continue;
        }
        Value v;
        if (!current || !ParseValueLine(line, v) || current->FindValue(v.name)) {
            bad.push_back(lineNo);
            continue;
        }
        current->values.push_back(std::move(v));
    }
}

std::string RegistryFilePath() { return RegistryConfigDir() + "/registry.txt"; }

bool MakeDirs(const std::string& dir)
{
    if (dir.empty())
        return false;
    struct stat st;
    if (stat(dir.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    size_t slash = dir.rfind('/');
    if (slash != std::string::npos && slash > 0 && !MakeDirs(dir.substr(0, slash)))
        return false;
    return mkdir(dir.c_str(), 0700) == 0 || errno == EEXIST;
}

// The key at path below root; made when `create`, else null when missing.
Node* Walk(Node& root, const std::vector<std::string>& path, size_t count, bool create)
{
    Node* n = &root;
    for (size_t i = 0; i < count && n; ++i) {
        Node* c = n->Child(path[i]);
        n = c ? c : create ? n->AddChild(path[i]).get() : nullptr;
    }
    return n;
}

void Replay(Node& root, const Change& c)
{
    switch (c.kind) {
    case Change::SetValue: {
        Node* n = Walk(root, c.path, c.path.size(), true);
        if (Value* v = n->FindValue(c.value.name)) {
            v->type = c.value.type;
            v->data = c.value.data;
        } else {
            n->values.push_back(c.value);
        }
        break;
    }
    case Change::DeleteValue:
        if (Node* n = Walk(root, c.path, c.path.size(), false)) {
            auto& vals = n->values;
            vals.erase(std::remove_if(vals.begin(), vals.end(),
                                      [&](const Value& v) { return SameName(v.name, c.value.name); }),
                       vals.end());
        }
        break;
    case Change::CreateKey: Walk(root, c.path, c.path.size(), true); break;
    case Change::DeleteKey:
        if (Node* parent = c.path.empty() ? nullptr : Walk(root, c.path, c.path.size() - 1, false)) {
            auto& kids = parent->children;
            kids.erase(std::remove_if(kids.begin(), kids.end(),
                                      [&](const auto& k) { return SameName(k->name, c.path.back()); }),
                       kids.end());
        }
        break;
    case Change::EmptyKey:
        if (Node* n = Walk(root, c.path, c.path.size(), false)) {
            n->children.clear();
            n->values.clear();
        }
        break;
    }
}

bool ReadText(const std::string& file, std::string& text)
{
    FILE* f = std::fopen(file.c_str(), "rb");
    if (!f)
        return false;
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    const bool ok = std::ferror(f) == 0;
    std::fclose(f);
    return ok;
}

// Holds the lock that makes one instance's read, merge and write of the settings file a
// single step for the others: an advisory lock on the folder that holds the file.
class FolderLock {
public:
    explicit FolderLock(const std::string& dir) : fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC))
    {
        while (fd_ >= 0 && ::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
        }
    }
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

private:
    int fd_;
};

bool SaveHive(Hive& h)
{
    const std::string file = h.file;
    const std::string dir = file.substr(0, file.rfind('/'));
    if (!MakeDirs(dir))
        return false;
    FolderLock lock(dir);
    // Only this instance's own changes go over what the file holds now; a file that cannot
    // be read back is replaced by this instance's settings.
    std::shared_ptr<Node> tree = h.root;
    std::string current;
    if (!h.rewriteWhole && (ReadText(file, current) || errno == ENOENT)) {
        tree = std::make_shared<Node>();
        std::vector<size_t> bad;
        ParseHive(current, *tree, bad);
        for (const Change& c : h.journal)
            Replay(*tree, c);
    }
    std::string text = "; Quillmere settings (HKEY_CURRENT_USER)\n\n";
    WriteNode(text, *tree, "");
    if (!ReplaceFileContents(file, text, 0600))
        return false;
    h.dirty = false;
    h.rewriteWhole = false;
    h.journal.clear();
    return true;
}

LONG SaveIfDirty(Hive& h)
{
    if (!h.dirty || h.file.empty())
        return ERROR_SUCCESS;
    if (SaveHive(h))
        return ERROR_SUCCESS;
    const int error = errno;
    std::fprintf(stderr, "Quillmere: cannot save settings to %s: %s\n", h.file.c_str(), std::strerror(error));
    State& st = S();
    if (std::find(st.reportedErrors.begin(), st.reportedErrors.end(), error) == st.reportedErrors.end()) {
        st.reportedErrors.push_back(error);
        st.pendingFailures.emplace_back(h.file, error);
    }
    return static_cast<LONG>(ERROR_CANTWRITE);
}

// Tells the program of failed writes; called with the registry's lock released, since the
// program may show a message and use the registry meanwhile.
void ReportFailures()
{
    State& st = S();
    std::vector<std::pair<std::string, int>> failures;
    std::function<void(const std::string&, const std::string&)> report;
    {
        std::lock_guard<std::mutex> g(st.lock);
        failures.swap(st.pendingFailures);
        report = st.failureReport;
    }
    if (report)
        for (const auto& [file, error] : failures)
            report(file, std::strerror(error));
}

void ExitHook()
{
    RegistryShutdown();
}

void LoadCurrentUser(State& st)
{
    Hive& h = st.hives[kCurrentUser];
    h.loaded = true;
    h.dirty = false;
    h.root = std::make_shared<Node>();
    if (st.inMemory) {
        h.file.clear();
        return;
    }
    h.file = RegistryFilePath();
    if (!st.exitHookSet) {
        st.exitHookSet = true;
        std::atexit(ExitHook);
    }
    FILE* f = std::fopen(h.file.c_str(), "rb");
    if (!f) {
        if (errno != ENOENT)
            std::fprintf(stderr, "Quillmere: cannot read settings from %s: %s\n", h.file.c_str(),
                         std::strerror(errno));
        return;
    }
    std::string text;
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        text.append(buf, n);
    bool readError = std::ferror(f) != 0;
    std::fclose(f);
    if (readError) {
        std::fprintf(stderr, "Quillmere: cannot read settings from %s\n", h.file.c_str());
        return;
    }
    auto root = std::make_shared<Node>();
    std::vector<size_t> bad;
    ParseHive(text, *root, bad);
    h.root = root;
    if (bad.empty())
        return;
    // A copy keeps the damaged file as it was (a linked settings file stays linked); then
    // what read well is written back at once, so the file and the settings in use agree.
    const std::string aside = h.file + ".damaged";
    const bool copied = ReplaceFileContents(aside, text, 0600);
    st.damage = RegistryDamage{h.file, copied ? aside : std::string(), bad};
    std::fprintf(stderr, "Quillmere: settings file %s is damaged (%zu lines left out, the first is line %zu); %s%s\n",
                 h.file.c_str(), bad.size(), bad.front(),
                 copied ? "it was kept as " : "no copy of it could be kept: ",
                 copied ? aside.c_str() : std::strerror(errno));
    if (copied) {
        h.dirty = true;
        h.rewriteWhole = true;
        SaveIfDirty(h);
    }
}

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
        return SaveIfDirty(st.hives[t.hive]);
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
    ReportFailures();
    return result;
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
        return SaveIfDirty(st.hives[hive]);
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
    ReportFailures();
    return result;
}

LONG RegFlushKey(HKEY hKey)
{
    return OnKey(hKey, [&](State& st, Target& t) -> LONG {
        if (t.hive == kCurrentUser)
            return SaveIfDirty(st.hives[t.hive]);
        return ERROR_SUCCESS;
    });
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

namespace {
// Handles into the dropped tree stay valid to close but report the key as deleted.
void DropCurrentUser(State& st)
{
    Hive& h = st.hives[kCurrentUser];
    if (h.loaded)
        MarkDeleted(*h.root);
    h = Hive{};
    st.damage = RegistryDamage{};
    st.reportedErrors.clear();
    st.pendingFailures.clear();
    for (auto& [id, k] : st.handles)
        if (k.hive == kCurrentUser)
            k.hive = -1;
    st.openHandles[kCurrentUser] = 0;
}
} // namespace

void RegistryShutdown()
{
    State& st = S();
    {
        std::lock_guard<std::mutex> g(st.lock);
        Hive& h = st.hives[kCurrentUser];
        if (h.loaded)
            SaveIfDirty(h);
    }
    ReportFailures();
}

void RegistrySetWriteFailureReport(std::function<void(const std::string&, const std::string&)> report)
{
    State& st = S();
    std::lock_guard<std::mutex> g(st.lock);
    st.failureReport = std::move(report);
}

void RegistrySetInMemory(bool inMemory)
{
    State& st = S();
    std::lock_guard<std::mutex> g(st.lock);
    Hive& h = st.hives[kCurrentUser];
    if (h.loaded)
        SaveIfDirty(h);
    DropCurrentUser(st);
    st.inMemory = inMemory;
}

RegistryDamage RegistryTakeDamage()
{
    State& st = S();
    RegistryDamage damage;
    {
        std::lock_guard<std::mutex> g(st.lock);
        if (!st.hives[kCurrentUser].loaded)
            LoadCurrentUser(st);
        damage = std::exchange(st.damage, RegistryDamage{});
    }
    ReportFailures();
    return damage;
}

void RegistryReload()
{
    State& st = S();
    std::lock_guard<std::mutex> g(st.lock);
    DropCurrentUser(st);
}

std::string RegistryConfigDir()
{
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && xdg[0] == '/')
        return std::string(xdg) + "/quillmere";
    const char* home = std::getenv("HOME");
    std::string base = (home && home[0]) ? home : "";
    if (base.empty()) {
        if (passwd* pw = getpwuid(getuid()); pw && pw->pw_dir)
            base = pw->pw_dir;
    }
    if (base.empty())
        base = "/tmp";
    return base + "/.config/quillmere";
}
