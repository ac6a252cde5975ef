#pragma once
#include <QByteArray>
#include <QString>

#include "security/Blowfish.h"

// bcrypt over Blowfish, "$2a$" hash strings. No instance data: every operation is static, keeps
// its state on its own stack and may run on any thread. Failures raise VardexError.
class TBCrypt {
public:
    static constexpr int BCRYPT_COST = 10;
    static constexpr int BCRYPT_SALT_LEN = 16;
    static constexpr int kMaxStoredCost = 16;   // the highest cost a stored hash string may carry

    static QByteArray HashPassword(const QString &password);                       // hash string
    static QByteArray HashPassword(const QString &password, const QByteArray &salt, int cost);   // 24 bytes
    static bool CheckPassword(const QString &password, const QByteArray &expectedHashString);
    static bool CheckPassword(const QString &password, const QByteArray &salt, const QByteArray &hash, int Cost);
    static QByteArray GenerateSalt();
    static bool TryParseHashString(const QByteArray &hashString, QString &version, int &Cost, QByteArray &Salt);
    static QByteArray FormatPasswordHashForBsd(int cost, const QByteArray &salt, const QByteArray &hash);
    static QByteArray BsdBase64Encode(const QByteArray &data, int BytesToEncode);
    static QByteArray BsdBase64Decode(const QByteArray &s);
    static QByteArray WideStringToUtf8(const QString &Source);
    static QByteArray CryptCore(int Cost, const QByteArray &Key, const QByteArray &salt);
    static TBlowfishData EksBlowfishSetup(int Cost, const QByteArray &salt, const QByteArray &key);
    static void ExpandKey(TBlowfishData &state, const QByteArray &salt, const QByteArray &key);

    static bool SelfTest();
    static bool SelfTestA();
    static bool SelfTestB();
    static bool SelfTestC();
    static bool SelfTestD();
};
