#include "framework/IniFiles.h"
#include "platform/Codepage.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "framework/Classes.h"
#include "platform/Files.h"
#include "platform/WinReg.h"

QM_CLASS_IMPL(TCustomIniFile, TObject)
QM_CLASS_IMPL(TIniFile, TCustomIniFile)

namespace {

bool SectionLine(const std::string& line, std::string& name)
{
    std::string t = Trim(line);
    if (t.empty() || t[0] != '[')
        return false;
    size_t close = t.find(']');
    if (close == std::string::npos)
        return false;
    name = Trim(t.substr(1, close - 1));
    return true;
}

bool KeyLine(const std::string& line, std::string& name, std::string& value)
{
    std::string t = TrimLeft(line);
    if (t.empty() || t[0] == ';' || t[0] == '#' || t[0] == '[')
        return false;
    size_t eq = t.find('=');
    if (eq == std::string::npos)
        return false;
    name = Trim(t.substr(0, eq));
    value = Trim(t.substr(eq + 1));
    return true;
}

std::string Unquote(const std::string& v)
{
    if (v.size() >= 2 && (v[0] == '"' || v[0] == '\'') && v.back() == v[0])
        return v.substr(1, v.size() - 2);
    return v;
}

bool IsBlank(char c) { return static_cast<unsigned char>(c) <= ' '; }

// Names are trimmed on writing and in the file, so the name asked for is trimmed too.
bool SameName(const std::string& found, const std::string& asked) { return SameText(found, Trim(asked)); }

// Reading trims a value and takes one pair of enclosing quotes off: such a value is
// written inside one more pair, so it reads back as it was given.
std::string Protected(const std::string& value)
{
    if (!value.empty() && (IsBlank(value.front()) || IsBlank(value.back()) || Unquote(value) != value))
        return "\"" + value + "\"";
    return value;
}

// Walks the lines, telling fn each line's index with the section it lies in.
template <class Fn> void ForEachLine(const std::vector<std::string>& lines, Fn fn)
{
    std::string section;
    bool inSection = false;
    for (size_t i = 0; i < lines.size(); ++i) {
        std::string name;
        if (SectionLine(lines[i], name)) {
            section = name;
            inSection = true;
            fn(i, section, inSection, true);
            continue;
        }
        fn(i, section, inSection, false);
    }
}

} // namespace

// ---- TCustomIniFile ------------------------------------------------------------------------

int TCustomIniFile::ReadInteger(const std::string& section, const std::string& ident, int def)
{
    return StrToIntDef(ReadString(section, ident, ""), def);
}

void TCustomIniFile::WriteInteger(const std::string& section, const std::string& ident, int value)
{
    IniText::WriteInteger(*this, section, ident, value);
}
bool TCustomIniFile::ReadBool(const std::string& section, const std::string& ident, bool def)
{
    return IniText::ReadBool(*this, section, ident, def);
}
void TCustomIniFile::WriteBool(const std::string& section, const std::string& ident, bool value)
{
    IniText::WriteBool(*this, section, ident, value);
}

double TCustomIniFile::ReadFloat(const std::string& section, const std::string& ident, double def)
{
    return StrToFloatDef(ReadString(section, ident, ""), def);
}

void TCustomIniFile::WriteFloat(const std::string& section, const std::string& ident, double value)
{
    WriteString(section, ident, FloatToStr(value));
}

void TCustomIniFile::ReadSection(const std::string& section, TStrings* strings)
{
    std::vector<std::string> items;
    ReadSection(section, items);
    FillStrings(strings, items);
}

void TCustomIniFile::ReadSections(TStrings* strings)
{
    std::vector<std::string> items;
    ReadSections(items);
    FillStrings(strings, items);
}

void TCustomIniFile::ReadSectionValues(const std::string& section, TStrings* strings)
{
    std::vector<std::string> items;
    ReadSectionValues(section, items);
    FillStrings(strings, items);
}

bool TCustomIniFile::SectionExists(const std::string& section)
{
    std::vector<std::string> items;
    ReadSection(section, items);
    return !items.empty();
}

bool TCustomIniFile::ValueExists(const std::string& section, const std::string& ident)
{
    std::vector<std::string> items;
    ReadSection(section, items);
    for (auto& s : items)
        if (SameName(s, ident))
            return true;
    return false;
}

// ---- TIniFile ------------------------------------------------------------------------------

TIniFile::TIniFile(const std::string& fileName) : TCustomIniFile(fileName)
{
    if (fileName.find_first_of("/\\") == std::string::npos) {
        fPath = RegistryConfigDir() + "/" + fileName;
    } else {
        fPath = fileName;
        for (char& c : fPath)
            if (c == '\\')
                c = '/';
    }
}

TIniFile::Lines TIniFile::Load() const
{
    Lines out;
    FILE* f = std::fopen(fPath.c_str(), "rb");
    if (!f)
        return out;
    std::string data;
    char buf[8192];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
        data.append(buf, n);
    std::fclose(f);
    size_t pos = 0;
    if (StartsWithByteOrderMark(data)) {
        out.bom = true;
        pos = Utf8ByteOrderMark.size();
    }
    bool first = true;
    while (pos < data.size()) {
        size_t end = data.find('\n', pos);
        std::string line = data.substr(pos, end == std::string::npos ? std::string::npos : end - pos);
        if (line.ends_with('\r')) {
            line.pop_back();
            if (first)
                out.crlf = true;
        }
        if (end != std::string::npos)
            first = false;
        out.text.push_back(std::move(line));
        if (end == std::string::npos)
            break;
        pos = end + 1;
    }
    return out;
}

