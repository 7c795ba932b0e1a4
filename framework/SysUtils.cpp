#include "framework/SysUtils.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <unistd.h>
#include <vector>

// ---- Text --------------------------------------------------------------------------------

namespace {
unsigned char Byte(char c) { return static_cast<unsigned char>(c); }

char AnsiUpper(char ch)
{
    unsigned char c = Byte(ch);
    if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7))
        return static_cast<char>(c - 32);
    switch (c) {
    case 0x9A: return static_cast<char>(0x8A);
    case 0x9C: return static_cast<char>(0x8C);
    case 0x9E: return static_cast<char>(0x8E);
    case 0xFF: return static_cast<char>(0x9F);
    }
    return ch;
}

char AnsiLower(char ch)
{
    unsigned char c = Byte(ch);
    if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7))
        return static_cast<char>(c + 32);
    switch (c) {
    case 0x8A: return static_cast<char>(0x9A);
    case 0x8C: return static_cast<char>(0x9C);
    case 0x8E: return static_cast<char>(0x9E);
    case 0x9F: return static_cast<char>(0xFF);
    }
    return ch;
}

int Sign(int v) { return (v > 0) - (v < 0); }

template <class Fold> int CompareFolded(const std::string& a, const std::string& b, Fold fold)
{
    size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        int d = int(Byte(fold(a[i]))) - int(Byte(fold(b[i])));
        if (d != 0)
            return d;
    }
    return Sign(int(a.size() > b.size()) - int(a.size() < b.size()));
}

template <class Fold> std::string Folded(std::string s, Fold fold)
{
    std::transform(s.begin(), s.end(), s.begin(), fold);
    return s;
}
} // namespace

int Pos(const std::string& sub, const std::string& s) { return PosEx(sub, s, 1); }

