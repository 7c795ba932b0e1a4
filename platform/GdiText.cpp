#include "platform/GdiInternal.h"

#include <QFontInfo>

#include <cstring>
#include <string>
#include <string_view>

using namespace gdi_detail;

namespace {

FontData& CurrentFont(HDC dc)
{
    return DataOf(dc->St.Font);
}

int Extent(const FontData& fd, const char* s, int n)
{
    int w = 0;
    for (int i = 0; i < n; ++i)
        w += fd.Advance(static_cast<unsigned char>(s[i]));
    return w;
}

// Draws text whose cell's top-left corner is (x, y), glyph by glyph at whole-pixel advances.
void DrawGlyphs(Paint& p, const FontData& fd, int x, int y, const char* s, int n, const int* dx, COLORREF color)
{
    p->setFont(fd.Font);
    p->setPen(ColorRefToQColor(color));
    int baseline = y + fd.Ascent;
    int cx = x;
    for (int i = 0; i < n; ++i) {
        auto ch = static_cast<unsigned char>(s[i]);
        int adv = dx ? dx[i] : fd.Advance(ch);
        if (ch != ' ' || fd.Font.underline() || fd.Font.strikeOut())
            p->drawText(QPointF(cx, baseline), QString(Cp1252ToQChar(ch)));
        cx += adv;
    }
}

} // namespace

BOOL GetTextMetricsA(HDC dc, TEXTMETRICA* tm)
{
    if (!Valid(dc) || !tm)
        return FALSE;
    const FontData& fd = CurrentFont(dc);
    const LOGFONTA& lf = dc->St.Font->Log;
    *tm = TEXTMETRICA{};
    tm->tmAscent = fd.Ascent;
    tm->tmDescent = fd.Descent;
    tm->tmHeight = fd.Ascent + fd.Descent;
    tm->tmInternalLeading = fd.InternalLeading;
    tm->tmExternalLeading = fd.ExternalLeading;
    tm->tmAveCharWidth = fd.AveWidth();
    tm->tmMaxCharWidth = fd.MaxWidth();
    tm->tmWeight = fd.Font.weight();
    tm->tmItalic = lf.lfItalic ? 1 : 0;
    tm->tmUnderlined = lf.lfUnderline ? 1 : 0;
    tm->tmStruckOut = lf.lfStrikeOut ? 1 : 0;
    BYTE family = fd.Fixed() ? FF_MODERN : (fd.Font.styleHint() == QFont::Serif ? FF_ROMAN : FF_SWISS);
    tm->tmPitchAndFamily = static_cast<BYTE>(family | TMPF_TRUETYPE | TMPF_VECTOR | (fd.Fixed() ? 0 : TMPF_FIXED_PITCH));
    tm->tmCharSet = lf.lfCharSet == DEFAULT_CHARSET ? ANSI_CHARSET : lf.lfCharSet;
    return TRUE;
}

BOOL GetTextExtentPoint32A(HDC dc, LPCSTR text, int count, SIZE* size)
{
    return GetTextExtentExPointA(dc, text, count, 0, nullptr, nullptr, size);
}

BOOL GetTextExtentExPointA(HDC dc, LPCSTR text, int count, int maxExtent, int* fit, int* dx, SIZE* size)
{
    if (!Valid(dc) || count < 0 || (count > 0 && !text))
        return FALSE;
    const FontData& fd = CurrentFont(dc);
    int w = 0;
    int fitting = 0;
    for (int i = 0; i < count; ++i) {
        w += fd.Advance(static_cast<unsigned char>(text[i]));
        bool fits = w <= maxExtent;
        if (fit && fits && fitting == i)
            fitting = i + 1;
        if (dx && (!fit || fits))
            dx[i] = w;
    }
    if (fit)
        *fit = fitting;
    if (size)
        *size = SIZE{w, fd.Ascent + fd.Descent};
    return TRUE;
}

BOOL ExtTextOutA(HDC dc, int x, int y, UINT options, const RECT* rect, LPCSTR text, UINT count, const int* dx)
{
    if (!Valid(dc) || (count > 0 && !text))
        return FALSE;
    const FontData& fd = CurrentFont(dc);
    int n = static_cast<int>(count);
    int width = 0;
    for (int i = 0; i < n; ++i)
        width += dx ? dx[i] : fd.Advance(static_cast<unsigned char>(text[i]));
    int height = fd.Ascent + fd.Descent;
    UINT align = dc->St.Align;
    if ((align & TA_CENTER) == TA_CENTER)
        x -= width / 2;
    else if (align & TA_RIGHT)
        x -= width;
    if ((align & TA_BASELINE) == TA_BASELINE)
        y -= fd.Ascent;
    else if (align & TA_BOTTOM)
        y -= height;

    QRect cell(x, y, width, height);
    QRect optRect = rect ? ToQRect(*rect) : QRect();
    QRect area = cell;
    if (rect && (options & ETO_OPAQUE))
        area |= optRect;
    if (rect && (options & ETO_CLIPPED))
        area &= optRect;
    Paint p(dc, area.adjusted(-height, 0, height, 0));
    if (rect && (options & ETO_CLIPPED))
        p->setClipRect(optRect, Qt::IntersectClip);
    QColor bk = ColorRefToQColor(dc->St.Bk);
    if (rect && (options & ETO_OPAQUE))
        p->fillRect(optRect, bk);
    if (dc->St.BkMode == OPAQUE && width > 0)
        p->fillRect(cell, bk);
    DrawGlyphs(p, fd, x, y, text, n, dx, dc->St.Text);
    return TRUE;
}

BOOL TextOutA(HDC dc, int x, int y, LPCSTR text, int count)
{
    if (count < 0)
        return FALSE;
    return ExtTextOutA(dc, x, y, 0, nullptr, text, static_cast<UINT>(count), nullptr);
}

