#pragma once
// Golden images of the editor: a window's pixels against
// tests/golden/<name>.png. A mismatch writes <build>/golden-out/<name>.actual.png
// and <name>.diff.png (differing pixels red, the rest dimmed); with
// TARNWICK_UPDATE_GOLDEN=1 in the environment the golden file is written
// instead. The window's pixels carry no alpha: they are compared and stored
// opaque.

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/PictureFile.h"
#include "platform/Window.h"

namespace tarnwick::test {

inline ::testing::AssertionResult MatchesGolden(const platform::Window& window,
                                                const std::string& name) {
    namespace fs = std::filesystem;
    const char* build = std::getenv("TARNWICK_BUILD_DIR");
    if (!build) return ::testing::AssertionFailure() << "run the test through ctest";
    const int w = window.Width(), h = window.Height();
    std::vector<std::uint32_t> actual(window.Pixels(), window.Pixels() + w * h);
    for (std::uint32_t& p : actual) p |= 0xFF000000u;
    const auto view = [&](const std::vector<std::uint32_t>& pixels) {
        return platform::ImageView{reinterpret_cast<const std::uint8_t*>(pixels.data()), w, h,
                                   false};
    };
    const fs::path golden = fs::path(TARNWICK_SOURCE_DIR) / "tests" / "golden" / (name + ".png");
    const char* update = std::getenv("TARNWICK_UPDATE_GOLDEN");
    if (update && std::string(update) == "1") {
        platform::WritePngFile(golden.string(), view(actual));
        return ::testing::AssertionSuccess() << "wrote " << golden;
    }
    if (!fs::exists(golden))
        return ::testing::AssertionFailure() << golden << " is missing (TARNWICK_UPDATE_GOLDEN=1)";
    const platform::Picture expected =
        platform::LoadPictureFile(platform::PictureFormat::Png, golden.string());
    int differing = 0;
    std::vector<std::uint32_t> diff(actual.size());
    const bool sameSize = expected.width == w && expected.height == h;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const std::uint32_t a = actual[static_cast<std::size_t>(y * w + x)];
            const bool same = sameSize && expected.Pixel(x, y) == a;
            differing += !same;
            diff[static_cast<std::size_t>(y * w + x)] =
                same ? 0xFF000000u | ((a >> 2) & 0x3F3F3Fu) : 0xFFFF0000u;
        }
    if (differing == 0) return ::testing::AssertionSuccess();
    const fs::path out = fs::path(build) / "golden-out";
    fs::create_directories(out);
    platform::WritePngFile((out / (name + ".actual.png")).string(), view(actual));
    platform::WritePngFile((out / (name + ".diff.png")).string(), view(diff));
    return ::testing::AssertionFailure() << differing << " pixels differ from " << golden
                                         << "; see " << out / (name + ".actual.png");
}

}  // namespace tarnwick::test
