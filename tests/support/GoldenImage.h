#pragma once
// Pictures compared with the reference pictures checked in under
// tests/golden/<name>.png, read and written with the project's own PNG
// codec. Every byte of each pixel counts, the mask byte (the PNG's alpha)
// too: it is what a container blends with.
//
// A mismatch leaves <build dir>/golden-out/<name>.actual.png and
// <name>.diff.png (differing pixels red over a faded copy of the reference)
// and answers a message with their paths and the number of differing
// pixels. With TARNWICK_UPDATE_GOLDEN=1 in the environment the reference is
// (re)written from the pixels instead, and the answer says so.

#include <cstdint>
#include <cstdio>
#include <string>

class TAbstractSuperDIB;

namespace tarnwick::test {

struct GoldenResult {
    bool matches = false;
    std::string message;  // what was compared, written or found different
};

// Pixels of four bytes (blue, green, red, mask), rows without gaps; bottomUp
// when the first row in memory is the bottom one, as bitmaps store them.
GoldenResult CompareWithGolden(const std::uint8_t* pixels, int width, int height, bool bottomUp,
                               const std::string& name);
GoldenResult CompareWithGolden(const TAbstractSuperDIB& dib, const std::string& name);

}  // namespace tarnwick::test

// For GoogleTest suites: a failure that carries the message.
#define EXPECT_MATCHES_GOLDEN(...)                                                           \
    do {                                                                                     \
        const ::tarnwick::test::GoldenResult golden_ =                                       \
            ::tarnwick::test::CompareWithGolden(__VA_ARGS__);                                \
        EXPECT_TRUE(golden_.matches) << golden_.message;                                     \
        if (golden_.matches && !golden_.message.empty()) std::puts(golden_.message.c_str()); \
    } while (false)
