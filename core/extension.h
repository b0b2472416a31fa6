// The final correction: renaming a converted ROM so that its extension names its byte order.
#pragma once

#include <string>

#include "core/byte_order.h"

// name with the extension of its last path component (from its last dot) replaced by the
// extension of order, or with that extension appended when the component has none.
std::string correctedName(const std::string& name, ByteOrder order);

// The outcome of an extension correction.
struct ExtensionResult {
    bool renamed = false; // the file now carries the corrected name (also when it already did)
    std::string path;     // the path the file has now
    std::string title;    // the name to show: the file title the file has now
    std::string reason;   // why the rename failed, when it did
};

// Renames the file at path (shown as title) to the extension of order. An existing file of
// the new name is never replaced: the rename then fails and the file keeps its name.
ExtensionResult correctExtension(const std::string& path, const std::string& title,
                                 ByteOrder order);
