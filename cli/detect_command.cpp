#include "cli/detect_command.h"

#include "cli/order_names.h"
#include "cli/report.h"
#include "core/byte_order.h"

int runDetect(const std::vector<std::string>& files) {
    bool allRead = true;
    for (const std::string& file : files) {
        std::string reason;
        const ByteOrder order = detectByteOrder(file, &reason);
        if (order == ByteOrder::None && !reason.empty()) {
            reportError(file, "cannot read", reason);
            allRead = false;
            continue;
        }
        reportStep(file, orderName(order));
    }
    return allRead ? kExitSuccess : kExitFailure;
}
