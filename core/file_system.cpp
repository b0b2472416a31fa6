#include "core/file_system.h"

#include <cstring>

#include "core/file_ops.h"

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
