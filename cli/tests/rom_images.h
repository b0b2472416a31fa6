// Small ROM images for the tests: one 8-byte image in each byte order.
#pragma once

#include <ostream>
#include <string>

#include "core/tests/test_files.h"

// Big-endian: the first four bytes of a real ROM header (80 37 12 40), then 00 00 00 0F.
inline const Bytes kBigImage{0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F};

// Little-endian: each 4-byte group of the big-endian image reversed.
inline const Bytes kLittleImage{0x40, 0x12, 0x37, 0x80, 0x0F, 0x00, 0x00, 0x00};

// Doctor V64: each 2-byte pair of the big-endian image exchanged.
inline const Bytes kV64Image{0x37, 0x80, 0x40, 0x12, 0x00, 0x00, 0x0F, 0x00};

// The image above for an order named as on the command line ("big", "little", "v64").
inline const Bytes& imageIn(const std::string& order) {
    if (order == "little") return kLittleImage;
    if (order == "v64") return kV64Image;
    return kBigImage;
}

// A pair of orders, from and to, for the tests that run over every conversion.
struct OrderPair {
    const char* from;
    const char* to;
};

// Every conversion between two different orders.
inline const OrderPair kEveryConversion[] = {
    {"big", "little"}, {"big", "v64"},   {"little", "big"},
    {"little", "v64"}, {"v64", "big"},   {"v64", "little"},
};

// Names a test case after its pair, e.g. "big_to_little".
inline std::string pairName(const testing::TestParamInfo<OrderPair>& info) {
    return std::string(info.param.from) + "_to_" + info.param.to;
}

// Shows a pair in test output as "big -> little".
inline void PrintTo(const OrderPair& pair, std::ostream* out) {
    *out << pair.from << " -> " << pair.to;
}
