// Scratch folders and whole-file reads and writes for the window tests. Paths are Windows
// paths in UTF-8, the form the program under test receives from its open-file dialog.
#pragma once

#include <string>
#include <vector>

using Bytes = std::vector<unsigned char>;

// A fresh folder for one test, beside the test program, with a space and a non-ASCII letter
// in its name; removed with everything in it at the end.
class ScratchFolder {
public:
    ScratchFolder();
    ~ScratchFolder();
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;

    // The full path of name inside the folder.
    std::string path(const std::string& name) const;

private:
    std::string root_;
};

// A file held open for reading and writing with no sharing, as another program might hold
// it: nobody else can open it until it is released.
class HeldFile {
public:
    explicit HeldFile(const std::string& path);
    ~HeldFile() { release(); }
    HeldFile(const HeldFile&) = delete;
    HeldFile& operator=(const HeldFile&) = delete;

    // Whether the file is held.
    bool held() const;

    // Lets the file go.
    void release();

private:
    void* handle_;
};

// Writes bytes as the whole content of the file at path; false when that fails.
bool writeFile(const std::string& path, const Bytes& bytes);

// The whole content of the file at path (empty when it cannot be read).
Bytes readFile(const std::string& path);

// Whether a file or folder of that path exists.
bool pathExists(const std::string& path);

// Whether path names a folder.
bool isFolder(const std::string& path);

// Creates the folder path; false when that fails.
bool makeFolder(const std::string& path);

// The folder of the running test program, as a Windows path.
std::string testProgramFolder();

// A path as Windows knows it: a Unix path (as the build system gives it when the tests are
// cross-built and run under Wine) is mapped to drive Z:, any other is kept.
std::string windowsPath(const std::string& path);

// Dates the file at path years back, so that any later write to it shows; false when that
// fails.
bool setOldWriteTime(const std::string& path);

// Whether the file at path has not been written since setOldWriteTime dated it back.
bool hasOldWriteTime(const std::string& path);
