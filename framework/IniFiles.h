#pragma once
// Settings in ini files: sections of "ident=value" lines.
#include <functional>
#include <string>
#include <vector>

#include "framework/SysUtils.h"
#include "framework/System.h"

class TStrings;

// Integers and flags of an ini-like store, kept as text through its own access: any non-zero
// number reads as true, and flags are written as "1" or "0".
namespace IniText {
template <class Store> void WriteInteger(Store& S, const std::string& Section, const std::string& Ident, int Value)
{
    S.WriteString(Section, Ident, IntToStr(Value));
}
template <class Store> bool ReadBool(Store& S, const std::string& Section, const std::string& Ident, bool Def)
{
    return S.ReadInteger(Section, Ident, Def ? 1 : 0) != 0;
}
template <class Store> void WriteBool(Store& S, const std::string& Section, const std::string& Ident, bool Value)
{
    S.WriteString(Section, Ident, Value ? "1" : "0");
}
} // namespace IniText

class TCustomIniFile : public TObject {
    QM_CLASS(TCustomIniFile, TObject)
public:
    explicit TCustomIniFile(const std::string& fileName) : fFileName(fileName) {}

    const std::string& FileName() const { return fFileName; }

    virtual std::string ReadString(const std::string& section, const std::string& ident, const std::string& def) = 0;
    virtual void WriteString(const std::string& section, const std::string& ident, const std::string& value) = 0;
    virtual int ReadInteger(const std::string& section, const std::string& ident, int def);
    virtual void WriteInteger(const std::string& section, const std::string& ident, int value);
    // Any non-zero number reads as true; written as "1" or "0".
    virtual bool ReadBool(const std::string& section, const std::string& ident, bool def);
    virtual void WriteBool(const std::string& section, const std::string& ident, bool value);
    virtual double ReadFloat(const std::string& section, const std::string& ident, double def);
    virtual void WriteFloat(const std::string& section, const std::string& ident, double value);

    virtual void ReadSection(const std::string& section, std::vector<std::string>& strings) = 0;
    virtual void ReadSections(std::vector<std::string>& strings) = 0;
    // "ident=value" lines.
    virtual void ReadSectionValues(const std::string& section, std::vector<std::string>& strings) = 0;
    void ReadSection(const std::string& section, TStrings* strings);
    void ReadSections(TStrings* strings);
    void ReadSectionValues(const std::string& section, TStrings* strings);

    virtual bool SectionExists(const std::string& section);
    virtual bool ValueExists(const std::string& section, const std::string& ident);
    virtual void EraseSection(const std::string& section) = 0;
    virtual void DeleteKey(const std::string& section, const std::string& ident) = 0;

protected:
    std::string fFileName;
};

// Reads the file at every access and writes every change through at once, replacing the
// file atomically and keeping its other lines, comments and order. Sections and idents
// ignore ASCII case; values are trimmed, and one pair of enclosing quotes ('..' or "..")
// is removed on reading.
class TIniFile : public TCustomIniFile {
    QM_CLASS(TIniFile, TCustomIniFile)
public:
    // A bare file name (no folder) lives in the configuration folder.
    explicit TIniFile(const std::string& fileName);

    using TCustomIniFile::ReadSection;
    using TCustomIniFile::ReadSections;
    using TCustomIniFile::ReadSectionValues;

    std::string ReadString(const std::string& section, const std::string& ident, const std::string& def) override;
    // Values with CR or LF, idents with '=' and sections with ']' are refused
    // (EIniFileException): they could not be read back as written.
    void WriteString(const std::string& section, const std::string& ident, const std::string& value) override;
    void ReadSection(const std::string& section, std::vector<std::string>& strings) override;
    void ReadSections(std::vector<std::string>& strings) override;
    void ReadSectionValues(const std::string& section, std::vector<std::string>& strings) override;
    bool SectionExists(const std::string& section) override;
    bool ValueExists(const std::string& section, const std::string& ident) override;
    void EraseSection(const std::string& section) override;
    void DeleteKey(const std::string& section, const std::string& ident) override;

    // The path the file is read from and written to.
    const std::string& Path() const { return fPath; }

private:
    struct Lines {
        std::vector<std::string> text;
        bool crlf = false;
        bool bom = false; // an editor's UTF-8 byte-order mark, kept on saving
    };
    Lines Load() const;
    void Save(const Lines& lines);
    // Saves the file without the lines Erase(line, section, in that section, header) picks;
    // leaves it alone when it picks none.
    using LineFilter = std::function<bool(const std::string& line, const std::string& section, bool inSection,
                                          bool header)>;
    void EraseLines(const LineFilter& Erase);

    std::string fPath;
};
