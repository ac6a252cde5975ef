// A region's grading day: many experts at once (region_day_expert, a process each) against one
// database and one file server, with the database restarted, the experts' link to it cut, the
// file server failing and an expert killed mid-save while they work. Then the database and the
// file server are held to what every expert was told. Prints the figures and, last,
//   region day: violations V, lost L, ...
// and exits 1 when V or L is not 0. Needs the environment of scripts/services.sh with a region
// loaded (bench/region-day sets it up).
//   region_day [--experts N] [--actions K] [--think MS] [--short]
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <algorithm>
#include <csignal>

#include "../tests/TestFixture.h"

namespace {

QTextStream out(stdout);

struct End {
    int expert;
    QString op, arg, told;
    double ms;
    QStringList detail;
};

QList<End> readJournal(int expert, const QString &path, int &conflicts, int &begunNotEnded)
{
    QList<End> ends;
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    int open = 0;
    for (const QByteArray &raw : f.readAll().split('\n')) {
        const QStringList w = QString::fromUtf8(raw).split(u' ');
        if (w.size() >= 3 && w[0] == QLatin1String("stats"))
            conflicts += w[2].toInt();
        else if (w[0] == QLatin1String("begin"))
            ++open;
        else if (w.size() >= 5 && w[0] == QLatin1String("end")) {
            --open;
            ends.append({expert, w[1], w[2], w[3], w[4].toDouble(), w.mid(5)});
        }
    }
    begunNotEnded += open;
    return ends;
}

double percentile(QList<double> v, double p)
{
    if (v.isEmpty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min<qsizetype>(v.size() - 1, qsizetype(p * v.size()))];
}

// Journals' progress: the ends written so far.
int progress(const QString &dir)
{
    int n = 0;
    for (const QString &name : QDir(dir).entryList({QStringLiteral("*.log")})) {
        QFile f(dir + u'/' + name);
        if (f.open(QIODevice::ReadOnly))
            n += int(f.readAll().count("\nend "));
    }
    return n;
}

QString lastLine(const QString &path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    const QList<QByteArray> lines = f.readAll().trimmed().split('\n');
    return QString::fromUtf8(lines.last());
}

struct Run {
    QList<QProcess *> experts;
    QString dir;
};

int thinkMs = 300;

Run start(const QList<int> &ids, int actions, const QString &dir, const QProcessEnvironment &env)
{
    Run run{{}, dir};
    for (int id : ids) {
        auto *p = new QProcess;
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->setStandardOutputFile(QProcess::nullDevice());
        p->start(QCoreApplication::applicationDirPath() + QStringLiteral("/region_day_expert"),
                 {QString::number(id), QString::number(actions), QString::number(20261211 + id),
                  dir + QStringLiteral("/%1.log").arg(id), QString::number(thinkMs)});
        run.experts << p;
    }
    return run;
}

bool finished(const Run &run)
{
    QCoreApplication::processEvents();   // a process's end is noticed through the event loop
    for (QProcess *p : run.experts)
        if (p->state() != QProcess::NotRunning && !p->waitForFinished(0))
            return false;
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QStringList args = app.arguments();
    int experts = 50, actions = 40;
    const bool shortRun = args.contains(QStringLiteral("--short"));
    if (shortRun) {
        experts = 20;
        actions = 30;
        thinkMs = 600;
    }
    for (int i = 1; i + 1 < args.size(); ++i) {
        if (args[i] == QLatin1String("--experts"))
            experts = args[i + 1].toInt();
        if (args[i] == QLatin1String("--actions"))
            actions = args[i + 1].toInt();
        if (args[i] == QLatin1String("--think"))
            thinkMs = args[i + 1].toInt();
    }
    QTemporaryDir work;
    const QString cutFile = work.filePath(QStringLiteral("cut"));
    const QString failFile = Fixture::filesRoot() + QStringLiteral("/lib/fail");

    // the experts reach the database through a link the harness can cut
    QProcess proxy;
    const int proxyPort = 20000 + int(QCoreApplication::applicationPid() % 20000);
    proxy.start(QStringLiteral("python3"), {QCoreApplication::applicationDirPath() + QStringLiteral("/../../bench/delay_proxy.py"),
                                            QString::number(proxyPort), QStringLiteral("127.0.0.1"),
                                            qEnvironmentVariable("VARDEX_DB_PORT"), QStringLiteral("0"), cutFile});
    if (!proxy.waitForReadyRead(10000))
        qFatal("the proxy did not start");
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("VARDEX_DB_PORT"), QString::number(proxyPort));
    env.insert(QStringLiteral("VARDEX_DB_INTRANET_PORT"), QString::number(proxyPort));

