// Cost-10 bcrypt: our TBCrypt against the system's libxcrypt, alternating in one run.
// Prints both medians and, last, the ratio ours/libxcrypt.
#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <crypt.h>
#include <vector>

#include "security/Bcrypt.h"

static double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

int main(int argc, char **argv)
{
    const int rounds = argc > 1 ? std::atoi(argv[1]) : 21;
    const QByteArray salt = TBCrypt::GenerateSalt();
    const QByteArray setting = TBCrypt::FormatPasswordHashForBsd(10, salt, QByteArray(24, '\0')).left(29);
    const QString password = QStringLiteral("Пароль эксперта 2024");
    const QByteArray passwordUtf8 = password.toUtf8();
    crypt_data data{};
    std::vector<double> ours, theirs;
    for (int i = 0; i < rounds; ++i) {
        QElapsedTimer t;
        t.start();
        const QByteArray a = TBCrypt::FormatPasswordHashForBsd(10, salt, TBCrypt::HashPassword(password, salt, 10));
        ours.push_back(t.nsecsElapsed() / 1e6);
        t.restart();
        const char *b = crypt_rn(passwordUtf8.constData(), setting.constData(), &data, sizeof data);
        theirs.push_back(t.nsecsElapsed() / 1e6);
        if (!b || a != QByteArray(b)) {
            std::fprintf(stderr, "results differ\n");
            return 1;
        }
    }
    const double o = median(ours), x = median(theirs);
    std::printf("bcrypt cost 10, %d rounds each, alternating\n", rounds);
    std::printf("TBCrypt   median %.2f ms\n", o);
    std::printf("libxcrypt median %.2f ms\n", x);
    std::printf("ratio ours/libxcrypt %.3f\n", o / x);
    return 0;
}
