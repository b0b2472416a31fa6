// Identity of whole files: the real ROM in each order, changed bytes, short, odd and
// unrecognised files, and files that cannot be read.
#include "identity/rom_identity.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "core/conversion.h"
#include "identity/tests/rom_samples.h"

#ifndef _WIN32
#include <sys/stat.h>
#endif

namespace {

// Writes image as a file in the folder and identifies it, expecting it to be read.
RomIdentity identify(const ScratchFolder& folder, const Bytes& image, BootChip forced = BootChip::Unknown) {
    const std::string path = folder.path("rom");
    writeFile(path, image);
    RomIdentity identity;
    std::string reason;
    IdentifyOptions options;
    options.forcedChip = forced;
    EXPECT_TRUE(identifyRom(path, options, identity, reason)) << reason;
    return identity;
}

// The real ROM in big-endian order.
Bytes realRomBigEndian() {
    Bytes image = realRom();
    convertToBig(image.data(), image.size(), ByteOrder::DoctorV64);
    return image;
}

class RealRomOrders : public testing::TestWithParam<ByteOrder> {};

// Whatever the file's order, the same image is identified: digests of the big-endian form
// (as catalogues list them), the header's code, the recognised chip, a check that holds.
TEST_P(RealRomOrders, GiveTheBigEndianFacts) {
    Bytes image = realRomBigEndian();
    SKIP_WITHOUT_REAL_ROM(image);
    convertFromBig(image.data(), image.size(), GetParam());
    ScratchFolder folder;
    const RomIdentity id = identify(folder, image);

    EXPECT_EQ(id.order, GetParam());
    EXPECT_EQ(id.size, 1048576);
    EXPECT_DOUBLE_EQ(sizeInMbit(id.size), 8.0);
    EXPECT_EQ(headerText(id.header.name, sizeof id.header.name), "Mupen64Plus");
    EXPECT_EQ(hexUpper(id.digests.bigEndian().md5, 16), kRealMd5);
    EXPECT_EQ(hexUpper(id.digests.bigEndian().sha1, 20), kRealSha1);
    char crc[9];
    std::snprintf(crc, sizeof crc, "%08X", static_cast<unsigned>(id.digests.bigEndian().crc32));
    EXPECT_EQ(std::string(crc), kRealCrc32);
    EXPECT_EQ(id.recognisedChip, BootChip::Cic6102);
    EXPECT_EQ(id.bootCodeCrc32, 0x90BB6CB5u);
    EXPECT_EQ(id.check.verdict, CheckVerdict::Ok);
    EXPECT_EQ(id.check.computed.crc1, kRealCrc1);
    EXPECT_EQ(id.check.computed.crc2, kRealCrc2);
    EXPECT_TRUE(id.check.padded); // 1 MiB is 4 KiB short of the checked range
}

INSTANTIATE_TEST_SUITE_P(Real, RealRomOrders,
                         testing::Values(ByteOrder::BigEndian, ByteOrder::LittleEndian, ByteOrder::DoctorV64));

// One byte changed in the checked data is caught, with the code the data really gives; one
// changed in the boot code makes it unknown, and forcing the chip checks it all the same.
TEST(RealRom, ChangedBytesAreCaught) {
    Bytes image = realRomBigEndian();
    SKIP_WITHOUT_REAL_ROM(image);
    ScratchFolder folder;
    image[0x2345] ^= 0x01;
    const RomIdentity changedData = identify(folder, image);
    EXPECT_EQ(changedData.check.verdict, CheckVerdict::Mismatch);
    EXPECT_EQ(changedData.check.header.crc1, kRealCrc1);
    EXPECT_NE(changedData.check.computed.crc1, kRealCrc1);
    image[0x2345] ^= 0x01;

    image[0x123] ^= 0x80;
    const RomIdentity changedBoot = identify(folder, image);
    EXPECT_EQ(changedBoot.check.verdict, CheckVerdict::NotVerified);
    EXPECT_EQ(changedBoot.check.reason, NotVerifiedReason::UnknownBootCode);
    EXPECT_NE(changedBoot.bootCodeCrc32, 0x90BB6CB5u);
    const RomIdentity forced = identify(folder, image, BootChip::Cic6102);
    EXPECT_EQ(forced.check.verdict, CheckVerdict::Ok);
    EXPECT_TRUE(forced.check.forced);
}

// Short files keep their order, size and digests; what they lack is said to be missing.
TEST(ShortFiles, SayWhatIsMissing) {
    const struct {
        Bytes image;
        ByteOrder order;
        bool header;
        NotVerifiedReason reason;
        const char* md5; // of the file brought to big-endian
    } cases[] = {
        {{}, ByteOrder::None, false, NotVerifiedReason::OrderUnknown, "D41D8CD98F00B204E9800998ECF8427E"},
        // Odd-sized v64: the pair is exchanged and the lone last byte left, as a conversion does,
        // so the digest is that of 80 37 12.
        {{0x37, 0x80, 0x12}, ByteOrder::DoctorV64, false, NotVerifiedReason::ShortFile,
         "8EDD1AB25314A03BC922E3A5F7B1B6CE"},
        {Bytes(0x40, 0x80), ByteOrder::BigEndian, true, NotVerifiedReason::ShortFile, nullptr},
        {[] { Bytes b(0xFFF, 0); b[0] = 0x80; return b; }(), ByteOrder::BigEndian, true,
         NotVerifiedReason::ShortFile, nullptr},
        // The boot code is there but all zero: no chip's.
        {[] { Bytes b(0x1002, 0); b[0] = 0x80; return b; }(), ByteOrder::BigEndian, true,
         NotVerifiedReason::UnknownBootCode, nullptr},
        // "PK": no ROM's first byte. Digests of the file as it is.
        {{0x50, 0x4B, 0x03, 0x04}, ByteOrder::None, false, NotVerifiedReason::OrderUnknown,
         "10893FD7CFF66DCA193F658CA9438D15"},
    };
    ScratchFolder folder;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.image.size());
        const RomIdentity id = identify(folder, c.image);
        EXPECT_EQ(id.size, static_cast<std::int64_t>(c.image.size()));
        EXPECT_EQ(id.order, c.order);
        EXPECT_EQ(id.hasHeader, c.header);
        EXPECT_EQ(id.hasBootCode, c.image.size() >= 0x1000);
        EXPECT_EQ(id.check.verdict, CheckVerdict::NotVerified);
        EXPECT_EQ(id.check.reason, c.reason);
        EXPECT_TRUE(id.hasDigests);
        if (c.md5) {
            EXPECT_EQ(hexUpper(id.digests.bigEndian().md5, 16), c.md5);
        }
    }
}

