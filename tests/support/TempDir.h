#pragma once
// A fresh folder for a test's files, removed with everything in it when the
// test ends.

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tarnwick::test {

class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& Dir() const { return dir_; }
    std::string File(const std::string& name) const { return dir_ + "/" + name; }
    // Writes BYTES to the file NAME in the folder; answers its path.
    std::string Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const;
    // File names in the folder, sorted.
    std::vector<std::string> Entries() const;

private:
    std::string dir_;
};

}  // namespace tarnwick::test
