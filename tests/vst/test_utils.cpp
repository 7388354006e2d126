// The three conversions and the host-text copy.
#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

#include "platform/DecimalSeparator.h"
#include "vst/DVstUtils.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

std::string text(float value, char separator = '.', std::size_t size = 64) {
    char buffer[64];
    std::memset(buffer, 'x', sizeof buffer);
    floatToTextWith(buffer, value, separator, size);
    return buffer;
}

TEST(FourCharCode, FirstCharacterLandsInTheTopByte) {
    EXPECT_EQ(makeFourCharCode('V', 's', 't', 'P'), 0x56737450);
    EXPECT_EQ(makeFourCharCode('N', 'o', 'E', 'f'), 0x4E6F4566);
    EXPECT_EQ(makeFourCharCode('N', 'v', 'E', 'f'), 0x4E764566);
    EXPECT_EQ(makeFourCharCode('4', '1', '6', '4'), 0x34313634);
    // Characters are taken as 8-bit codes: a high one fills the top byte and no more.
    EXPECT_EQ(makeFourCharCode(0xFF, 0, 0, 0x80), static_cast<int32_t>(0xFF000080u));
}

TEST(FloatToText, TwoDecimalsRoundedHalfAwayFromZero) {
    EXPECT_EQ(text(0.5f), "0.50");
    EXPECT_EQ(text(0.5f, ','), "0,50");
    EXPECT_EQ(text(0.0f), "0.00");
    EXPECT_EQ(text(1.0f), "1.00");
    EXPECT_EQ(text(0.125f), "0.13");  // an exact tie goes away from zero
    EXPECT_EQ(text(-0.125f), "-0.13");
    EXPECT_EQ(text(0.375f), "0.38");
    EXPECT_EQ(text(2.675f), "2.67");  // the float is just below 2.675
    EXPECT_EQ(text(0.015f), "0.01");  // just below the tie as well
    EXPECT_EQ(text(0.995f), "1.00");  // just above it; carries into the integer part
    EXPECT_EQ(text(-9.999f), "-10.00");
    EXPECT_EQ(text(1234.5f), "1234.50");  // no thousands separator
    EXPECT_EQ(text(9999.99f), "9999.99");
    EXPECT_EQ(text(-999.99f), "-999.99");
    EXPECT_EQ(text(16777216.0f), "16777216.00");
}

TEST(FloatToText, NoMinusSignOnAValueThatRoundsToZero) {
    EXPECT_EQ(text(-0.004f), "0.00");
    EXPECT_EQ(text(-0.0f), "0.00");
    EXPECT_EQ(text(-0.006f), "-0.01");
    EXPECT_EQ(text(-1e-30f), "0.00");
}

TEST(FloatToText, LargeValuesSpecialValuesAndTheDigitLimit) {
    // Up to 18 integer digits stay fixed-point.
    // Above that: exponent notation with the exact value's leading digits.
    EXPECT_EQ(text(1e18f), "999999984306749440.00");  // the float lies below 10^18
    EXPECT_EQ(text(std::nextafter(1e18f, 2e18f)), "1.00000005302622618E18");
    EXPECT_EQ(text(1e20f), "1.00000002004087734E20");
    EXPECT_EQ(text(-1e20f), "-1.00000002004087734E20");
    EXPECT_EQ(text(std::numeric_limits<float>::max()), "3.4028234663852886E38");
    EXPECT_EQ(text(std::numeric_limits<float>::infinity()), "INF");
    EXPECT_EQ(text(-std::numeric_limits<float>::infinity()), "-INF");
    EXPECT_EQ(text(std::numeric_limits<float>::quiet_NaN()), "NAN");
    EXPECT_EQ(text(-std::numeric_limits<float>::quiet_NaN()), "-NAN");
}

