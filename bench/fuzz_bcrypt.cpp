// libFuzzer target: any bytes as a stored hash string through the parser, the base-64 decoder
// and the check. Only our own errors may come out; a crash or sanitizer report is a bug.
#include <QByteArray>
#include <QString>
#include <cstdint>

#include "data/VardexError.h"
#include "security/Bcrypt.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char *>(data), qsizetype(size));
    QString version;
    int cost = 0;
    QByteArray salt;
    bool parsed = false;
    try {
        parsed = TBCrypt::TryParseHashString(input, version, cost, salt);
    } catch (const VardexError &) {
    }
    try {
        TBCrypt::BsdBase64Decode(input);
    } catch (const VardexError &) {
    }
    // Keep the check cheap: high costs are legal but would only slow the fuzzer down.
    if (parsed && cost > 6)
        return 0;
    try {
        TBCrypt::CheckPassword(QStringLiteral("пароль"), input);
    } catch (const VardexError &) {
    }
    return 0;
}
