#include "core/byte_order.h"

#include <cstring>

#include "core/text.h"

const char* const kUnknownFormatText = " Formato sconosciuto ";

namespace {

// The fixed facts of each recognised order.
struct OrderFacts {
    ByteOrder order;
    unsigned char head[kRomHeadBytes]; // the first bytes of every ROM in this order
    const char* label;
    const char* shortName;       // the command line's
    const char* windowExtension; // the window's rename
    const char* commonExtension; // emulators, DATs, patches
};

const OrderFacts kOrders[] = {
    {ByteOrder::BigEndian, {0x80, 0x37, 0x12, 0x40}, "Big Endian [ A B C D ]", "big", ".rom", ".z64"},
    {ByteOrder::LittleEndian, {0x40, 0x12, 0x37, 0x80}, "Little Endian [ D C B A ]", "little", ".bin", ".n64"},
    {ByteOrder::DoctorV64, {0x37, 0x80, 0x40, 0x12}, "Doctor V64 [ B A D C ]", "v64", ".v64", ".v64"},
};

// The facts of order, or null for None.
const OrderFacts* factsOf(ByteOrder order) {
    for (const OrderFacts& facts : kOrders)
        if (facts.order == order) return &facts;
    return nullptr;
}

// The extension of facts in set.
const char* extensionIn(const OrderFacts& facts, ExtensionSet set) {
    return set == ExtensionSet::Common ? facts.commonExtension : facts.windowExtension;
}

} // namespace

unsigned char orderFirstByte(ByteOrder order) {
    const OrderFacts* facts = factsOf(order);
    return facts ? facts->head[0] : 0;
}

const char* orderLabel(ByteOrder order) {
    const OrderFacts* facts = factsOf(order);
    return facts ? facts->label : "";
}

const char* orderShortName(ByteOrder order) {
    const OrderFacts* facts = factsOf(order);
    return facts ? facts->shortName : "";
}

const char* orderExtension(ByteOrder order, ExtensionSet set) {
    const OrderFacts* facts = factsOf(order);
    return facts ? extensionIn(*facts, set) : "";
}

// Letters are compared as ASCII only: every extension of the table is.
ByteOrder orderOfExtension(const std::string& extension, ExtensionSet set) {
    const std::string lower = lowerAscii(extension);
    for (const OrderFacts& facts : kOrders)
        if (lower == extensionIn(facts, set)) return facts.order;
    return ByteOrder::None;
}

ByteOrder orderFromFirstByte(unsigned char firstByte) {
    for (const OrderFacts& facts : kOrders)
        if (facts.head[0] == firstByte) return facts.order;
    return ByteOrder::None;
}

ByteOrder orderFromRomHead(const unsigned char* head, std::size_t size) {
    if (size < kRomHeadBytes) return ByteOrder::None;
    for (const OrderFacts& facts : kOrders)
        if (std::memcmp(head, facts.head, kRomHeadBytes) == 0) return facts.order;
    return ByteOrder::None;
}
