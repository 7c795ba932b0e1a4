#pragma once
// Conversions between the grid's frequency text (MHz.kHz.hh, such as 14.195.00) and the
// radio's 11-digit frequency in Hz (00014195000), and the band check of a model.
#include <string>
#include <vector>

// The 11-digit Hz text of a grid text; kHz and hh parts are cut and padded to three
// digits (the last is the units of Hz). A text with anything but digits in a part, or
// whose value overflows or needs more than 11 digits, is not a frequency: eleven "0".
std::string FreqTextToHz(const std::string& text);

// The grid text of a Hz text: as many MHz digits as the frequency needs, at least two;
// the units of Hz are not shown. A text that is not a number gives an empty text.
std::string HzToFreqText(const std::string& hz);

struct TFreqBand;

// The bands of a band list ("low:high" pairs in Hz joined by ","); a pair without ":" is
// left out, a bound that is not a number counts as 0.
std::vector<TFreqBand> ParseBands(const std::string& freqRanges);

// The normalised grid text when the frequency lies in one of the bands and is not 0; an
// empty text otherwise.
std::string CheckFreqInBands(const std::string& text, const std::vector<TFreqBand>& bands);
std::string CheckFreqInBands(const std::string& text, const std::string& freqRanges);
// The same with the bands of the current model; no model selected gives an empty text.
std::string CheckFreqInBands(const std::string& text);
