#include "core/extension.h"

#include <cerrno>

#include "core/file_ops.h"
#include "core/file_system.h"
#include "core/path_name.h"

// Only the extension of the file's own name is replaced: a dot in a folder name, or a
// name without any dot, never costs characters of the folder or the name.
std::string withExtension(const std::string& name, const std::string& extension) {
    const std::size_t start = nameStart(name);
    const std::size_t dot = name.find_last_of('.');
    const std::size_t stemEnd = (dot != std::string::npos && dot >= start) ? dot : name.size();
    return name.substr(0, stemEnd) + extension;
}

std::string correctedName(const std::string& name, ByteOrder order, ExtensionSet set) {
    return withExtension(name, orderExtension(order, set));
}

RenamePlan planRename(const std::string& path, ByteOrder order, ExtensionSet set) {
    return planRenameTo(path, correctedName(path, order, set));
}

// Two names of one file are told apart from one name in other letters (a file system that
// ignores case) by the file's count of names: one name can only be the same entry.
RenamePlan planRenameTo(const std::string& path, const std::string& newPath) {
    RenamePlan plan;
    plan.newPath = newPath;
    if (plan.newPath == path) return plan;
    FileOps& ops = fileOps();
    if (ops.identify(path, false).link) {
        // The link's name would change and the file it leads to would keep the old one.
        plan.need = RenameNeed::Blocked;
        plan.reason = "it is a symbolic link, and the file it leads to would keep its old name (name that file itself)";
        return plan;
    }
    const FileIdentity taken = ops.identify(plan.newPath, false);
    if (taken.exists) {
        const FileIdentity self = ops.identify(path, false);
        const bool same = self.exists && self.device == taken.device && self.file == taken.file;
        plan.need = !same ? RenameNeed::Blocked : self.links > 1 ? RenameNeed::AlreadyLinked : RenameNeed::Needed;
        if (!same) plan.reason = systemReason(EEXIST);
        return plan;
    }
    plan.reason = ops.newNameProblem(folderOf(plan.newPath), nameOf(plan.newPath));
    plan.need = plan.reason.empty() ? RenameNeed::Needed : RenameNeed::Blocked;
    return plan;
}

ExtensionResult correctExtension(const std::string& path, const std::string& title, ByteOrder order,
                                 ExtensionSet set) {
    ExtensionResult result;
    result.path = path;
    result.title = title;
    const RenamePlan plan = planRename(path, order, set);
    const std::string& newPath = plan.newPath;
    if (plan.need == RenameNeed::NotNeeded) {
        result.renamed = true; // already named for its order
        return result;
    }
    if (plan.need == RenameNeed::AlreadyLinked) {
        result.reason = newPath + " is already another name of this file";
        return result;
    }
    if (!renameNoReplace(path, newPath, result.reason)) return result;
    result.renamed = true;
    result.path = newPath;
    result.title = correctedName(title, order, set);
    return result;
}
