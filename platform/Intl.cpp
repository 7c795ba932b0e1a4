#include "platform/Intl.h"

#include <algorithm>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <libintl.h>
#include <mutex>
#include <shared_mutex>

namespace {
std::shared_mutex gLock;
std::vector<std::string> gDomains;
std::string gDirectory; // empty: beside the executable

std::string ExecutableDirectory()
{
    std::error_code ec;
    const std::filesystem::path exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec || !exe.has_parent_path() ? "." : exe.parent_path().string();
}

std::string DirectoryLocked()
{
    return gDirectory.empty() ? ExecutableDirectory() + "/locale" : gDirectory;
}

void Bind(const std::string& domain, const std::string& dir)
{
    bindtextdomain(domain.c_str(), dir.c_str());
    bind_textdomain_codeset(domain.c_str(), "CP1252");
}

// gettext ignores LANGUAGE while the message locale is "C"; C.UTF-8 behaves the same
// otherwise and lets a language chosen through LANGUAGE apply.
void EnsureMessageLocale()
{
    const char* cur = std::setlocale(LC_MESSAGES, "");
    if (!cur || std::strcmp(cur, "C") == 0 || std::strcmp(cur, "POSIX") == 0)
        std::setlocale(LC_MESSAGES, "C.UTF-8");
}
} // namespace

void InitTranslation()
{
    static std::once_flag once;
    std::call_once(once, [] { std::setlocale(LC_MESSAGES, ""); });
}

void SetLocaleDirectory(const std::string& path)
{
    std::unique_lock<std::shared_mutex> g(gLock);
    gDirectory = path;
}

std::string LocaleDirectory()
{
    std::shared_lock<std::shared_mutex> g(gLock);
    return DirectoryLocked();
}

void AddDomain(const std::string& domain)
{
    if (domain.empty())
        return;
    std::unique_lock<std::shared_mutex> g(gLock);
    Bind(domain, DirectoryLocked());
    if (std::find(gDomains.begin(), gDomains.end(), domain) == gDomains.end())
        gDomains.push_back(domain);
}

void ClearDomains()
{
    std::unique_lock<std::shared_mutex> g(gLock);
    gDomains.clear();
}

std::vector<std::string> Domains()
{
    std::shared_lock<std::shared_mutex> g(gLock);
    return gDomains;
}

std::string DomainTranslate(const std::string& domain, const std::string& msgid)
{
    // The empty msgid names a catalog's header, never a text to translate.
    if (msgid.empty() || domain.empty())
        return msgid;
    const char* r = dgettext(domain.c_str(), msgid.c_str());
    return r ? std::string(r) : msgid;
}

std::string Translate(const std::string& msgid)
{
    if (msgid.empty())
        return msgid;
    std::shared_lock<std::shared_mutex> g(gLock);
    for (const auto& d : gDomains) {
        std::string t = DomainTranslate(d, msgid);
        if (t != msgid)
            return t;
    }
    return msgid;
}

void UseLanguage(const std::string& lang)
{
    ::setenv("LANGUAGE", lang.c_str(), 1);
    // Setting the locale again is what makes gettext reload its catalogs.
    EnsureMessageLocale();
}