    const int resultsBefore = Fixture::scalar("SELECT COALESCE(MAX(`id`),0) FROM `zet_result`").toInt();
    const int uploadsBefore = Fixture::scalar("SELECT COALESCE(MAX(`id`),0) FROM `zet_testedwork`").toInt();
    const QString testedDir = Fixture::filesRoot() + QStringLiteral("/testedwork");
    const QSet<QString> filesBefore = [&] {
        const QStringList l = QDir(testedDir).entryList(QDir::Files);
        return QSet<QString>(l.begin(), l.end());
    }();

    // one expert alone first: the save's time without anyone beside it
    const QString aloneDir = work.filePath(QStringLiteral("alone"));
    QDir().mkpath(aloneDir);
    Run alone = start({experts + 1}, actions, aloneDir, env);
    while (!finished(alone))
        QThread::msleep(50);

    // then all of them, with the faults
    const QString dayDir = work.filePath(QStringLiteral("day"));
    QDir().mkpath(dayDir);
    QList<int> ids;
    for (int e = 1; e <= experts; ++e)
        ids << e;
    QElapsedTimer clock;
    clock.start();
    Run day = start(ids, actions, dayDir, env);
    const int total = experts * actions;
    QStringList faults;
    int stage = 0;
    int killed = 0;
    while (!finished(day) && clock.elapsed() < 30 * 60 * 1000) {
        QThread::msleep(100);
        const double done = double(progress(dayDir)) / total;
        if (stage == 0 && done >= 0.15) {
            QFile(cutFile).open(QIODevice::WriteOnly);
            QThread::msleep(3000);
            QFile::remove(cutFile);
            faults << QStringLiteral("link cut for 3 s at %1 s").arg(clock.elapsed() / 1000);
            ++stage;
        } else if (stage == 1 && done >= 0.35) {
            QFile(failFile).open(QIODevice::WriteOnly);
            QThread::msleep(3000);
            QFile::remove(failFile);
            faults << QStringLiteral("file server answering 500 for 3 s at %1 s").arg(clock.elapsed() / 1000);
            ++stage;
        } else if (stage == 2 && done >= 0.55) {
            Fixture::restartDatabase();
            faults << QStringLiteral("database restarted at %1 s").arg(clock.elapsed() / 1000);
            ++stage;
        } else if (stage == 3 && done >= 0.7) {
            for (int i = 0; i < ids.size() && !killed; ++i)
                if (day.experts[i]->state() == QProcess::Running
                    && lastLine(dayDir + QStringLiteral("/%1.log").arg(ids[i])).startsWith(QLatin1String("begin save"))) {
                    ::kill(pid_t(day.experts[i]->processId()), SIGKILL);
                    killed = ids[i];
                }
            if (killed) {
                faults << QStringLiteral("expert %1 killed mid-save at %2 s").arg(killed).arg(clock.elapsed() / 1000);
                ++stage;
            }
        }
    }
    const double seconds = clock.elapsed() / 1000.0;
    if (!finished(day))
        qFatal("the day did not end within 30 minutes");

    // what every expert was told
    int conflicts = 0, unfinished = 0, aloneConflicts = 0, aloneUnfinished = 0;
    QList<End> ends;
    for (int e : ids)
        ends += readJournal(e, dayDir + QStringLiteral("/%1.log").arg(e), conflicts, unfinished);
    QList<double> aloneSaves;
    for (const End &e : readJournal(experts + 1, aloneDir + QStringLiteral("/%1.log").arg(experts + 1), aloneConflicts, aloneUnfinished))
        if (e.op == QLatin1String("save") && e.told == QLatin1String("ok"))
            aloneSaves << e.ms;

