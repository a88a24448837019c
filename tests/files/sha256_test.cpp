#include "files/sha256.h"

#include <gtest/gtest.h>

#include <fstream>

#include "support/temp_dir.h"

namespace keelsong {
namespace {

// The FIPS 180 examples, each also fed in uneven pieces so that the block boundaries fall
// inside a piece as well as between them.
TEST(Sha256Test, StandardVectors_WholeOrInPieces_GiveTheStandardDigest) {
    struct Case {
        std::string text;
        const char* digest;
    };
    const Case cases[] = {
        {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
        {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
         "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
        {std::string(1'000'000, 'a'),
         "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Sha256Hex(c.text), c.digest) << c.text.size() << " bytes";
        Sha256 pieces;
        for (size_t at = 0, step = 1; at < c.text.size(); at += step, step = step * 3 % 97 + 1) {
            pieces.Add(std::string_view(c.text).substr(at, step));
        }
        EXPECT_EQ(pieces.HexDigest(), c.digest) << c.text.size() << " bytes in pieces";
    }
}

TEST(Sha256Test, File_ReadableOrMissing_DigestOrNothing) {
    testing::TempDir folder;
    std::ofstream(folder / "a.tlk", std::ios::binary) << "abc";
    EXPECT_EQ(FileSha256Hex(folder / "a.tlk"),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_EQ(FileSha256Hex(folder / "missing.tlk"), std::nullopt);
}

}  // namespace
}  // namespace keelsong