TEST(FloatToText, NeverWritesPastTheBuffer) {
    char buffer[16];
    std::memset(buffer, '#', sizeof buffer);
    floatToTextWith(buffer, 12345.678f, '.', 8);
    EXPECT_STREQ(buffer, "12345.6");  // cut, and still terminated
    for (std::size_t i = 8; i < sizeof buffer; ++i) EXPECT_EQ(buffer[i], '#') << i;
    // The default size holds every value from -999.99 to 9999.99.
    std::memset(buffer, '#', sizeof buffer);
    floatToText(buffer, -999.99f);
    EXPECT_EQ(std::strlen(buffer), 7u);
    std::memset(buffer, '#', sizeof buffer);
    floatToText(buffer, 1e20f);
    EXPECT_EQ(std::strlen(buffer), kFloatTextSize - 1);
    EXPECT_EQ(buffer[kFloatTextSize], '#');
    floatToTextWith(buffer, 1.0f, '.', 1);
    EXPECT_STREQ(buffer, "");
    floatToTextWith(nullptr, 1.0f, '.', 8);  // no buffer: nothing happens
}

TEST(FloatToText, UsesTheSeparatorReadAtStartUp) {
    char buffer[16];
    floatToText(buffer, 0.25f);
    EXPECT_EQ(buffer, std::string("0") + decimalSeparator() + "25");
}

#if defined(_WIN32)
// The user's regional setting, changed through the system's own call, as the
// control panel does, and put back afterwards.
class UserDecimalSetting : public ::testing::Test {
protected:
    void SetUp() override {
        char old[8] = {};
        if (GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, old, sizeof old) == 0)
            GTEST_SKIP() << "the user's separator cannot be read";
        saved_ = old;
    }
    void TearDown() override { set(saved_.c_str()); }
    static bool set(const char* separator) {
        return SetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, separator) != 0;
    }
    std::string saved_;
};

TEST_F(UserDecimalSetting, UserSeparatorIsRead) {
    ASSERT_TRUE(set(","));
    EXPECT_EQ(tarnwick::platform::ReadUserDecimalSeparator(), ',');
    ASSERT_TRUE(set("."));
    EXPECT_EQ(tarnwick::platform::ReadUserDecimalSeparator(), '.');
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 0.5);
    EXPECT_STREQ(printed, "0.5");  // the process's own formatting is untouched
}

TEST_F(UserDecimalSetting, FullStopWhenTheSeparatorIsNotOneCharacter) {
    ASSERT_TRUE(set(",,"));
    EXPECT_EQ(tarnwick::platform::ReadUserDecimalSeparator(), '.');
}
#else
// A comma locale made for the test (no system locale is needed), found
// through LOCPATH like any locale the user's environment names.
class CommaLocale : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        char dir[] = "/tmp/tarnwick-locale-XXXXXX";
        if (!mkdtemp(dir)) return;
        dir_ = dir;
        const std::string command =
            "localedef -i de_DE -f UTF-8 " + dir_ + "/de_DE.UTF-8 >/dev/null 2>&1";
        built_ = std::system(command.c_str()) == 0;
    }
    static void TearDownTestSuite() {
        if (!dir_.empty() && std::system(("rm -rf " + dir_).c_str()) != 0) {
            // a stale temporary folder is harmless
        }
    }
    void SetUp() override {
        if (!built_) GTEST_SKIP() << "localedef cannot build de_DE";
        saved_ = std::getenv("LC_ALL") ? std::getenv("LC_ALL") : "";
        setenv("LOCPATH", dir_.c_str(), 1);
        setenv("LC_ALL", "de_DE.UTF-8", 1);
    }
    void TearDown() override {
        unsetenv("LOCPATH");
        if (saved_.empty())
            unsetenv("LC_ALL");
        else
            setenv("LC_ALL", saved_.c_str(), 1);
        std::setlocale(LC_ALL, "C");
    }
    static inline std::string dir_;
    static inline bool built_ = false;
    std::string saved_;
};

TEST_F(CommaLocale, UserSeparatorIsReadWithoutChangingTheProcessLocale) {
    EXPECT_EQ(tarnwick::platform::ReadUserDecimalSeparator(), ',');
    EXPECT_STREQ(std::setlocale(LC_NUMERIC, nullptr), "C");  // the host's locale is untouched
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 0.5);
    EXPECT_STREQ(printed, "0.5");
}

TEST_F(CommaLocale, FormattingDoesNotFollowTheHostsLocale) {
    ASSERT_NE(std::setlocale(LC_NUMERIC, ""), nullptr);  // the host switches to a comma
    char printed[16];
    std::snprintf(printed, sizeof printed, "%.1f", 0.5);
    ASSERT_STREQ(printed, "0,5");
    EXPECT_EQ(text(1234.5f, '.'), "1234.50");
    char buffer[16];
    floatToText(buffer, 0.5f);
    EXPECT_EQ(buffer, std::string("0") + decimalSeparator() + "50");
}

