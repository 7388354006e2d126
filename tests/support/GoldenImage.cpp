#include "support/GoldenImage.h"

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "dib/cDIB.h"
#include "platform/PictureFile.h"

namespace tarnwick::test {

namespace {

namespace fs = std::filesystem;

// Pixel (x, y) of the picture, y = 0 the top row, as 0xMMRRGGBB.
std::uint32_t PixelAt(const std::uint8_t* pixels, int width, int height, bool bottomUp, int x,
                      int y) {
    const int row = bottomUp ? height - 1 - y : y;
    std::uint32_t p;
    std::memcpy(&p, pixels + (static_cast<std::size_t>(row) * width + x) * 4, 4);
    return p;
}

void Write(const fs::path& path, const std::uint8_t* pixels, int width, int height, bool bottomUp) {
    fs::create_directories(path.parent_path());
    platform::WritePngFile(path.string(), {pixels, width, height, bottomUp});
}

}  // namespace

GoldenResult CompareWithGolden(const std::uint8_t* pixels, int width, int height, bool bottomUp,
                               const std::string& name) {
    const fs::path golden = fs::path(TARNWICK_GOLDEN_DIR) / (name + ".png");
    const fs::path out = fs::path(TARNWICK_GOLDEN_OUT);
    const char* update = std::getenv("TARNWICK_UPDATE_GOLDEN");
    if (update && std::strcmp(update, "1") == 0) {
        Write(golden, pixels, width, height, bottomUp);
        return {true, "golden image written: " + golden.string()};
    }

    const fs::path actual = out / (name + ".actual.png");
    platform::Picture expected;
    try {
        expected = platform::LoadPictureFile(platform::PictureFormat::Png, golden.string());
    } catch (const platform::PictureError& e) {
        Write(actual, pixels, width, height, bottomUp);
        return {false, std::string(e.what()) + "; the picture is in " + actual.string() +
                           " (TARNWICK_UPDATE_GOLDEN=1 makes it the golden image)"};
    }
    if (expected.width != width || expected.height != height) {
        Write(actual, pixels, width, height, bottomUp);
        return {false, golden.string() + " is " + std::to_string(expected.width) + " x " +
                           std::to_string(expected.height) + ", the picture " +
                           std::to_string(width) + " x " + std::to_string(height) + "; see " +
                           actual.string()};
    }

    // The difference: differing pixels opaque red, the others the reference
    // faded to a quarter of its brightness.
    std::vector<std::uint32_t> diff(static_cast<std::size_t>(width) * height);
    long differing = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const std::uint32_t want = expected.Pixel(x, y);
            const bool same = PixelAt(pixels, width, height, bottomUp, x, y) == want;
            if (!same) ++differing;
            diff[static_cast<std::size_t>(y) * width + x] =
                same ? 0xFF000000u | ((want >> 2) & 0x3F3F3Fu) : 0xFFFF0000u;
        }
    if (differing == 0) return {true, ""};
    Write(actual, pixels, width, height, bottomUp);
    const fs::path diffPath = out / (name + ".diff.png");
    Write(diffPath, reinterpret_cast<const std::uint8_t*>(diff.data()), width, height, false);
    return {false, std::to_string(differing) + " of " + std::to_string(width * height) +
                       " pixels differ from " + golden.string() + "; see " + actual.string() +
                       " and " + diffPath.string()};
}

GoldenResult CompareWithGolden(const TAbstractSuperDIB& dib, const std::string& name) {
    return CompareWithGolden(reinterpret_cast<const std::uint8_t*>(dib.Bits()), dib.Width(),
                             dib.Height(), true, name);
}

}  // namespace tarnwick::test
