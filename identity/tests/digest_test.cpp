// The digests through the platform's backend (OpenSSL here, CNG under Windows) and zlib,
// against the values md5sum, sha1sum and crc32 give.
#include "identity/image_digests.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// MD5 and SHA-1 of "abc" and of 1 MiB of zero bytes, from md5sum and sha1sum.
TEST(Digest, KnownValues) {
    const unsigned char abc[] = {'a', 'b', 'c'};
    const std::vector<unsigned char> zeros(1 << 20, 0);
    const struct {
        const unsigned char* data;
        std::size_t size;
        DigestKind kind;
        const char* hex;
    } cases[] = {
        {abc, 3, DigestKind::Md5, "900150983CD24FB0D6963F7D28E17F72"},
        {abc, 3, DigestKind::Sha1, "A9993E364706816ABA3E25717850C26C9CD0D89D"},
        {zeros.data(), zeros.size(), DigestKind::Md5, "B6D81B360A5672D80C27430F39153E2C"},
        {zeros.data(), zeros.size(), DigestKind::Sha1, "3B71F43FF30F4B15B5CD85DD9E95EBC7E84EB5A3"},
    };
    for (const auto& c : cases) {
        Digest digest(c.kind);
        digest.update(c.data, 1); // in two pieces: the running state must carry over
        digest.update(c.data + 1, c.size - 1);
        unsigned char out[20] = {};
        ASSERT_TRUE(digest.finish(out)) << digest.error();
        EXPECT_EQ(hexUpper(out, digestLength(c.kind)), c.hex);
        EXPECT_FALSE(digest.finish(out)); // a finished digest gives nothing more
    }
    EXPECT_EQ(crc32Update(0, abc, 3), 0x352441C2u);
    EXPECT_EQ(crc32Update(crc32Update(0, zeros.data(), 1000), zeros.data() + 1000, zeros.size() - 1000),
              0xA738EA1Cu);
}

// Announced piece by piece, however uneven, the image gives the digests of the whole.
TEST(ConcurrentDigests, PiecesGiveTheDigestsOfTheWhole) {
    const std::vector<unsigned char> zeros(1 << 20, 0);
    ConcurrentDigests digests(zeros.data(), DigestSet::all());
    for (std::size_t filled : {std::size_t(0), std::size_t(4), std::size_t(4), std::size_t(65536),
                               std::size_t(700001), zeros.size()})
        digests.advance(filled);
    ImageDigests out;
    std::string error;
    ASSERT_TRUE(digests.finish(out, error)) << error;
    EXPECT_EQ(out.crc32, 0xA738EA1Cu);
    EXPECT_EQ(hexUpper(out.md5, 16), "B6D81B360A5672D80C27430F39153E2C");
    EXPECT_EQ(hexUpper(out.sha1, 20), "3B71F43FF30F4B15B5CD85DD9E95EBC7E84EB5A3");
}

} // namespace
