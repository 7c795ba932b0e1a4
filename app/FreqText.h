#pragma once
// Conversions between the grid's frequency text (MHz.kHz.hh, such as 14.195.00) and the
// radio's 11-digit frequency in Hz (00014195000), and the band check of a model.
#include <string>

// The 11-digit Hz text of a grid text; kHz and hh parts are cut and padded to three
// digits (the last is the units of Hz). A text with anything but digits in a part, or
// whose value overflows or needs more than 11 digits, is not a frequency: eleven "0".
std::string FreqTextToHz(const std::string& text);

// The grid text of a Hz text: as many MHz digits as the frequency needs, at least two;
// the units of Hz are not shown. A text that is not a number gives an empty text.
std::string HzToFreqText(const std::string& hz);

// The normalised grid text when the frequency lies in one of the bands ("low:high" pairs
// in Hz joined by ",", bounds included) and is not 0; an empty text otherwise.
std::string CheckFreqInBands(const std::string& text, const std::string& freqRanges);
// The same with the bands of the current model; no model selected gives an empty text.
std::string CheckFreqInBands(const std::string& text);
