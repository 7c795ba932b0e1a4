#include "platform/Codepage.h"

#include <QByteArrayView>
#include <QList>
#include <QString>

namespace {
// 0x80..0x9F; the rest of the code page equals Latin-1.
constexpr char16_t kHigh[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};
} // namespace

char32_t Cp1252ToUnicode(unsigned char byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return kHigh[byte - 0x80];
    return byte;
}

unsigned char UnicodeToCp1252(char32_t cp, unsigned char fallback)
{
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF))
        return static_cast<unsigned char>(cp);
    for (int i = 0; i < 32; ++i)
        if (kHigh[i] == cp)
            return static_cast<unsigned char>(0x80 + i);
    return fallback;
}

QChar Cp1252ToQChar(unsigned char byte)
{
    return QChar(static_cast<char16_t>(Cp1252ToUnicode(byte)));
}

QString Cp1252ToQString(std::string_view s)
{
    QString out;
    out.reserve(static_cast<qsizetype>(s.size()));
    for (char c : s)
        out.append(Cp1252ToQChar(static_cast<unsigned char>(c)));
    return out;
}

std::string QStringToCp1252(const QString& s, char fallback)
{
    std::string out;
    out.reserve(static_cast<size_t>(s.size()));
    for (uint cp : s.toUcs4())
        out.push_back(static_cast<char>(UnicodeToCp1252(cp, static_cast<unsigned char>(fallback))));
    return out;
}

std::string Cp1252ToUtf8(std::string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (char c : s) {
        char32_t cp = Cp1252ToUnicode(static_cast<unsigned char>(c));
        if (cp < 0x80) {
            out.push_back(static_cast<char>(cp));
        } else if (cp < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
            out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
        }
    }
    return out;
}

namespace {

// The length of the valid UTF-8 sequence at s[i] and its code point; 0 for an invalid one.
size_t DecodeUtf8(std::string_view s, size_t i, char32_t& cp)
{
    auto b = static_cast<unsigned char>(s[i]);
    size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
    if (len == 0 || i + len > s.size())
        return 0;
    cp = len == 1 ? b : len == 2 ? (b & 0x1F) : len == 3 ? (b & 0x0F) : (b & 0x07);
    for (size_t k = 1; k < len; ++k) {
        auto c = static_cast<unsigned char>(s[i + k]);
        if ((c & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (c & 0x3F);
    }
    // Overlong forms and surrogates are as invalid as a broken sequence.
    static constexpr char32_t kMin[5] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < kMin[len] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return len;
}

} // namespace

std::string Utf8ToCp1252(std::string_view s, char fallback)
{
    std::string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        char32_t cp = 0;
        const size_t len = DecodeUtf8(s, i, cp);
        if (len == 0) {
            out.push_back(fallback);
            ++i;
            continue;
        }
        out.push_back(static_cast<char>(UnicodeToCp1252(cp, static_cast<unsigned char>(fallback))));
        i += len;
    }
    return out;
}

bool IsWideUtf8(std::string_view s)
{
    bool wide = false;
    for (size_t i = 0; i < s.size();) {
        char32_t cp = 0;
        const size_t len = DecodeUtf8(s, i, cp);
        if (len == 0)
            return false;
        wide = wide || len > 1;
        i += len;
    }
    return wide;
}

int CompareIgnoringCase(std::string_view a, std::string_view b)
{
    return QByteArrayView(a.data(), static_cast<qsizetype>(a.size()))
        .compare(QByteArrayView(b.data(), static_cast<qsizetype>(b.size())), Qt::CaseInsensitive);
}
