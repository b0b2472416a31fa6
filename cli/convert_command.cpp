#include "cli/convert_command.h"

#include <filesystem>
#include <string>

#include "cli/order_names.h"
#include "cli/report.h"
#include "core/conversion.h"
#include "core/extension.h"
#include "core/rom_update.h"

namespace {

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

// What became of a file's rewrite.
enum class Rewrite { Failed, Converted, NothingToConvert };

// Reads file whole, writes its backup when asked, converts it from source to the target and
// writes it back in place. Every failure is reported; the ROM is closed in every case. A file
// too short to hold one group that the conversion moves is left alone.
Rewrite rewriteFile(const std::string& file, ByteOrder source, const Options& options) {
    RomUpdate update;
    FileError error;
    if (!update.open(file, error)) {
        reportFileError(file, error, std::string());
        return Rewrite::Failed;
    }
    if (!update.changes(source, options.target)) {
        const std::size_t group = conversionGroup(source, options.target);
        reportStep(file, "nothing to convert (shorter than one " + std::to_string(group) + "-byte group)");
        return Rewrite::NothingToConvert;
    }
    if (options.backup) {
        if (!update.backUp(error)) {
            reportFileError(file, error, std::string());
            return Rewrite::Failed;
        }
        reportStep(file, "backup written to " + update.backupName());
    }
    const std::string backup = update.backedUp() ? update.backupName() : std::string();
    if (!update.convert(source, options.target, error) || !update.close(error)) {
        reportFileError(file, error, backup);
        return Rewrite::Failed;
    }
    reportStep(file, std::string(orderName(source)) + " -> " + orderName(options.target));
    return Rewrite::Converted;
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
    const RenamePlan plan = planRename(file, options.target);
    if (options.rename && plan.need == RenameNeed::Blocked) {
        reportError(file, "cannot rename to " + plan.newPath, plan.reason + "; nothing converted");
        return false;
    }

    const Rewrite rewrite = rewriteFile(file, source, options);
    if (rewrite != Rewrite::Converted) return rewrite == Rewrite::NothingToConvert;
    if (!options.rename) return true;
    if (plan.need == RenameNeed::AlreadyLinked) {
        reportStep(file, "already also named " + plan.newPath + ", both names kept");
        return true;
    }
    const ExtensionResult renamed = correctExtension(file, fileTitle(file), options.target);
    if (!renamed.renamed) {
        reportError(file, "converted, but cannot rename to " + plan.newPath, renamed.reason);
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
