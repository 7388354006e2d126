#include "vst/DVstUtils.h"

#include <cmath>
#include <cstring>

#include "platform/DecimalSeparator.h"

namespace {

// Appends to a bounded buffer; the text is always NUL-terminated.
class TextSink {
public:
    TextSink(char* text, std::size_t size) : text_(text), size_(size) {
        if (size_ > 0) text_[0] = '\0';
    }
    void put(char c) {
        if (length_ + 1 < size_) {
            text_[length_++] = c;
            text_[length_] = '\0';
        }
    }
    void put(const char* s) {
        while (*s) put(*s++);
    }

private:
    char* text_;
    std::size_t size_;
    std::size_t length_ = 0;
};

// The decimal digits of a non-negative integer below 2^64.
void putUnsigned(TextSink& sink, uint64_t value) {
    char digits[24];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    while (n > 0) sink.put(digits[--n]);
}

// Exponent notation for magnitudes of 10^18 and above (always integers in a
// float): up to 18 significant digits of the exact value, rounded half away
// from zero, trailing zeros dropped, then "E" and the decimal exponent.
void putExponent(TextSink& sink, float magnitude) {
    // magnitude = mantissa * 2^exponent exactly, with an integer mantissa.
    int exponent = 0;
    const float fraction = std::frexp(magnitude, &exponent);
    uint64_t mantissa = static_cast<uint64_t>(std::ldexp(fraction, 24));
    exponent -= 24;
    // Exact decimal value as little-endian base-10^9 limbs (floats stay below 10^39).
    uint32_t limbs[6] = {static_cast<uint32_t>(mantissa % 1000000000u),
                         static_cast<uint32_t>(mantissa / 1000000000u),
                         0,
                         0,
                         0,
                         0};
    for (int i = 0; i < exponent; ++i) {
        uint32_t carry = 0;
        for (uint32_t& limb : limbs) {
            const uint64_t doubled = uint64_t{limb} * 2 + carry;
            limb = static_cast<uint32_t>(doubled % 1000000000u);
            carry = static_cast<uint32_t>(doubled / 1000000000u);
        }
    }
    char digits[64];
    int count = 0;
    int top = 5;
    while (top > 0 && limbs[top] == 0) --top;
    for (int i = top; i >= 0; --i) {
        char group[16];
        int n = 0;
        uint32_t limb = limbs[i];
        for (int k = 0; k < 9; ++k) {
            group[n++] = static_cast<char>('0' + limb % 10);
            limb /= 10;
        }
        while (n > 0) digits[count++] = group[--n];
    }
    int first = 0;
    while (first < count - 1 && digits[first] == '0') ++first;
    int decimalExponent = count - first - 1;
    constexpr int kSignificant = 18;
    char kept[kSignificant + 1];
    int keptCount = 0;
    for (int i = first; i < count && keptCount < kSignificant; ++i) kept[keptCount++] = digits[i];
    if (first + kSignificant < count && digits[first + kSignificant] >= '5') {
        int i = keptCount - 1;
        while (i >= 0 && kept[i] == '9') kept[i--] = '0';
        if (i >= 0) {
            ++kept[i];
        } else {  // 999... rounded up: every digit is now 0
            kept[0] = '1';
            ++decimalExponent;
        }
    }
    while (keptCount > 1 && kept[keptCount - 1] == '0') --keptCount;
    sink.put(kept[0]);
    if (keptCount > 1) {
        sink.put('.');
        for (int i = 1; i < keptCount; ++i) sink.put(kept[i]);
    }
    sink.put('E');
    putUnsigned(sink, static_cast<uint64_t>(decimalExponent));
}

}  // namespace

// Read once, never again: the host may change its own locale later, and the
// display text must not follow it.
char decimalSeparator() {
    static const char separator = tarnwick::platform::ReadUserDecimalSeparator();
    return separator;
}

namespace {
// ...and read when the module is loaded, not at the first display.
[[maybe_unused]] const char gSeparatorAtLoad = decimalSeparator();
}  // namespace

void floatToText(char* text, float value, std::size_t size) {
    floatToTextWith(text, value, decimalSeparator(), size);
}

void floatToTextWith(char* text, float value, char separator, std::size_t size) {
    if (!text || size == 0) return;
    TextSink sink(text, size);
    if (std::isnan(value) || std::isinf(value)) {
        if (std::signbit(value)) sink.put('-');
        sink.put(std::isnan(value) ? "NAN" : "INF");
        return;
    }
    const float magnitude = std::fabs(value);
    if (static_cast<long double>(magnitude) >= 1e18L) {
        if (std::signbit(value)) sink.put('-');
        putExponent(sink, magnitude);
        return;
    }
    // A float below 10^18 splits exactly into integer part and fraction, and
    // the fraction times 100 is exact in extended precision, so rounding half
    // away from zero happens on the exact value.
    const long double exact = magnitude;
    long double whole = std::floor(exact);
    uint64_t integerPart = static_cast<uint64_t>(whole);
    uint64_t cents = static_cast<uint64_t>(std::round((exact - whole) * 100.0L));
    if (cents == 100) {
        cents = 0;
        ++integerPart;
    }
    if (std::signbit(value) && (integerPart != 0 || cents != 0)) sink.put('-');
    putUnsigned(sink, integerPart);
    sink.put(separator);
    sink.put(static_cast<char>('0' + cents / 10));
    sink.put(static_cast<char>('0' + cents % 10));
}

int32_t roundToInt32(long double x) {
    if (std::isnan(x)) return INT32_MIN;
    const long double rounded = std::nearbyint(x);  // ties to even in the default mode
    if (rounded < -2147483648.0L || rounded > 2147483647.0L) return INT32_MIN;
    return static_cast<int32_t>(rounded);
}

int32_t roundMinusHalf(float x) { return roundToInt32(static_cast<long double>(x) - 0.5L); }

void copyHostText(char* dst, const char* src, std::size_t maxChars) {
    if (!dst) return;
    const std::size_t length = src ? strnlen(src, maxChars) : 0;
    if (length > 0) std::memcpy(dst, src, length);
    dst[length] = '\0';
}
