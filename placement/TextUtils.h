#pragma once
// Word splitting, replacing and the value scrambling of stored values.
#include <string>

// A set of characters, given as the characters it holds.
using TCharSet = std::string;

std::string ReplaceAll(const std::string& Text, const std::string& Old, const std::string& New);
int CountWords(const std::string& Text, const TCharSet& Delimiters);
// Position (from 1) of the first character of word N (from 1); 0 when there is none.
int WordStartPos(int N, const std::string& Text, const TCharSet& Delimiters);
std::string ExtractWordAt(int N, const std::string& Text, const TCharSet& Delimiters);

std::string XorHexEncode(const std::string& Key, const std::string& Text);
std::string XorHexDecode(const std::string& Key, const std::string& Hex);
