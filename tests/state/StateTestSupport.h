#pragma once

// Helpers shared by the state tests: the embedded settings document, scratch folders and a
// scoped C locale switch.

#include "resources/EmbeddedResources.h"
#include "state/XmlDocument.h"

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace vorpalix::state_test {

inline XmlDocument parseEmbeddedSettings() {
    return XmlDocument::parseResource("settings");
}

// The first element child of root with this name, or nullptr.
inline xmlNode* childNamed(const xmlNode* root, std::string_view name) {
    for (xmlNode* child : elementChildren(root)) {
        if (isElement(child, name)) {
            return child;
        }
    }
    return nullptr;
}

// A fresh folder under the system's temporary folder, removed with everything in it.
class ScratchFolder {
public:
    ScratchFolder() {
        std::string pattern = (std::filesystem::temp_directory_path() / "vx-state-XXXXXX").string();
        if (::mkdtemp(pattern.data()) != nullptr) {
            path_ = pattern;
        }
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                     std::filesystem::perm_options::add, ignored);
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::string file(const std::string& name) const { return (path_ / name).string(); }

    std::vector<std::string> entries() const {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(path_)) {
            names.push_back(entry.path().filename().string());
        }
        return names;
    }

private:
    std::filesystem::path path_;
};

inline std::string readBytes(const std::string& fileName) {
    std::ifstream in(fileName, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void writeBytes(const std::string& fileName, const std::string& bytes) {
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out << bytes;
}

// Switches the whole C locale to a decimal-comma locale for the scope, as some hosts do, and
// restores the previous one.
class DecimalCommaLocale {
public:
    DecimalCommaLocale() {
        if (const char* current = std::setlocale(LC_ALL, nullptr)) {
            previous_ = current;
        }
        active_ = std::setlocale(LC_ALL, "de_DE.UTF-8") != nullptr &&
                  std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    }
    ~DecimalCommaLocale() { std::setlocale(LC_ALL, previous_.c_str()); }
    DecimalCommaLocale(const DecimalCommaLocale&) = delete;
    DecimalCommaLocale& operator=(const DecimalCommaLocale&) = delete;

    // True when the locale is installed and really writes a decimal comma.
    bool active() const {
        return active_ && std::localeconv()->decimal_point != nullptr &&
               std::string(std::localeconv()->decimal_point) == ",";
    }

private:
    std::string previous_ = "C";
    bool active_ = false;
};

} // namespace vorpalix::state_test