int PosEx(const std::string& sub, const std::string& s, int offset)
{
    if (sub.empty() || offset < 1 || static_cast<size_t>(offset) > s.size())
        return 0;
    size_t at = s.find(sub, static_cast<size_t>(offset) - 1);
    return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

std::string Copy(const std::string& s, int index, int count)
{
    if (index < 1)
        index = 1;
    if (count <= 0 || static_cast<size_t>(index) > s.size())
        return {};
    return s.substr(static_cast<size_t>(index) - 1, static_cast<size_t>(count));
}

void Delete(std::string& s, int index, int count)
{
    if (index < 1 || count <= 0 || static_cast<size_t>(index) > s.size())
        return;
    s.erase(static_cast<size_t>(index) - 1, static_cast<size_t>(count));
}

void Insert(const std::string& sub, std::string& s, int index)
{
    size_t at = index < 1 ? 0 : std::min(static_cast<size_t>(index) - 1, s.size());
    s.insert(at, sub);
}

std::string StringOfChar(char c, int count) { return count > 0 ? std::string(static_cast<size_t>(count), c) : std::string(); }

int LastDelimiter(const std::string& delimiters, const std::string& s)
{
    size_t at = s.find_last_of(delimiters);
    return at == std::string::npos ? 0 : static_cast<int>(at) + 1;
}

std::string StringReplace(const std::string& s, const std::string& oldPattern,
                          const std::string& newPattern, TReplaceFlags flags)
{
    if (oldPattern.empty())
        return s;
    const bool ignoreCase = flags.Contains(rfIgnoreCase);
    const std::string hay = ignoreCase ? AnsiUpperCase(s) : s;
    const std::string needle = ignoreCase ? AnsiUpperCase(oldPattern) : oldPattern;
    std::string out;
    size_t from = 0;
    while (from <= s.size()) {
        size_t at = hay.find(needle, from);
        if (at == std::string::npos)
            break;
        out.append(s, from, at - from);
        out += newPattern;
        from = at + needle.size();
        if (!flags.Contains(rfReplaceAll))
            break;
    }
    out.append(s, std::min(from, s.size()), std::string::npos);
    return out;
}

std::string UpperCase(const std::string& s) { return Folded(s, AsciiUpper); }
std::string LowerCase(const std::string& s) { return Folded(s, AsciiLower); }
int CompareText(const std::string& a, const std::string& b) { return CompareFolded(a, b, AsciiUpper); }
bool SameText(const std::string& a, const std::string& b) { return a.size() == b.size() && CompareText(a, b) == 0; }
int CompareStr(const std::string& a, const std::string& b) { return CompareFolded(a, b, [](char c) { return c; }); }

std::string AnsiUpperCase(const std::string& s) { return Folded(s, AnsiUpper); }
std::string AnsiLowerCase(const std::string& s) { return Folded(s, AnsiLower); }
int AnsiCompareText(const std::string& a, const std::string& b) { return CompareFolded(a, b, AnsiLower); }
bool AnsiSameText(const std::string& a, const std::string& b) { return a.size() == b.size() && AnsiCompareText(a, b) == 0; }

std::string Trim(const std::string& s) { return TrimLeft(TrimRight(s)); }

std::string TrimLeft(const std::string& s)
{
    size_t i = 0;
    while (i < s.size() && Byte(s[i]) <= ' ')
        ++i;
    return s.substr(i);
}

std::string TrimRight(const std::string& s)
{
    size_t n = s.size();
    while (n > 0 && Byte(s[n - 1]) <= ' ')
        --n;
    return s.substr(0, n);
}

std::string QuotedStr(const std::string& s) { return "'" + StringReplace(s, "'", "''", {rfReplaceAll}) + "'"; }

std::string AdjustLineBreaks(const std::string& s, TTextLineBreakStyle style)
{
    const char* brk = style == tlbsCRLF ? "\r\n" : "\n";
    std::string out;
    out.reserve(s.size() + s.size() / 8);
    for (size_t i = 0; i < s.size(); ++i) {
        char c = s[i];
        if (c == '\r' || c == '\n') {
            char other = c == '\r' ? '\n' : '\r';
            if (i + 1 < s.size() && s[i + 1] == other)
                ++i;
            out += brk;
        } else {
            out += c;
        }
    }
    return out;
}

// ---- Numbers -----------------------------------------------------------------------------

namespace qm_detail {
std::string SignedToStr(int64_t v)
{
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string UnsignedToStr(uint64_t v)
{
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, v);
    return std::string(buf, r.ptr);
}

std::string BitsToHex(uint64_t bits, int digits)
{
    char buf[32];
    auto r = std::to_chars(buf, buf + sizeof buf, bits, 16);
    std::string h(buf, r.ptr);
    for (char& c : h)
        c = AsciiUpper(c);
    if (digits > static_cast<int>(h.size()))
        h.insert(0, std::min(digits, 64) - h.size(), '0');
    return h;
}
} // namespace qm_detail

namespace {
bool ParseInteger(const std::string& s, int64_t lo, int64_t hi, int64_t& value)
{
    size_t i = 0;
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t'))
        ++i;
    bool negative = false;
    if (i < s.size() && (s[i] == '+' || s[i] == '-'))
        negative = s[i++] == '-';
    if (i >= s.size())
        return false;
    uint64_t mag = 0;
    const uint64_t limit = negative ? uint64_t(-(lo + 1)) + 1 : uint64_t(hi);
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9')
            return false;
        unsigned d = unsigned(s[i] - '0');
        if (mag > (limit - d) / 10)
            return false;
        mag = mag * 10 + d;
    }
    value = negative ? static_cast<int64_t>(0 - mag) : static_cast<int64_t>(mag);
    return true;
}

bool ParseFloat(const std::string& s, double& value)
{
    std::string t = Trim(s);
    const char* b = t.data();
    const char* e = b + t.size();
    bool negative = false;
    if (b < e && (*b == '+' || *b == '-'))
        negative = *b++ == '-';
    // Digits, an optional fraction and exponent; no words such as "inf", no hexadecimal.
    if (b == e || !((*b >= '0' && *b <= '9') || *b == '.'))
        return false;
    double v = 0;
    auto r = std::from_chars(b, e, v, std::chars_format::general);
    if (r.ec == std::errc::result_out_of_range) {
        // Underflow (a negative exponent) reads as zero; overflow is not a value.
        if (r.ptr != e || Pos("E-", UpperCase(t)) == 0)
            return false;
        v = 0;
    } else if (r.ec != std::errc() || r.ptr != e) {
        return false;
    }
    value = negative ? -v : v;
    return true;
}

[[noreturn]] void InvalidInteger(const std::string& s)
{
    throw EConvertError(Format("'%s' is not a valid integer value", {s}));
}

// The integer s holds, within T's range.
template <class T> std::optional<T> IntegerOf(const std::string& s)
{
    int64_t v;
    if (!ParseInteger(s, std::numeric_limits<T>::min(), std::numeric_limits<T>::max(), v))
        return std::nullopt;
    return static_cast<T>(v);
}

template <class T> T IntegerOrThrow(const std::string& s)
{
    std::optional<T> v = IntegerOf<T>(s);
    if (!v)
        InvalidInteger(s);
    return *v;
}
} // namespace