TEST(DecimalSeparator, FullStopWhenTheEnvironmentNamesNoUsableLocale) {
    const char* saved = std::getenv("LC_ALL");
    const std::string restore = saved ? saved : "";
    setenv("LC_ALL", "xx_NOWHERE.UTF-8", 1);
    EXPECT_EQ(tarnwick::platform::ReadUserDecimalSeparator(), '.');
    setenv("LC_ALL", "C", 1);
    EXPECT_EQ(tarnwick::platform::ReadUserDecimalSeparator(), '.');
    if (saved)
        setenv("LC_ALL", restore.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

#endif

TEST(RoundMinusHalf, NearestIntegerBelowHalfTiesToEven) {
    EXPECT_EQ(roundMinusHalf(0.999f), 0);
    EXPECT_EQ(roundMinusHalf(1.0f), 0);
    EXPECT_EQ(roundMinusHalf(2.0f), 2);
    EXPECT_EQ(roundMinusHalf(3.0f), 2);
    EXPECT_EQ(roundMinusHalf(4.0f), 4);
    EXPECT_EQ(roundMinusHalf(-1.0f), -2);
    EXPECT_EQ(roundMinusHalf(-0.2f), -1);
    EXPECT_EQ(roundMinusHalf(2.5f), 2);
    EXPECT_EQ(roundMinusHalf(126.999f), 126);
    EXPECT_EQ(roundMinusHalf(127.0f), 126);
    // The subtraction is exact in extended precision: 2^24 + 1 would be lost
    // in float arithmetic, so x - 0.5 must not be formed as a float.
    EXPECT_EQ(roundMinusHalf(16777216.0f), 16777216);
    EXPECT_EQ(roundMinusHalf(0.50000006f), 0);  // x - 0.5 is a tiny positive number
    EXPECT_EQ(roundMinusHalf(0.49999997f), 0);  // ... a tiny negative one
}

TEST(RoundMinusHalf, OutOfRangeAndNaNGiveTheIndefiniteInteger) {
    EXPECT_EQ(roundMinusHalf(3e9f), INT32_MIN);
    EXPECT_EQ(roundMinusHalf(-3e9f), INT32_MIN);
    EXPECT_EQ(roundMinusHalf(std::numeric_limits<float>::infinity()), INT32_MIN);
    EXPECT_EQ(roundMinusHalf(std::numeric_limits<float>::quiet_NaN()), INT32_MIN);
    EXPECT_EQ(roundMinusHalf(2147483648.0f), INT32_MIN);   // 2147483647.5 rounds up, out of range
    EXPECT_EQ(roundMinusHalf(-2147483648.0f), INT32_MIN);  // -2147483648.5 ties to even: out
    EXPECT_EQ(roundMinusHalf(-2147483520.0f), -2147483520);
}

TEST(RoundToInt32, TiesGoToTheEvenNeighbour) {
    EXPECT_EQ(roundToInt32(16383.5L), 16384);
    EXPECT_EQ(roundToInt32(16384.5L), 16384);
    EXPECT_EQ(roundToInt32(-2.5L), -2);
    EXPECT_EQ(roundToInt32(2147483647.0L), INT32_MAX);
    EXPECT_EQ(roundToInt32(-2147483648.0L), INT32_MIN);
    EXPECT_EQ(roundToInt32(2147483647.5L), INT32_MIN);
}

TEST(CopyHostText, CutsToTheHostsBufferAndTerminates) {
    char buffer[12];
    std::memset(buffer, '#', sizeof buffer);
    copyHostText(buffer, "QB Sidechain Gate", 8);
    EXPECT_STREQ(buffer, "QB Sidec");
    EXPECT_EQ(buffer[9], '#');
    copyHostText(buffer, "Gate", 8);
    EXPECT_STREQ(buffer, "Gate");
    copyHostText(buffer, nullptr, 8);
    EXPECT_STREQ(buffer, "");
    copyHostText(nullptr, "Gate", 8);  // nothing to write into
}

}  // namespace