namespace {
struct TextLine {
    std::string Text;
    int Prefix = -1; // index of the character to underline
};

// Splits text into display lines: prefixes removed, tabs expanded, word-wrapped to width.
std::vector<TextLine> LayoutText(const FontData& fd, std::string_view text, UINT format, int width)
{
    std::vector<std::string> paragraphs;
    if (format & DT_SINGLELINE) {
        std::string one;
        for (char c : text)
            one.push_back(c == '\r' || c == '\n' ? ' ' : c);
        paragraphs.push_back(one);
    } else {
        std::string cur;
        for (size_t i = 0; i < text.size(); ++i) {
            char c = text[i];
            if (c == '\r' || c == '\n') {
                paragraphs.push_back(cur);
                cur.clear();
                if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n')
                    ++i;
            } else {
                cur.push_back(c);
            }
        }
        paragraphs.push_back(cur);
    }
    std::vector<TextLine> lines;
    // The tab stops come from the width summary, which measures the whole character set:
    // only text with a tab pays for it.
    auto tabWidth = [&fd] { return std::max(1, fd.AveWidth() * 8); };
    for (const std::string& para : paragraphs) {
        TextLine line;
        for (size_t i = 0; i < para.size(); ++i) {
            char c = para[i];
            if (c == '&' && !(format & DT_NOPREFIX)) {
                if (i + 1 < para.size() && para[i + 1] == '&') {
                    line.Text.push_back('&');
                    ++i;
                } else if (i + 1 < para.size()) {
                    line.Prefix = static_cast<int>(line.Text.size());
                }
                continue;
            }
            if (c == '\t' && (format & DT_EXPANDTABS)) {
                int w = Extent(fd, line.Text.data(), static_cast<int>(line.Text.size()));
                int target = (w / tabWidth() + 1) * tabWidth();
                while (w < target && fd.Advance(' ') > 0) {
                    line.Text.push_back(' ');
                    w += fd.Advance(' ');
                }
                continue;
            }
            line.Text.push_back(c);
        }
        if (!(format & DT_WORDBREAK) || (format & DT_SINGLELINE)) {
            lines.push_back(line);
            continue;
        }
        // Greedy word wrap: break at the last blank that fits; a word longer than the line
        // stays whole, as in Win32.
        std::string& s = line.Text;
        size_t start = 0;
        while (true) {
            size_t end = start;
            size_t lastBreak = std::string::npos;
            int w = 0;
            while (end < s.size()) {
                int adv = fd.Advance(static_cast<unsigned char>(s[end]));
                if (s[end] == ' ')
                    lastBreak = end;
                if (w + adv > width && end > start && s[end] != ' ')
                    break;
                w += adv;
                ++end;
            }
            TextLine part;
            size_t next;
            if (end >= s.size()) {
                part.Text = s.substr(start);
                next = s.size();
            } else if (lastBreak != std::string::npos && lastBreak >= start) {
                part.Text = s.substr(start, lastBreak - start);
                next = lastBreak + 1;
            } else {
                while (end < s.size() && s[end] != ' ')
                    ++end;
                part.Text = s.substr(start, end - start);
                next = end < s.size() ? end + 1 : end;
            }
            while (!part.Text.empty() && part.Text.back() == ' ')
                part.Text.pop_back();
            if (line.Prefix >= static_cast<int>(start) && line.Prefix < static_cast<int>(start + part.Text.size()))
                part.Prefix = line.Prefix - static_cast<int>(start);
            lines.push_back(part);
            if (next >= s.size())
                break;
            start = next;
            while (start < s.size() && s[start] == ' ')
                ++start;
            if (start >= s.size())
                break;
        }
    }
    return lines;
}
} // namespace

int DrawTextA(HDC dc, LPCSTR text, int count, RECT* rect, UINT format)
{
    if (!Valid(dc) || !rect || (!text && count != 0))
        return 0;
    std::string_view sv = count < 0 ? std::string_view(text ? text : "") : std::string_view(text, static_cast<size_t>(count));
    const FontData& fd = CurrentFont(dc);
    int lineH = fd.Ascent + fd.Descent;
    int width = rect->right - rect->left;
    std::vector<TextLine> lines = LayoutText(fd, sv, format, width);
    int total = lineH * static_cast<int>(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (const TextLine& l : lines)
            widest = std::max(widest, Extent(fd, l.Text.data(), static_cast<int>(l.Text.size())));
        if (!(format & DT_WORDBREAK) || widest > width || (format & DT_SINGLELINE))
            rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - lineH) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - lineH;
    }
    QRect box = ToQRect(*rect);
    QRect area = (format & DT_NOCLIP) ? QRect(rect->left - 10000, y, 20000, total) : box;
    Paint p(dc, area);
    if (!(format & DT_NOCLIP))
        p->setClipRect(box, Qt::IntersectClip);
    QColor bk = ColorRefToQColor(dc->St.Bk);
    for (const TextLine& l : lines) {
        int n = static_cast<int>(l.Text.size());
        int w = Extent(fd, l.Text.data(), n);
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (width - w) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - w;
        if (dc->St.BkMode == OPAQUE && w > 0)
            p->fillRect(QRect(x, y, w, lineH), bk);
        DrawGlyphs(p, fd, x, y, l.Text.data(), n, nullptr, dc->St.Text);
        if (l.Prefix >= 0 && l.Prefix < n) {
            int ux = x + Extent(fd, l.Text.data(), l.Prefix);
            int uw = fd.Advance(static_cast<unsigned char>(l.Text[l.Prefix]));
            p->fillRect(QRect(ux, y + fd.Ascent + 1, uw, 1), ColorRefToQColor(dc->St.Text));
        }
        y += lineH;
    }
    return total;
}

