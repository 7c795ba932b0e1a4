#pragma once
// Conversion between the program's Windows-1252 strings and UTF-8 at the toolkit boundary.
#include <cstdint>
#include <string>

// Every byte converts: the five codes that Windows-1252 leaves undefined (0x81, 0x8D, 0x8F,
// 0x90, 0x9D) become the C1 control characters of the same number, so text survives a
// round trip unchanged.
std::string Win1252ToUtf8(const std::string& s);
// Characters without a Windows-1252 code, and bytes that are not valid UTF-8, become '?'.
std::string Utf8ToWin1252(const std::string& s);

// The Unicode code point of a Windows-1252 byte, and back (-1 when there is none).
uint32_t Win1252ToCodePoint(unsigned char c);
int CodePointToWin1252(uint32_t cp);
