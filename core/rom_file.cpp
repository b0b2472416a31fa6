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
