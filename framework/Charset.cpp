#include "framework/Charset.h"

#include "platform/Codepage.h"

// The code page table lives in the platform layer; these keep the framework's names.

uint32_t Win1252ToCodePoint(unsigned char c)
{
    return Cp1252ToUnicode(c);
}

int CodePointToWin1252(uint32_t cp)
{
    // Only U+0000 maps to byte 0, so 0 as the fallback marks "no code".
    unsigned char byte = UnicodeToCp1252(cp, 0);
    return byte == 0 && cp != 0 ? -1 : byte;
}

std::string Win1252ToUtf8(const std::string& s)
{
    return Cp1252ToUtf8(s);
}

std::string Utf8ToWin1252(const std::string& s)
{
    return Utf8ToCp1252(s, '?');
}
