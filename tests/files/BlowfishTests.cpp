#include "files/Blowfish.h"
#include "files/BlowfishTables.h"
#include "files/DataFile.h"

#include <gtest/gtest.h>
#include <nettle/blowfish.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> Bytes(uint64_t value)
{
    std::vector<uint8_t> out(8);
    for (int i = 0; i < 8; ++i)
        out[i] = uint8_t(value >> (56 - 8 * i));
    return out;
}

// A block in the file byte order: each 32-bit half least significant byte first.
void SwapHalves(uint8_t* block, std::size_t length)
{
    for (std::size_t at = 0; at < length; at += 4) {
        std::swap(block[at], block[at + 3]);
        std::swap(block[at + 1], block[at + 2]);
    }
}

struct Vector {
    uint64_t key;
    uint64_t plain;
    uint64_t cipher;
};

// Published vectors, big-endian halves.
const Vector kVectors[] = {
    {0x0000000000000000, 0x0000000000000000, 0x4EF997456198DD78},
    {0xFFFFFFFFFFFFFFFF, 0xFFFFFFFFFFFFFFFF, 0x51866FD5B85ECB8A},
    {0x3000000000000000, 0x1000000000000001, 0x7D856F9A613063F2},
    {0x1111111111111111, 0x1111111111111111, 0x2466DD878B963C9D},
    {0x0123456789ABCDEF, 0x1111111111111111, 0x61F9C3802281B096},
    {0xFEDCBA9876543210, 0x0123456789ABCDEF, 0x0ACEAB0FC6A0A28D},
    {0x7CA110454A1A6E57, 0x01A1D6D039776742, 0x59C68245EB05282B},
};

TEST(BlowfishTables, BeginWithTheDigitsOfPi)
{
    EXPECT_EQ(kBlowfishInitP[0], 0x243F6A88u);
    EXPECT_EQ(kBlowfishInitP[17], 0x8979FB1Bu);
    EXPECT_EQ(kBlowfishInitS[0], 0xD1310BA6u);
    EXPECT_EQ(kBlowfishInitS[256], 0x4B7A70E9u);
    EXPECT_EQ(kBlowfishInitS[512], 0xE93D5A68u);
    EXPECT_EQ(kBlowfishInitS[768], 0x3A39CE37u);
    EXPECT_EQ(kBlowfishInitS[1023], 0x3AC372E6u);
}

TEST(Blowfish, PublishedVectorsAsBlocksAndInFileByteOrder)
{
    for (const Vector& v : kVectors) {
        SCOPED_TRACE(v.key);
        std::vector<uint8_t> key = Bytes(v.key);
        CBlowfish cipher;
        ASSERT_TRUE(cipher.Initialize(key.data(), key.size()));
        uint32_t left = uint32_t(v.plain >> 32), right = uint32_t(v.plain);
        cipher.EncipherBlock(left, right);
        EXPECT_EQ((uint64_t(left) << 32) | right, v.cipher);
        cipher.DecipherBlock(left, right);
        EXPECT_EQ((uint64_t(left) << 32) | right, v.plain);

        std::vector<uint8_t> block = Bytes(v.plain);
        SwapHalves(block.data(), block.size());
        ASSERT_TRUE(cipher.EncipherBuffer(block.data(), block.size()));
        SwapHalves(block.data(), block.size());
        EXPECT_EQ(block, Bytes(v.cipher));
    }
}

TEST(Blowfish, TextKeyVector)
{
    const char* key = "abcdefghijklmnopqrstuvwxyz";
    CBlowfish cipher;
    ASSERT_TRUE(cipher.Initialize(reinterpret_cast<const uint8_t*>(key), std::strlen(key)));
    uint32_t left = 0x424C4F57, right = 0x46495348;  // "BLOWFISH"
    cipher.EncipherBlock(left, right);
    EXPECT_EQ(left, 0x324ED0FEu);
    EXPECT_EQ(right, 0xF413A203u);
}

