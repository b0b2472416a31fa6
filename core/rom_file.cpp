#include "core/rom_file.h"

std::string backupPath(const std::string& path) {
    return path + ".bak";
}

bool failFileStep(FileError& error, FileStep step, const std::string& reason, const std::string& path) {
    error.step = step;
    error.path = path;
    error.reason = reason;
    return false;
}

// Reads the first bytes only, as many as a signature takes.
ByteOrder detectByteOrder(const std::string& path, FileError& error) {
    error = FileError();
    FileHead head;
    std::string reason;
    if (!readFileHead(path, head, reason)) return failFileStep(error, FileStep::Read, reason, path), ByteOrder::None;
    error.kind = kindFromSignature(head.bytes, head.size);
    if (error.kind != FileKind::Unrecognised) return failFileStep(error, FileStep::NotRom, notARomText(error.kind), path), ByteOrder::None;
    return head.size > 0 ? orderFromFirstByte(head.bytes[0]) : ByteOrder::None;
}

ByteOrder detectByteOrder(const std::string& path) {
    FileError ignored;
    return detectByteOrder(path, ignored);
}