    QStringList violations, lost;
    // every work scored in the day: a whole set of results per expert, and the work marked
    const QStringList sets = Fixture::rows(QStringLiteral(
        "SELECT R.`untestedworkID`, R.`expertID`, COUNT(*), (SELECT COUNT(*) FROM `zet_evaluationsystem` S WHERE "
        "S.`educationlListID`=U.`educationallistID` AND S.`periodID`=U.`period_id`), U.`checkWork` FROM `zet_result` R, "
        "`zet_untestedwork` U WHERE R.`id`>%1 AND U.`id`=R.`untestedworkID` GROUP BY R.`untestedworkID`, R.`expertID`")
                                               .arg(resultsBefore));
    QSet<QString> savedPairs;
    for (const QString &row : sets) {
        const QStringList v = row.split(u'|');
        savedPairs.insert(v[0] + u'|' + v[1]);
        if (v[2] != v[3] || v[4] != QLatin1String("1"))
            violations << QStringLiteral("work %1 by expert %2: %3 of %4 results, checkWork %5").arg(v[0], v[1], v[2], v[3], v[4]);
    }
    // what the experts were told of their saves, the last time they tried each work
    QHash<QString, QString> lastSave;
    for (const End &e : ends)
        if (e.op == QLatin1String("save") && e.told != QLatin1String("already"))
            lastSave.insert(e.arg + u'|' + QString::number(e.expert), e.told);
    for (auto it = lastSave.cbegin(); it != lastSave.cend(); ++it) {
        const bool there = savedPairs.contains(it.key());
        if (it.value() == QLatin1String("ok") && !there)
            lost << QStringLiteral("save of work|expert %1 told saved, not there").arg(it.key());
        if (it.value() == QLatin1String("failed") && there)
            violations << QStringLiteral("save of work|expert %1 told failed, stored").arg(it.key());
    }
    // uploads: every row of the day with its file, every new file with its row, none overwritten
    QHash<QString, QString> rowsByName;
    for (const QString &row : Fixture::rows(QStringLiteral("SELECT `bodyFile`, `id` FROM `zet_testedwork` WHERE `id`>%1").arg(uploadsBefore)))
        rowsByName.insert(row.section(u'|', 0, 0), row.section(u'|', 1));
    for (auto it = rowsByName.cbegin(); it != rowsByName.cend(); ++it)
        if (!QFile::exists(testedDir + u'/' + it.key()))
            violations << QStringLiteral("row %1 names %2, which the file server does not have").arg(it.value(), it.key());
    for (const QString &name : QDir(testedDir).entryList(QDir::Files))
        if (!filesBefore.contains(name) && !rowsByName.contains(name)
            && Fixture::scalar(QStringLiteral("SELECT COUNT(*) FROM `zet_testedwork` WHERE `bodyFile`='%1'").arg(name)).toInt() == 0)
            violations << QStringLiteral("file %1 without a row").arg(name);
    QHash<QString, QString> lastHash;   // name -> the content told stored
    QSet<QString> deleted;
    for (const End &e : ends) {
        if (e.op == QLatin1String("upload") && e.told == QLatin1String("ok") && e.detail.size() >= 2) {
            lastHash.insert(e.detail[0], e.detail[1]);
            deleted.remove(e.detail[0]);
        }
        if (e.op == QLatin1String("delete") && e.told == QLatin1String("ok"))
            deleted.insert(e.arg);
    }
    for (auto it = lastHash.cbegin(); it != lastHash.cend(); ++it) {
        if (deleted.contains(it.key())) {
            if (rowsByName.contains(it.key()))
                violations << QStringLiteral("%1 told deleted, its row is there").arg(it.key());
            continue;
        }
        if (!rowsByName.contains(it.key())) {
            lost << QStringLiteral("upload %1 told stored, no row").arg(it.key());
            continue;
        }
        QFile f(testedDir + u'/' + it.key());
        if (!f.open(QIODevice::ReadOnly))
            continue;   // said above: a row without its file
        if (QString::fromLatin1(QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha1).toHex()) != it.value())
            violations << QStringLiteral("%1 holds another expert's file: overwritten").arg(it.key());
    }
    // appeals: each claim's answer as it was last told saved (each claim is one expert's)
    QHash<QString, QString> lastAnswer;
    for (const End &e : ends)
        if (e.op == QLatin1String("appeal") && e.told == QLatin1String("ok"))
            lastAnswer.insert(e.arg, e.detail.join(u' '));
    for (auto it = lastAnswer.cbegin(); it != lastAnswer.cend(); ++it) {
        const QString stored = Fixture::scalar(QStringLiteral("SELECT `answerСlaim` FROM `zet_appeal` WHERE `id`=%1").arg(it.key())).toString();
        if (stored != it.value())
            lost << QStringLiteral("claim %1's answer told saved, the stored one differs").arg(it.key());
    }

    // the figures
    QHash<QString, QList<double>> times;
    QHash<QString, int> told;
    for (const End &e : ends) {
        if (e.told == QLatin1String("ok"))
            times[e.op] << e.ms;   // a failure's time says how soon it was told, not how the work goes
        ++told[e.told];
    }
    out << QStringLiteral("region day: %1 experts, %2 actions each (thinking about %6 ms between), %3 s; faults: %4\n")
               .arg(experts).arg(actions).arg(seconds, 0, 'f', 1).arg(faults.isEmpty() ? QStringLiteral("none") : faults.join(QStringLiteral("; "))).arg(thinkMs);
    out << QStringLiteral("  actions ended %1 (%2 per second): ok %3, failed %4, unknown %5, already scored %6; left unended by the killed expert %7\n")
               .arg(ends.size()).arg(ends.size() / seconds, 0, 'f', 1).arg(told.value("ok")).arg(told.value("failed"))
               .arg(told.value("unknown")).arg(told.value("already")).arg(unfinished);
    for (const char *op : {"login", "list", "save", "upload", "delete", "appeal"}) {
        const QList<double> &t = times.value(QString::fromLatin1(op));
        out << QStringLiteral("  %1: %2 done, p50 %3 ms, p99 %4 ms\n").arg(QString::fromLatin1(op), -6).arg(t.size())
                   .arg(percentile(t, 0.5), 0, 'f', 1).arg(percentile(t, 0.99), 0, 'f', 1);
    }
    const double saveAlone = percentile(aloneSaves, 0.5), saveP99 = percentile(times.value(QStringLiteral("save")), 0.99);
    out << QStringLiteral("  save alone (one expert before the day): p50 %1 ms; the day's save p99 is %2x it (target 5x: %3)\n")
               .arg(saveAlone, 0, 'f', 1).arg(saveAlone > 0 ? saveP99 / saveAlone : 0, 0, 'f', 1)
               .arg(saveAlone > 0 && saveP99 <= 5 * saveAlone ? QStringLiteral("met") : QStringLiteral("NOT met"));
    // why actions failed, the most frequent first
    QHash<QString, int> reasons;
    for (const End &e : ends)
        if (e.told == QLatin1String("failed"))
            ++reasons[e.op + QStringLiteral(": ") + e.detail.join(u' ').left(70)];
    QList<QPair<int, QString>> byCount;
    for (auto it = reasons.cbegin(); it != reasons.cend(); ++it)
        byCount.append({it.value(), it.key()});
    std::sort(byCount.begin(), byCount.end(), [](const auto &a, const auto &b) { return a.first > b.first; });
    for (int i = 0; i < byCount.size() && i < 6; ++i)
        out << QStringLiteral("  failed %1x, %2\n").arg(byCount[i].first).arg(byCount[i].second);
    for (const QString &v : violations + lost)
        out << QStringLiteral("  ! ") << v << '\n';
    if (!violations.isEmpty() || !lost.isEmpty()) {
        work.setAutoRemove(false);   // the journals, to see what happened
        out << QStringLiteral("  journals kept in %1\n").arg(work.path());
    }
    out << QStringLiteral("region day: violations %1, lost %2, deadlocks and lock waits retried %3, experts %4, actions %5\n")
               .arg(violations.size()).arg(lost.size()).arg(conflicts).arg(experts).arg(ends.size());
    out.flush();
    proxy.kill();
    proxy.waitForFinished();
    qDeleteAll(alone.experts);
    qDeleteAll(day.experts);
    return violations.isEmpty() && lost.isEmpty() ? 0 : 1;
}
