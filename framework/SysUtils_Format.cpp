// Format: printf-like directives with argument indexes, never reading the process locale.
#include "framework/SysUtils.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <climits>
#include <vector>

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
        if (body.size() > at && std::isdigit(static_cast<unsigned char>(body[at]))) {
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
        if (i < fmt.size() && std::isdigit(static_cast<unsigned char>(fmt[i])) && readNumber(index) && i < fmt.size() && fmt[i] == ':') {
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
