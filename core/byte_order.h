// Byte orders of a Nintendo 64 ROM image, every fact about each of them in one table (the
// bytes it is recognised by, its names, its extensions), and their recognition.
#pragma once

#include <cstddef>
#include <string>

#include "core/file_kind.h"

// The order of the bytes of each 4-byte group of a ROM image, in file order.
enum class ByteOrder {
    None = 0,            // not recognised
    BigEndian = 2130,    // A B C D
    LittleEndian = 2131, // D C B A
    DoctorV64 = 2132     // B A D C
};

// The three orders a ROM can be in, in the order they are listed to the user.
constexpr ByteOrder kRomOrders[] = {ByteOrder::BigEndian, ByteOrder::LittleEndian, ByteOrder::DoctorV64};

// Shown for a file whose first byte names none of the three orders.
extern const char* const kUnknownFormatText;

// The first byte by which a ROM in this order is recognised (0 for None).
unsigned char orderFirstByte(ByteOrder order);

// The label shown to the user for an order ("" for None).
const char* orderLabel(ByteOrder order);

// The short name of an order, as the command line prints and reads it: "big", "little",
// "v64" ("" for None).
const char* orderShortName(ByteOrder order);

// The two sets of extensions that name the orders: the window's rename gives ".rom", ".bin"
// and ".v64"; emulators, DATs, patches and flash-cart menus use ".z64", ".n64" and ".v64".
enum class ExtensionSet { Window, Common };

// The file extension, with its dot, that names an order in set ("" for None).
const char* orderExtension(ByteOrder order, ExtensionSet set = ExtensionSet::Window);

// The order that extension (with its dot, in any letter case) names in set, or None.
ByteOrder orderOfExtension(const std::string& extension, ExtensionSet set);

// The order a ROM image starting with this byte is in, or None.
ByteOrder orderFromFirstByte(unsigned char firstByte);

// The length of the start of a ROM header that is the same in every ROM: 80 37 12 40 in
// big-endian order.
constexpr std::size_t kRomHeadBytes = 4;

// The order whose whole ROM head the first size bytes begin with, or None (also when size is
// below kRomHeadBytes). One byte alone says too little for a file met in passing: plenty of
// other files start with 0x80, 0x40 or 0x37.
ByteOrder orderFromRomHead(const unsigned char* head, std::size_t size);
