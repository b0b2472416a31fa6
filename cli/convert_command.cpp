#include "cli/convert_command.h"

#include <cerrno>
#include <cstddef>
#include <filesystem>
#include <system_error>

#include "cli/order_names.h"
#include "cli/report.h"
#include "core/conversion.h"
#include "core/extension.h"
#include "core/file_system.h"
#include "core/rom_file.h"

namespace {

// Whether newPath names a file other than the one at path, which a rename must not replace.
// Another name of the same file (a change of letter case only, on a file system that
// ignores case) is not taken.
bool nameTakenByAnotherFile(const std::string& path, const std::string& newPath) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    const fs::path target = fs::u8path(newPath);
    if (!fs::exists(fs::symlink_status(target, ignored))) return false;
    return !fs::equivalent(fs::u8path(path), target, ignored);
}

// The name of the file at path without its folder.
std::string fileTitle(const std::string& path) {
    return std::filesystem::u8path(path).filename().u8string();
}

// The order to convert file from: --from when given, else its recognised order. Reports and
// returns None when the file cannot be read or its order is not recognised; nothing is then
// opened for update.
ByteOrder sourceOrder(const std::string& file, const Options& options) {
    std::string reason;
    const ByteOrder detected = detectByteOrder(file, &reason);
    if (detected == ByteOrder::None && !reason.empty()) {
        reportError(file, "cannot read", reason);
        return ByteOrder::None;
    }
    if (options.source != ByteOrder::None) return options.source;
    if (detected == ByteOrder::None)
        reportError(file, "skipped", "byte order not recognised (give --from ORDER to convert it anyway)");
    return detected;
}

// Reads file whole, writes its backup when asked, converts it from source to the target and
// writes it back in place. Every failure is reported; the ROM is closed in every case.
bool rewriteFile(const std::string& file, ByteOrder source, const Options& options) {
    RomStream rom;
    RomImage image;
    FileError error;
    if (!openAndRead(file, rom, image, error)) {
        reportFileError(file, error, std::string());
        return false;
    }

    std::string backup;
    if (options.backup) {
        if (!writeBackup(file, image, error)) {
            reportFileError(file, error, std::string());
            FileError closeError; // the ROM was only read: its close can lose nothing
            closeRom(rom, closeError);
            releaseImage(image);
            return false;
        }
        backup = backupPath(file);
        reportStep(file, "backup written to " + backup);
    }

    const std::size_t size = static_cast<std::size_t>(image.size);
    convertToBig(image.bytes, size, source);
    convertFromBig(image.bytes, size, options.target);
    if (!writeBack(rom, image, error)) {
        reportFileError(file, error, backup);
        FileError closeError; // the write-back failure is the one to report
        closeRom(rom, closeError);
        return false;
    }
    if (!closeRom(rom, error)) {
        reportFileError(file, error, backup);
        return false;
    }
    return true;
}

// Converts one file as options ask, reporting each step. Returns whether it succeeded.
bool convertFile(const std::string& file, const Options& options) {
    const ByteOrder source = sourceOrder(file, options);
    if (source == ByteOrder::None) return false;
    if (source == options.target) {
        reportStep(file, std::string("already ") + orderName(source) + ", left untouched");
        return true;
    }

    // A rename that could only fail is refused before anything is written, so the file does
    // not end up converted under a name that belies its order.
    const std::string newName = correctedName(file, options.target);
    if (options.rename && newName != file && nameTakenByAnotherFile(file, newName)) {
        reportError(file, "cannot rename to " + newName, systemReason(EEXIST) + "; nothing converted");
        return false;
    }

    if (!rewriteFile(file, source, options)) return false;
    reportStep(file, std::string(orderName(source)) + " -> " + orderName(options.target));

    if (!options.rename) return true;
    const ExtensionResult renamed = correctExtension(file, fileTitle(file), options.target);
    if (!renamed.renamed) {
        reportError(file, "converted, but cannot rename to " + newName, renamed.reason);
        return false;
    }
    if (renamed.path != file) reportStep(file, "renamed to " + renamed.path);
    return true;
}

} // namespace

int runConvert(const Options& options) {
    bool allSucceeded = true;
    for (const std::string& file : options.files)
        if (!convertFile(file, options)) allSucceeded = false;
    return allSucceeded ? kExitSuccess : kExitFailure;
}
