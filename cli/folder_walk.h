// Going through folders for ROMs: which files are taken and the walk through a tree.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "cli/file_list.h"

// What the first bytes of a file found in a folder say.
enum class HeaderCheck {
    Rom,       // a ROM header in one of the three orders
    Archive,   // an archive's signature
    NotRom,    // anything else, also a file shorter than a header
    Unreadable // the file cannot be opened or read
};

// Reads the first bytes of the file at path and says whether they are a ROM header or an
// archive's signature;
// reason tells why when the file cannot be read.
HeaderCheck checkRomHeader(const std::string& path, std::string& reason);

// Whether the name at the end of path is a backup of ours (".bak", in any letter case).
bool isBackupName(const std::string& path);

// Builds a FileList, keeping each file and each folder once.
class FileCollector {
public:
    // takeArchives: folder walks take archives as well as ROMs.
    FileCollector(FileList& list, bool takeArchives) : list_(list), takeArchives_(takeArchives) {}

    // Adds the file at path unless another name of it is in the list already. A file whose
    // identity cannot be read is added: its command reports why it cannot be used.
    void addFile(const std::string& path);

    // Goes through the folder at path, depth-first in name order, adding the ROMs in it and
    // in the folders below. Links to folders are not followed, and a folder already gone
    // through is not gone through again. Returns how many ROMs it holds, counted also when
    // they were listed already.
    int walkFolder(const std::string& path);

    FileList& list() { return list_; }

private:
    // Takes one entry of a folder: walks a folder, adds a ROM, counts a file that is none.
    // Returns the ROMs it holds.
    int takeEntry(const std::filesystem::directory_entry& entry);

    // What tells two names of one file apart from two files: its device and its number there.
    using Identity = std::pair<std::uint64_t, std::uint64_t>;

    // The identity of whatever path names, following links; false when it cannot be read.
    static bool identityOf(const std::string& path, Identity& identity);

    FileList& list_;
    bool takeArchives_;
    std::set<Identity> files_;        // the files in the list
    std::map<Identity, int> folders_; // the folders entered, with the ROMs found in each
};
