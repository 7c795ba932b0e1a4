#include "framework/SysUtils.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <clocale>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <fcntl.h>
#include <langinfo.h>
#include <limits>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

// ---- Text --------------------------------------------------------------------------------

namespace {
unsigned char Byte(char c) { return static_cast<unsigned char>(c); }
char AsciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c; }
char AsciiLower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

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

std::string UpperCase(const std::string& s)
{
    std::string r = s;
    std::transform(r.begin(), r.end(), r.begin(), AsciiUpper);
    return r;
}

std::string LowerCase(const std::string& s)
{
    std::string r = s;
    std::transform(r.begin(), r.end(), r.begin(), AsciiLower);
    return r;
}

int CompareText(const std::string& a, const std::string& b) { return CompareFolded(a, b, AsciiUpper); }
bool SameText(const std::string& a, const std::string& b) { return a.size() == b.size() && CompareText(a, b) == 0; }
int CompareStr(const std::string& a, const std::string& b) { return CompareFolded(a, b, [](char c) { return c; }); }

std::string AnsiUpperCase(const std::string& s)
{
    std::string r = s;
    std::transform(r.begin(), r.end(), r.begin(), AnsiUpper);
    return r;
}

std::string AnsiLowerCase(const std::string& s)
{
    std::string r = s;
    std::transform(r.begin(), r.end(), r.begin(), AnsiLower);
    return r;
}

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
} // namespace

int StrToInt(const std::string& s)
{
    int v;
    if (!TryStrToInt(s, v))
        InvalidInteger(s);
    return v;
}

int StrToIntDef(const std::string& s, int def)
{
    int v;
    return TryStrToInt(s, v) ? v : def;
}

bool TryStrToInt(const std::string& s, int& value)
{
    int64_t v;
    if (!ParseInteger(s, INT32_MIN, INT32_MAX, v))
        return false;
    value = static_cast<int>(v);
    return true;
}

int64_t StrToInt64(const std::string& s)
{
    int64_t v;
    if (!TryStrToInt64(s, v))
        InvalidInteger(s);
    return v;
}

int64_t StrToInt64Def(const std::string& s, int64_t def)
{
    int64_t v;
    return TryStrToInt64(s, v) ? v : def;
}

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

// ---- Format ------------------------------------------------------------------------------

namespace {
[[noreturn]] void BadFormat(const std::string& directive)
{
    throw EConvertError("Format '" + directive + "' invalid or incompatible with argument");
}

std::string Pad(std::string body, int width, bool left, bool zero)
{
    if (width <= static_cast<int>(body.size()))
        return body;
    size_t fill = static_cast<size_t>(width) - body.size();
    if (left)
        return body + std::string(fill, ' ');
    if (zero) {
        size_t at = (!body.empty() && (body[0] == '-' || body[0] == '+')) ? 1 : 0;
        if (body.size() > at && std::isdigit(Byte(body[at]))) {
            body.insert(at, fill, '0');
            return body;
        }
    }
    return std::string(fill, ' ') + body;
}

std::string FormatFloatDirective(double v, char type, int prec)
{
    if (prec < 0)
        prec = 6;
    prec = std::min(prec, 300);
    char lower = AsciiLower(type);
    std::chars_format f = lower == 'f' ? std::chars_format::fixed
        : lower == 'e'                ? std::chars_format::scientific
                                      : std::chars_format::general;
    if (lower == 'g' && prec == 0)
        prec = 1;
    std::vector<char> buf(static_cast<size_t>(prec) + 400);
    auto r = std::to_chars(buf.data(), buf.data() + buf.size(), v, f, prec);
    std::string s(buf.data(), r.ptr);
    if (type == 'E' || type == 'G')
        s = UpperCase(s);
    return s;
}
} // namespace

