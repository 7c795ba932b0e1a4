#include "platform/RegistryInternal.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/file.h>
#include <thread>
#include <unistd.h>

#include "platform/EventLoop.h"
#include "platform/Files.h"

using namespace reg_detail;

namespace {

std::string RegistryFilePath() { return RegistryConfigDir() + "/registry.txt"; }

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

// A failure kind of its own beside the system's error numbers.
constexpr int LockHeldElsewhere = -1;
// Long enough for any other instance's save; short enough that a stopped instance or a
// backup tool holding the lock costs the user a moment, not the program.
constexpr DWORD LockWait = 3000;

std::string FailureReason(int kind)
{
    return kind == LockHeldElsewhere
               ? "another program kept the settings locked for " + std::to_string(LockWait / 1000) + " seconds"
               : std::strerror(kind);
}

// Holds the lock that makes one instance's read, merge and write of the settings file a
// single step for the others: an advisory lock on the folder that holds the file.
class FolderLock {
public:
    explicit FolderLock(const std::string& dir) : fd_(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {}
    ~FolderLock()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    FolderLock(const FolderLock&) = delete;
    FolderLock& operator=(const FolderLock&) = delete;

    // Waits at most `wait` ms, in short growing pauses that run the window's messages when
    // mayPump; false when another process held the lock all that time. A folder that cannot
    // be locked (a file system without locks) is written unlocked.
    bool Take(DWORD wait, bool mayPump)
    {
        const DWORD start = EventLoopTicks();
        for (DWORD pause = 1; fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0;
             pause = std::min<DWORD>(pause * 2, 50)) {
            if (errno == EINTR)
                continue;
            if (errno != EWOULDBLOCK)
                return true;
            const DWORD waited = EventLoopTicks() - start;
            if (waited >= wait)
                return false;
            pause = std::min(pause, wait - waited);
            if (mayPump)
                DelayWithMessages(pause);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(pause));
        }
        return true;
    }

private:
    int fd_;
};

// Writes the hive, under the settings lock. Only this instance's own changes go over what
// the file holds now; a file that cannot be read back is replaced by this instance's
// settings.
bool WriteHive(Hive& h)
{
    std::shared_ptr<Node> tree = h.root;
    std::string current;
    if (!h.rewriteWhole && (ReadText(h.file, current) || errno == ENOENT)) {
        tree = std::make_shared<Node>();
        std::vector<size_t> bad;
        ParseHive(current, *tree, bad);
        for (const Change& c : h.journal)
            Replay(*tree, c);
    }
    std::string text = "; Quillmere settings (HKEY_CURRENT_USER)\n\n";
    WriteNode(text, *tree, "");
    if (!ReplaceFileContents(h.file, text, 0600))
        return false;
    h.dirty = false;
    h.rewriteWhole = false;
    h.journal.clear();
    return true;
}

LONG Failed(State& st, const Hive& h, int kind)
{
    std::fprintf(stderr, "Quillmere: cannot save settings to %s: %s\n", h.file.c_str(), FailureReason(kind).c_str());
    if (std::find(st.reportedErrors.begin(), st.reportedErrors.end(), kind) == st.reportedErrors.end()) {
        st.reportedErrors.push_back(kind);
        st.pendingFailures.emplace_back(h.file, kind);
    }
    return static_cast<LONG>(ERROR_CANTWRITE);
}

} // namespace

void reg_detail::WantSave(Hive& h)
{
    if (h.dirty && !h.file.empty())
        h.saveWanted = true;
}

LONG reg_detail::SaveWanted(bool mayPump)
{
    State& st = S();
    std::string dir;
    std::uint64_t generation = 0;
    bool wait = true;
    {
        std::lock_guard<std::mutex> g(st.lock);
        Hive& h = st.hives[kCurrentUser];
        if (!std::exchange(h.saveWanted, false) || !h.dirty || h.file.empty())
            return ERROR_SUCCESS;
        dir = std::filesystem::path(h.file).parent_path().string();
        generation = st.generation;
        // After one wait ran out, later saves only try: each wait would cost the user as much.
        wait = !st.lockStuck;
    }
    // Private, as the XDG rules ask of the folders they name.
    const bool made = MakeFolders(dir, 0700);
    const int error = errno;
    FolderLock lock(made ? dir : std::string());
    // Waited for without the registry's lock: the window's messages may use the registry.
    const bool locked = made && lock.Take(wait ? LockWait : 0, mayPump);
    std::lock_guard<std::mutex> g(st.lock);
    Hive& h = st.hives[kCurrentUser];
    // Dropped meanwhile (a reload), or written by a save made while this one waited.
    if (st.generation != generation || !h.dirty)
        return ERROR_SUCCESS;
    if (!made)
        return Failed(st, h, error);
    // Writing round the lock could undo what its holder is merging: the changes stay
    // for the next save, and the user is told they are not on disk.
    st.lockStuck = !locked;
    if (!locked)
        return Failed(st, h, LockHeldElsewhere);
    return WriteHive(h) ? ERROR_SUCCESS : Failed(st, h, errno);
}

void reg_detail::ReportFailures()
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
        for (const auto& [file, kind] : failures)
            report(file, FailureReason(kind));
}

LONG reg_detail::FinishCall(LONG result)
{
    const LONG saved = SaveWanted(true);
    ReportFailures();
    return result != ERROR_SUCCESS ? result : saved;
}

namespace {

void ExitHook()
{
    RegistryShutdown();
}

} // namespace

void reg_detail::LoadCurrentUser(State& st)
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
        WantSave(h);
    }
}


namespace {
// Handles into the dropped tree stay valid to close but report the key as deleted.
void DropCurrentUser(State& st)
{
    Hive& h = st.hives[kCurrentUser];
    if (h.loaded)
        MarkDeleted(*h.root);
    h = Hive{};
    ++st.generation;
    st.damage = RegistryDamage{};
    st.reportedErrors.clear();
    st.pendingFailures.clear();
    for (auto& [id, k] : st.handles)
        if (k.hive == kCurrentUser)
            k.hive = -1;
    st.openHandles[kCurrentUser] = 0;
}
} // namespace

namespace {
void SaveCurrentUser(State& st)
{
    {
        std::lock_guard<std::mutex> g(st.lock);
        Hive& h = st.hives[kCurrentUser];
        if (h.loaded)
            WantSave(h);
    }
    // The window is gone or going: nothing to keep working while the lock is waited for.
    SaveWanted(false);
}
} // namespace

void RegistryShutdown()
{
    SaveCurrentUser(S());
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
    SaveCurrentUser(st);
    std::lock_guard<std::mutex> g(st.lock);
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
    FinishCall(ERROR_SUCCESS);
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
    return UserConfigFolder() + "/quillmere";
}
