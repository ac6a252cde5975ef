#include "security/Bcrypt.h"

#include <QUuid>
#include <array>
#include <cstring>

#include "data/VardexError.h"

namespace {

constexpr char BsdBase64EncodeTable[] = "./ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

constexpr std::array<int8_t, 128> makeDecodeTable()
{
    std::array<int8_t, 128> t{};
    for (auto &v : t)
        v = -1;
    for (int i = 0; i < 64; ++i)
        t[size_t(BsdBase64EncodeTable[i])] = int8_t(i);
    return t;
}
constexpr std::array<int8_t, 128> BsdBase64DecodeTable = makeDecodeTable();

const char magicText[] = "OrpheanBeholderScryDoubt";
const uint32_t zero[4] = {};   // the 16-byte zero salt, as four words

struct TestVector {
    const char *password;
    const char *salt;
    const char *hash;
};

// The published bcrypt test vectors: five passwords at costs 6, 8, 10 and 12.
const TestVector TestVectors[20] = {
    {"", "$2a$06$DCq7YPn5Rq63x1Lad4cll.", "$2a$06$DCq7YPn5Rq63x1Lad4cll.TV4S6ytwfsfvkgY8jIucDrjc8deX1s."},
    {"", "$2a$08$HqWuK6/Ng6sg9gQzbLrgb.", "$2a$08$HqWuK6/Ng6sg9gQzbLrgb.Tl.ZHfXLhvt/SgVyWhQqgqcZ7ZuUtye"},
    {"", "$2a$10$k1wbIrmNyFAPwPVPSVa/ze", "$2a$10$k1wbIrmNyFAPwPVPSVa/zecw2BCEnBwVS2GbrmgzxFUOqW9dk4TCW"},
    {"", "$2a$12$k42ZFHFWqBp3vWli.nIn8u", "$2a$12$k42ZFHFWqBp3vWli.nIn8uYyIkbvYRvodzbfbK18SSsY.CsIQPlxO"},
    {"a", "$2a$06$m0CrhHm10qJ3lXRY.5zDGO", "$2a$06$m0CrhHm10qJ3lXRY.5zDGO3rS2KdeeWLuGmsfGlMfOxih58VYVfxe"},
    {"a", "$2a$08$cfcvVd2aQ8CMvoMpP2EBfe", "$2a$08$cfcvVd2aQ8CMvoMpP2EBfeodLEkkFJ9umNEfPD18.hUF62qqlC/V."},
    {"a", "$2a$10$k87L/MF28Q673VKh8/cPi.", "$2a$10$k87L/MF28Q673VKh8/cPi.SUl7MU/rWuSiIDDFayrKk/1tBsSQu4u"},
    {"a", "$2a$12$8NJH3LsPrANStV6XtBakCe", "$2a$12$8NJH3LsPrANStV6XtBakCez0cKHXVxmvxIlcz785vxAIZrihHZpeS"},
    {"abc", "$2a$06$If6bvum7DFjUnE9p2uDeDu", "$2a$06$If6bvum7DFjUnE9p2uDeDu0YHzrHM6tf.iqN8.yx.jNN1ILEf7h0i"},
    {"abc", "$2a$08$Ro0CUfOqk6cXEKf3dyaM7O", "$2a$08$Ro0CUfOqk6cXEKf3dyaM7OhSCvnwM9s4wIX9JeLapehKK5YdLxKcm"},
    {"abc", "$2a$10$WvvTPHKwdBJ3uk0Z37EMR.", "$2a$10$WvvTPHKwdBJ3uk0Z37EMR.hLA2W6N9AEBhEgrAOljy2Ae5MtaSIUi"},
    {"abc", "$2a$12$EXRkfkdmXn2gzds2SSitu.", "$2a$12$EXRkfkdmXn2gzds2SSitu.MW9.gAVqa9eLS1//RYtYCmB1eLHg.9q"},
    {"abcdefghijklmnopqrstuvwxyz", "$2a$06$.rCVZVOThsIa97pEDOxvGu", "$2a$06$.rCVZVOThsIa97pEDOxvGuRRgzG64bvtJ0938xuqzv18d3ZpQhstC"},
    {"abcdefghijklmnopqrstuvwxyz", "$2a$08$aTsUwsyowQuzRrDqFflhge", "$2a$08$aTsUwsyowQuzRrDqFflhgekJ8d9/7Z3GV3UcgvzQW3J5zMyrTvlz."},
    {"abcdefghijklmnopqrstuvwxyz", "$2a$10$fVH8e28OQRj9tqiDXs1e1u", "$2a$10$fVH8e28OQRj9tqiDXs1e1uxpsjN0c7II7YPKXua2NAKYvM6iQk7dq"},
    {"abcdefghijklmnopqrstuvwxyz", "$2a$12$D4G5f18o7aMMfwasBL7Gpu", "$2a$12$D4G5f18o7aMMfwasBL7GpuQWuP3pkrZrOAnqP.bmezbMng.QwJ/pG"},
    {"~!@#$%^&*()      ~!@#$%^&*()PNBFRD", "$2a$06$fPIsBO8qRqkjj273rfaOI.", "$2a$06$fPIsBO8qRqkjj273rfaOI.HtSV9jLDpTbZn782DC6/t7qT67P6FfO"},
    {"~!@#$%^&*()      ~!@#$%^&*()PNBFRD", "$2a$08$Eq2r4G/76Wv39MzSX262hu", "$2a$08$Eq2r4G/76Wv39MzSX262huzPz612MZiYHVUJe/OcOql2jo4.9UxTW"},
    {"~!@#$%^&*()      ~!@#$%^&*()PNBFRD", "$2a$10$LgfYWkbzEvQ4JakH7rOvHe", "$2a$10$LgfYWkbzEvQ4JakH7rOvHe0y8pHKF9OaFgwUZ2q7W2FFZmZzJYlfS"},
    {"~!@#$%^&*()      ~!@#$%^&*()PNBFRD", "$2a$12$WApznUOJfkEGSmYRfnkrPO", "$2a$12$WApznUOJfkEGSmYRfnkrPOr466oFDCaj4b6HY3EXGvfxm43seyhgC"},
};

[[noreturn]] void fail(const QString &message) { throw VardexError(message); }

void checkKeyLength(qsizetype length)
{
    if (length > 56)
        fail(QStringLiteral("Blowfish: Key must be between 1 and 56 bytes long"));
}

uint32_t bigEndian(const uint8_t *p)
{
    return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3];
}

