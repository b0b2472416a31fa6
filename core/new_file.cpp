#include "core/new_file.h"

#include <cctype>
#include <cerrno>

#include "core/file_system.h"
#include "core/path_name.h"
#include "core/text.h"

namespace {

// The suffix of the temporary names.
const char* const kTemporarySuffix = ".dornavel-tmp";

// The suffixes of the work files, in lower case.
const char* const kWorkSuffixes[] = {".dornavel-tmp", ".dornavel-recovery"};

// The last component of path, in lower case.
std::string lowerName(const std::string& path) {
    return lowerAscii(nameOf(path));
}

// Whether name ends in ".bak.N-M.tmp", the temporary backups of earlier versions.
bool isOldTemporaryBackup(const std::string& name) {
    const std::size_t bak = name.rfind(".bak.");
    if (bak == std::string::npos || name.size() < 4 || name.compare(name.size() - 4, 4, ".tmp") != 0) return false;
    const std::string counters = name.substr(bak + 5, name.size() - 4 - bak - 5);
    const std::size_t dash = counters.find('-');
    if (dash == std::string::npos || dash == 0 || dash + 1 == counters.size()) return false;
    for (std::size_t i = 0; i < counters.size(); ++i)
        if (i != dash && !std::isdigit(static_cast<unsigned char>(counters[i]))) return false;
    return true;
}

// Removes the temporary left under name by a run that was stopped: only when no running
// process holds it (its writer keeps it locked). Nothing there is fine.
bool removeStale(const std::string& name, std::string& reason) {
    FileOps& ops = fileOps();
    const FileIdentity there = ops.identify(name, false);
    if (!there.exists) return true;
    if (there.folder) return reason = "a folder has the temporary name " + name, false;
    if (!there.link) {
        const FileHandle held = ops.open(name, OpenMode::Update, reason);
        const bool free = held != kNoFile && ops.lock(held, reason);
        std::string ignored;
        if (held != kNoFile) ops.close(held, ignored);
        if (reason == kInUseText) return reason = name + " is being written by another program", false;
        if (!free) return false;
    }
    return ops.remove(name, reason);
}

} // namespace

std::string temporaryNameOf(const std::string& path) {
    return path + kTemporarySuffix;
}

bool isWorkFileName(const std::string& path) {
    const std::string name = lowerName(path);
    for (const char* suffix : kWorkSuffixes) {
        const std::string end(suffix);
        if (name.size() > end.size() && name.compare(name.size() - end.size(), end.size(), end) == 0) return true;
    }
    return isOldTemporaryBackup(name);
}

NewFile::~NewFile() {
    abandon();
}

bool NewFile::create(const std::string& path, std::string& reason) {
    abandon();
    path_ = path;
    const std::string temporary = temporaryNameOf(path);
    if (!removeStale(temporary, reason)) return false;
    FileOps& ops = fileOps();
    const FileHandle file = ops.open(temporary, OpenMode::CreateNew, reason);
    if (file == kNoFile) return false;
    file_ = file;
    temporary_ = temporary;
    return ops.lock(file_, reason);
}

// Written bytes go to the disk kWriteOutBytes at a time while the next ones are written, so
// the final sync has little left to wait for; many small writes make one handing.
bool NewFile::write(const unsigned char* bytes, std::size_t size, std::int64_t offset, std::string& reason) {
    FileOps& ops = fileOps();
    if (offset != waitingTo_) waitingFrom_ = waitingTo_ = offset;
    for (std::size_t done = 0; done < size;) {
        const std::size_t slice = size - done < kWriteOutBytes ? size - done : kWriteOutBytes;
        const std::int64_t at = offset + static_cast<std::int64_t>(done);
        if (!ops.write(file_, bytes + done, slice, at, reason)) return false;
        done += slice;
        waitingTo_ = at + static_cast<std::int64_t>(slice);
        if (waitingTo_ - waitingFrom_ < static_cast<std::int64_t>(kWriteOutBytes)) continue;
        ops.startWriteOut(file_, waitingFrom_, waitingTo_ - waitingFrom_);
        waitingFrom_ = waitingTo_;
    }
    return true;
}

// The folder is synced last, so that the new name itself survives a power cut.
bool NewFile::commit(bool replace, std::string& reason) {
    FileOps& ops = fileOps();
    if (!ops.sync(file_, reason)) return false;
    const FileHandle file = file_;
    file_ = kNoFile;
    if (!ops.close(file, reason)) return false;
    const bool named = replace ? ops.renameReplacing(temporary_, path_, reason)
                               : renameNoReplace(temporary_, path_, reason);
    if (!named) return false;
    temporary_.clear();
    ops.syncFolderOf(path_);
    return true;
}

void NewFile::abandon() {
    FileOps& ops = fileOps();
    std::string ignored; // the failure that made us give up is the one worth telling
    if (file_ != kNoFile) ops.close(file_, ignored);
    file_ = kNoFile;
    if (!temporary_.empty()) ops.remove(temporary_, ignored);
    temporary_.clear();
}

bool writeNewFile(const std::string& path, const unsigned char* bytes, std::size_t size, FileError& error) {
    std::string reason;
    NewFile file;
    const bool written = !fileOps().identify(path, false).exists && withinSizeLimit(static_cast<std::int64_t>(size), reason) &&
                         file.create(path, reason) &&
                         file.write(bytes, size, 0, reason) && file.commit(false, reason);
    if (written) return true;
    if (reason.empty()) reason = systemReason(EEXIST); // the name was taken before anything was written
    return failFileStep(error, FileStep::NewFile, reason, path);
}
