#include "placement/TextUtils.h"

#include "framework/SysUtils.h"
#include "platform/HexDigit.h"

namespace {
bool IsDelimiter(char c, const TCharSet& delims) { return delims.find(c) != std::string::npos; }
} // namespace

std::string ReplaceAll(const std::string& Text, const std::string& Old, const std::string& New)
{
    return StringReplace(Text, Old, New, {rfReplaceAll});
}

int CountWords(const std::string& Text, const TCharSet& Delimiters)
{
    int count = 0;
    bool inWord = false;
    for (char c : Text) {
        if (IsDelimiter(c, Delimiters))
            inWord = false;
        else if (!inWord) {
            inWord = true;
            ++count;
        }
    }
    return count;
}

int WordStartPos(int N, const std::string& Text, const TCharSet& Delimiters)
{
    if (N < 1)
        return 0;
    int count = 0;
    bool inWord = false;
    for (size_t i = 0; i < Text.size(); ++i) {
        if (IsDelimiter(Text[i], Delimiters))
            inWord = false;
        else if (!inWord) {
            inWord = true;
            if (++count == N)
                return static_cast<int>(i) + 1;
        }
    }
    return 0;
}

std::string ExtractWordAt(int N, const std::string& Text, const TCharSet& Delimiters)
{
    int start = WordStartPos(N, Text, Delimiters);
    if (start == 0)
        return std::string();
    size_t i = static_cast<size_t>(start - 1);
    size_t end = i;
    while (end < Text.size() && !IsDelimiter(Text[end], Delimiters))
        ++end;
    return Text.substr(i, end - i);
}

std::string XorHexEncode(const std::string& Key, const std::string& Text)
{
    static const char digits[] = "0123456789abcdef";
    std::string out;
    out.reserve(Text.size() * 2);
    for (size_t i = 0; i < Text.size(); ++i) {
        unsigned char b = static_cast<unsigned char>(Text[i]);
        if (!Key.empty())
            b ^= static_cast<unsigned char>(Key[i % Key.size()]);
        out += digits[b >> 4];
        out += digits[b & 0x0F];
    }
    return out;
}

std::string XorHexDecode(const std::string& Key, const std::string& Hex)
{
    std::string out;
    out.reserve(Hex.size() / 2);
    for (size_t i = 0; i + 1 < Hex.size(); i += 2) {
        int hi = HexDigitValue(Hex[i]);
        int lo = HexDigitValue(Hex[i + 1]);
        unsigned char b = (hi < 0 || lo < 0) ? 32 : static_cast<unsigned char>(hi * 16 + lo);
        size_t pair = i / 2;
        if (!Key.empty())
            b ^= static_cast<unsigned char>(Key[pair % Key.size()]);
        out += static_cast<char>(b);
    }
    return out;
}
