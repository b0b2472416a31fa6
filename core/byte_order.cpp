#include "core/byte_order.h"

#include <cerrno>
#include <cstdio>

#include "core/file_system.h"

const char* const kUnknownFormatText = " Formato sconosciuto ";

namespace {

// The fixed facts of each recognised order.
struct OrderFacts {
    ByteOrder order;
    unsigned char firstByte;
    const char* label;
    const char* extension;
};

const OrderFacts kOrders[] = {
    {ByteOrder::BigEndian, 0x80, "Big Endian [ A B C D ]", ".rom"},
    {ByteOrder::LittleEndian, 0x40, "Little Endian [ D C B A ]", ".bin"},
    {ByteOrder::DoctorV64, 0x37, "Doctor V64 [ B A D C ]", ".v64"},
};

// The facts of order, or null for None.
const OrderFacts* factsOf(ByteOrder order) {
    for (const OrderFacts& facts : kOrders)
        if (facts.order == order) return &facts;
    return nullptr;
}

} // namespace

unsigned char orderFirstByte(ByteOrder order) {
    const OrderFacts* facts = factsOf(order);
    return facts ? facts->firstByte : 0;
}

const char* orderLabel(ByteOrder order) {
    const OrderFacts* facts = factsOf(order);
    return facts ? facts->label : "";
}

const char* orderExtension(ByteOrder order) {
    const OrderFacts* facts = factsOf(order);
    return facts ? facts->extension : "";
}

ByteOrder orderFromFirstByte(unsigned char firstByte) {
    for (const OrderFacts& facts : kOrders)
        if (facts.firstByte == firstByte) return facts.order;
    return ByteOrder::None;
}

// Reads the first byte only; the file is opened read-only and never written.
ByteOrder detectByteOrder(const std::string& path, std::string* reason) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (!file) {
        if (reason) *reason = systemReason(errno);
        return ByteOrder::None;
    }
    unsigned char first = 0;
    const std::size_t got = std::fread(&first, 1, 1, file);
    const bool failed = got != 1 && std::ferror(file);
    const int readErrno = errno;
    std::fclose(file);
    if (got != 1) {
        if (reason) *reason = failed ? systemReason(readErrno) : std::string();
        return ByteOrder::None;
    }
    if (reason) reason->clear();
    return orderFromFirstByte(first);
}
