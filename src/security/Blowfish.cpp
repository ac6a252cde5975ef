#include "security/Blowfish.h"

#include <cstring>

void BlowfishInitState(TBlowfishData &State)
{
    std::memcpy(State.SBoxM, SBox, sizeof State.SBoxM);
    std::memcpy(State.PBoxM, PBox, sizeof State.PBoxM);
}

static uint32_t readBigEndian(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

static void writeBigEndian(uint8_t *p, uint32_t v)
{
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

void BlowfishEncryptECB(const TBlowfishData &Data, const void *InData, void *OutData)
{
    const auto *in = static_cast<const uint8_t *>(InData);
    uint32_t l = readBigEndian(in), r = readBigEndian(in + 4);
    blowfish_detail::encryptWords(Data, l, r);
    auto *out = static_cast<uint8_t *>(OutData);
    writeBigEndian(out, l);
    writeBigEndian(out + 4, r);
}