// The salted key schedule on raw buffers; the salt is two 8-byte halves as four words.
void expandKey(TBlowfishData &s, const uint32_t salt[4], const uint8_t *key, int keyLength)
{
    using blowfish_detail::encryptWords;
    if (keyLength > 0) {
        int k = 0;
        for (uint32_t &p : s.PBoxM) {
            uint32_t word = 0;
            for (int b = 0; b < 4; ++b) {
                word = (word << 8) | key[k];
                k = (k + 1 == keyLength) ? 0 : k + 1;
            }
            p ^= word;
        }
    }
    uint32_t l = 0, r = 0;
    int half = 0;
    for (int i = 0; i < 18; i += 2) {
        l ^= salt[2 * half];
        r ^= salt[2 * half + 1];
        half ^= 1;
        encryptWords(s, l, r);
        s.PBoxM[i] = l;
        s.PBoxM[i + 1] = r;
    }
    for (auto &box : s.SBoxM) {
        for (int i = 0; i < 256; i += 2) {
            l ^= salt[2 * half];
            r ^= salt[2 * half + 1];
            half ^= 1;
            encryptWords(s, l, r);
            box[i] = l;
            box[i + 1] = r;
        }
    }
}

void saltWords(const uint8_t *salt16, uint32_t out[4])
{
    for (int i = 0; i < 4; ++i)
        out[i] = bigEndian(salt16 + 4 * i);
}

// bcrypt's key: the UTF-8 bytes cut at 55, plus one zero byte.
QByteArray passwordKey(const QString &password)
{
    QByteArray key = TBCrypt::WideStringToUtf8(password);
    if (key.size() > 55)
        key.truncate(55);
    key.append('\0');
    return key;
}

bool isAsciiDigit(char c)
{
    return c >= '0' && c <= '9';
}

int parseDecimal(const QByteArray &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    return ok ? value : -1;
}

} // namespace

QByteArray TBCrypt::HashPassword(const QString &password)
{
    const QByteArray salt = GenerateSalt();
    return FormatPasswordHashForBsd(BCRYPT_COST, salt, HashPassword(password, salt, BCRYPT_COST));
}

QByteArray TBCrypt::HashPassword(const QString &password, const QByteArray &salt, int cost)
{
    return CryptCore(cost, passwordKey(password), salt);
}

bool TBCrypt::CheckPassword(const QString &password, const QByteArray &expectedHashString)
{
    QString version;
    int cost = 0;
    QByteArray salt;
    // A stored cost above 16 would hold the check for minutes or hours: no real hash has one.
    // a stored string is whole: the prefix, the cost, then exactly 53 characters of salt and hash
    // (a cut or lengthened one is damaged, not a password that fails to match)
    if (!TryParseHashString(expectedHashString, version, cost, salt) || cost > kMaxStoredCost
        || expectedHashString.size() != (version.size() == 1 ? 3 : 4) + 3 + 53)
        fail(QStringLiteral("Invalid hash string"));
    const QByteArray actual = FormatPasswordHashForBsd(cost, salt, HashPassword(password, salt, cost));
    return actual == expectedHashString;
}

