#include "framework/Registry.h"

#include <cstring>

#include "framework/Classes.h"
#include "framework/IniFiles.h"

QM_CLASS_IMPL(TRegistry, TObject)
QM_CLASS_IMPL(TRegIniFile, TRegistry)

namespace {

[[noreturn]] void RaiseReg(const char* what, const std::string& name)
{
    throw ERegistryException(std::string(what) + " '" + name + "'");
}

// Splits "\A\B" into the absolute flag and the path below the root or current key.
std::string StripLeadingSlash(const std::string& key, bool& relative)
{
    relative = key.empty() || key[0] != '\\';
    return relative ? key : key.substr(1);
}

// Lists the names of a key's subkeys or of its values; the buffer grows when another thread
// lengthened a name after the key was measured.
void ReadNames(HKEY key, bool values, std::vector<std::string>& names)
{
    names.clear();
    DWORD count = 0, maxLen = 0;
    LPDWORD keyCount = values ? nullptr : &count, keyLen = values ? nullptr : &maxLen;
    LPDWORD valueCount = values ? &count : nullptr, valueLen = values ? &maxLen : nullptr;
    if (RegQueryInfoKeyA(key, nullptr, nullptr, nullptr, keyCount, keyLen, nullptr, valueCount, valueLen,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return;
    std::string buf(maxLen + 1, '\0');
    for (DWORD i = 0;; ++i) {
        DWORD len = static_cast<DWORD>(buf.size());
        LONG r = values ? RegEnumValueA(key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr)
                        : RegEnumKeyExA(key, i, buf.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (r == ERROR_MORE_DATA) {
            buf.resize(buf.size() * 2 + 256);
            --i;
            continue;
        }
        if (r != ERROR_SUCCESS)
            break;
        names.emplace_back(buf.data(), len);
    }
}

void ReadNames(HKEY key, bool values, TStrings* strings)
{
    std::vector<std::string> names;
    ReadNames(key, values, names);
    FillStrings(strings, names);
}

} // namespace

TRegistry::TRegistry() = default;

TRegistry::TRegistry(REGSAM access) : fAccess(access) {}

TRegistry::~TRegistry() { CloseKey(); }

void TRegistry::SetRootKey(HKEY value)
{
    if (value == fRootKey)
        return;
    CloseKey();
    fRootKey = value;
}

HKEY TRegistry::BaseKey(bool relative) const
{
    return (relative && fCurrentKey) ? fCurrentKey : fRootKey;
}

bool TRegistry::OpenKey(const std::string& key, bool canCreate)
{
    bool relative;
    std::string sub = StripLeadingSlash(key, relative);
    HKEY h = nullptr;
    LONG r;
    if (canCreate)
        r = RegCreateKeyExA(BaseKey(relative), sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, fAccess, nullptr, &h,
                            nullptr);
    else
        r = RegOpenKeyExA(BaseKey(relative), sub.c_str(), 0, fAccess, &h);
    if (r != ERROR_SUCCESS)
        return false;
    std::string path = (relative && fCurrentKey && !fCurrentPath.empty())
                           ? (sub.empty() ? fCurrentPath : fCurrentPath + "\\" + sub)
                           : sub;
    CloseKey();
    fCurrentKey = h;
    fCurrentPath = path;
    return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key)
{
    REGSAM old = fAccess;
    fAccess = KEY_READ;
    if (OpenKey(key, false))
        return true;
    fAccess = old;
    return false;
}

void TRegistry::CloseKey()
{
    if (!fCurrentKey)
        return;
    RegCloseKey(fCurrentKey);
    fCurrentKey = nullptr;
    fCurrentPath.clear();
}

bool TRegistry::CreateKey(const std::string& key)
{
    bool relative;
    std::string sub = StripLeadingSlash(key, relative);
    HKEY h = nullptr;
    if (RegCreateKeyExA(BaseKey(relative), sub.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, fAccess, nullptr, &h,
                        nullptr) != ERROR_SUCCESS)
        throw ERegistryException("Failed to create key " + key);
    RegCloseKey(h);
    return true;
}

bool TRegistry::DeleteKey(const std::string& key)
{
    bool relative;
    std::string sub = StripLeadingSlash(key, relative);
    if (sub.empty())
        return false; // never empty the base key by accident
    return RegDeleteTreeA(BaseKey(relative), sub.c_str()) == ERROR_SUCCESS;
}

bool TRegistry::KeyExists(const std::string& key)
{
    bool relative;
    std::string sub = StripLeadingSlash(key, relative);
    HKEY h = nullptr;
    if (RegOpenKeyExA(BaseKey(relative), sub.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

bool TRegistry::HasSubKeys()
{
    DWORD n = 0;
    return RegQueryInfoKeyA(fCurrentKey, nullptr, nullptr, nullptr, &n, nullptr, nullptr, nullptr, nullptr, nullptr,
                            nullptr, nullptr) == ERROR_SUCCESS &&
           n > 0;
}

void TRegistry::GetKeyNames(std::vector<std::string>& strings) { ReadNames(fCurrentKey, false, strings); }
void TRegistry::GetKeyNames(TStrings* strings) { ReadNames(fCurrentKey, false, strings); }
void TRegistry::GetValueNames(std::vector<std::string>& strings) { ReadNames(fCurrentKey, true, strings); }
void TRegistry::GetValueNames(TStrings* strings) { ReadNames(fCurrentKey, true, strings); }

bool TRegistry::ValueExists(const std::string& name)
{
    DWORD type = 0;
    return RegQueryValueExA(fCurrentKey, name.c_str(), nullptr, &type, nullptr, nullptr) == ERROR_SUCCESS;
}

bool TRegistry::DeleteValue(const std::string& name)
{
    return RegDeleteValueA(fCurrentKey, name.c_str()) == ERROR_SUCCESS;
}

TRegDataType TRegistry::GetDataType(const std::string& name)
{
    DWORD type = 0;
    if (RegQueryValueExA(fCurrentKey, name.c_str(), nullptr, &type, nullptr, nullptr) != ERROR_SUCCESS)
        return rdUnknown;
    switch (type) {
    case REG_SZ:
        return rdString;
    case REG_EXPAND_SZ:
        return rdExpandString;
    case REG_DWORD:
        return rdInteger;
    case REG_BINARY:
        return rdBinary;
    default:
        return rdUnknown;
    }
}

int TRegistry::GetDataSize(const std::string& name)
{
    DWORD size = 0;
    if (RegQueryValueExA(fCurrentKey, name.c_str(), nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS)
        return -1;
    return static_cast<int>(size);
}

bool TRegistry::GetData(const std::string& name, DWORD& type, std::string& data)
{
    for (;;) {
        DWORD size = 0;
        if (RegQueryValueExA(fCurrentKey, name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return false;
        data.assign(size, '\0');
        LONG r = RegQueryValueExA(fCurrentKey, name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()),
                                  &size);
        if (r == ERROR_MORE_DATA) // grew between the two calls
            continue;
        if (r != ERROR_SUCCESS)
            return false;
        data.resize(size);
        return true;
    }
}

void TRegistry::PutData(const std::string& name, DWORD type, const void* data, DWORD size)
{
    if (RegSetValueExA(fCurrentKey, name.c_str(), 0, type, static_cast<const BYTE*>(data), size) != ERROR_SUCCESS)
        RaiseReg("Failed to set data for", name);
}

std::string TRegistry::ReadString(const std::string& name)
{
    DWORD type = 0;
    std::string data;
    if (!GetData(name, type, data))
        return {};
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        RaiseReg("Invalid data type for", name);
    if (data.ends_with('\0'))
        data.pop_back();
    return data;
}

void TRegistry::WriteString(const std::string& name, const std::string& value)
{
    PutData(name, REG_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

void TRegistry::WriteExpandString(const std::string& name, const std::string& value)
{
    PutData(name, REG_EXPAND_SZ, value.c_str(), static_cast<DWORD>(value.size() + 1));
}

int TRegistry::ReadInteger(const std::string& name)
{
    DWORD type = 0;
    std::string data;
    if (!GetData(name, type, data))
        RaiseReg("Failed to get data for", name);
    if (type != REG_DWORD || data.size() != 4)
        RaiseReg("Invalid data type for", name);
    int32_t v;
    std::memcpy(&v, data.data(), 4);
    return v;
}

void TRegistry::WriteInteger(const std::string& name, int value)
{
    int32_t v = value;
    PutData(name, REG_DWORD, &v, 4);
}

bool TRegistry::ReadBool(const std::string& name) { return ReadInteger(name) != 0; }

void TRegistry::WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }

int TRegistry::ReadBinaryData(const std::string& name, void* buffer, int bufSize)
{
    DWORD type = 0;
    std::string data;
    if (!GetData(name, type, data))
        RaiseReg("Failed to get data for", name);
    if (type != REG_BINARY && type != REG_NONE)
        RaiseReg("Invalid data type for", name);
    if (bufSize < 0 || data.size() > static_cast<size_t>(bufSize))
        RaiseReg("Failed to get data for", name);
    if (!data.empty())
        std::memcpy(buffer, data.data(), data.size());
    return static_cast<int>(data.size());
}

void TRegistry::WriteBinaryData(const std::string& name, const void* buffer, int bufSize)
{
    if (bufSize < 0)
        RaiseReg("Failed to set data for", name);
    PutData(name, REG_BINARY, buffer, static_cast<DWORD>(bufSize));
}

// ---- TRegIniFile ---------------------------------------------------------------------------

// Points the value operations at one section for the life of the scope. Sections open
// with the object's Access; they are created only for writing and only when Access allows.
class TRegIniFile::SectionScope {
public:
    SectionScope(TRegIniFile& ini, const std::string& section, bool forWrite) : ini_(ini), saved_(ini.fCurrentKey)
    {
        if (section.empty()) {
            ok_ = ini.fCurrentKey != nullptr;
            return;
        }
        if (!ini.fCurrentKey)
            return;
        HKEY h = nullptr;
        LONG r;
        if (forWrite && (ini.Access() & KEY_CREATE_SUB_KEY))
            r = RegCreateKeyExA(saved_, section.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, ini.Access(), nullptr,
                                &h, nullptr);
        else
            r = RegOpenKeyExA(saved_, section.c_str(), 0, ini.Access(), &h);
        if (r != ERROR_SUCCESS)
            return;
        opened_ = h;
        ini.fCurrentKey = h;
        ok_ = true;
    }
    ~SectionScope()
    {
        ini_.fCurrentKey = saved_;
        if (opened_) {
            RegCloseKey(opened_);
        }
    }
    bool Ok() const { return ok_; }

private:
    TRegIniFile& ini_;
    HKEY saved_;
    HKEY opened_ = nullptr;
    bool ok_ = false;
};

TRegIniFile::TRegIniFile(const std::string& fileName) : TRegIniFile(fileName, KEY_ALL_ACCESS) {}

TRegIniFile::TRegIniFile(const std::string& fileName, REGSAM access) : TRegistry(access), fFileName(fileName)
{
    // Read-only access only opens what is there.
    OpenKey(fileName, (access & KEY_CREATE_SUB_KEY) != 0);
}

std::string TRegIniFile::ReadString(const std::string& section, const std::string& ident, const std::string& def)
{
    SectionScope s(*this, section, false);
    if (!s.Ok())
        return def;
    DWORD type = 0;
    DWORD size = 0;
    if (RegQueryValueExA(fCurrentKey, ident.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return def;
    if (type == REG_DWORD)
        return IntToStr(TRegistry::ReadInteger(ident));
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        return def;
    return TRegistry::ReadString(ident);
}

void TRegIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value)
{
    SectionScope s(*this, section, true);
    if (!s.Ok())
        RaiseReg("Failed to set data for", ident);
    TRegistry::WriteString(ident, value);
}

int TRegIniFile::ReadInteger(const std::string& section, const std::string& ident, int def)
{
    SectionScope s(*this, section, false);
    if (!s.Ok())
        return def;
    switch (GetDataType(ident)) {
    case rdInteger:
        return TRegistry::ReadInteger(ident);
    case rdString:
    case rdExpandString:
        return StrToIntDef(TRegistry::ReadString(ident), def);
    default:
        return def;
    }
}

void TRegIniFile::WriteInteger(const std::string& section, const std::string& ident, int value)
{
    IniText::WriteInteger(*this, section, ident, value);
}
bool TRegIniFile::ReadBool(const std::string& section, const std::string& ident, bool def)
{
    return IniText::ReadBool(*this, section, ident, def);
}
void TRegIniFile::WriteBool(const std::string& section, const std::string& ident, bool value)
{
    IniText::WriteBool(*this, section, ident, value);
}

void TRegIniFile::ReadSection(const std::string& section, std::vector<std::string>& strings)
{
    strings.clear();
    SectionScope s(*this, section, false);
    if (s.Ok())
        GetValueNames(strings);
}

void TRegIniFile::ReadSection(const std::string& section, TStrings* strings)
{
    std::vector<std::string> names;
    ReadSection(section, names);
    FillStrings(strings, names);
}

void TRegIniFile::ReadSections(std::vector<std::string>& strings) { GetKeyNames(strings); }

void TRegIniFile::ReadSections(TStrings* strings) { GetKeyNames(strings); }

void TRegIniFile::ReadSectionValues(const std::string& section, std::vector<std::string>& strings)
{
    std::vector<std::string> names;
    ReadSection(section, names);
    strings.clear();
    for (auto& n : names)
        strings.push_back(n + "=" + ReadString(section, n, ""));
}

void TRegIniFile::ReadSectionValues(const std::string& section, TStrings* strings)
{
    std::vector<std::string> lines;
    ReadSectionValues(section, lines);
    FillStrings(strings, lines);
}

void TRegIniFile::EraseSection(const std::string& section)
{
    if (!fCurrentKey || section.empty())
        return;
    if (!(Access() & (KEY_SET_VALUE | KEY_CREATE_SUB_KEY)))
        throw ERegistryException("Failed to delete key " + section);
    LONG r = RegDeleteTreeA(fCurrentKey, section.c_str());
    if (r != ERROR_SUCCESS && r != static_cast<LONG>(ERROR_FILE_NOT_FOUND))
        throw ERegistryException("Failed to delete key " + section);
}

void TRegIniFile::DeleteKey(const std::string& section, const std::string& ident)
{
    SectionScope s(*this, section, false);
    if (s.Ok())
        DeleteValue(ident);
}

bool TRegIniFile::SectionExists(const std::string& section)
{
    if (!fCurrentKey)
        return false;
    if (section.empty())
        return true;
    HKEY h = nullptr;
    if (RegOpenKeyExA(fCurrentKey, section.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS)
        return false;
    RegCloseKey(h);
    return true;
}

bool TRegIniFile::ValueExists(const std::string& section, const std::string& ident)
{
    SectionScope s(*this, section, false);
    return s.Ok() && TRegistry::ValueExists(ident);
}
