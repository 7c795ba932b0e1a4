#pragma once
// Exceptions and string, number and file helpers of the component library.
#include "framework/Types.h"
#include "platform/WinTypes.h" // MulDiv

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <stdexcept>
#include <string>
#include <string_view>
#include <type_traits>

class Exception : public std::exception {
public:
    Exception() = default;
    explicit Exception(std::string message) : Message(std::move(message)) {}
    virtual ~Exception() = default;
    const char* what() const noexcept override { return Message.c_str(); }
    virtual std::string ClassName() const { return "Exception"; }
    std::string Message;
};

#define QM_EXCEPTION(Cls, Base)                                        \
    class Cls : public Base {                                          \
    public:                                                            \
        using Base::Base;                                              \
        std::string ClassName() const override { return #Cls; }       \
    };

QM_EXCEPTION(EConvertError, Exception)
QM_EXCEPTION(EListError, Exception)
QM_EXCEPTION(EStringListError, Exception)
QM_EXCEPTION(EInvalidOperation, Exception)
QM_EXCEPTION(EInvalidCast, Exception)
QM_EXCEPTION(EComponentError, Exception)
QM_EXCEPTION(EPropertyError, Exception)
QM_EXCEPTION(EReadError, Exception)
QM_EXCEPTION(EWriteError, Exception)
QM_EXCEPTION(EFilerError, Exception)
QM_EXCEPTION(EOutOfMemory, Exception)
QM_EXCEPTION(EInOutError, Exception)
QM_EXCEPTION(EOSError, Exception)
QM_EXCEPTION(ERegistryException, Exception)
QM_EXCEPTION(EIniFileException, Exception)
QM_EXCEPTION(EThread, Exception)
QM_EXCEPTION(EAbort, Exception)

// ---- Text --------------------------------------------------------------------------------
// Positions in a string count from 1 (the first character), and 0 means "not found". The
// helpers clamp instead of throwing: an index before the start counts as 1, one past the end
// finds nothing.

inline constexpr char sLineBreak[] = "\r\n";

int Pos(const std::string& sub, const std::string& s);
// 0 when offset < 1 or beyond the end.
int PosEx(const std::string& sub, const std::string& s, int offset = 1);
std::string Copy(const std::string& s, int index, int count);
// Nothing happens for index < 1, index > length or count <= 0.
void Delete(std::string& s, int index, int count);
// index < 1 inserts at the front, index > length appends.
void Insert(const std::string& sub, std::string& s, int index);
std::string StringOfChar(char c, int count);
int LastDelimiter(const std::string& delimiters, const std::string& s);

enum TReplaceFlag { rfReplaceAll, rfIgnoreCase };
using TReplaceFlags = Set<TReplaceFlag>;
std::string StringReplace(const std::string& s, const std::string& oldPattern,
                          const std::string& newPattern, TReplaceFlags flags = {});

// ASCII only: bytes 128..255 are left alone and compare by their code. Not std::toupper: the
// toolkit sets the C library's locale from the environment, and in a Turkish one 'i' has no
// single-byte upper case.
inline char AsciiUpper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }
inline char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
std::string UpperCase(const std::string& s);
std::string LowerCase(const std::string& s);
int CompareText(const std::string& a, const std::string& b);
bool SameText(const std::string& a, const std::string& b);
int CompareStr(const std::string& a, const std::string& b);
// Windows-1252 letters too (accented Latin letters, S/Z caron, OE, Y diaeresis).
std::string AnsiUpperCase(const std::string& s);
std::string AnsiLowerCase(const std::string& s);
int AnsiCompareText(const std::string& a, const std::string& b);
bool AnsiSameText(const std::string& a, const std::string& b);

// Strip characters <= #32.
std::string Trim(const std::string& s);
std::string TrimLeft(const std::string& s);
std::string TrimRight(const std::string& s);
std::string QuotedStr(const std::string& s);

enum TTextLineBreakStyle { tlbsLF, tlbsCRLF };
// Every CR, LF, CR LF or LF CR becomes one line break of the given style.
std::string AdjustLineBreaks(const std::string& s, TTextLineBreakStyle style = tlbsCRLF);

// ---- Numbers -----------------------------------------------------------------------------

namespace qm_detail {
std::string SignedToStr(int64_t v);
std::string UnsignedToStr(uint64_t v);
std::string BitsToHex(uint64_t bits, int digits);
} // namespace qm_detail

template <std::integral T> std::string IntToStr(T v)
{
    if constexpr (std::is_signed_v<T>)
        return qm_detail::SignedToStr(static_cast<int64_t>(v));
    else
        return qm_detail::UnsignedToStr(static_cast<uint64_t>(v));
}
// Negative values show their two's complement at the width of their type (-1 as int gives
// "FFFFFFFF"). digits is a minimum.
template <std::integral T> std::string IntToHex(T v, int digits = 1)
{
    return qm_detail::BitsToHex(static_cast<uint64_t>(static_cast<std::make_unsigned_t<T>>(v)), digits);
}

// Integers are read by one rule: optional leading blanks, an optional sign, decimal digits
// only, nothing after them, and the value must fit the type.
int StrToInt(const std::string& s); // EConvertError when not valid
int StrToIntDef(const std::string& s, int def);
bool TryStrToInt(const std::string& s, int& value);
int64_t StrToInt64(const std::string& s);
int64_t StrToInt64Def(const std::string& s, int64_t def);
bool TryStrToInt64(const std::string& s, int64_t& value);

