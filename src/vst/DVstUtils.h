#pragma once
// Small conversions shared by the effect, its editor bridge and its window.

#include <cstddef>
#include <cstdint>

// Four characters to an identifier, the first in the most significant byte:
// makeFourCharCode('V','s','t','P') == 0x56737450.
constexpr int32_t makeFourCharCode(unsigned char c1, unsigned char c2, unsigned char c3,
                                   unsigned char c4) {
    return static_cast<int32_t>((static_cast<uint32_t>(c1) << 24) |
                                (static_cast<uint32_t>(c2) << 16) |
                                (static_cast<uint32_t>(c3) << 8) | static_cast<uint32_t>(c4));
}

// The longest text floatToText writes for values from -999.99 to 9999.99,
// with its NUL; the size assumed when the caller gives none.
constexpr std::size_t kFloatTextSize = 8;

// value in fixed-point notation with two decimals ("%f" style: half away from
// zero on the exact value, no minus sign on a value that rounds to zero,
// exponent notation once the integer part has more than 18 digits, INF and
// NAN), with the user's decimal separator. Writes at most size bytes
// including the NUL; a longer text is cut. Independent of the C locale.
void floatToText(char* text, float value, std::size_t size = kFloatTextSize);

// The same with an explicit separator.
void floatToTextWith(char* text, float value, char separator, std::size_t size);

// The user's decimal separator, read once from the environment's numeric
// locale when the module is loaded; a full stop when none can be read.
char decimalSeparator();

// The 32-bit integer nearest to x - 0.5 (subtraction in extended precision,
// ties to even); NaN and values out of range give INT32_MIN.
int32_t roundMinusHalf(float x);

// x rounded to the nearest integer, ties to even, as the FPU's default mode
// does; NaN and values out of the 32-bit range give INT32_MIN.
int32_t roundToInt32(long double x);

// Copies src into a host buffer that holds maxChars characters and a NUL,
// cutting the text if needed. Nothing is written when dst is null.
void copyHostText(char* dst, const char* src, std::size_t maxChars);
