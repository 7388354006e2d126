#include "support/TempDir.h"

#include <stdlib.h>

#include <algorithm>
#include <fstream>
#include <random>
#include <stdexcept>
#include <system_error>

namespace tarnwick::test {

TempDir::TempDir() {
#if defined(_WIN32)
    // No mkdtemp here: a random name, taken only if nothing has it yet.
    std::random_device random;
    for (int attempt = 0; attempt < 100 && dir_.empty(); ++attempt) {
        auto dir =
            std::filesystem::temp_directory_path() / ("tarnwick-test-" + std::to_string(random()));
        std::error_code ec;
        if (std::filesystem::create_directory(dir, ec)) dir_ = dir.generic_string();
    }
    if (dir_.empty()) throw std::runtime_error("cannot make a temporary folder");
#else
    std::string templ = (std::filesystem::temp_directory_path() / "tarnwick-test-XXXXXX").string();
    if (mkdtemp(templ.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    dir_ = templ;
#endif
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(dir_, ec);
}

std::string TempDir::Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const {
    const std::string p = File(name);
    std::ofstream(p, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return p;
}

std::vector<std::string> TempDir::Entries() const {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& e : std::filesystem::directory_iterator(dir_, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace tarnwick::test
