#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace vorpalix::testing {

// A fresh folder under the system temporary folder, removed with everything in it at the end.
class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }
    // Writes a text file into the folder and returns its path.
    std::string write(const std::string& name, const std::string& content) const;
    // Names of everything in the folder (hidden files included), sorted.
    std::vector<std::string> entries() const;

private:
    std::filesystem::path path_;
};

} // namespace vorpalix::testing
