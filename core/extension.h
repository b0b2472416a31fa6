// The final correction: renaming a converted ROM so that its extension names its byte order.
#pragma once

#include <string>

#include "core/byte_order.h"

// name with the extension of its last path component (from its last dot) replaced by
// extension (with its dot), or with extension appended when the component has none.
std::string withExtension(const std::string& name, const std::string& extension);

// name with the extension of its last path component (from its last dot) replaced by the
// extension of order in set, or with that extension appended when the component has none.
std::string correctedName(const std::string& name, ByteOrder order, ExtensionSet set = ExtensionSet::Window);

// Whether the rename to the extension of an order is needed, and whether it can be done.
enum class RenameNeed {
    NotNeeded,     // the file already has the name
    Needed,        // the new name is free, and its folder takes it
    AlreadyLinked, // the new name is another link to this same file: it already carries it
    Blocked        // the rename would fail: reason says why
};

// The rename of the file at path for order, checked without changing anything.
struct RenamePlan {
    std::string newPath;
    RenameNeed need = RenameNeed::NotNeeded;
    std::string reason;
};

// Checks what the rename to the extension of order in set would meet: a name taken by
// another file, a further name of this file, a folder that cannot be written, a name too
// long, a symbolic link (renaming it would leave the file it leads to under its old name).
RenamePlan planRename(const std::string& path, ByteOrder order, ExtensionSet set = ExtensionSet::Window);

// The same check for a rename of the file at path to newPath, any new name.
RenamePlan planRenameTo(const std::string& path, const std::string& newPath);

// The outcome of an extension correction.
struct ExtensionResult {
    bool renamed = false; // the file now carries the corrected name (also when it already did)
    std::string path;     // the path the file has now
    std::string title;    // the name to show: the file title the file has now
    std::string reason;   // why the rename failed, when it did
};

// Renames the file at path (shown as title) to the extension of order in set. An existing
// file of the new name is never replaced: the rename then fails and the file keeps its name.
// A new name that is already another link to this file is left as it is: the file keeps both.
ExtensionResult correctExtension(const std::string& path, const std::string& title, ByteOrder order,
                                 ExtensionSet set = ExtensionSet::Window);
