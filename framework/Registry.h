#pragma once
// Object access to the registry: TRegistry works on one open key below a root;
// TRegIniFile treats a key as an ini file whose sections are subkeys.
#include <string>
#include <vector>

#include "framework/SysUtils.h"
#include "framework/System.h"
#include "platform/WinReg.h"

class TStrings;

enum TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

class TRegistry : public TObject {
    QM_CLASS(TRegistry, TObject)
public:
    TRegistry();
    explicit TRegistry(REGSAM access);
    ~TRegistry() override;

    HKEY RootKey() const { return fRootKey; }
    // Changing the root closes the current key.
    void SetRootKey(HKEY value);
    REGSAM Access() const { return fAccess; }
    void SetAccess(REGSAM value) { fAccess = value; }
    HKEY CurrentKey() const { return fCurrentKey; }
    const std::string& CurrentPath() const { return fCurrentPath; }

    // Key names are relative to the current key unless they start with "\".
    bool OpenKey(const std::string& key, bool canCreate);
    bool OpenKeyReadOnly(const std::string& key);
    void CloseKey();
    bool CreateKey(const std::string& key);
    bool DeleteKey(const std::string& key); // with everything below it
    bool KeyExists(const std::string& key);
    bool HasSubKeys();
    void GetKeyNames(std::vector<std::string>& strings);
    void GetKeyNames(TStrings* strings);

    bool ValueExists(const std::string& name);
    bool DeleteValue(const std::string& name);
    void GetValueNames(std::vector<std::string>& strings);
    void GetValueNames(TStrings* strings);
    TRegDataType GetDataType(const std::string& name);
    int GetDataSize(const std::string& name); // -1 when the value is missing

    std::string ReadString(const std::string& name); // missing: ""
    void WriteString(const std::string& name, const std::string& value);
    void WriteExpandString(const std::string& name, const std::string& value);
    int ReadInteger(const std::string& name); // missing or not an integer: raises
    void WriteInteger(const std::string& name, int value);
    bool ReadBool(const std::string& name);
    void WriteBool(const std::string& name, bool value);
    // Returns the number of bytes read; raises when the value is missing, not binary or
    // larger than the buffer.
    int ReadBinaryData(const std::string& name, void* buffer, int bufSize);
    void WriteBinaryData(const std::string& name, const void* buffer, int bufSize);

protected:
    HKEY BaseKey(bool relative) const;
    // The key that value operations work on; TRegIniFile points it at a section.
    HKEY fCurrentKey = nullptr;
    std::string fCurrentPath;

private:
    // Reads a value's bytes; false when it is missing.
    bool GetData(const std::string& name, DWORD& type, std::string& data);
    void PutData(const std::string& name, DWORD type, const void* data, DWORD size);

    HKEY fRootKey = HKEY_CURRENT_USER;
    REGSAM fAccess = KEY_ALL_ACCESS;
};

// A registry key used like an ini file: the key is the file, each section a subkey and
// each ident a value. Numbers and flags are stored as text.
class TRegIniFile : public TRegistry {
    QM_CLASS(TRegIniFile, TRegistry)
public:
    explicit TRegIniFile(const std::string& fileName);
    TRegIniFile(const std::string& fileName, REGSAM access);

    const std::string& FileName() const { return fFileName; }

    using TRegistry::DeleteKey;
    using TRegistry::ReadBool;
    using TRegistry::ReadInteger;
    using TRegistry::ReadString;
    using TRegistry::ValueExists;
    using TRegistry::WriteBool;
    using TRegistry::WriteInteger;
    using TRegistry::WriteString;

    // Reads give the default when the section or ident is missing. With read-only Access
    // (KEY_READ) sections are never created and writes raise ERegistryException.
    std::string ReadString(const std::string& section, const std::string& ident, const std::string& def);
    void WriteString(const std::string& section, const std::string& ident, const std::string& value);
    int ReadInteger(const std::string& section, const std::string& ident, int def);
    void WriteInteger(const std::string& section, const std::string& ident, int value);
    bool ReadBool(const std::string& section, const std::string& ident, bool def);
    void WriteBool(const std::string& section, const std::string& ident, bool value);

    void ReadSection(const std::string& section, std::vector<std::string>& strings);
    void ReadSection(const std::string& section, TStrings* strings);
    void ReadSections(std::vector<std::string>& strings);
    void ReadSections(TStrings* strings);
    void ReadSectionValues(const std::string& section, std::vector<std::string>& strings);
    void ReadSectionValues(const std::string& section, TStrings* strings);
    void EraseSection(const std::string& section);
    void DeleteKey(const std::string& section, const std::string& ident);
    bool SectionExists(const std::string& section);
    bool ValueExists(const std::string& section, const std::string& ident);

private:
    class SectionScope;
    std::string fFileName;
};
