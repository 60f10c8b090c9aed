#include "core/MessageDigests.h"

#include "core/Streams.h"

#include <gtest/gtest.h>
#include <string>
#include <vector>

using namespace korvane;

namespace {

std::vector<std::uint8_t> Payload(std::size_t Size) {
    std::vector<std::uint8_t> Bytes(Size);
    for (std::size_t I = 0; I < Size; ++I)
        Bytes[I] = static_cast<std::uint8_t>(I * 7 + 3);
    return Bytes;
}

// Payload followed by its digest, written through a checksum stream.
std::vector<std::uint8_t> Sealed(const std::vector<std::uint8_t>& Bytes) {
    TMemoryStream Memory;
    TChecksumStream Stream(Memory);
    Stream.WriteBuffer(Bytes.data(), Bytes.size());
    Stream.Finish();
    return Memory.Bytes();
}

std::string Repeated(const std::string& Text, int Times) {
    std::string Result;
    for (int I = 0; I < Times; ++I)
        Result += Text;
    return Result;
}

} // namespace

TEST(RipeMD160, PublishedTestVectors) {
    struct TCase {
        std::string Message;
        const char* Digest;
    };
    const std::vector<TCase> Cases{
        {"", "9c1185a5c5e9fc54612808977ee8f548b2258d31"},
        {"a", "0bdc9d2d256b3ee9daae347be6f4dc835a467ffe"},
        {"abc", "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc"},
        {"message digest", "5d0689ef49d2fae572b881b123a85ffa21595f36"},
        {"abcdefghijklmnopqrstuvwxyz", "f71c27109c692c1b56bbdceb5b9d2865b3708dbc"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "12a053384a9c0c88e405a06c27dcf49ada62eb2b"},
        {"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789",
         "b0e20b6e3116640286ed3a87a5713079b21f5189"},
        {Repeated("1234567890", 8), "9b752e45573d4b39f4dbd3323cab82bf63326bfb"},
        {std::string(1000000, 'a'), "52783243c1697bdbe16d37f97f68f08325dc1528"},
    };
    for (const TCase& Case : Cases)
        EXPECT_EQ(DigestToHex(RipeMD160(Case.Message)), Case.Digest) << Case.Message.substr(0, 20);
}

TEST(RipeMD160, PiecewiseUpdatesEqualOneShotAndFinalRestarts) {
    const std::string Text = "The quick brown fox jumps over the lazy dog";
    TRipeMD160 Hash;
    for (char C : Text)
        Hash.Update(&C, 1);
    EXPECT_EQ(DigestToHex(Hash.Final()), "37f332f68db77bd9d7edd4969571ad671cf9dd3b");
    Hash.Update("abc", 3); // Final started a new digest
    EXPECT_EQ(DigestToHex(Hash.Final()), "8eb208f7e05d987a9b044a8e98c6b087f15a0bfc");
}

// Sizes around the 1024-byte blocks in which Verify reads.
TEST(ChecksumStream, SealedContentVerifiesAndReadsBack) {
    for (std::size_t Size : {0u, 1u, 1023u, 1024u, 1025u, 2047u, 2048u, 5000u}) {
        const auto Bytes = Payload(Size);
        const auto File = Sealed(Bytes);
        ASSERT_EQ(File.size(), Size + RipeMD160Size);
        EXPECT_TRUE(std::equal(Bytes.begin(), Bytes.end(), File.begin()));
        const auto Digest = RipeMD160(Bytes.data(), Bytes.size());
        EXPECT_TRUE(std::equal(Digest.begin(), Digest.end(), File.begin() + Size));

        TMemoryStream Memory(File);
        TChecksumStream Stream(Memory);
        ASSERT_NO_THROW(Stream.Verify()) << Size;
        EXPECT_EQ(Stream.Position(), 0);
        EXPECT_EQ(Stream.Size(), static_cast<std::int64_t>(Size));
        std::vector<std::uint8_t> Back(Size);
        Stream.ReadBuffer(Back.data(), Back.size());
        EXPECT_EQ(Back, Bytes);
        // The stored digest is not content.
        std::uint8_t Extra;
        EXPECT_EQ(Stream.Read(&Extra, 1), 0u);
    }
}

TEST(ChecksumStream, AnyChangedByteFailsVerify) {
    const auto Good = Sealed(Payload(3000));
    for (std::size_t At : {std::size_t{0}, std::size_t{1023}, std::size_t{1024}, std::size_t{2999},
                           std::size_t{3000}, Good.size() - 1}) {
        auto Bad = Good;
        Bad[At] ^= 0x01;
        TMemoryStream Memory(Bad);
        TChecksumStream Stream(Memory);
        EXPECT_THROW(Stream.Verify(), EChecksumError) << At;
    }
}

TEST(ChecksumStream, ContentShorterThanADigestIsDamaged) {
    const auto Good = Sealed(Payload(10));
    for (std::size_t Size : {0u, 1u, 19u, 25u}) {
        TMemoryStream Memory(std::vector<std::uint8_t>(Good.begin(), Good.begin() + Size));
        TChecksumStream Stream(Memory);
        try {
            Stream.Verify();
            FAIL() << Size;
        } catch (const EChecksumError& E) {
            EXPECT_STREQ(E.what(), "Hash value doesn't match.");
        }
    }
}

TEST(ChecksumStream, VerifiesFromTheCurrentPosition) {
    // Bytes before the start position are outside the digest.
    auto File = Sealed(Payload(100));
    File.insert(File.begin(), {0xAA, 0xBB, 0xCC});
    TMemoryStream Memory(File);
    Memory.Seek(3);
    TChecksumStream Stream(Memory);
    ASSERT_NO_THROW(Stream.Verify());
    EXPECT_EQ(Stream.Position(), 3);
}

TEST(ChecksumStream, FinishRestartsTheWriteDigest) {
    TMemoryStream Memory;
    TChecksumStream Stream(Memory);
    Stream.WriteBuffer("abc", 3);
    Stream.Finish();
    Stream.WriteBuffer("a", 1);
    Stream.Finish();
    const auto& Bytes = Memory.Bytes();
    ASSERT_EQ(Bytes.size(), 3u + 20u + 1u + 20u);
    std::vector<std::uint8_t> Second(Bytes.end() - 20, Bytes.end());
    const auto Expected = RipeMD160("a");
    EXPECT_TRUE(std::equal(Expected.begin(), Expected.end(), Second.begin()));
}
