#include "cli/interrupted_update.h"

#include <cstdio>

#include "cli/order_names.h"

std::string interruptedUpdateText(const PendingUpdate& pending) {
    const RecordContents& contents = pending.contents;
    if (contents.conversion)
        return std::string("a conversion from ") + orderName(contents.from) + " to " + orderName(contents.to);
    char offset[32];
    std::snprintf(offset, sizeof offset, "0x%llX", static_cast<unsigned long long>(contents.offset));
    return "a change of " + std::to_string(contents.newBytes.size()) + " bytes at " + offset;
}

std::string interruptedProblem(const std::string& file) {
    const PendingUpdate pending = pendingUpdate(file);
    if (!pending.found) return std::string();
    return "holds an interrupted update (" + interruptedUpdateText(pending) +
           "), so its bytes may be half old, half new; dornavel-cli convert or fix on it, or opening it in "
           "the window, brings the update to its end";
}
