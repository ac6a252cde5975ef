// One expert of a region's grading day, as a process of its own (bench/region-day starts many):
// through the program's data library, as the windows call it (no widgets), it logs in, reads its
// list, scores works with comments, uploads checked copies, deletes and uploads some again, and
// answers appeals. Every action is written to the journal before it starts and with what the
// program told once it ends, so that the harness can hold the database and the file server to it:
//
//   region_day_expert EXPERT ACTIONS SEED JOURNAL [THINK-MS]
//
// Between actions the expert thinks for about THINK-MS (default 200); an action the program
// reports failed is tried again after a pause, twice at most, as an expert would press the button
// again; when the connection stayed closed after a failure, the expert first chooses the network
// again ("Выбор сети"), the program's way back to a server that came back.
//
//   begin OP ARG
//   end OP ARG ok|failed|unknown|already MS [DETAIL...]
//   stats conflicts N
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>

#include "data/ADataER.h"
#include "data/AppealsData.h"
#include "data/DataOperations.h"
#include "data/NamedQuery.h"
#include "data/ScoringData.h"
#include "data/UploadData.h"
#include "data/VardexError.h"
#include "security/Bcrypt.h"

namespace {

QFile journalFile;

void journal(const QString &line)
{
    journalFile.write(line.toUtf8() + '\n');
    journalFile.flush();   // a killed expert leaves every line it wrote
}

// Runs one action and writes what the program told: ok, failed (nothing kept), unknown.
int thinkMs = 200;

template <class F>
QString actOnce(const QString &op, const QString &arg, F &action)
{
    journal(QStringLiteral("begin %1 %2").arg(op, arg));
    QElapsedTimer t;
    t.start();
    QString told = QStringLiteral("ok"), detail;
    try {
        detail = action();
        if (detail == QLatin1String("already")) {
            told = detail;
            detail.clear();
        }
    } catch (const OutcomeUnknown &e) {
        told = QStringLiteral("unknown");
        detail = QString::fromUtf8(e.what()).simplified().left(120);
    } catch (const std::exception &e) {
        told = QStringLiteral("failed");
        detail = QString::fromUtf8(e.what()).simplified().left(120);
    }
    journal(QStringLiteral("end %1 %2 %3 %4 %5").arg(op, arg, told).arg(t.nsecsElapsed() / 1e6, 0, 'f', 2).arg(detail));
    return told;
}

template <class F>
void act(const QString &op, const QString &arg, F action)
{
    const auto reconnect = [] {
        if (DataER->connected())
            return;
        try {
            DataER->changeNET(DataER->net());
        } catch (const std::exception &) {
            // still away: the next try says so
        }
    };
    int attempt = 1;
    for (; actOnce(op, arg, action) == QLatin1String("failed") && attempt < 3; ++attempt) {
        QThread::msleep(500);
        reconnect();
    }
    if (attempt == 3 && !DataER->connected()) {
        QThread::msleep(2000);   // the server is away: the expert waits a little before going on
        reconnect();
    }
    QThread::msleep(thinkMs / 2 + QRandomGenerator::global()->bounded(thinkMs + 1));
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 5 && args.size() != 6)
        return 2;
    if (args.size() == 6)
        thinkMs = args[5].toInt();
    const int expert = args[1].toInt(), actions = args[2].toInt();
    QRandomGenerator random(args[3].toUInt());
    journalFile.setFileName(args[4]);
    if (!journalFile.open(QIODevice::WriteOnly | QIODevice::Append))
        return 3;
    TDataER data;
    if (data.creationError())
        journal(QStringLiteral("note no connection at start"));
    const QString email = expert == 1 ? QStringLiteral("bench@vetlan.test") : QStringLiteral("expert%1@vetlan.test").arg(expert);
    QTemporaryDir scans;

