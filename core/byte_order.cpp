#include "core/byte_order.h"

#include "core/file_ops.h"

const char* const kUnknownFormatText = " Formato sconosciuto ";

namespace {

// The fixed facts of each recognised order.
struct OrderFacts {
    ByteOrder order;
    unsigned char firstByte;
    const char* label;
    const char* windowExtension; // the window's rename
    const char* commonExtension; // emulators, DATs, patches
};

const OrderFacts kOrders[] = {
    {ByteOrder::BigEndian, 0x80, "Big Endian [ A B C D ]", ".rom", ".z64"},
    {ByteOrder::LittleEndian, 0x40, "Little Endian [ D C B A ]", ".bin", ".n64"},
    {ByteOrder::DoctorV64, 0x37, "Doctor V64 [ B A D C ]", ".v64", ".v64"},
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
    return facts ? facts->firstByte : 0;
}

const char* orderLabel(ByteOrder order) {
    const OrderFacts* facts = factsOf(order);
    return facts ? facts->label : "";
}

const char* orderExtension(ByteOrder order, ExtensionSet set) {
    const OrderFacts* facts = factsOf(order);
    return facts ? extensionIn(*facts, set) : "";
}

// Letters are compared as ASCII only: every extension of the table is.
ByteOrder orderOfExtension(const std::string& extension, ExtensionSet set) {
    std::string lower = extension;
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    for (const OrderFacts& facts : kOrders)
        if (lower == extensionIn(facts, set)) return facts.order;
    return ByteOrder::None;
}

ByteOrder orderFromFirstByte(unsigned char firstByte) {
    for (const OrderFacts& facts : kOrders)
        if (facts.firstByte == firstByte) return facts.order;
    return ByteOrder::None;
}

// Reads the first bytes only, as many as a signature takes; the file is opened read-only,
// never written, and never waited on (a pipe or a device is refused as not a regular file).
ByteOrder detectByteOrder(const std::string& path, std::string* reason, FileKind* kind) {
    FileOps& ops = fileOps();
    std::string why;
    unsigned char first = 0;
    FileKind found = FileKind::Unrecognised;
    bool read = false;
    const FileHandle file = ops.open(path, OpenMode::Read, why);
    if (file != kNoFile) {
        const std::int64_t size = ops.size(file, why);
        read = size > 0 && ops.read(file, &first, 1, 0, why) && readFileKind(file, size, found, why);
        std::string ignored; // nothing was written: the close cannot lose anything
        ops.close(file, ignored);
    }
    if (reason) *reason = read ? std::string() : why;
    if (kind) *kind = found;
    return read && found == FileKind::Unrecognised ? orderFromFirstByte(first) : ByteOrder::None;
}