std::string Format(const std::string& fmt, std::initializer_list<FormatArg> args)
{
    const FormatArg* argv = args.begin();
    const size_t argc = args.size();
    size_t next = 0;
    std::string out;
    size_t i = 0;
    while (i < fmt.size()) {
        char c = fmt[i];
        if (c != '%') {
            out += c;
            ++i;
            continue;
        }
        size_t start = i++;
        if (i < fmt.size() && fmt[i] == '%') {
            out += '%';
            ++i;
            continue;
        }
        auto directive = [&] { return fmt.substr(start, std::min(i + 1, fmt.size()) - start); };
        auto takeArg = [&]() -> const FormatArg& {
            if (next >= argc)
                throw EConvertError("No argument for format '" + directive() + "'");
            return argv[next++];
        };
        auto readNumber = [&](int& n) {
            if (i < fmt.size() && fmt[i] == '*') {
                ++i;
                const FormatArg& a = takeArg();
                if (a.kind_ == FormatArg::kInt && a.i_ >= INT_MIN && a.i_ <= INT_MAX)
                    n = static_cast<int>(a.i_);
                else if (a.kind_ == FormatArg::kUInt && a.u_ <= INT_MAX)
                    n = static_cast<int>(a.u_);
                else
                    BadFormat(directive());
                return true;
            }
            bool any = false;
            n = 0;
            while (i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9') {
                n = n * 10 + (fmt[i++] - '0');
                if (n > 100000)
                    BadFormat(directive());
                any = true;
            }
            return any;
        };

        // Optional argument index "n:".
        size_t save = i;
        int index = 0;
        if (i < fmt.size() && std::isdigit(Byte(fmt[i])) && readNumber(index) && i < fmt.size() && fmt[i] == ':') {
            ++i;
            next = static_cast<size_t>(index);
        } else {
            i = save;
        }
        bool left = false, zero = false;
        while (i < fmt.size() && (fmt[i] == '-' || fmt[i] == '0')) {
            (fmt[i] == '-' ? left : zero) = true;
            ++i;
        }
        int width = 0;
        readNumber(width);
        if (width < 0) {
            left = true;
            width = -width;
        }
        int prec = -1;
        if (i < fmt.size() && fmt[i] == '.') {
            ++i;
            if (!readNumber(prec))
                prec = 0;
        }
        if (i >= fmt.size())
            BadFormat(directive());
        char type = fmt[i];
        const FormatArg& a = takeArg();
        std::string body;
        switch (type) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X': {
            if (a.kind_ != FormatArg::kInt && a.kind_ != FormatArg::kUInt)
                BadFormat(directive());
            bool negative = false;
            uint64_t mag;
            if (type == 'd' || type == 'i') {
                negative = a.kind_ == FormatArg::kInt && a.i_ < 0;
                mag = a.kind_ == FormatArg::kUInt ? a.u_ : negative ? 0 - uint64_t(a.i_) : uint64_t(a.i_);
            } else if (a.kind_ == FormatArg::kUInt) {
                mag = a.u_;
            } else {
                // Negative values show their two's complement at their own width (at least 32 bits).
                mag = a.bits_ >= 64 ? uint64_t(a.i_) : uint64_t(a.i_) & ((uint64_t(1) << a.bits_) - 1);
                if (a.bits_ < 32)
                    mag = uint64_t(uint32_t(int32_t(a.i_)));
            }
            char buf[32];
            auto r = std::to_chars(buf, buf + sizeof buf, mag, (type == 'x' || type == 'X') ? 16 : 10);
            std::string digits(buf, r.ptr);
            if (type == 'X')
                digits = UpperCase(digits);
            if (prec >= 0) {
                if (prec > static_cast<int>(digits.size()))
                    digits.insert(0, static_cast<size_t>(prec) - digits.size(), '0');
                zero = false;
            }
            body = (negative ? "-" : "") + digits;
            break;
        }
        case 'c':
            if (a.kind_ == FormatArg::kChar)
                body = std::string(1, a.c_);
            else if (a.kind_ == FormatArg::kInt || a.kind_ == FormatArg::kUInt)
                body = std::string(1, static_cast<char>(a.kind_ == FormatArg::kInt ? a.i_ : int64_t(a.u_)));
            else
                BadFormat(directive());
            zero = false;
            break;
        case 's':
            if (a.kind_ == FormatArg::kString)
                body = std::string(a.s_);
            else if (a.kind_ == FormatArg::kChar)
                body = std::string(1, a.c_);
            else
                BadFormat(directive());
            if (prec >= 0 && static_cast<size_t>(prec) < body.size())
                body.resize(static_cast<size_t>(prec));
            zero = false;
            break;
        case 'f':
        case 'e':
        case 'E':
        case 'g':
        case 'G': {
            double v;
            if (a.kind_ == FormatArg::kFloat)
                v = a.d_;
            else if (a.kind_ == FormatArg::kInt)
                v = static_cast<double>(a.i_);
            else if (a.kind_ == FormatArg::kUInt)
                v = static_cast<double>(a.u_);
            else
                BadFormat(directive());
            body = FormatFloatDirective(v, type, prec);
            break;
        }
        default:
            BadFormat(directive());
        }
        ++i;
        out += Pad(std::move(body), width, left, zero);
    }
    return out;
}

