#include "actions/new_file_output.h"

#include "core/file_ops.h"
#include "core/new_file.h"
#include "core/path_name.h"

namespace {

// Fills error for a new file that could not be delivered; returns false, for "return failed(...)".
bool failed(const std::string& path, const std::string& reason, FileError& error) {
    error.step = FileStep::NewFile;
    error.path = path;
    error.reason = reason;
    return false;
}

} // namespace

bool deliverNewFile(const NewFileOutput& output, const unsigned char* bytes, std::size_t size, FileError& error) {
    std::string reason;
    if (output.dryRun) {
        if (output.stream) return true;
        reason = fileOps().newNameProblem(folderOf(output.path), nameOf(output.path));
        return reason.empty() || failed(output.path, reason, error);
    }
    if (output.stream) return output.stream(bytes, size, reason) || failed(output.path, reason, error);
    return writeNewFile(output.path, bytes, size, error);
}