bool TBCrypt::CheckPassword(const QString &password, const QByteArray &salt, const QByteArray &hash, int Cost)
{
    const QByteArray actual = HashPassword(password, salt, Cost);
    return hash.size() == 24 && actual == hash;
}

QByteArray TBCrypt::GenerateSalt()
{
    // A random version-4 UUID in memory order: three little-endian fields, then eight bytes.
    const QUuid g = QUuid::createUuid();
    QByteArray salt(BCRYPT_SALT_LEN, '\0');
    auto *p = reinterpret_cast<uint8_t *>(salt.data());
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(g.data1 >> (8 * i));
    p[4] = uint8_t(g.data2);
    p[5] = uint8_t(g.data2 >> 8);
    p[6] = uint8_t(g.data3);
    p[7] = uint8_t(g.data3 >> 8);
    std::memcpy(p + 8, g.data4, 8);
    return salt;
}

bool TBCrypt::TryParseHashString(const QByteArray &hashString, QString &version, int &Cost, QByteArray &Salt)
{
    version.clear();
    Salt.clear();
    if (hashString.size() < 28)
        return false;
    QByteArray work;
    if (hashString.left(4).compare("$2a$", Qt::CaseInsensitive) == 0) {
        version = QString::fromLatin1(hashString.mid(1, 2));
        work = hashString.mid(4, 25);
    } else if (hashString.left(3).compare("$2$", Qt::CaseInsensitive) == 0) {
        version = QString::fromLatin1(hashString.mid(1, 1));
        work = hashString.mid(3, 25);
    } else {
        return false;
    }
    // the cost is exactly two digits: "+9" or " 9" is no cost, however a number parser reads it
    if (work.size() < 3 || !isAsciiDigit(work[0]) || !isAsciiDigit(work[1]) || work[2] != '$')
        return false;
    Cost = parseDecimal(work.left(2));
    Salt = BsdBase64Decode(work.mid(3, 22));
    return true;
}

QByteArray TBCrypt::FormatPasswordHashForBsd(int cost, const QByteArray &salt, const QByteArray &hash)
{
    const QByteArray saltString = BsdBase64Encode(salt, int(salt.size()));
    const QByteArray hashString = BsdBase64Encode(hash, int(hash.size()) - 1);
    return QByteArray("$2a$") + QByteArray::number(cost).rightJustified(2, '0') + '$' + saltString + hashString;
}

QByteArray TBCrypt::BsdBase64Encode(const QByteArray &data, int BytesToEncode)
{
    if (BytesToEncode == 0)
        return {};
    if (BytesToEncode < 0 || data.size() < BytesToEncode)
        fail(QStringLiteral("Invalid length"));
    const auto *d = reinterpret_cast<const uint8_t *>(data.constData());
    QByteArray out;
    out.reserve((BytesToEncode * 4 + 2) / 3);
    for (int i = 0; i < BytesToEncode; i += 3) {
        const int n = std::min(3, BytesToEncode - i);
        const uint8_t b1 = d[i], b2 = n > 1 ? d[i + 1] : 0, b3 = n > 2 ? d[i + 2] : 0;
        out += BsdBase64EncodeTable[b1 >> 2];
        out += BsdBase64EncodeTable[((b1 & 3) << 4) | (b2 >> 4)];
        if (n > 1)
            out += BsdBase64EncodeTable[((b2 & 15) << 2) | (b3 >> 6)];
        if (n > 2)
            out += BsdBase64EncodeTable[b3 & 63];
    }
    return out;
}

QByteArray TBCrypt::BsdBase64Decode(const QByteArray &s)
{
    if (s.isEmpty())
        return {};
    if (s.size() % 4 == 1)
        fail(QStringLiteral("Invalid base64 hash string"));
    auto Char64 = [](char c) {
        const auto code = uint8_t(c);
        const int v = code < 128 ? BsdBase64DecodeTable[code] : -1;
        if (v < 0)
            fail(QStringLiteral("Invalid base64 hash string"));
        return v;
    };
    QByteArray out;
    out.reserve(s.size() * 3 / 4);
    for (qsizetype i = 0; i < s.size(); i += 4) {
        const qsizetype n = std::min<qsizetype>(4, s.size() - i);
        const int c1 = Char64(s[i]), c2 = Char64(s[i + 1]);
        out += char(((c1 << 2) | (c2 >> 4)) & 255);
        if (n > 2) {
            const int c3 = Char64(s[i + 2]);
            out += char(((c2 << 4) | (c3 >> 2)) & 255);
            if (n > 3)
                out += char(((c3 << 6) | Char64(s[i + 3])) & 255);
        }
    }
    return out;
}

