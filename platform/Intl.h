#pragma once
// Translation layer: message catalogs looked up through the C library's gettext, in the
// order their domains were added. Texts in and out are Windows-1252.
#include <string>
#include <vector>

// Takes the message language from the environment (LANGUAGE, LC_ALL, LC_MESSAGES, LANG).
// Runs its work once however often it is called.
void InitTranslation();

// Where catalogs are looked for: <dir>/<lang>/LC_MESSAGES/<domain>.mo. The default is the
// "locale" folder beside the executable; an empty path restores it. Affects domains added
// afterwards.
void SetLocaleDirectory(const std::string& path);
std::string LocaleDirectory();

// Binds a domain to the locale directory and appends it to the searched domains (a domain
// already added keeps its place and is bound again).
void AddDomain(const std::string& domain);
// Forgets every added domain (tests and shut-down).
void ClearDomains();
std::vector<std::string> Domains();

// The first translation of msgid, in domain order, that differs from it; else msgid.
std::string Translate(const std::string& msgid);
inline std::string _(const std::string& msgid) { return Translate(msgid); }
// One domain only; msgid when it has no translation there.
std::string DomainTranslate(const std::string& domain, const std::string& msgid);

// Switches the message language at run time (tests): sets LANGUAGE and makes gettext
// drop the catalogs it has loaded.
void UseLanguage(const std::string& lang);
