// New files written so that no partial one is ever left under its name: a backup, a patched
// ROM. Each is written under a temporary name beside its own, made durable, and only then
// given its name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "core/file_ops.h"
#include "core/rom_file.h"

// The temporary name a new file is written under: path with ".dornavel-tmp" appended.
std::string temporaryNameOf(const std::string& path);

// Whether the name at the end of path is one of the program's own work files (a temporary
// name, a recovery record, or a temporary backup of the older "FILE.bak.N-M.tmp" kind): no
// ROM, whatever its first bytes, so folder walks leave it out.
bool isWorkFileName(const std::string& path);

// A new file being written under its temporary name. Abandoned (destroyed before commit),
// it is closed and removed, so only a killed run can leave the temporary name behind; the
// next run that writes the same file removes it, once no running process holds it.
class NewFile {
public:
    NewFile() = default;
    ~NewFile();
    NewFile(const NewFile&) = delete;
    NewFile& operator=(const NewFile&) = delete;

    // Starts the file that is to be named path: removes a stale temporary, then creates the
    // temporary name afresh (links are never followed) and locks it.
    bool create(const std::string& path, std::string& reason);
    // Writes size bytes at offset, handing each slice to the disk as the next one is written.
    bool write(const unsigned char* bytes, std::size_t size, std::int64_t offset, std::string& reason);
    // Makes the file durable, closes it and gives it its name: replacing what has the name
    // (a backup replaces the older one) or, with replace false, failing when a file has it.
    bool commit(bool replace, std::string& reason);
    // Closes the temporary file and removes its name: the file is given up on.
    void discard() { abandon(); }
    // The temporary file, open for reading and writing, for a caller that reads back what it
    // wrote before commit (the system may let no other open of it read).
    FileHandle handle() const { return file_; }

private:
    // Closes the temporary file and removes its name.
    void abandon();

    FileHandle file_ = kNoFile;
    std::string path_;
    std::string temporary_;
    std::int64_t waitingFrom_ = 0; // written bytes not yet handed to the disk: from here
    std::int64_t waitingTo_ = 0;   // up to here
};

// Writes size bytes as a new file at path; an existing file of that name is never replaced.
// On failure nothing is left under path or the temporary name, and error (step NewFile)
// says why, in the system's words.
bool writeNewFile(const std::string& path, const unsigned char* bytes, std::size_t size, FileError& error);
