// What a logger's parameter block means and how one raw reading becomes the seven-character
// value text that the data file and the alarm checks use. The decoding itself is a set of pure
// functions over the answer bytes; only readParameters asks the line for them.
#pragma once

#include "config/LoggerParameters.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vantrell {

// Unit texts by the index the logger reports (UTF-8 here; one byte each in the data file).
inline constexpr std::array<std::string_view, 39> unitList = {
    "°C", "°F",   "µE",  "µS",  "A",  "atm", "bar", "cm",   "deg", "E",   "gr",  "imp", "K",
    "Kg", "Km/h", "KN",  "KPa", "m",  "m/s", "mA",  "mbar", "mm",  "mm2", "MPa", "mS",  "mV",
    "N",  "NPa",  "ntu", "ohm", "Pa", "PH",  "ppm", "rad",  "RH",  "S",   "Ton", "V",   "W/m2"};

// The unit at `index`; empty outside the list.
std::string unitText(long long index);

// The four logger families behind the model byte.
int loggerModelFromByte(unsigned char modelByte);

// Records of 8 bytes for models 1 and 4, of 16 bytes for models 3 and 5.
std::size_t recordLengthOf(int loggerModel);

// The logger's sign-magnitude word, high byte first: bit 15 set means positive.
int decodeRawWord(unsigned char high, unsigned char low);

// Width of every value text, and of the rain text of model 5.
inline constexpr std::size_t valueWidth = 7;
inline constexpr std::size_t rainWidth = 15;
// Readings outside this window are not measurements.
inline constexpr int rawWindow = 20000;
// Largest decimals count a value text carries; a channel with an invalid code is written with
// as many decimals as fit, starting from this.
inline constexpr int maxDecimals = 4;

// `value` as a text of exactly `width` characters with `decimals` decimals: "+" or "-", the
// integer part zero-padded to fill, "." as separator (a trailing "." when `decimals` is 0).
// A value that rounds to zero is "+". A value too wide for `width` keeps as many decimals as
// fit, then drops the point, then becomes "+1.23E9" style; the text never exceeds `width`.
std::string formatValue(double value, int decimals, std::size_t width);

// The value text of raw reading `raw` through the channel's scaling, or MISSING_READING outside
// the raw window.
std::string formatReading(long long raw, const ChannelParameters &channel, int decimals);

// The rain amount as a 15-character text.
std::string formatRain(double amount, int decimals);

// The number a value text of `value` stands for, with every digit its column may have had to
// drop: `value` rounded at `decimals` exactly as the text rounds it (12345.75 at one decimal is
// the text "+12346." and the number 12345.8). For a text that fits its column this is the
// text's own numeric value. 0 for a value that is not finite, as for "-------".
double fullPrecisionValue(double value, int decimals);
// The reading of raw `raw` at full precision; 0 outside the raw window, as its text
// MISSING_READING counts.
double readingNumber(long long raw, const ChannelParameters &channel, int decimals);

// The numeric value of a value text, as val() gives it, without its cost for the texts a logger
// writes ("+0023.5"): a long history is read several times per session.
double readingValue(std::string_view text);
// The value the alarms compare on `channel`: the reading at full precision where the decoder
// left it, else the numeric value of its text.
double comparedValue(const Reading &reading, int channel);

// Text that reads as a number ("+0023.5", "+00023.", "+1.2E9"); "-------" and blanks do not.
bool isNumericText(std::string_view text);

// Fills gain and offset of every channel from the model, the range codes and the scale ends.
void computeScaling(LoggerParameters &parameters);

// A parameter block decoded: the new parameter set and, for the two-channel loggers, the rain
// factor they carry.
struct DecodedParameters {
    LoggerParameters parameters;
    std::optional<std::string> rainFactor;
};

// Length of a complete parameter block.
inline constexpr std::size_t parameterBlockLength = 151;

// Decodes a parameter block answer; nothing when it is shorter than a full block or the block
// is blank.
std::optional<DecodedParameters> decodeParameterBlock(std::string_view reply);

class Serial;

// Asks the logger for its parameter block and decodes it; nothing when the block could not be
// read.
[[nodiscard]] std::optional<DecodedParameters> readParameters(Serial &serial);

} // namespace vantrell