// Locale-free, '.' as decimal separator, blanks around the number allowed.
double StrToFloat(const std::string& s); // EConvertError when not valid
double StrToFloatDef(const std::string& s, double def);
bool TryStrToFloat(const std::string& s, double& value);

// General format: the shorter of plain and scientific notation at the given number of
// significant digits (1.5 -> "1.5", 1e20 -> "1E20", 1e-5 -> "1E-5").
std::string FloatToStr(double value);
// Precision 7, 15 or 18 as for single, double and extended values; from 17 on the digits
// that identify the double exactly are shown (0.1 stays "0.1").
std::string FloatToStrPrec(double value, int precision);

// ---- Format ------------------------------------------------------------------------------

// One argument of Format. Plain char is a character; signed/unsigned char are numbers.
class FormatArg {
public:
    enum Kind { kInt, kUInt, kFloat, kString, kChar };

    template <std::integral T>
        requires(!std::same_as<T, char>)
    FormatArg(T v)
        : kind_(std::is_signed_v<T> ? kInt : kUInt), bits_(sizeof(T) * 8)
    {
        if constexpr (std::is_signed_v<T>)
            i_ = v;
        else
            u_ = v;
    }
    FormatArg(char c) : kind_(kChar), c_(c) {}
    FormatArg(double v) : kind_(kFloat), d_(v) {}
    FormatArg(float v) : kind_(kFloat), d_(v) {}
    FormatArg(long double v) : kind_(kFloat), d_(static_cast<double>(v)) {}
    FormatArg(const char* s) : kind_(kString), s_(s ? s : "") {}
    FormatArg(const std::string& s) : kind_(kString), s_(s) {}
    FormatArg(std::string_view s) : kind_(kString), s_(s) {}

    Kind kind_;
    int bits_ = 0;
    int64_t i_ = 0;
    uint64_t u_ = 0;
    double d_ = 0;
    char c_ = 0;
    std::string_view s_;
};

// printf-like, locale-free: %d %i %u %x %X %c %s %f %e %E %g %G and %%, with the flags '-'
// and '0', a width and a precision (either may be '*'), and an argument index ("%1:s").
// A missing argument or one that does not suit its directive raises EConvertError.
std::string Format(const std::string& fmt, std::initializer_list<FormatArg> args);

template <class E> [[noreturn]] void RaiseFmt(const std::string& fmt, std::initializer_list<FormatArg> args)
{
    throw E(Format(fmt, args));
}

// ---- Files -------------------------------------------------------------------------------
// Both "/" and "\\" separate path parts.

std::string ExtractFileName(const std::string& path);
std::string ExtractFilePath(const std::string& path); // keeps the trailing separator
std::string ExtractFileDir(const std::string& path);  // without it (except for the root)
std::string ExtractFileExt(const std::string& path);  // ".txt", or "" when none
std::string ChangeFileExt(const std::string& path, const std::string& ext);
// An empty path stays empty: adding "/" would turn "here" into the file system root.
std::string IncludeTrailingPathDelimiter(const std::string& path);
std::string ExcludeTrailingPathDelimiter(const std::string& path);

// The file system calls take names as Linux does: only "/" separates.
bool FileExists(const std::string& name); // false for directories
bool DirectoryExists(const std::string& name);
bool ForceDirectories(const std::string& dir);
bool DeleteFile(const std::string& name);
// Fails when newName exists already, as a rename on Windows does.
bool RenameFile(const std::string& oldName, const std::string& newName);
std::string GetCurrentDir();
// Absolute, with "." and ".." parts and repeated separators resolved.
std::string ExpandFileName(const std::string& name);

constexpr int faReadOnly = 0x01;
constexpr int faHidden = 0x02;
constexpr int faDirectory = 0x10;
constexpr int faArchive = 0x20;
// -1 when the file does not exist.
int FileGetAttr(const std::string& name);

// ---- Command line ------------------------------------------------------------------------

void SetCommandLine(int argc, char** argv);
// ParamStr(0) is the executable's absolute path; beyond ParamCount() gives "".
std::string ParamStr(int index);
int ParamCount();
// The executable's folder with a trailing "/".
std::string ExecutablePath();

// ---- Date and time -----------------------------------------------------------------------

// Days since 1899-12-30; the fraction is the time of day.
using TDateTime = double;

extern std::string ShortDateFormat; // "dd/mm/yyyy"
extern std::string LongTimeFormat;  // "hh:nn:ss"
extern char DateSeparator;          // '/'
extern char TimeSeparator;          // ':'

// Takes ShortDateFormat and DateSeparator from the user's locale (LC_TIME); a format it cannot
// express leaves them as they are.
void GetFormatSettings();

TDateTime Now(); // local time
TDateTime EncodeDate(int year, int month, int day); // EConvertError when not a date
TDateTime EncodeTime(int hour, int min, int sec, int msec);
bool TryEncodeDate(int year, int month, int day, TDateTime& result);
void DecodeDate(TDateTime dt, uint16_t& year, uint16_t& month, uint16_t& day);
void DecodeTime(TDateTime dt, uint16_t& hour, uint16_t& min, uint16_t& sec, uint16_t& msec);
// d dd ddd dddd ddddd m mm mmm mmmm yy yyyy h hh n nn s ss z zzz am/pm c t tt, "/" and ":"
// as the separators, quoted text kept; "m" right after an hour means minutes.
std::string FormatDateTime(const std::string& fmt, TDateTime dt);
std::string DateToStr(TDateTime dt);
std::string TimeToStr(TDateTime dt);
std::string DateTimeToStr(TDateTime dt); // the time is left out at exactly midnight
