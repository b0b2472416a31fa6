// What tells whether two names lead to one file: the device it lives on and its number there.
#pragma once

#include <cstdint>
#include <string>

// The identity of a file or folder, the same for every name of it (links, other spellings,
// other letter case where the file system ignores it).
struct FileIdentity {
    std::uint64_t device = 0; // the device or volume
    std::uint64_t number = 0; // the file's number on it
};

inline bool operator<(const FileIdentity& a, const FileIdentity& b) {
    return a.device != b.device ? a.device < b.device : a.number < b.number;
}

// Reads the identity of whatever path (UTF-8) names, following links. Returns false when it
// cannot be reached.
bool readFileIdentity(const std::string& path, FileIdentity& identity);
