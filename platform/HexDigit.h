#pragma once
// Hexadecimal digits, read the one way every text format here reads them.
#include <charconv>

// The value of one hexadecimal digit of either case; -1 for any other character.
inline int HexDigitValue(char c)
{
    const char digit[2] = {c, '\0'}; // g++ 12 wrongly warns of a read past a lone char
    int value = -1;
    std::from_chars(digit, digit + 1, value, 16);
    return value;
}
