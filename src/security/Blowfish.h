#pragma once
#include <cstdint>

// Blowfish state: about 4 KB, a plain value held by whoever runs the key schedule.
struct TBlowfishData {
    uint8_t InitBlock[8];   // not used by bcrypt
    uint8_t LastBlock[8];   // not used by bcrypt
    uint32_t SBoxM[4][256];
    uint32_t PBoxM[18];
};

extern const uint32_t PBox[18];
extern const uint32_t SBox[4][256];

void BlowfishInitState(TBlowfishData &State);
// Encrypts one 8-byte block (two big-endian words); InData and OutData may be the same buffer.
void BlowfishEncryptECB(const TBlowfishData &Data, const void *InData, void *OutData);

namespace blowfish_detail {

inline uint32_t F(const TBlowfishData &s, uint32_t x)
{
    return ((s.SBoxM[0][x >> 24] + s.SBoxM[1][(x >> 16) & 0xFF]) ^ s.SBoxM[2][(x >> 8) & 0xFF])
        + s.SBoxM[3][x & 0xFF];
}

// The 16 rounds on a block already split into its two words; the hot path of bcrypt.
inline void encryptWords(const TBlowfishData &s, uint32_t &left, uint32_t &right)
{
    uint32_t l = left ^ s.PBoxM[0], r = right;
#pragma GCC unroll 8
    for (int i = 1; i <= 16; i += 2) {
        r ^= F(s, l) ^ s.PBoxM[i];
        l ^= F(s, r) ^ s.PBoxM[i + 1];
    }
    left = r ^ s.PBoxM[17];
    right = l;
}

} // namespace blowfish_detail