    QList<int> toScore, scored;
    QList<QPair<QString, int>> uploaded;   // stored name, discipline
    QList<int> claimIds;
    bool listed = false, loggedIn = false;
    for (int n = 0; n < actions; ++n) {
        if (!loggedIn) {
            act(QStringLiteral("login"), email, [&] {
                const std::optional<Account> account = findActiveExpert(email);
                if (!account || account->id != expert || !TBCrypt::CheckPassword(QStringLiteral("Demo2023"), account->hash))
                    throw VardexError(QStringLiteral("refused"));
                loggedIn = true;
                return QString();
            });
            continue;
        }
        if (!listed) {
            act(QStringLiteral("list"), QString::number(expert), [&] {
                NamedQuery *q = ScoringData::readWorkList(expert);
                toScore.clear();
                for (int r = 0; r < q->recordCount(); ++r)
                    toScore << q->value(r, QStringLiteral("id")).toInt();
                q->close();
                // the expert's claims, the way the appeal window reaches them
                claimIds.clear();
                AppealsData::readDisciplines(expert);
                NamedQuery *disciplines = AppealsData::disciplines();
                QList<int> ds;
                for (int r = 0; r < disciplines->recordCount(); ++r)
                    ds << disciplines->value(r, QStringLiteral("id")).toInt();
                for (int d : ds) {
                    AppealsData::readApplicants(d, expert);
                    NamedQuery *applicants = AppealsData::applicants();
                    QList<int> people;
                    for (int r = 0; r < applicants->recordCount() && r < 5; ++r)
                        people << applicants->value(r, QStringLiteral("usersID")).toInt();
                    for (int a : people)
                        for (const AppealsData::Claim &c : AppealsData::claims(a, d, expert))
                            claimIds << c.id;
                }
                listed = true;
                return QStringLiteral("%1 %2").arg(toScore.size()).arg(claimIds.size());
            });
            continue;
        }
        const quint32 dice = random.bounded(100);
        if (dice < 55 && !toScore.isEmpty()) {
            const int work = toScore.takeAt(int(random.bounded(quint32(std::min<qsizetype>(toScore.size(), 20)))));
            act(QStringLiteral("save"), QString::number(work), [&] {
                QList<TaskScore> rows;
                for (const ScoreSheet::Task &t : ScoringData::tasks(work)) {
                    const int score = int(random.bounded(quint32(ScoreSheet::maxOf(t) + 1)));
                    rows.append({t.id, score, score < ScoreSheet::maxOf(t) ? QStringLiteral("Неполное решение, эксперт %1").arg(expert) : QString()});
                }
                if (rows.isEmpty())
                    throw VardexError(QStringLiteral("no tasks"));
                const ScoreSave outcome = saveScores(work, expert, rows);   // the same scores when tried again
                if (outcome == ScoreSave::AlreadyScored)
                    return QStringLiteral("already");
                scored << work;
                return QString::number(rows.size());
            });
        } else if (dice < 75 && !scored.isEmpty()) {
            const int work = scored.at(int(random.bounded(quint32(scored.size()))));
            act(QStringLiteral("upload"), QString::number(work), [&] {
                const std::optional<ScoringData::WorkOwner> owner = ScoringData::ownerOf(work);
                if (!owner)
                    throw VardexError(QStringLiteral("no work"));
                // a copy of its own: whoever overwrote it would show
                const QByteArray body = "%PDF-1.4\n% checked copy of work " + QByteArray::number(work) + " by expert "
                    + QByteArray::number(expert) + " action " + QByteArray::number(n) + "\n%%EOF\n";
                const QString path = scans.filePath(QStringLiteral("%1.pdf").arg(n));
                QFile f(path);
                f.open(QIODevice::WriteOnly);
                f.write(body);
                f.close();
                const int area = workArea(owner->discipline, owner->participant).value_or(kDefaultArea);
                const QString name = UploadData::send(area, owner->participant, owner->discipline, path);
                uploaded.append({name, owner->discipline});
                return name + u' ' + QString::fromLatin1(QCryptographicHash::hash(body, QCryptographicHash::Sha1).toHex());
            });
        } else if (dice < 82 && !uploaded.isEmpty()) {
            const auto [name, discipline] = uploaded.takeAt(int(random.bounded(quint32(uploaded.size()))));
            act(QStringLiteral("delete"), name, [&, name = name, discipline = discipline] {
                NamedQuery *list = UploadData::readUploads(discipline, 0);
                int id = 0;
                for (int r = 0; r < list->recordCount() && id == 0; ++r)
                    if (list->value(r, QStringLiteral("bodyFile")).toString() == name)
                        id = list->value(r, QStringLiteral("id")).toInt();
                list->close();
                if (id == 0)
                    throw VardexError(QStringLiteral("not listed"));
                UploadData::remove(id, name);
                return QString();
            });
        } else if (!claimIds.isEmpty()) {
            const int claim = claimIds.at(int(random.bounded(quint32(claimIds.size()))));
            const QString answer = QStringLiteral("Ответ эксперта %1, действие %2: оценка оставлена без изменения.").arg(expert).arg(n);
            act(QStringLiteral("appeal"), QString::number(claim), [&] {
                saveAppealAnswers(expert, {{claim, answer}});
                return answer;
            });
        } else {
            listed = false;   // read the list again
        }
    }
    journal(QStringLiteral("stats conflicts %1").arg(lockConflictsRetried()));
    return 0;
}