// ---- Files -------------------------------------------------------------------------------

namespace {
bool IsSep(char c) { return c == '/' || c == '\\'; }

size_t LastSep(const std::string& path)
{
    size_t at = path.find_last_of("/\\");
    return at;
}

// Index of the '.' of the extension, or npos.
size_t ExtDot(const std::string& path)
{
    size_t dot = path.find_last_of(".\\/");
    if (dot == std::string::npos || path[dot] != '.')
        return std::string::npos;
    return dot;
}
} // namespace

std::string ExtractFileName(const std::string& path)
{
    size_t at = LastSep(path);
    return at == std::string::npos ? path : path.substr(at + 1);
}

std::string ExtractFilePath(const std::string& path)
{
    size_t at = LastSep(path);
    return at == std::string::npos ? std::string() : path.substr(0, at + 1);
}

std::string ExtractFileDir(const std::string& path)
{
    size_t at = LastSep(path);
    if (at == std::string::npos)
        return {};
    // The root keeps its separator: the folder of "/x" is "/".
    if (at == 0)
        return path.substr(0, 1);
    return path.substr(0, at);
}

std::string ExtractFileExt(const std::string& path)
{
    size_t dot = ExtDot(path);
    return dot == std::string::npos ? std::string() : path.substr(dot);
}

std::string ChangeFileExt(const std::string& path, const std::string& ext)
{
    size_t dot = ExtDot(path);
    return (dot == std::string::npos ? path : path.substr(0, dot)) + ext;
}

std::string IncludeTrailingPathDelimiter(const std::string& path)
{
    if (path.empty() || IsSep(path.back()))
        return path;
    return path + "/";
}

std::string ExcludeTrailingPathDelimiter(const std::string& path)
{
    if (path.size() > 1 && IsSep(path.back()))
        return path.substr(0, path.size() - 1);
    return path;
}

