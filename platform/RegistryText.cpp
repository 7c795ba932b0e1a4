#include "platform/RegistryInternal.h"

#include <charconv>
#include <cstdio>
#include <cstring>

#include "platform/Codepage.h"
#include "platform/HexDigit.h"

using namespace reg_detail;

namespace {

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

} // namespace

// A key's path is written once, on the key itself; its parents follow from it, so a key
// with only subkeys needs no line of its own.
void reg_detail::WriteNode(std::string& out, const Node& n, const std::string& path)
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


namespace {

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
            } else if (e == 'x' && i + 1 < s.size() && HexDigitValue(s[i]) >= 0 && HexDigitValue(s[i + 1]) >= 0) {
                out += static_cast<char>(HexDigitValue(s[i]) * 16 + HexDigitValue(s[i + 1]));
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
            if (i + 1 >= s.size() || HexDigitValue(s[i]) < 0 || HexDigitValue(s[i + 1]) < 0)
                return false;
            out += static_cast<char>(HexDigitValue(s[i]) * 16 + HexDigitValue(s[i + 1]));
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
            if (i + 2 >= text.size() || HexDigitValue(text[i + 1]) < 0 || HexDigitValue(text[i + 2]) < 0)
                return false;
            cur += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
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
            int h = HexDigitValue(c);
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

} // namespace

// Parses the file into a fresh tree, keeping every line that reads well. The 1-based
// numbers of the lines that do not go to `bad`, and so do the values under a key line that
// does not: they have no key to go to.
void reg_detail::ParseHive(const std::string& text, Node& root, std::vector<size_t>& bad)
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
