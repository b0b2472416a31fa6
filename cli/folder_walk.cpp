#include "cli/folder_walk.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <system_error>
#include <vector>

#include "cli/report.h"
#include "core/file_system.h"

namespace fs = std::filesystem;

namespace {

// The first four bytes of a ROM in each order. One byte alone says too little: plenty of
// other files start with 0x80, 0x40 or 0x37.
const unsigned char kRomHeaders[][4] = {
    {0x80, 0x37, 0x12, 0x40}, // big-endian
    {0x40, 0x12, 0x37, 0x80}, // little-endian
    {0x37, 0x80, 0x40, 0x12}, // Doctor V64
};

// The entries of the folder at path, in name order. Returns false with reason set when the
// folder cannot be read to its end.
bool readFolder(const fs::path& path, std::vector<fs::directory_entry>& entries, std::string& reason) {
    std::error_code error;
    fs::directory_iterator it(path, error);
    for (; !error && it != fs::directory_iterator(); it.increment(error)) entries.push_back(*it);
    if (error) {
        reason = error.message();
        return false;
    }
    std::sort(entries.begin(), entries.end(), [](const fs::directory_entry& a, const fs::directory_entry& b) {
        return a.path().filename().u8string() < b.path().filename().u8string();
    });
    return true;
}

} // namespace

HeaderCheck checkRomHeader(const std::string& path, std::string& reason) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        reason = systemReason(errno);
        return HeaderCheck::Unreadable;
    }
    unsigned char head[4];
    const std::size_t got = std::fread(head, 1, sizeof head, file);
    const bool failed = got != sizeof head && std::ferror(file);
    const int readErrno = errno;
    std::fclose(file);
    if (failed) {
        reason = systemReason(readErrno);
        return HeaderCheck::Unreadable;
    }
    if (got != sizeof head) return HeaderCheck::NotRom;
    for (const auto& header : kRomHeaders)
        if (std::memcmp(head, header, sizeof head) == 0) return HeaderCheck::Rom;
    return HeaderCheck::NotRom;
}

bool isBackupName(const std::string& path) {
    std::string extension = fs::u8path(path).extension().u8string();
    for (char& c : extension)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return extension == ".bak";
}

void FileCollector::addFile(const std::string& path) {
    FileIdentity identity;
    if (readFileIdentity(path, identity) && !files_.insert(identity).second) return;
    list_.files.push_back(path);
}

// A folder met again (given twice, or reached through a link the system does not show as
// one) counts the ROMs of its first walk; one still being walked, reached from below, none.
int FileCollector::walkFolder(const std::string& path) {
    FileIdentity identity;
    const bool known = readFileIdentity(path, identity);
    if (known) {
        const auto walked = folders_.find(identity);
        if (walked != folders_.end()) return walked->second;
        folders_[identity] = 0;
    }
    std::vector<fs::directory_entry> entries;
    std::string reason;
    if (!readFolder(fs::u8path(path), entries, reason)) {
        reportError(path, "cannot read the folder", reason);
        ++list_.failures;
        return 0;
    }
    int roms = 0;
    for (const fs::directory_entry& entry : entries) roms += takeEntry(entry);
    if (known) folders_[identity] = roms;
    return roms;
}

// Only regular files are opened: a device or a pipe could block the read of the header.
int FileCollector::takeEntry(const fs::directory_entry& entry) {
    const std::string path = entry.path().u8string();
    std::error_code error;
    const bool isLink = entry.is_symlink(error);
    const bool isFolder = entry.is_directory(error); // of the link's target, for a link
    if (isFolder) return isLink ? 0 : walkFolder(path);
    if (!entry.is_regular_file(error) || isBackupName(path)) return 0;

    std::string reason;
    switch (checkRomHeader(path, reason)) {
    case HeaderCheck::Rom: addFile(path); return 1;
    case HeaderCheck::NotRom: ++list_.notRoms; return 0;
    case HeaderCheck::Unreadable: break;
    }
    reportError(path, "cannot read", reason);
    ++list_.failures;
    return 0;
}
