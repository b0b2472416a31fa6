#include "cli/folder_walk.h"

#include <algorithm>
#include <cstdint>
#include <system_error>
#include <vector>

#include "archive/archive.h"
#include "cli/report.h"
#include "core/byte_order.h"
#include "core/file_ops.h"
#include "core/new_file.h"
#include "core/text.h"

namespace fs = std::filesystem;

namespace {

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

// Read as the core reads a file's first bytes: only a regular file, never waited on. The
// whole head is asked for, not the first byte alone, as a walk meets files of every kind.
HeaderCheck checkRomHeader(const std::string& path, std::string& reason) {
    FileHead head;
    if (!readFileHead(path, head, reason)) return HeaderCheck::Unreadable;
    if (orderFromRomHead(head.bytes, head.size) != ByteOrder::None) return HeaderCheck::Rom;
    return recogniseArchive(head.bytes, head.size) != ArchiveFormat::None ? HeaderCheck::Archive : HeaderCheck::NotRom;
}

bool isBackupName(const std::string& path) {
    return lowerAscii(fs::u8path(path).extension().u8string()) == ".bak";
}

bool FileCollector::identityOf(const std::string& path, Identity& identity) {
    const FileIdentity file = fileOps().identify(path, true);
    identity = {file.device, file.file};
    return file.exists && (file.device != 0 || file.file != 0); // else its identity is unknown
}

void FileCollector::addFile(const std::string& path) {
    Identity identity;
    if (identityOf(path, identity) && !files_.insert(identity).second) return;
    list_.files.push_back(path);
}

// A folder met again (given twice, or reached through a link the system does not show as
// one) counts the ROMs of its first walk; one still being walked, reached from below, none.
int FileCollector::walkFolder(const std::string& path) {
    Identity identity;
    const bool known = identityOf(path, identity);
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
    if (!entry.is_regular_file(error) || isBackupName(path) || isWorkFileName(path)) return 0;

    std::string reason;
    switch (checkRomHeader(path, reason)) {
    case HeaderCheck::Rom: addFile(path); list_.walked.insert(path); return 1;
    case HeaderCheck::Archive:
        if (!takeArchives_) break;
        addFile(path);
        list_.walked.insert(path);
        return 1;
    case HeaderCheck::NotRom: break;
    case HeaderCheck::Unreadable:
        reportError(path, "cannot read", reason);
        ++list_.failures;
        return 0;
    }
    ++list_.notRoms;
    return 0;
}
