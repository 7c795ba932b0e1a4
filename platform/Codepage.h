#pragma once
// Windows-1252 text at the boundary to Qt and to UTF-8 (file names, the desktop).
#include <cstdint>
#include <string>
#include <string_view>

class QString;
class QChar;

// The Unicode code point of one Windows-1252 byte. The five bytes the code page leaves
// undefined map to the C1 control of the same value, so every byte survives a round trip.
char32_t Cp1252ToUnicode(unsigned char byte);
// The Windows-1252 byte of a code point, or `fallback` when the code page has none.
unsigned char UnicodeToCp1252(char32_t cp, unsigned char fallback = '?');

QString Cp1252ToQString(std::string_view s);
std::string QStringToCp1252(const QString& s, char fallback = '?');
QChar Cp1252ToQChar(unsigned char byte);

std::string Cp1252ToUtf8(std::string_view s);
// Invalid UTF-8 sequences become `fallback`, one per bad byte.
std::string Utf8ToCp1252(std::string_view s, char fallback = '?');
// Whether s is valid UTF-8 with at least one character beyond ASCII.
bool IsWideUtf8(std::string_view s);

// Compares ignoring the case of ASCII letters only, whatever the locale: <0, 0 or >0.
int CompareIgnoringCase(std::string_view a, std::string_view b);

// The mark some editors put before the first line of a UTF-8 file.
inline constexpr std::string_view Utf8ByteOrderMark = "\xEF\xBB\xBF";
inline bool StartsWithByteOrderMark(std::string_view s) { return s.starts_with(Utf8ByteOrderMark); }
