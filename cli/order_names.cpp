#include "cli/order_names.h"

namespace {

// One accepted spelling of an order on the command line.
struct OrderSpelling {
    const char* name;
    ByteOrder order;
};

// The first spelling of each order is the one printed.
const OrderSpelling kSpellings[] = {
    {"big", ByteOrder::BigEndian},
    {"little", ByteOrder::LittleEndian},
    {"v64", ByteOrder::DoctorV64},
    {"z64", ByteOrder::BigEndian},
    {"n64", ByteOrder::LittleEndian},
};

// The ASCII letter c in lower case; any other byte unchanged.
char lowerAscii(char c) {
    return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

} // namespace

const char* orderName(ByteOrder order) {
    for (const OrderSpelling& spelling : kSpellings)
        if (spelling.order == order) return spelling.name;
    return "unknown";
}

bool parseOrderName(const std::string& text, ByteOrder& order) {
    std::string lower = text;
    for (char& c : lower) c = lowerAscii(c);
    for (const OrderSpelling& spelling : kSpellings) {
        if (lower == spelling.name) {
            order = spelling.order;
            return true;
        }
    }
    return false;
}
