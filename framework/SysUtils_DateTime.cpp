// Dates and times: TDateTime values, their text and the locale's short date.
#include "framework/SysUtils.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <clocale>
#include <cmath>
#include <ctime>
#include <langinfo.h>

// ---- Date and time -----------------------------------------------------------------------

std::string ShortDateFormat = "dd/mm/yyyy";
std::string LongTimeFormat = "hh:nn:ss";
char DateSeparator = '/';
char TimeSeparator = ':';

namespace {
namespace chr = std::chrono;

// A TDateTime counts days from 1899-12-30; dates run from 0001-01-01 to 9999-12-31.
constexpr chr::sys_days kDayZero{chr::year{1899} / 12 / 30};
constexpr int64_t kFirstDay = (chr::sys_days{chr::year{1} / 1 / 1} - kDayZero).count();
constexpr int64_t kLastDay = (chr::sys_days{chr::year{9999} / 12 / 31} - kDayZero).count();
constexpr double kMsPerDay = 86400000.0;

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
    const int dow = static_cast<int>(chr::weekday{kDayZero + chr::days{days}}.c_encoding());
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
    // Checked before the calendar types see them: they keep only a byte of a month or day.
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > 31)
        return false;
    const chr::year_month_day date{chr::year{year}, chr::month{static_cast<unsigned>(month)},
                                   chr::day{static_cast<unsigned>(day)}};
    if (!date.ok())
        return false;
    result = static_cast<double>((chr::sys_days{date} - kDayZero).count());
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
    if (days < kFirstDay || days > kLastDay) {
        year = month = day = 0;
        return;
    }
    const chr::year_month_day date{kDayZero + chr::days{days}};
    year = static_cast<uint16_t>(static_cast<int>(date.year()));
    month = static_cast<uint16_t>(static_cast<unsigned>(date.month()));
    day = static_cast<uint16_t>(static_cast<unsigned>(date.day()));
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
