// vardex-passwd: makes and checks the "$2a$10$" hash strings kept in zet_users.password.
//   vardex-passwd                 reads a password line from standard input, prints its hash string
//   vardex-passwd --check HASH    exit 0: the password matches, 1: it does not, 2: HASH is malformed
//   vardex-passwd --self-test     runs the bcrypt self-test
#include <QCoreApplication>
#include <QTextStream>
#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

#include "data/VardexError.h"
#include "security/Bcrypt.h"

namespace {

// One line from standard input, without its line break; no echo when it is a terminal.
QString readPassword()
{
    termios saved{};
    const bool terminal = isatty(STDIN_FILENO) && tcgetattr(STDIN_FILENO, &saved) == 0;
    if (terminal) {
        termios quiet = saved;
        quiet.c_lflag &= ~tcflag_t(ECHO);
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
        std::fputs("Password: ", stderr);
    }
    std::string line;
    std::getline(std::cin, line);
    if (terminal) {
        tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
        std::fputs("\n", stderr);
    }
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

int usage()
{
    std::fputs("usage: vardex-passwd [--check HASH | --self-test] < password\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    QTextStream out(stdout), err(stderr);
    try {
        if (args.isEmpty()) {
            out << TBCrypt::HashPassword(readPassword()) << Qt::endl;
            return 0;
        }
        if (args.size() == 1 && args[0] == QLatin1String("--self-test")) {
            TBCrypt::SelfTest();
            out << "bcrypt self-test passed" << Qt::endl;
            return 0;
        }
        if (args.size() == 2 && args[0] == QLatin1String("--check"))
            return TBCrypt::CheckPassword(readPassword(), args[1].toUtf8()) ? 0 : 1;
        return usage();
    } catch (const VardexError &e) {
        err << e.message() << Qt::endl;
        return 2;
    }
}