QByteArray TBCrypt::WideStringToUtf8(const QString &Source)
{
    QByteArray out;
    out.reserve(Source.size() * 3);
    const qsizetype n = Source.size();
    for (qsizetype i = 0; i < n; ++i) {
        uint32_t c = Source[i].unicode();
        if (QChar::isHighSurrogate(c) && i + 1 < n && QChar::isLowSurrogate(Source[i + 1].unicode())) {
            c = QChar::surrogateToUcs4(char16_t(c), Source[++i].unicode());
        } else if (QChar::isSurrogate(c)) {
            c = 0xFFFD;   // an unpaired surrogate is no error
        }
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

QByteArray TBCrypt::CryptCore(int Cost, const QByteArray &Key, const QByteArray &salt)
{
    const TBlowfishData state = EksBlowfishSetup(Cost, salt, Key);
    uint32_t text[6];
    for (int i = 0; i < 6; ++i)
        text[i] = bigEndian(reinterpret_cast<const uint8_t *>(magicText) + 4 * i);
    for (int round = 0; round < 64; ++round)
        for (int b = 0; b < 6; b += 2)
            blowfish_detail::encryptWords(state, text[b], text[b + 1]);
    QByteArray out(24, '\0');
    for (int i = 0; i < 6; ++i)
        for (int k = 0; k < 4; ++k)
            out[4 * i + k] = char(text[i] >> (24 - 8 * k));
    return out;
}

TBlowfishData TBCrypt::EksBlowfishSetup(int Cost, const QByteArray &salt, const QByteArray &key)
{
    if (Cost < 4 || Cost > 31)
        fail(QStringLiteral("Blowfish: Cost (%1) must be between 4..31").arg(Cost));
    checkKeyLength(key.size());
    if (salt.size() != 16)
        fail(QStringLiteral("Blowfish: salt must be 16 bytes"));

    TBlowfishData state;
    BlowfishInitState(state);
    uint32_t saltW[4];
    saltWords(reinterpret_cast<const uint8_t *>(salt.constData()), saltW);
    const auto *k = reinterpret_cast<const uint8_t *>(key.constData());
    const auto *s = reinterpret_cast<const uint8_t *>(salt.constData());
    expandKey(state, saltW, k, int(key.size()));
    const uint32_t rounds = uint32_t(1) << Cost;
    for (uint32_t i = 0; i < rounds; ++i) {
        expandKey(state, zero, k, int(key.size()));
        expandKey(state, zero, s, 16);
    }
    return state;
}

void TBCrypt::ExpandKey(TBlowfishData &state, const QByteArray &salt, const QByteArray &key)
{
    checkKeyLength(key.size());
    if (salt.size() != 16)
        fail(QStringLiteral("Blowfish: salt must be 16 bytes"));
    uint32_t saltW[4];
    saltWords(reinterpret_cast<const uint8_t *>(salt.constData()), saltW);
    expandKey(state, saltW, reinterpret_cast<const uint8_t *>(key.constData()), int(key.size()));
}

bool TBCrypt::SelfTest()
{
    return SelfTestA() && SelfTestB() && SelfTestC() && SelfTestD();
}

bool TBCrypt::SelfTestA()
{
    for (const TestVector &v : TestVectors) {
        QString version;
        int cost = 0;
        QByteArray salt;
        if (!TryParseHashString(v.salt, version, cost, salt))
            fail(QStringLiteral("bcrypt self-test failed: invalid versionsalt \"%1\"").arg(QString::fromLatin1(v.salt)));
        const QByteArray actual =
            FormatPasswordHashForBsd(cost, salt, HashPassword(QString::fromLatin1(v.password), salt, cost));
        if (actual != v.hash)
            fail(QStringLiteral("bcrypt self-test failed. actual hash \"%1\" did not match expected hash \"%2\"")
                     .arg(QString::fromLatin1(actual), QString::fromLatin1(v.hash)));
    }
    return true;
}

bool TBCrypt::SelfTestB()
{
    for (const TestVector &v : TestVectors) {
        const QByteArray saltChars = QByteArray(v.salt).mid(7, 22);
        const QByteArray decoded = BsdBase64Decode(saltChars);
        if (BsdBase64Encode(decoded, int(decoded.size())) != saltChars)
            fail(QStringLiteral("BSDBase64 encoder self-test failed"));
    }
    return true;
}

bool TBCrypt::SelfTestC()
{
    const QString password(8, QChar(0x03C0));
    for (int i = 0; i < 2; ++i)
        if (!CheckPassword(password, HashPassword(password)))
            fail(QStringLiteral("Failed to validate unicode string \"%1\"").arg(password));
    return true;
}

bool TBCrypt::SelfTestD()
{
    const QString text = QStringLiteral("The quick brown fox jumped over the lazy dog then sat on a log");
    for (int n = 0; n <= 56; ++n)
        if (HashPassword(text.left(n)).isEmpty())
            fail(QStringLiteral("hash creation failed"));
    return true;
}