// Only regular files are read: anything else is refused at once with a reason.
TEST(Unreadable, FilesAreRefusedWithAReason) {
    ScratchFolder folder;
    std::filesystem::create_directory(folder.root() / "folder.z64");
    writeFile(folder.path("huge.z64"), {0x80});
    // Sparse: 2 GiB on paper, no space on disk; refused before any memory is taken for it.
    std::filesystem::resize_file(folder.root() / "huge.z64", std::uintmax_t(1) << 31);
    std::vector<std::string> paths{folder.path("missing.z64"), folder.path("folder.z64"), folder.path("huge.z64")};
#ifndef _WIN32
    ASSERT_EQ(mkfifo(folder.path("pipe.z64").c_str(), 0600), 0); // no writer: reading would wait
    paths.push_back(folder.path("pipe.z64"));
#endif
    for (const std::string& path : paths) {
        RomIdentity id;
        std::string reason;
        EXPECT_FALSE(identifyRom(path, IdentifyOptions(), id, reason)) << path;
        EXPECT_NE(reason, "") << path;
    }
}

} // namespace

namespace {

// Bytes given as a stream in pieces of an odd size, saying a size that may be wrong or none.
class PiecesSource : public ByteSource {
public:
    PiecesSource(const Bytes& bytes, std::int64_t stated, bool proved)
        : bytes_(bytes), stated_(stated), proved_(proved) {}
    std::int64_t size() const override { return stated_; }
    std::int64_t read(unsigned char* buffer, std::size_t size, std::string&) override {
        const std::size_t count = std::min({size, std::size_t(4093), bytes_.size() - given_});
        std::copy(bytes_.begin() + given_, bytes_.begin() + given_ + count, buffer);
        given_ += count;
        return static_cast<std::int64_t>(count);
    }
    bool provedAtTheEnd() const override { return proved_; }

private:
    const Bytes& bytes_;
    std::int64_t stated_;
    bool proved_;
    std::size_t given_ = 0;
};

} // namespace

// A stream gives the identity of a file of the same bytes, whether it says its size or not
// (9 MiB: past the first room made for an unsized one); a size it does not keep fails it.
TEST(Streams, IdentifiedAsTheFileOfTheirBytes) {
    Bytes image(9 << 20);
    std::uint32_t state = 7;
    for (unsigned char& b : image) b = static_cast<unsigned char>((state = state * 1103515245u + 12345u) >> 24);
    image[0] = 0x37; // v64
    ScratchFolder folder;
    const RomIdentity file = identify(folder, image);
    const std::int64_t size = static_cast<std::int64_t>(image.size());
    const struct {
        std::int64_t stated;
        bool digests;         // else only the check's first bytes are wanted
        bool proved;          // read to the end even then
        const char* failure;  // the reason, or null when read
    } cases[] = {
        {size, true, false, nullptr},
        {-1, true, false, nullptr},
        {-1, false, false, nullptr},
        {size + 1, true, false, "it ends before the size it states"},
        {size - 1, true, false, "it goes on past the size it states"},
        {size - 1, false, true, "it goes on past the size it states"}, // an entry: its end checked
        {size - 1, false, false, nullptr},                              // a file: its start is enough
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.stated << (c.digests ? " digests" : "") << (c.proved ? " proved" : ""));
        PiecesSource source(image, c.stated, c.proved);
        IdentifyOptions options;
        if (!c.digests) options.digests[0] = DigestSet();
        RomIdentity identity;
        std::string reason;
        ASSERT_EQ(identifyRom(source, options, identity, reason), c.failure == nullptr) << reason;
        if (c.failure) {
            EXPECT_EQ(reason, c.failure);
            continue;
        }
        EXPECT_EQ(identity.size, c.stated < 0 || c.digests ? size : c.stated);
        EXPECT_EQ(identity.order, ByteOrder::DoctorV64);
        EXPECT_EQ(identity.check.verdict, file.check.verdict);
        EXPECT_EQ(identity.bootCodeCrc32, file.bootCodeCrc32);
        if (c.digests) {
            EXPECT_EQ(hexUpper(identity.digests.bigEndian().md5, 16), hexUpper(file.digests.bigEndian().md5, 16));
        }
    }
}
