#include "driver/Parameters.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "plugin/uPlugin.h"

namespace tarnwick::driver {

namespace {

VstIntPtr silentHost(AEffect*, VstInt32, VstInt32, VstIntPtr, void*, float) { return 0; }

bool known(int index) { return index >= 0 && index < kNumParameters; }

double clamped(double value) {
    if (value > 1.0) return 1.0;
    if (!(value >= 0.0)) return 0.0;  // negative or NaN
    return value;
}

// One decimal, with a point whatever the locale, and never "-0.0".
std::string fixed1(double value) {
    value = std::round(value * 10.0) / 10.0;
    if (value == 0.0) value = 0.0;
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, 1);
    return std::string(text, result.ptr);
}

std::string_view trimmed(std::string_view text) {
    const auto space = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && space(text.front())) text.remove_prefix(1);
    while (!text.empty() && space(text.back())) text.remove_suffix(1);
    return text;
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c + 32) : c; };
               return lower(x) == lower(y);
           });
}

// A leading number (a '+' allowed) and what follows it, trimmed.
bool leadingNumber(std::string_view text, double& number, std::string_view& rest) {
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    const auto result = std::from_chars(text.data(), text.data() + text.size(), number);
    if (result.ec != std::errc() || !std::isfinite(number)) return false;
    rest = trimmed(text.substr(static_cast<std::size_t>(result.ptr - text.data())));
    return true;
}

}  // namespace

float DefaultValue(int index) {
    // A new effect holds a new program.
    static const std::array<float, kNumParameters> defaults = [] {
        std::array<float, kNumParameters> values{};
        APlugin effect(silentHost, nullptr);
        for (int i = 0; i < kNumParameters; ++i) values[i] = effect.getParameter(i);
        return values;
    }();
    return known(index) ? defaults[index] : 0.0f;
}

std::string ValueText(int index, double value) {
    if (!known(index)) return {};
    value = clamped(value);
    switch (kParameters[index].kind) {
        case ParameterKind::Time: return fixed1(value * 1000.0) + " ms";
        case ParameterKind::Level:
            return value > 0.0 ? fixed1(20.0 * std::log10(value)) + " dB" : "-inf dB";
        case ParameterKind::Switch: return value > 0.5 ? "On" : "Off";
    }
    return {};
}

bool TextValue(int index, std::string_view text, double& value) {
    if (!known(index)) return false;
    text = trimmed(text);
    double number = 0.0;
    std::string_view unit;
    switch (kParameters[index].kind) {
        case ParameterKind::Time:
            if (!leadingNumber(text, number, unit)) return false;
            if (unit.empty() || equalsIgnoringCase(unit, "ms"))
                number /= 1000.0;
            else if (!equalsIgnoringCase(unit, "s"))
                return false;
            value = clamped(number);
            return true;
        case ParameterKind::Level: {
            std::string_view level = text;
            if (level.size() >= 2 && equalsIgnoringCase(level.substr(level.size() - 2), "dB"))
                level = trimmed(level.substr(0, level.size() - 2));
            if (equalsIgnoringCase(level, "-inf") || equalsIgnoringCase(level, "-infinity")) {
                value = 0.0;
                return true;
            }
            if (!leadingNumber(level, number, unit) || !unit.empty()) return false;
            value = clamped(std::pow(10.0, number / 20.0));
            return true;
        }
        case ParameterKind::Switch:
            if (equalsIgnoringCase(text, "on")) {
                value = 1.0;
                return true;
            }
            if (equalsIgnoringCase(text, "off")) {
                value = 0.0;
                return true;
            }
            if (!leadingNumber(text, number, unit) || !unit.empty()) return false;
            value = number > 0.5 ? 1.0 : 0.0;
            return true;
    }
    return false;
}

}  // namespace tarnwick::driver