// Written whole or not at all; an existing file keeps its permissions, a link its target.
void TIniFile::Save(const Lines& lines)
{
    std::string dir = ExtractFileDir(fPath);
    if (!dir.empty() && !DirectoryExists(dir)) {
        // The configuration folder holds private settings.
        if (dir == RegistryConfigDir() ? ::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST
                                        : !ForceDirectories(dir))
            throw EIniFileException("Unable to write to " + fPath);
    }
    std::string text(lines.bom ? Utf8ByteOrderMark : "");
    const char* eol = lines.crlf ? "\r\n" : "\n";
    for (auto& l : lines.text)
        text += l + eol;
    if (!ReplaceFileContents(fPath, text, 0600))
        throw EIniFileException("Unable to write to " + fPath);
}

std::string TIniFile::ReadString(const std::string& section, const std::string& ident, const std::string& def)
{
    Lines lines = Load();
    std::string result;
    bool found = false;
    ForEachLine(lines.text, [&](size_t i, const std::string& sec, bool inSec, bool header) {
        std::string name, value;
        if (found || header || !inSec || !SameName(sec, section))
            return;
        if (KeyLine(lines.text[i], name, value) && SameName(name, ident)) {
            result = Unquote(value);
            found = true;
        }
    });
    return found ? result : def;
}

void TIniFile::WriteString(const std::string& section, const std::string& ident, const std::string& value)
{
    if (value.find_first_of("\r\n") != std::string::npos)
        throw EIniFileException("Value for '" + ident + "' contains a line break");
    const std::string name = Trim(ident);
    if (name.empty() || name.find_first_of("=\r\n") != std::string::npos || name[0] == ';' || name[0] == '#' ||
        name[0] == '[')
        throw EIniFileException("Invalid ident '" + ident + "'");
    if (section.find_first_of("]\r\n") != std::string::npos)
        throw EIniFileException("Invalid section '" + section + "'");
    const std::string text = Protected(value);

    Lines lines = Load();
    bool done = false;
    size_t insertAt = std::string::npos;
    ForEachLine(lines.text, [&](size_t i, const std::string& sec, bool inSec, bool header) {
        if (done || !inSec || !SameName(sec, section))
            return;
        if (header) {
            if (insertAt == std::string::npos)
                insertAt = i + 1;
            return;
        }
        std::string key, old;
        if (KeyLine(lines.text[i], key, old)) {
            if (SameText(key, name)) {
                lines.text[i] = key + "=" + text;
                done = true;
            } else if (insertAt != std::string::npos && insertAt <= i + 1) {
                insertAt = i + 1;
            }
        }
    });
    if (!done) {
        if (insertAt != std::string::npos) {
            lines.text.insert(lines.text.begin() + static_cast<std::ptrdiff_t>(insertAt), name + "=" + text);
        } else {
            if (!lines.text.empty() && !Trim(lines.text.back()).empty())
                lines.text.push_back("");
            lines.text.push_back("[" + Trim(section) + "]");
            lines.text.push_back(name + "=" + text);
        }
    }
    Save(lines);
}

void TIniFile::ReadSection(const std::string& section, std::vector<std::string>& strings)
{
    strings.clear();
    Lines lines = Load();
    ForEachLine(lines.text, [&](size_t i, const std::string& sec, bool inSec, bool header) {
        std::string name, value;
        if (header || !inSec || !SameName(sec, section) || !KeyLine(lines.text[i], name, value))
            return;
        for (auto& s : strings)
            if (SameText(s, name))
                return;
        strings.push_back(name);
    });
}

void TIniFile::ReadSections(std::vector<std::string>& strings)
{
    strings.clear();
    Lines lines = Load();
    for (auto& l : lines.text) {
        std::string name;
        if (!SectionLine(l, name))
            continue;
        bool seen = false;
        for (auto& s : strings)
            seen = seen || SameText(s, name);
        if (!seen)
            strings.push_back(name);
    }
}

void TIniFile::ReadSectionValues(const std::string& section, std::vector<std::string>& strings)
{
    std::vector<std::string> names;
    ReadSection(section, names);
    strings.clear();
    for (auto& n : names)
        strings.push_back(n + "=" + ReadString(section, n, ""));
}

bool TIniFile::SectionExists(const std::string& section)
{
    Lines lines = Load();
    for (auto& l : lines.text) {
        std::string name;
        if (SectionLine(l, name) && SameName(name, section))
            return true;
    }
    return false;
}

bool TIniFile::ValueExists(const std::string& section, const std::string& ident)
{
    return TCustomIniFile::ValueExists(section, ident);
}

void TIniFile::EraseLines(const LineFilter& Erase)
{
    Lines lines = Load();
    std::vector<std::string> kept;
    bool erased = false;
    ForEachLine(lines.text, [&](size_t i, const std::string& sec, bool inSec, bool header) {
        if (Erase(lines.text[i], sec, inSec, header))
            erased = true;
        else
            kept.push_back(lines.text[i]);
    });
    if (!erased)
        return;
    lines.text = std::move(kept);
    Save(lines);
}

void TIniFile::EraseSection(const std::string& section)
{
    EraseLines([&](const std::string&, const std::string& sec, bool inSec, bool) {
        return inSec && SameName(sec, section);
    });
}

void TIniFile::DeleteKey(const std::string& section, const std::string& ident)
{
    EraseLines([&](const std::string& line, const std::string& sec, bool inSec, bool header) {
        std::string name, value;
        return !header && inSec && SameName(sec, section) && KeyLine(line, name, value) && SameName(name, ident);
    });
}
