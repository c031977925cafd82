#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "System.Hash.h"
#include "System.Remainder.Exceptions.h"

using namespace System;

namespace {

std::string Hex(const TBytes& bytes) {
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (uint8_t b : bytes) {
        text += digits[b >> 4];
        text += digits[b & 15];
    }
    return text;
}

// Hashes `message` fed in pieces of the given sizes, cycling through them.
TBytes Digest(uint8_t variant, const std::string& message, const std::vector<size_t>& pieces = {}) {
    Sha2State state;
    HashSha2Init(state, variant);
    size_t at = 0;
    for (size_t i = 0; at < message.size(); ++i) {
        const size_t n = pieces.empty() ? message.size() : std::min(pieces[i % pieces.size()], message.size() - at);
        HashSha2Update(state, message.data() + at, n);
        at += n;
    }
    return HashSha2Final(state);
}

std::string PatternBytes(size_t n) {
    std::string bytes(n, '\0');
    uint32_t x = 12345;
    for (char& c : bytes) {
        x = x * 1103515245u + 12345u;
        c = char(x >> 24);
    }
    return bytes;
}

} // namespace

TEST(Hash, KnownDigestsOfEveryVariant) {
    const struct { uint8_t variant; std::string message; const char* digest; } cases[] = {
    {0, "", "d14a028c2a3a2bc9476102bb288234c415a2b01f828ea62ac5b3e42f"},
    {0, "abc", "23097d223405d8228642a477bda255b32aadbce4bda0b3f7e36c9da7"},
    {0, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "75388b16512776cc5dba5da1fd890150b0c6455cb4f58b1952522525"},
    {0, "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu", "c97ca9a559850ce97a04a96def6d99a9e0e0e2ab14e6b8df265fc0b3"},
    {0, std::string(55, 'a'), "fb0bd626a70c28541dfa781bb5cc4d7d7f56622a58f01a0b1ddd646f"},
    {0, std::string(56, 'a'), "d40854fc9caf172067136f2e29e1380b14626bf6f0dd06779f820dcd"},
    {0, std::string(63, 'a'), "1d4e051f4d6fed2a63fd2421e65834cec00d64456553de3496ae8b1d"},
    {0, std::string(64, 'a'), "a88cd5cde6d6fe9136a4e58b49167461ea95d388ca2bdb7afdc3cbf4"},
    {0, std::string(65, 'a'), "ff8716f600af42959d0efb52e1f21b01bb328733009344d511c299fb"},
    {1, "", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
    {1, "abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
    {1, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
    {1, "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu", "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},
    {1, std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
    {1, std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
    {1, std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
    {1, std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
    {1, std::string(65, 'a'), "635361c48bb9eab14198e76ea8ab7f1a41685d6ad62aa9146d301d4f17eb0ae0"},
    {2, "", "38b060a751ac96384cd9327eb1b1e36a21fdb71114be07434c0cc7bf63f6e1da274edebfe76f65fbd51ad2f14898b95b"},
    {2, "abc", "cb00753f45a35e8bb5a03d699ac65007272c32ab0eded1631a8b605a43ff5bed8086072ba1e7cc2358baeca134c825a7"},
    {2, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "3391fdddfc8dc7393707a65b1b4709397cf8b1d162af05abfe8f450de5f36bc6b0455a8520bc4e6f5fe95b1fe3c8452b"},
    {2, "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu", "09330c33f71147e83d192fc782cd1b4753111b173b3b05d22fa08086e3b0f712fcc7c71a557e2db966c3e9fa91746039"},
    {2, std::string(111, 'a'), "3c37955051cb5c3026f94d551d5b5e2ac38d572ae4e07172085fed81f8466b8f90dc23a8ffcdea0b8d8e58e8fdacc80a"},
    {2, std::string(112, 'a'), "187d4e07cb306103c69967bf544d0dfbe9042577599c73c330abc0cb64c61236d5ed565ee19119d8c31779a38f791fcd"},
    {2, std::string(127, 'a'), "9bd06b1763c2cf7aef40e795dc65bc96d59c41b537f3ad72ebdefd485476b5717c1aeb37c327fe9c1831b12b9efd08ae"},
    {2, std::string(128, 'a'), "edb12730a366098b3b2beac75a3bef1b0969b15c48e2163c23d96994f8d1bef760c7e27f3c464d3829f56c0d53808b0b"},
    {2, std::string(129, 'a'), "39b6f5a7b0e781dbc419f72e49b30eaac10f2c98c4403bc610da31067fd1b48f324138c8615d2b496d08d73d5e865326"},
    {3, "", "cf83e1357eefb8bdf1542850d66d8007d620e4050b5715dc83f4a921d36ce9ce47d0d13c5d85f2b0ff8318d2877eec2f63b931bd47417a81a538327af927da3e"},
    {3, "abc", "ddaf35a193617abacc417349ae20413112e6fa4e89a97ea20a9eeee64b55d39a2192992a274fc1a836ba3c23a3feebbd454d4423643ce80e2a9ac94fa54ca49f"},
    {3, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "204a8fc6dda82f0a0ced7beb8e08a41657c16ef468b228a8279be331a703c33596fd15c13b1b07f9aa1d3bea57789ca031ad85c7a71dd70354ec631238ca3445"},
    {3, "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu", "8e959b75dae313da8cf4f72814fc143f8f7779c6eb9f7fa17299aeadb6889018501d289e4900f7e4331b99dec4b5433ac7d329eeb6dd26545e96e55b874be909"},
    {3, std::string(111, 'a'), "fa9121c7b32b9e01733d034cfc78cbf67f926c7ed83e82200ef86818196921760b4beff48404df811b953828274461673c68d04e297b0eb7b2b4d60fc6b566a2"},
    {3, std::string(112, 'a'), "c01d080efd492776a1c43bd23dd99d0a2e626d481e16782e75d54c2503b5dc32bd05f0f1ba33e568b88fd2d970929b719ecbb152f58f130a407c8830604b70ca"},
    {3, std::string(127, 'a'), "828613968b501dc00a97e08c73b118aa8876c26b8aac93df128502ab360f91bab50a51e088769a5c1eff4782ace147dce3642554199876374291f5d921629502"},
    {3, std::string(128, 'a'), "b73d1929aa615934e61a871596b3f3b33359f42b8175602e89f7e06e5f658a243667807ed300314b95cacdd579f3e33abdfbe351909519a846d465c59582f321"},
    {3, std::string(129, 'a'), "4f681e0bd53cda4b5a2041cc8a06f2eabde44fb16c951fbd5b87702f07aeab611565b19c47fde30587177ebb852e3971bbd8d3fd30da18d71037dfbd98420429"},
    {4, "", "6ed0dd02806fa89e25de060c19d3ac86cabb87d6a0ddd05c333b84f4"},
    {4, "abc", "4634270f707b6a54daae7530460842e20e37ed265ceee9a43e8924aa"},
    {4, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "e5302d6d54bb242275d1e7622d68df6eb02dedd13f564c13dbda2174"},
    {4, "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu", "23fec5bb94d60b23308192640b0c453335d664734fe40e7268674af9"},
    {4, std::string(111, 'a'), "3ebe1b48e8c66acb9ae014db95b4bec93de7e9572bff41cf566bd7d0"},
    {4, std::string(112, 'a'), "79b41fef2a0439d2705724a67615f7bcbcd2bf5664a7774b80818eb6"},
    {4, std::string(127, 'a'), "65aec5ddd181bb86e1921d493a0667492cb8dbc2b560ec061ed2c492"},
    {4, std::string(128, 'a'), "261b94bcba554264b3b738e9e09e7dc68ac8e0b4c8517fe9bb7c3617"},
    {4, std::string(129, 'a'), "3a19e0ab45e58ffb1db38df972ac85842bff2bbacd16ec9819a6a434"},
    {5, "", "c672b8d1ef56ed28ab87c3622c5114069bdd3ad7b8f9737498d0c01ecef0967a"},
    {5, "abc", "53048e2681941ef99b2e29b76b4c7dabe4c2d0c634fc6d46e0e2f13107e7af23"},
    {5, "abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq", "bde8e1f9f19bb9fd3406c90ec6bc47bd36d8ada9f11880dbc8a22a7078b6a461"},
    {5, "abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu", "3928e184fb8690f840da3988121d31be65cb9d3ef83ee6146feac861e19b563a"},
    {5, std::string(111, 'a'), "0239e429f98d0ed61ee8e2a7c30afe98c1c3a80ce5dff62a107e9c538f7632ce"},
    {5, std::string(112, 'a'), "9216b5303edb66504570bee90e48ea5beaa5e9fe9f760bbd3e0460559fc005f6"},
    {5, std::string(127, 'a'), "2fe3b2a6ee7e12f6fe4ba82166541ad9b4ed882c493581cbe300d68f3757b778"},
    {5, std::string(128, 'a'), "b88f97e274f9c1d49f181c8cbd01a9c74930ad055a46ac4499a1d601f1c80bf2"},
    {5, std::string(129, 'a'), "fb9035c9009ed4a60e37510339ebdb1c771339f30aa581d5dea3690a524c23f1"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "variant " << int(c.variant) << ", " << c.message.size() << " bytes");
        EXPECT_EQ(Hex(Digest(c.variant, c.message)), c.digest);
    }
    EXPECT_EQ(Hex(Digest(Sha2_256, std::string(1000000, 'a'), {1000})),
              "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0");
}

TEST(Hash, SplitUpdatesEqualOneUpdate) {
    const std::string message = PatternBytes(3001);
    const std::vector<size_t> splits[] = {{1}, {63}, {64}, {1000}, {127, 1}, {128}, {0, 5, 200}, {65, 129, 3}};
    for (uint8_t variant = Sha2_224; variant <= Sha2_512_256; ++variant) {
        const TBytes whole = Digest(variant, message);
        for (const auto& pieces : splits) {
            SCOPED_TRACE(testing::Message() << "variant " << int(variant) << " pieces "
                                            << testing::PrintToString(pieces));
            EXPECT_EQ(Digest(variant, message, pieces), whole);
        }
    }
}

TEST(Hash, FinalTwiceAndUpdateAfterFinal) {
    Sha2State state;
    HashSha2Init(state, Sha2_256);
    HashSha2Update(state, "abc", 3);
    const TBytes first = HashSha2Final(state);
    EXPECT_EQ(HashSha2Final(state), first);
    EXPECT_EQ(Hex(first), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_TRUE(state.Finished);
    for (size_t count : {size_t(0), size_t(3)}) {
        try {
            HashSha2Update(state, "abc", count);
            FAIL();
        } catch (const EHashException& e) {
            EXPECT_EQ(e.Message, u"HashSha2 finalizado");
        }
    }
    EXPECT_EQ(HashSha2Final(state), first);
}

TEST(Hash, VariantAboveFiveIsRefused) {
    Sha2State state;
    std::memset(&state, 0, sizeof state);
    state.Variant = 6;
    try {
        HashSha2Update(state, "abc", 3);
        FAIL();
    } catch (const EDivByZero& e) {
        EXPECT_EQ(e.Message, u"Divisão por zero");
    }
    EXPECT_EQ(state.BitCount, 24u);
    EXPECT_THROW(HashSha2Block(state), EDivByZero);
    EXPECT_TRUE(HashSha2Final(state).empty());
    EXPECT_THROW(HashSha2Init(state, 255), EDivByZero);
}

TEST(Hash, ShaInstructionsMatchThePortableCode) {
    if (!Sha256HasShaInstructions()) GTEST_SKIP() << "this processor has no SHA instructions";
    const std::string data = PatternBytes(64 * 37);
    const auto* blocks = reinterpret_cast<const uint8_t*>(data.data());
    for (size_t count : {size_t(0), size_t(1), size_t(2), size_t(37)}) {
        uint32_t portable[8] = {0x6a09e667u, 0xbb67ae85u, 0x3c6ef372u, 0xa54ff53au,
                                0x510e527fu, 0x9b05688cu, 0x1f83d9abu, 0x5be0cd19u};
        uint32_t hardware[8];
        std::memcpy(hardware, portable, sizeof portable);
        Sha256CompressPortable(portable, blocks, count);
        Sha256CompressShaNi(hardware, blocks, count);
        EXPECT_EQ(std::memcmp(portable, hardware, sizeof portable), 0) << count << " blocks";
    }
}
