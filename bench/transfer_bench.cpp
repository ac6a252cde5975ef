// Transfers against the local file server, beside curl in the same run:
//   transfer_bench download   200 files of 1 MiB through the download engine, then
//                             curl --parallel --parallel-max 6 for the same files
//   transfer_bench upload     one 50 MiB file through the upload post, then curl -F
// Needs the environment of scripts/services.sh (VARDEX_FILES_URL, VARDEX_TEST_FILES_ROOT).
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>

#include "data/Config.h"
#include "data/FileNames.h"
#include "data/DownloadEngine.h"
#include "data/FileServer.h"

namespace {

const bool quick = qEnvironmentVariableIntValue("VARDEX_BENCH_QUICK") == 1;   // once, small: still works?

// Peak resident memory of this process so far, in MiB.
double peakMiB()
{
    QFile f(QStringLiteral("/proc/self/status"));
    f.open(QIODevice::ReadOnly);
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    return 0;
}

double runCurl(const QStringList &args)
{
    QElapsedTimer t;
    t.start();
    QProcess curl;
    curl.start(QStringLiteral("curl"), args);
    curl.waitForFinished(-1);
    if (curl.exitCode() != 0)
        qFatal("curl failed: %s", curl.readAllStandardError().constData());
    return t.elapsed() / 1000.0;
}

int download()
{
    const int files = quick ? 20 : 200;
    const QString root = qEnvironmentVariable("VARDEX_TEST_FILES_ROOT") + QStringLiteral("/benchwork");
    QDir().mkpath(root);
    // each a whole PDF (a header, 1 MiB of body, the end marker): the engine keeps nothing else
    QByteArray chunk = "%PDF-1.4\n" + QByteArray(1024 * 1024, 'x') + "\n%%EOF\n";
    QList<TDownLoader> jobs;
    QStringList curlArgs{QStringLiteral("-sS"), QStringLiteral("--fail"), QStringLiteral("--parallel"),
                         QStringLiteral("--parallel-max"), QString::number(DownloadEngine::kParallel)};
    QTemporaryDir ours, theirs;
    for (int i = 0; i < files; ++i) {
        const QString name = QStringLiteral("work_%1.pdf").arg(i);
        QFile f(root + QLatin1Char('/') + name);
        f.open(QIODevice::WriteOnly);
        chunk[9] = char('a' + i % 26);
        f.write(chunk);
        const QString url = documentAddress(QStringLiteral("benchwork"), name);
        jobs.append({url, ours.filePath(name)});
        curlArgs << QStringLiteral("-o") << theirs.filePath(name) << url;
    }
    // alternating rounds, best of each, so that neither side gets the warmer caches
    double engineSeconds = 1e9, curlSeconds = 1e9;
    int failed = -1;
    for (int round = 0; round < (quick ? 1 : 5); ++round) {
        curlSeconds = std::min(curlSeconds, runCurl(curlArgs));
        QElapsedTimer t;
        t.start();
        auto *engine = new DownloadEngine(jobs);
        QEventLoop loop;
        QObject::connect(engine, &DownloadEngine::finished, &loop, [&](const QList<int> &f) {
            failed = std::max(failed, int(f.size()));
            loop.quit();
        });
        engine->start();
        loop.exec();
        engineSeconds = std::min(engineSeconds, t.elapsed() / 1000.0);
    }
    const double peak = peakMiB();
    QDir(root).removeRecursively();
    QTextStream out(stdout);
    out << "download of " << files << " files of 1 MiB, " << DownloadEngine::kParallel << " at a time\n"
        << "  engine: " << engineSeconds << " s, " << failed << " failed, peak memory " << peak << " MiB\n"
        << "  curl:   " << curlSeconds << " s\n"
        << "  ratio engine/curl: " << engineSeconds / curlSeconds << " (target <= 1.2), peak "
        << (peak < 100 ? "below" : "NOT below") << " 100 MiB\n";
    return failed == 0 ? 0 : 1;
}

int upload()
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("4567.pdf"));
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        QByteArray chunk(1024 * 1024, 'y');
        for (int i = 0; i < (quick ? 5 : 50); ++i)
            f.write(chunk);
    }
    const double before = peakMiB();
    QElapsedTimer t;
    t.start();
    QString error;
    try {
        FileServer::post(QStringLiteral("hostUploadCheckWork.php"),
                         {{QStringLiteral("attach"), {}, path, QStringLiteral("4567.pdf"), QStringLiteral("application/x-rar-compressed")},
                          {QStringLiteral("newNameFile"), QStringLiteral("BENCH_1.pdf"), {}, {}, {}}});
    } catch (const FileServer::Failure &f) {
        error = f.message();
    }
    const double oursSeconds = t.elapsed() / 1000.0;
    const double growth = peakMiB() - before;
    const double curlSeconds = runCurl({QStringLiteral("-sS"), QStringLiteral("--fail"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                                        QStringLiteral("-F"), QStringLiteral("attach=@") + path + QStringLiteral(";type=application/x-rar-compressed"),
                                        QStringLiteral("-F"), QStringLiteral("newNameFile=BENCH_2.pdf"),
                                        Config::get().filesUrl + QStringLiteral("hostUploadCheckWork.php")});
    for (const char *name : {"BENCH_1.pdf", "BENCH_2.pdf"})
        QFile::remove(qEnvironmentVariable("VARDEX_TEST_FILES_ROOT") + QStringLiteral("/testedwork/") + QLatin1String(name));
    QTextStream out(stdout);
    out << "upload of one " << (quick ? 5 : 50) << " MiB file\n"
        << "  ours: " << oursSeconds << " s" << (error.isEmpty() ? "" : ", FAILED: " + error) << ", peak memory growth "
        << growth << " MiB (target < 20)\n"
        << "  curl: " << curlSeconds << " s\n"
        << "  ratio ours/curl: " << oursSeconds / curlSeconds << " (target <= 1.2)\n";
    return error.isEmpty() ? 0 : 1;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (mode == QLatin1String("download"))
        return download();
    if (mode == QLatin1String("upload"))
        return upload();
    std::fprintf(stderr, "usage: transfer_bench download|upload\n");
    return 2;
}
