#include "core/conversion.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

namespace {

using Bytes = std::vector<unsigned char>;

// Converts a copy of image from one order to another, as a swap does.
Bytes converted(Bytes image, ByteOrder from, ByteOrder to) {
    convertToBig(image.data(), image.size(), from);
    convertFromBig(image.data(), image.size(), to);
    return image;
}

// The first eight bytes of a ROM in each order.
const Bytes kBig = {0x80, 0x37, 0x12, 0x40, 0x00, 0x00, 0x00, 0x0F};
const Bytes kLittle = {0x40, 0x12, 0x37, 0x80, 0x0F, 0x00, 0x00, 0x00}; // each group reversed
const Bytes kV64 = {0x37, 0x80, 0x40, 0x12, 0x00, 0x00, 0x0F, 0x00};    // each pair exchanged

TEST(Conversion, AllSixPairsOfOrders) {
    EXPECT_EQ(converted(kBig, ByteOrder::BigEndian, ByteOrder::LittleEndian), kLittle);
    EXPECT_EQ(converted(kBig, ByteOrder::BigEndian, ByteOrder::DoctorV64), kV64);
    EXPECT_EQ(converted(kLittle, ByteOrder::LittleEndian, ByteOrder::BigEndian), kBig);
    EXPECT_EQ(converted(kLittle, ByteOrder::LittleEndian, ByteOrder::DoctorV64), kV64);
    EXPECT_EQ(converted(kV64, ByteOrder::DoctorV64, ByteOrder::BigEndian), kBig);
    EXPECT_EQ(converted(kV64, ByteOrder::DoctorV64, ByteOrder::LittleEndian), kLittle);
}

TEST(Conversion, LittleToV64IsAReversalThenAPairExchange) {
    // 40 12 37 80 reversed is 80 37 12 40; its pairs exchanged give 37 80 40 12.
    EXPECT_EQ(converted({0x40, 0x12, 0x37, 0x80}, ByteOrder::LittleEndian, ByteOrder::DoctorV64),
              Bytes({0x37, 0x80, 0x40, 0x12}));
}

TEST(Conversion, UnrecognisedImageIsTakenAsBigEndian) {
    // No first pass runs for None, so the bytes are treated as A B C D.
    EXPECT_EQ(converted({0x12, 0x34, 0x56, 0x78}, ByteOrder::None, ByteOrder::LittleEndian),
              Bytes({0x78, 0x56, 0x34, 0x12}));
    EXPECT_EQ(converted(kBig, ByteOrder::BigEndian, ByteOrder::None), kBig);
}

TEST(Conversion, SameOrderChangesNothing) {
    EXPECT_EQ(converted(kLittle, ByteOrder::LittleEndian, ByteOrder::LittleEndian), kLittle);
    EXPECT_EQ(converted(kV64, ByteOrder::DoctorV64, ByteOrder::DoctorV64), kV64);
}

TEST(Passes, ZeroBytesTouchNothing) {
    unsigned char guard[4] = {0xAA, 0xBB, 0xCC, 0xDD};
    swapPairs(guard, 0);
    reverseQuads(guard, 0);
    EXPECT_EQ(Bytes(guard, guard + 4), Bytes({0xAA, 0xBB, 0xCC, 0xDD}));
    swapPairs(nullptr, 0); // an empty image may have no buffer at all
    reverseQuads(nullptr, 0);
}

// Runs pass on a heap buffer of exactly the input's size, so that a byte touched past the
// end is caught by the address sanitizer.
Bytes onExactBuffer(const Bytes& input, void (*pass)(unsigned char*, std::size_t)) {
    std::unique_ptr<unsigned char[]> buffer(new unsigned char[input.size()]);
    std::copy(input.begin(), input.end(), buffer.get());
    pass(buffer.get(), input.size());
    return Bytes(buffer.get(), buffer.get() + input.size());
}

TEST(Passes, IncompleteLastGroupStaysAsItIs) {
    // swapPairs: complete pairs exchanged, a trailing odd byte kept.
    EXPECT_EQ(onExactBuffer({0x01}, swapPairs), Bytes({0x01}));
    EXPECT_EQ(onExactBuffer({0x01, 0x02}, swapPairs), Bytes({0x02, 0x01}));
    EXPECT_EQ(onExactBuffer({0x01, 0x02, 0x03}, swapPairs), Bytes({0x02, 0x01, 0x03}));
    EXPECT_EQ(onExactBuffer({1, 2, 3, 4, 5}, swapPairs), Bytes({2, 1, 4, 3, 5}));
    EXPECT_EQ(onExactBuffer({1, 2, 3, 4, 5, 6}, swapPairs), Bytes({2, 1, 4, 3, 6, 5}));
    EXPECT_EQ(onExactBuffer({1, 2, 3, 4, 5, 6, 7}, swapPairs), Bytes({2, 1, 4, 3, 6, 5, 7}));
    // reverseQuads: complete groups reversed, the 1 to 3 bytes after the last one kept.
    EXPECT_EQ(onExactBuffer({0x01}, reverseQuads), Bytes({0x01}));
    EXPECT_EQ(onExactBuffer({0x01, 0x02}, reverseQuads), Bytes({0x01, 0x02}));
    EXPECT_EQ(onExactBuffer({0x01, 0x02, 0x03}, reverseQuads), Bytes({0x01, 0x02, 0x03}));
    EXPECT_EQ(onExactBuffer({1, 2, 3, 4, 5}, reverseQuads), Bytes({4, 3, 2, 1, 5}));
    EXPECT_EQ(onExactBuffer({1, 2, 3, 4, 5, 6}, reverseQuads), Bytes({4, 3, 2, 1, 5, 6}));
    EXPECT_EQ(onExactBuffer({1, 2, 3, 4, 5, 6, 7}, reverseQuads), Bytes({4, 3, 2, 1, 5, 6, 7}));
}

TEST(Passes, WorkOnImagesThatStartAtAnyAddress) {
    // 70 bytes from an odd address: the block, word and group steps all take part.
    std::vector<unsigned char> storage(72, 0xEE);
    for (int i = 0; i < 70; ++i) storage[i + 1] = static_cast<unsigned char>(i);
    reverseQuads(storage.data() + 1, 70);
    EXPECT_EQ(storage[0], 0xEE);                    // before the image: untouched
    EXPECT_EQ(storage[1], 3);                       // group 0 1 2 3 became 3 2 1 0
    EXPECT_EQ(storage[64 + 1], 67);                 // the first group after the 64-byte block
    EXPECT_EQ(storage[68 + 1], 68);                 // 68 69 is an incomplete group: kept
    EXPECT_EQ(storage[69 + 1], 69);
    EXPECT_EQ(storage[71], 0xEE);                   // after the image: untouched
}

// The byte-by-byte definitions of the two passes, to hold the fast ones against.
void referenceSwapPairs(Bytes& b) {
    for (std::size_t i = 0; i + 1 < b.size(); i += 2) std::swap(b[i], b[i + 1]);
}
void referenceReverseQuads(Bytes& b) {
    for (std::size_t i = 0; i + 3 < b.size(); i += 4) {
        std::swap(b[i], b[i + 3]);
        std::swap(b[i + 1], b[i + 2]);
    }
}
// The passes a conversion makes, done byte by byte.
Bytes referenceConverted(Bytes b, ByteOrder from, ByteOrder to) {
    for (ByteOrder order : {from, to}) {
        if (order == ByteOrder::LittleEndian) referenceReverseQuads(b);
        if (order == ByteOrder::DoctorV64) referenceSwapPairs(b);
    }
    return b;
}

const ByteOrder kOrders[] = {ByteOrder::BigEndian, ByteOrder::LittleEndian, ByteOrder::DoctorV64};

TEST(ConversionProperty, MatchesTheByteByByteDefinitionForEverySize) {
    std::mt19937 random(20261207);
    std::vector<std::size_t> sizes;
    for (std::size_t n = 0; n <= 300; ++n) sizes.push_back(n);
    for (std::size_t n : {4095u, 65536u, 1048579u}) sizes.push_back(n);
    // From 4 MiB on, the blocks are written with non-temporal stores: the smallest such
    // image, and two with a tail of words and groups after the last block.
    for (std::size_t n : {4194304u, 4194371u, 4194370u}) sizes.push_back(n);
    for (std::size_t n : sizes) {
        Bytes image(n);
        for (unsigned char& b : image) b = static_cast<unsigned char>(random());
        for (ByteOrder from : kOrders) {
            for (ByteOrder to : kOrders) {
                if (from == to) continue;
                const Bytes fast = converted(image, from, to);
                ASSERT_EQ(fast, referenceConverted(image, from, to))
                    << "size " << n << " from " << static_cast<int>(from) << " to "
                    << static_cast<int>(to);
                ASSERT_EQ(converted(fast, to, from), image) << "round trip, size " << n;
            }
        }
    }
}

} // namespace
