#include "spectrum/sha256.hpp"

#include <gtest/gtest.h>

#include <string>

namespace brandel::spectrum {
namespace {

// The test vectors of the SHA-256 standard's examples and of NIST's byte-oriented set.
TEST(Sha256, KnownDigests) {
    EXPECT_EQ(sha256_hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256_hex("abc"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(sha256_hex("abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq"),
              "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1");
    EXPECT_EQ(sha256_hex(std::string(1000000, 'a')),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
    // Bytes that are no text: a NUL and bytes above 0x7f count like any other.
    EXPECT_EQ(sha256_hex(std::string("\x00\xff", 2)),
              "06eb7d6a69ee19e5fbdf749018d3d2abfa04bcbd1365db312eb86dc7169389b8");
}

TEST(Sha256, PiecesGiveTheDigestOfTheWhole) {
    std::string bytes;
    for (int i = 0; i < 5000; ++i)
        bytes += static_cast<char>(i * 7 + 3);
    const Sha256Digest whole = sha256(bytes);
    Sha256 hasher;
    for (std::size_t at = 0, step = 1; at < bytes.size(); at += step, step = step * 2 + 1)
        hasher.update(std::string_view(bytes).substr(at, step));
    EXPECT_EQ(hasher.finish(), whole);
    // After a digest the hasher starts anew.
    hasher.update("abc");
    EXPECT_EQ(to_hex(hasher.finish()),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

}  // namespace
}  // namespace brandel::spectrum
