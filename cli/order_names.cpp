#include "cli/order_names.h"

#include "core/text.h"

const char* orderName(ByteOrder order) {
    return order == ByteOrder::None ? "unknown" : orderShortName(order);
}

// An order is named by its short name or by its common extension without the dot.
bool parseOrderName(const std::string& text, ByteOrder& order) {
    const std::string lower = lowerAscii(text);
    for (const ByteOrder named : kRomOrders) {
        if (lower == orderShortName(named) || "." + lower == orderExtension(named, ExtensionSet::Common)) {
            order = named;
            return true;
        }
    }
    return false;
}
