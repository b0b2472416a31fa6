// Going through folders for ROMs: which files are taken and the walk through a tree.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "cli/file_identity.h"
#include "cli/file_list.h"

// What the first bytes of a file found in a folder say.
enum class HeaderCheck {
    Rom,       // a ROM header in one of the three orders
    NotRom,    // anything else, also a file shorter than a header
    Unreadable // the file cannot be opened or read
};

// Reads the first four bytes of the file at path and says whether they are a ROM header;
// reason tells why when the file cannot be read.
HeaderCheck checkRomHeader(const std::string& path, std::string& reason);

// Whether the name at the end of path is a backup of ours (".bak", in any letter case).
bool isBackupName(const std::string& path);

// Builds a FileList, keeping each file and each folder once.
class FileCollector {
public:
    explicit FileCollector(FileList& list) : list_(list) {}

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

    FileList& list_;
    std::set<FileIdentity> files_;          // the files in the list
    std::map<FileIdentity, int> folders_;   // the folders entered, with the ROMs found in each
};