TEST(Blowfish, BufferLengthRules)
{
    CBlowfish cipher;
    ASSERT_TRUE(cipher.Initialize(reinterpret_cast<const uint8_t*>("k"), 1));
    uint8_t buffer[16];
    for (int i = 0; i < 16; ++i)
        buffer[i] = uint8_t(i);
    uint8_t before[16];
    std::memcpy(before, buffer, 16);
    EXPECT_FALSE(cipher.DecipherBuffer(buffer, 12));
    EXPECT_FALSE(cipher.EncipherBuffer(buffer, 7));
    EXPECT_EQ(std::memcmp(buffer, before, 16), 0);
    EXPECT_TRUE(cipher.DecipherBuffer(buffer, 0));
    EXPECT_EQ(std::memcmp(buffer, before, 16), 0);

    ASSERT_TRUE(cipher.EncipherBuffer(buffer, 16));
    EXPECT_NE(std::memcmp(buffer, before, 16), 0);
    ASSERT_TRUE(cipher.DecipherBuffer(buffer, 16));
    EXPECT_EQ(std::memcmp(buffer, before, 16), 0);
}

TEST(Blowfish, EqualBlocksGiveEqualCipherBlocks)
{
    CBlowfish cipher;
    ASSERT_TRUE(cipher.Initialize(reinterpret_cast<const uint8_t*>("ecb"), 3));
    uint8_t buffer[16] = {'S', '1', '2', '3', '4', '5', '6', '7', 'S', '1', '2', '3', '4', '5', '6', '7'};
    ASSERT_TRUE(cipher.EncipherBuffer(buffer, 16));
    EXPECT_EQ(std::memcmp(buffer, buffer + 8, 8), 0);
}

TEST(Blowfish, OnlyTheFirst72KeyBytesMatter)
{
    const std::string key = kConfigFileKey;
    ASSERT_EQ(key.size(), 93u);
    CBlowfish full, cut;
    ASSERT_TRUE(full.Initialize(reinterpret_cast<const uint8_t*>(key.data()), key.size()));
    ASSERT_TRUE(cut.Initialize(reinterpret_cast<const uint8_t*>(key.data()), 72));
    EXPECT_EQ(std::memcmp(full.PArray(), cut.PArray(), 18 * 4), 0);
    EXPECT_EQ(std::memcmp(full.SBoxes(), cut.SBoxes(), 1024 * 4), 0);
}

TEST(Blowfish, EmptyKeyIsRefusedAndTheContextStaysUnusable)
{
    CBlowfish cipher;
    uint8_t key = 0;
    EXPECT_FALSE(cipher.Initialize(&key, 0));
    EXPECT_FALSE(cipher.IsReady());
    uint8_t buffer[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_FALSE(cipher.EncipherBuffer(buffer, 8));
    EXPECT_EQ(buffer[0], 1);
}

// nettle follows the published byte order; each half is swapped around its operations.
TEST(Blowfish, AgreesWithNettleOnRandomKeysAndBuffers)
{
    std::mt19937 random(20261210);
    for (int round = 0; round < 200; ++round) {
        std::size_t keyLength = 1 + random() % BLOWFISH_MAX_KEY_SIZE;
        std::vector<uint8_t> key(keyLength);
        for (auto& b : key)
            b = uint8_t(random());
        std::vector<uint8_t> plain(8 * (random() % 40));
        for (auto& b : plain)
            b = uint8_t(random());

        struct blowfish_ctx reference;
        if (!blowfish_set_key(&reference, key.size(), key.data()))
            continue;  // nettle refuses weak keys
        std::vector<uint8_t> expected = plain;
        SwapHalves(expected.data(), expected.size());
        blowfish_encrypt(&reference, expected.size(), expected.data(), expected.data());
        SwapHalves(expected.data(), expected.size());

        CBlowfish cipher;
        ASSERT_TRUE(cipher.Initialize(key.data(), key.size()));
        std::vector<uint8_t> buffer = plain;
        ASSERT_TRUE(cipher.EncipherBuffer(buffer.data(), buffer.size()));
        ASSERT_EQ(buffer, expected) << "round " << round;
        ASSERT_TRUE(cipher.DecipherBuffer(buffer.data(), buffer.size()));
        ASSERT_EQ(buffer, plain);
    }
}

}  // namespace