int StrToInt(const std::string& s) { return IntegerOrThrow<int>(s); }
int StrToIntDef(const std::string& s, int def) { return IntegerOf<int>(s).value_or(def); }

bool TryStrToInt(const std::string& s, int& value)
{
    std::optional<int> v = IntegerOf<int>(s);
    if (v)
        value = *v;
    return v.has_value();
}

int64_t StrToInt64(const std::string& s) { return IntegerOrThrow<int64_t>(s); }
int64_t StrToInt64Def(const std::string& s, int64_t def) { return IntegerOf<int64_t>(s).value_or(def); }

bool TryStrToInt64(const std::string& s, int64_t& value)
{
    return ParseInteger(s, INT64_MIN, INT64_MAX, value);
}

double StrToFloat(const std::string& s)
{
    double v;
    if (!ParseFloat(s, v))
        throw EConvertError(Format("'%s' is not a valid floating point value", {s}));
    return v;
}

double StrToFloatDef(const std::string& s, double def)
{
    double v;
    return ParseFloat(s, v) ? v : def;
}

bool TryStrToFloat(const std::string& s, double& value) { return ParseFloat(s, value); }

std::string FloatToStr(double value) { return FloatToStrPrec(value, 15); }

std::string FloatToStrPrec(double value, int precision)
{
    if (std::isnan(value))
        return "NAN";
    if (std::isinf(value))
        return value < 0 ? "-INF" : "INF";
    if (value == 0)
        return "0";
    precision = std::clamp(precision, 1, 18);
    char buf[64];
    std::to_chars_result r = precision >= 17
        ? std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific)
        : std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific, precision - 1);
    std::string sci(buf, r.ptr);
    // sci is "[-]d[.ddd]e[+-]xx": take the digits and the decimal exponent.
    bool negative = sci[0] == '-';
    size_t ePos = sci.find('e');
    std::string digits;
    for (size_t i = negative ? 1 : 0; i < ePos; ++i)
        if (sci[i] != '.')
            digits += sci[i];
    int exp10 = std::atoi(sci.c_str() + ePos + 1);
    while (digits.size() > 1 && digits.back() == '0')
        digits.pop_back();
    // exponent of the form 0.ddd x 10^point
    int point = exp10 + 1;
    std::string out = negative ? "-" : "";
    if (point > precision || point < -3) {
        out += digits[0];
        if (digits.size() > 1)
            out += "." + digits.substr(1);
        out += "E" + std::to_string(exp10);
    } else if (point <= 0) {
        out += "0." + std::string(static_cast<size_t>(-point), '0') + digits;
    } else if (static_cast<size_t>(point) >= digits.size()) {
        out += digits + std::string(static_cast<size_t>(point) - digits.size(), '0');
    } else {
        out += digits.substr(0, static_cast<size_t>(point)) + "." + digits.substr(static_cast<size_t>(point));
    }
    return out;
}

// ---- Command line ------------------------------------------------------------------------

namespace {
std::vector<std::string>& Params()
{
    static std::vector<std::string> params;
    return params;
}

std::string SelfExe()
{
    std::vector<char> buf(4096);
    ssize_t n = ::readlink("/proc/self/exe", buf.data(), buf.size());
    if (n > 0 && static_cast<size_t>(n) < buf.size())
        return std::string(buf.data(), static_cast<size_t>(n));
    return {};
}
} // namespace

void SetCommandLine(int argc, char** argv)
{
    auto& p = Params();
    p.clear();
    for (int k = 0; k < argc; ++k)
        p.emplace_back(argv[k] ? argv[k] : "");
    std::string self = SelfExe();
    if (!self.empty())
        (p.empty() ? p.emplace_back() : p[0]) = self;
    else if (!p.empty())
        p[0] = ExpandFileName(p[0]);
}

std::string ParamStr(int index)
{
    const auto& p = Params();
    if (index == 0 && p.empty())
        return SelfExe();
    if (index < 0 || static_cast<size_t>(index) >= p.size())
        return {};
    return p[static_cast<size_t>(index)];
}

int ParamCount()
{
    const auto& p = Params();
    return p.empty() ? 0 : static_cast<int>(p.size()) - 1;
}

std::string ExecutablePath() { return IncludeTrailingPathDelimiter(ExtractFileDir(ParamStr(0))); }
