// Frequency texts of the memory grid.
#include "app/FreqText.h"

#include "app/Globals.h"
#include "framework/SysUtils.h"

#include <charconv>
#include <cstdint>

namespace {
constexpr int HzDigits = 11;
constexpr std::int64_t MaxHz = 99'999'999'999; // the most an 11-digit field holds

// Plain decimal digits only: a sign or a blank is not part of a frequency.
bool ParseDigits(const std::string& s, std::int64_t& value)
{
    if (s.empty())
        return false;
    const char* end = s.data() + s.size();
    auto r = std::from_chars(s.data(), end, value);
    return r.ec == std::errc{} && r.ptr == end && s[0] != '-';
}

std::int64_t ValueOrZero(const std::string& s)
{
    std::int64_t v = 0;
    return ParseDigits(s, v) ? v : 0;
}

// A part cut and padded to three digits; false when it holds anything but digits.
bool ThreeDigits(const std::string& part, std::string& digits)
{
    digits = Copy(part, 1, 3);
    digits.append(3 - digits.size(), '0');
    std::int64_t v = 0;
    return ParseDigits(digits, v);
}

std::string PadLeft(std::string s, std::size_t width, char c)
{
    if (s.size() < width)
        s.insert(0, width - s.size(), c);
    return s;
}
} // namespace

std::string FreqTextToHz(const std::string& text)
{
    const std::string zero(HzDigits, '0');
    std::string mhz = text, rest, khz, hz;
    if (int p = Pos(".", text); p > 0) {
        mhz = Copy(text, 1, p - 1);
        rest = Copy(text, p + 1, int(text.size()));
        khz = rest;
        if (int q = Pos(".", rest); q > 0) {
            khz = Copy(rest, 1, q - 1);
            hz = Copy(rest, q + 1, int(rest.size()));
        }
    }
    // Garbage in any part makes the whole text not a frequency, so that it is never
    // taken for a different one that happens to lie in a band.
    std::int64_t mhzValue = 0;
    if (!mhz.empty() && !ParseDigits(mhz, mhzValue))
        return zero;
    std::string khzDigits, hzDigits;
    if (!ThreeDigits(khz, khzDigits) || !ThreeDigits(hz, hzDigits))
        return zero;
    std::int64_t value = 0;
    if (!ParseDigits(IntToStr(mhzValue) + khzDigits + hzDigits, value) || value > MaxHz)
        return zero;
    return PadLeft(IntToStr(value), HzDigits, '0');
}

std::string HzToFreqText(const std::string& hz)
{
    std::int64_t v = 0;
    if (!ParseDigits(hz, v))
        return {};
    std::string mhz = PadLeft(IntToStr(v / 1'000'000), 2, '0');
    std::string khz = PadLeft(IntToStr(v / 1000 % 1000), 3, '0');
    std::string hh = PadLeft(IntToStr(v / 10 % 100), 2, '0');
    return mhz + "." + khz + "." + hh;
}

std::vector<TFreqBand> ParseBands(const std::string& freqRanges)
{
    std::vector<TFreqBand> bands;
    std::string rest = freqRanges + ",";
    while (!rest.empty()) {
        int comma = Pos(",", rest);
        std::string pair = Copy(rest, 1, comma - 1);
        rest = Copy(rest, comma + 1, int(rest.size()));
        int colon = Pos(":", pair);
        if (colon == 0)
            continue;
        bands.push_back({ValueOrZero(Copy(pair, 1, colon - 1)),
                         ValueOrZero(Copy(pair, colon + 1, int(pair.size())))});
    }
    return bands;
}

std::string CheckFreqInBands(const std::string& text, const std::vector<TFreqBand>& bands)
{
    const std::string hz = FreqTextToHz(text);
    const std::int64_t f = ValueOrZero(hz);
    for (const TFreqBand& band : bands)
        if (band.Low <= f && f <= band.High && f != 0)
            return HzToFreqText(hz);
    return {};
}

std::string CheckFreqInBands(const std::string& text, const std::string& freqRanges)
{
    return CheckFreqInBands(text, ParseBands(freqRanges));
}

std::string CheckFreqInBands(const std::string& text)
{
    if (!RadioTypeTable.ValidIndex(CurrentRadio))
        return {};
    return CheckFreqInBands(text, RadioTypeTable[CurrentRadio].Bands());
}
