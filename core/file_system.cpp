#include "core/file_system.h"

#include <cstring>

#ifndef _WIN32
#include <climits>
#include <unistd.h>
#endif

#include "core/file_ops.h"
#include "core/path_name.h"

std::string systemReason(int errnoValue) {
    const char* text = std::strerror(errnoValue);
    return text ? text : "unknown error";
}

bool renameNoReplace(const std::string& from, const std::string& to, std::string& reason) {
    FileOps& ops = fileOps();
    bool unsupported = false;
    if (ops.renameExclusive(from, to, unsupported, reason)) return true;
    if (!unsupported) return false;
    if (!ops.link(from, to, reason)) return false;
    if (ops.remove(from, reason)) return true;
    std::string ignored;
    ops.remove(to, ignored); // keep one name only: the old one
    return false;
}

bool sameFile(const std::string& path, const std::string& other) {
    FileOps& ops = fileOps();
    const FileIdentity rom = ops.identify(path, true);
    const FileIdentity named = ops.identify(other, true);
    return rom.exists && named.exists && rom.device == named.device && rom.file == named.file;
}

bool withinSizeLimit(std::int64_t size, std::string& reason) {
    const std::int64_t limit = fileOps().fileSizeLimit();
    if (limit < 0 || size <= limit) return true;
    reason = "this process may write files of at most " + std::to_string(limit) +
             " bytes (the file size limit, ulimit -f), and the file has " + std::to_string(size);
    return false;
}

// Only the last name is followed: the folders on the way are the same folders whatever
// links lead through them. Windows links are left as they are.
std::string pathLinksLeadTo(const std::string& path) {
#ifdef _WIN32
    return path;
#else
    std::string at = path;
    for (int hops = 0; hops < 40; ++hops) { // as many as the system itself follows
        char target[PATH_MAX];
        const ssize_t length = readlink(at.c_str(), target, sizeof target - 1);
        if (length <= 0) return at;
        const std::string to(target, static_cast<std::size_t>(length));
        at = to[0] == '/' ? to : besideName(at, to);
    }
    return at;
#endif
}
