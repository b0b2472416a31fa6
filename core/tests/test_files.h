// Scratch folders and whole-file reads and writes for the tests.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A fresh, empty folder for one test, removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder() {
        const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
        std::string name = "dornavel-";
        name += info ? std::string(info->test_suite_name()) + "-" + info->name() : "test";
        for (char& c : name)
            if (c == '/') c = '_';
        root_ = std::filesystem::temp_directory_path() / name;
        std::filesystem::remove_all(root_);
        std::filesystem::create_directories(root_);
    }
    ~ScratchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(root_, ignored);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The path of name inside the folder, as an 8-bit string (names are UTF-8 in the tests).
    std::string path(const std::string& name) const {
        return (root_ / std::filesystem::u8path(name)).u8string();
    }
    const std::filesystem::path& root() const { return root_; }

private:
    std::filesystem::path root_;
};

// Writes bytes as the whole content of the file at an 8-bit path.
inline void writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    ASSERT_TRUE(out.good()) << path;
}

// The whole content of the file at an 8-bit path.
inline Bytes readFile(const std::string& path) {
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary | std::ios::ate);
    if (!in) return Bytes();
    Bytes bytes(static_cast<std::size_t>(in.tellg()));
    in.seekg(0);
    in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return bytes;
}

// The names in a folder, sorted: what a test expects a command to have left there.
inline std::vector<std::string> sortedNames(const std::filesystem::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) names.push_back(entry.path().filename().u8string());
    std::sort(names.begin(), names.end());
    return names;
}

inline std::vector<std::string> sortedNames(const ScratchFolder& folder) {
    return sortedNames(folder.root());
}

inline bool fileExists(const std::string& path) {
    return std::filesystem::exists(std::filesystem::u8path(path));
}
