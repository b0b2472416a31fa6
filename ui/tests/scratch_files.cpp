// Scratch folders and file access for the window tests.
#include "scratch_files.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <chrono>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// A Windows path in UTF-8 as a path object.
fs::path toPath(const std::string& path) {
    return fs::u8path(path);
}

} // namespace

// Creates an empty folder named after the running test.
ScratchFolder::ScratchFolder() {
    std::string name = "test";
    if (const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info())
        name = std::string(info->test_suite_name()) + "." + info->name();
    for (char& c : name)
        if (c == '/' || c == '\\') c = '_';
    root_ = testProgramFolder() + "\\gui scratch\\" + name + " \xc3\xa0";
    std::error_code ignored;
    fs::remove_all(toPath(root_), ignored);
    std::error_code error;
    fs::create_directories(toPath(root_), error);
    EXPECT_FALSE(error) << "cannot create the scratch folder " << root_ << ": " << error.message();
}

// Removes the folder with everything in it.
ScratchFolder::~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(toPath(root_), ignored);
}

// The full path of name inside the folder.
std::string ScratchFolder::path(const std::string& name) const {
    return root_ + "\\" + name;
}

// Opens the file with no sharing.
HeldFile::HeldFile(const std::string& path)
    : handle_(CreateFileW(toPath(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)) {}

// Tells whether the open succeeded and the file is still held.
bool HeldFile::held() const {
    return handle_ != INVALID_HANDLE_VALUE;
}

// Closes the handle.
void HeldFile::release() {
    if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
}

// Writes bytes as the whole content of the file at path.
bool writeFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(toPath(path), std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

// Reads the whole content of the file at path.
Bytes readFile(const std::string& path) {
    std::ifstream in(toPath(path), std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Whether a file or folder of that path exists.
bool pathExists(const std::string& path) {
    std::error_code ignored;
    return fs::exists(toPath(path), ignored);
}

// Whether path names a folder.
bool isFolder(const std::string& path) {
    std::error_code ignored;
    return fs::is_directory(toPath(path), ignored);
}

// Creates the folder path.
bool makeFolder(const std::string& path) {
    std::error_code error;
    return fs::create_directory(toPath(path), error) && !error;
}

// The folder of the running test program.
std::string testProgramFolder() {
    std::string path(MAX_PATH * 8, '\0');
    DWORD length = GetModuleFileNameA(nullptr, &path[0], static_cast<DWORD>(path.size()));
    path.resize(length);
    std::string::size_type slash = path.find_last_of("\\/");
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash);
}

// Maps a Unix path to drive Z:, where Wine shows the Unix file system.
std::string windowsPath(const std::string& path) {
    if (path.empty() || path[0] != '/') return path;
    std::string result = "Z:" + path;
    for (char& c : result)
        if (c == '/') c = '\\';
    return result;
}

// Sets the file's modification time to about three years ago.
bool setOldWriteTime(const std::string& path) {
    std::error_code error;
    fs::last_write_time(toPath(path), fs::file_time_type::clock::now() - std::chrono::hours(24 * 1000), error);
    return !error;
}

// Whether the file was last written more than a day ago, so not by the test that set it.
bool hasOldWriteTime(const std::string& path) {
    std::error_code error;
    const fs::file_time_type time = fs::last_write_time(toPath(path), error);
    return !error && time < fs::file_time_type::clock::now() - std::chrono::hours(24);
}