bool FileExists(const std::string& name)
{
    struct stat st;
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& name)
{
    struct stat st;
    return !name.empty() && ::stat(name.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool ForceDirectories(const std::string& dir)
{
    std::string d = dir;
    while (d.size() > 1 && d.back() == '/')
        d.pop_back();
    if (d.empty())
        return false;
    if (DirectoryExists(d))
        return true;
    size_t sep = d.find_last_of('/');
    std::string parent = sep == std::string::npos ? std::string() : d.substr(0, sep == 0 ? 1 : sep);
    if (!parent.empty() && parent != d && !ForceDirectories(parent))
        return false;
    return ::mkdir(d.c_str(), 0777) == 0 || (errno == EEXIST && DirectoryExists(d));
}

bool DeleteFile(const std::string& name)
{
    return !DirectoryExists(name) && ::unlink(name.c_str()) == 0;
}

bool RenameFile(const std::string& oldName, const std::string& newName)
{
    if (oldName.empty() || newName.empty())
        return false;
#ifdef RENAME_NOREPLACE
    if (::renameat2(AT_FDCWD, oldName.c_str(), AT_FDCWD, newName.c_str(), RENAME_NOREPLACE) == 0)
        return true;
    if (errno != EINVAL && errno != ENOSYS)
        return false;
#endif
    struct stat st;
    if (::lstat(newName.c_str(), &st) == 0)
        return false;
    return ::rename(oldName.c_str(), newName.c_str()) == 0;
}

std::string GetCurrentDir()
{
    std::vector<char> buf(4096);
    while (::getcwd(buf.data(), buf.size()) == nullptr) {
        if (errno != ERANGE)
            return {};
        buf.resize(buf.size() * 2);
    }
    return buf.data();
}

std::string ExpandFileName(const std::string& name)
{
    if (name.empty())
        return {};
    std::string full = name[0] == '/' ? name : IncludeTrailingPathDelimiter(GetCurrentDir()) + name;
    std::vector<std::string> parts;
    size_t i = 0;
    while (i <= full.size()) {
        size_t j = i;
        while (j < full.size() && full[j] != '/')
            ++j;
        std::string part = full.substr(i, j - i);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        i = j + 1;
    }
    std::string out;
    for (const auto& p : parts)
        out += "/" + p;
    if (out.empty() || (full.back() == '/' && !parts.empty()))
        out += "/";
    return out;
}

int FileGetAttr(const std::string& name)
{
    struct stat st;
    if (name.empty() || ::stat(name.c_str(), &st) != 0)
        return -1;
    int attr = 0;
    if (S_ISDIR(st.st_mode))
        attr |= faDirectory;
    else
        attr |= faArchive;
    if (::access(name.c_str(), W_OK) != 0)
        attr |= faReadOnly;
    if (ExtractFileName(ExcludeTrailingPathDelimiter(name)).starts_with("."))
        attr |= faHidden;
    return attr;
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

// ---- Date and time -----------------------------------------------------------------------

std::string ShortDateFormat = "dd/mm/yyyy";
std::string LongTimeFormat = "hh:nn:ss";
char DateSeparator = '/';
char TimeSeparator = ':';

namespace {
constexpr int64_t kEpochOffset = 693593; // days from 0001-01-01 to 1899-12-30
constexpr double kMsPerDay = 86400000.0;

bool IsLeap(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }
int DaysInMonth(int y, int m)
{
    static const int days[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && IsLeap(y) ? 29 : days[m - 1];
}

// Days since 0001-01-01 (day 0).
int64_t DayNumber(int y, int m, int d)
{
    int64_t yy = y - 1;
    int64_t n = yy * 365 + yy / 4 - yy / 100 + yy / 400;
    for (int k = 1; k < m; ++k)
        n += DaysInMonth(y, k);
    return n + d - 1;
}

void CivilFromDayNumber(int64_t n, int& y, int& m, int& d)
{
    // 400-year cycles of 146097 days, then centuries, 4-year groups and years.
    int64_t cycles = n / 146097;
    n %= 146097;
    int64_t centuries = std::min<int64_t>(n / 36524, 3);
    n -= centuries * 36524;
    int64_t quads = n / 1461;
    n %= 1461;
    int64_t years = std::min<int64_t>(n / 365, 3);
    n -= years * 365;
    y = static_cast<int>(cycles * 400 + centuries * 100 + quads * 4 + years + 1);
    m = 1;
    while (n >= DaysInMonth(y, m)) {
        n -= DaysInMonth(y, m);
        ++m;
    }
    d = static_cast<int>(n) + 1;
}

// Whole days and milliseconds of the day; negative dates keep a positive time of day.
void Split(TDateTime dt, int64_t& days, int64_t& ms)
{
    double whole = std::trunc(dt);
    ms = std::llround(std::fabs(dt - whole) * kMsPerDay);
    days = static_cast<int64_t>(whole);
    if (ms >= 86400000) {
        ms -= 86400000;
        days += 1; // the next calendar day, for negative dates too
    }
}

const char* const kShortMonth[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
const char* const kLongMonth[12] = {"January", "February", "March", "April", "May", "June", "July",
                                    "August", "September", "October", "November", "December"};
const char* const kShortDay[7] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
const char* const kLongDay[7] = {"Sunday", "Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday"};

std::string Two(int v) { return (v < 10 ? "0" : "") + std::to_string(v); }

void FormatInto(std::string& out, const std::string& fmt, TDateTime dt, int depth)
{
    uint16_t y, mo, d, h, mi, s, ms;
    DecodeDate(dt, y, mo, d);
    DecodeTime(dt, h, mi, s, ms);
    int64_t days, msDay;
    Split(dt, days, msDay);
    int dow = static_cast<int>(((days + kEpochOffset) % 7 + 7 + 1) % 7); // 0001-01-01 was a Monday
    bool afterHour = false;
    if (LowerCase(fmt).find("am/pm") != std::string::npos)
        h = static_cast<uint16_t>(h % 12 == 0 ? 12 : h % 12);
    const bool pm = msDay >= 12 * 3600000;
    size_t i = 0;
    auto run = [&](char c) {
        size_t n = 0;
        while (i + n < fmt.size() && AsciiLower(fmt[i + n]) == c)
            ++n;
        return n;
    };
    while (i < fmt.size()) {
        char c = fmt[i];
        char lc = AsciiLower(c);
        if (c == '\'' || c == '"') {
            size_t end = fmt.find(c, i + 1);
            if (end == std::string::npos)
                end = fmt.size();
            out.append(fmt, i + 1, end - i - 1);
            i = std::min(end + 1, fmt.size());
            continue;
        }
        if (lc == 'a' && (fmt.compare(i, 5, "am/pm") == 0 || fmt.compare(i, 5, "AM/PM") == 0)) {
            out += !pm ? fmt.substr(i, 2) : fmt.substr(i + 3, 2);
            i += 5;
            continue;
        }
        size_t n = (lc == 'd' || lc == 'm' || lc == 'y' || lc == 'h' || lc == 'n' || lc == 's' || lc == 'z' || lc == 't') ? run(lc) : 0;
        switch (lc) {
        case 'd':
            if (n == 1) out += std::to_string(d);
            else if (n == 2) out += Two(d);
            else if (n == 3) out += kShortDay[dow];
            else if (n == 4) out += kLongDay[dow];
            else if (depth < 2) FormatInto(out, ShortDateFormat, dt, depth + 1);
            afterHour = false;
            break;
        case 'm':
            if (afterHour && n <= 2) {
                out += n == 1 ? std::to_string(mi) : Two(mi);
            } else if (n == 1) out += std::to_string(mo);
            else if (n == 2) out += Two(mo);
            else if (n == 3) out += kShortMonth[mo - 1];
            else out += kLongMonth[mo - 1];
            afterHour = false;
            break;
        case 'y':
            out += n <= 2 ? Two(y % 100) : std::to_string(y);
            afterHour = false;
            break;
        case 'h':
            out += n == 1 ? std::to_string(h) : Two(h);
            afterHour = true;
            break;
        case 'n':
            out += n == 1 ? std::to_string(mi) : Two(mi);
            break;
        case 's':
            out += n == 1 ? std::to_string(s) : Two(s);
            break;
        case 'z':
            out += n >= 3 ? (ms < 10 ? "00" : ms < 100 ? "0" : "") + std::to_string(ms) : std::to_string(ms);
            break;
        case 't':
            if (depth < 2) FormatInto(out, n == 1 ? std::string("hh:nn") : LongTimeFormat, dt, depth + 1);
            break;
        case 'c':
            n = 1;
            if (depth < 2) {
                FormatInto(out, ShortDateFormat, dt, depth + 1);
                if (msDay != 0) {
                    out += ' ';
                    FormatInto(out, LongTimeFormat, dt, depth + 1);
                }
            }
            break;
        case '/':
            n = 1;
            out += DateSeparator;
            break;
        case ':':
            n = 1;
            out += TimeSeparator;
            break;
        default:
            n = 1;
            out += c;
        }
        i += n;
    }
}
} // namespace

void GetFormatSettings()
{
    locale_t loc = ::newlocale(LC_TIME_MASK, "", locale_t(0));
    if (!loc)
        return;
    const std::string fmt = ::nl_langinfo_l(D_FMT, loc);
    ::freelocale(loc);
    std::string out;
    char sep = 0;
    for (size_t i = 0; i < fmt.size(); ++i) {
        const char c = fmt[i];
        if (static_cast<unsigned char>(c) >= 0x80)
            return;
        if (c != '%') {
            if (std::isalpha(static_cast<unsigned char>(c))) {
                out += std::string("'") + c + "'";
            } else if (c == '/' || c == '.' || c == '-') {
                if (!sep)
                    sep = c;
                out += c == sep ? std::string("/") : std::string("'") + c + "'";
            } else {
                out += c;
            }
            continue;
        }
        if (++i < fmt.size() && (fmt[i] == 'E' || fmt[i] == 'O'))
            ++i;
        if (i >= fmt.size())
            return;
        switch (fmt[i]) {
        case 'd': out += "dd"; break;
        case 'e': out += "d"; break;
        case 'm': out += "mm"; break;
        case 'Y': out += "yyyy"; break;
        case 'y': out += "yy"; break;
        case 'b':
        case 'h': out += "mmm"; break;
        case 'B': out += "mmmm"; break;
        case 'a': out += "ddd"; break;
        case 'A': out += "dddd"; break;
        case 'D': out += "mm/dd/yy"; sep = sep ? sep : '/'; break;
        case 'F': out += "yyyy'-'mm'-'dd"; break;
        default: return;
        }
    }
    if (out.empty())
        return;
    ShortDateFormat = out;
    if (sep)
        DateSeparator = sep;
}

TDateTime Now()
{
    timespec ts{};
    ::clock_gettime(CLOCK_REALTIME, &ts);
    std::tm tm{};
    ::localtime_r(&ts.tv_sec, &tm);
    return EncodeDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday)
        + EncodeTime(tm.tm_hour, tm.tm_min, std::min(tm.tm_sec, 59), static_cast<int>(ts.tv_nsec / 1000000));
}

bool TryEncodeDate(int year, int month, int day, TDateTime& result)
{
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month))
        return false;
    result = static_cast<double>(DayNumber(year, month, day) - kEpochOffset);
    return true;
}

TDateTime EncodeDate(int year, int month, int day)
{
    TDateTime r;
    if (!TryEncodeDate(year, month, day, r))
        throw EConvertError("Invalid argument to date encode");
    return r;
}

TDateTime EncodeTime(int hour, int min, int sec, int msec)
{
    if (hour < 0 || hour > 23 || min < 0 || min > 59 || sec < 0 || sec > 59 || msec < 0 || msec > 999)
        throw EConvertError("Invalid argument to time encode");
    return (((hour * 60.0 + min) * 60.0 + sec) * 1000.0 + msec) / kMsPerDay;
}

void DecodeDate(TDateTime dt, uint16_t& year, uint16_t& month, uint16_t& day)
{
    int64_t days, ms;
    Split(dt, days, ms);
    int64_t n = days + kEpochOffset;
    if (n < 0 || n > DayNumber(9999, 12, 31)) {
        year = month = day = 0;
        return;
    }
    int y, m, d;
    CivilFromDayNumber(n, y, m, d);
    year = static_cast<uint16_t>(y);
    month = static_cast<uint16_t>(m);
    day = static_cast<uint16_t>(d);
}

void DecodeTime(TDateTime dt, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec)
{
    int64_t days, ms;
    Split(dt, days, ms);
    hour = static_cast<uint16_t>(ms / 3600000);
    min = static_cast<uint16_t>(ms / 60000 % 60);
    sec = static_cast<uint16_t>(ms / 1000 % 60);
    msec = static_cast<uint16_t>(ms % 1000);
}

std::string FormatDateTime(const std::string& fmt, TDateTime dt)
{
    std::string out;
    FormatInto(out, fmt.empty() ? std::string("c") : fmt, dt, 0);
    return out;
}

std::string DateToStr(TDateTime dt) { return FormatDateTime("ddddd", dt); }
std::string TimeToStr(TDateTime dt) { return FormatDateTime("tt", dt); }
std::string DateTimeToStr(TDateTime dt) { return FormatDateTime("c", dt); }
