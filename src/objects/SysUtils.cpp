#include "objects/SysUtils.h"

#include <cstdio>

namespace {
char Lower(char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; }
char Upper(char c) { return (c >= 'a' && c <= 'z') ? char(c - 'a' + 'A') : c; }
}  // namespace

int CompareText(std::string_view a, std::string_view b) noexcept {
    size_t n = a.size() < b.size() ? a.size() : b.size();
    for (size_t i = 0; i < n; ++i) {
        unsigned char x = static_cast<unsigned char>(Lower(a[i]));
        unsigned char y = static_cast<unsigned char>(Lower(b[i]));
        if (x != y) return x < y ? -1 : 1;
    }
    return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}

bool SameText(std::string_view a, std::string_view b) noexcept {
    return a.size() == b.size() && CompareText(a, b) == 0;
}

std::string UpperCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = Upper(c);
    return r;
}

std::string LowerCase(std::string_view s) {
    std::string r(s);
    for (char& c : r) c = Lower(c);
    return r;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

std::string IntToHex(uint64_t value, int digits) {
    static const char hex[] = "0123456789ABCDEF";
    std::string r;
    do {
        r.insert(r.begin(), hex[value & 15]);
        value >>= 4;
    } while (value);
    while (static_cast<int>(r.size()) < digits) r.insert(r.begin(), '0');
    return r;
}

bool TryStrToInt64(std::string_view t, int64_t& value) noexcept {
    size_t i = 0;
    while (i < t.size() && t[i] == ' ') ++i;
    bool neg = false;
    if (i < t.size() && (t[i] == '-' || t[i] == '+')) neg = t[i++] == '-';
    bool hex = false;
    if (i < t.size() && t[i] == '$') {
        hex = true;
        ++i;
    } else if (i + 1 < t.size() && t[i] == '0' && (t[i + 1] == 'x' || t[i + 1] == 'X')) {
        hex = true;
        i += 2;
    }
    if (i >= t.size()) return false;
    uint64_t acc = 0;
    const unsigned base = hex ? 16 : 10;
    for (; i < t.size(); ++i) {
        char c = t[i];
        unsigned d;
        if (c >= '0' && c <= '9')
            d = unsigned(c - '0');
        else if (hex && Lower(c) >= 'a' && Lower(c) <= 'f')
            d = unsigned(Lower(c) - 'a' + 10);
        else
            return false;
        if (acc > (UINT64_MAX - d) / base) return false;
        acc = acc * base + d;
    }
    // Hexadecimal may name a full 64-bit pattern; decimal must fit the sign.
    const uint64_t limit = neg ? uint64_t(INT64_MAX) + 1 : (hex ? UINT64_MAX : uint64_t(INT64_MAX));
    if (acc > limit) return false;
    value = neg ? static_cast<int64_t>(0 - acc) : static_cast<int64_t>(acc);
    return true;
}

int64_t StrToInt64(std::string_view text) {
    int64_t v;
    if (!TryStrToInt64(text, v))
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return v;
}

int32_t StrToInt(std::string_view text) {
    int64_t v;
    if (!TryStrToInt64(text, v) || v < INT32_MIN || v > INT32_MAX)
        throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
    return static_cast<int32_t>(v);
}

bool IsValidIdent(std::string_view s) noexcept {
    if (s.empty()) return false;
    auto alpha = [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
    };
    if (!alpha(s[0])) return false;
    for (char c : s)
        if (!alpha(c) && !(c >= '0' && c <= '9')) return false;
    return true;
}
