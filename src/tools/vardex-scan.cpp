// vardex-scan: opens and renders a work's scan for the scoring window, in a process of its own.
// A scan comes from a file server the workstation does not control; a PDF made to loop, inflate
// or draw itself for ever can only cost this process, which the window kills on time-out and which
// cannot take more memory than its limit.
//
//   vardex-scan [--memory-mib N]   requests on standard input, answers on standard output
//
// Requests, one line each:
//   open ID HEX-PATH                       the path in UTF-8, hex-coded
//   render ID PAGE W H TURNS CX CY CW CH   page of W x H pixels, turned TURNS quarters; the part
//                                          CX CY CW CH of it (CW 0: the whole page)
// Answers:
//   opened ID COUNT W,H W,H ...            page sizes in points (at most kMaxPages pages)
//   image ID W H BYTES                     then BYTES bytes: W x H pixels, ARGB32 premultiplied
//   error ID REASON                        notfound | password | damaged | pages N | size | request
#include <QCoreApplication>
#include <QImage>
#include <QPdfDocument>
#include <QPdfDocumentRenderOptions>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "widgets/ScanLimits.h"

namespace {

void answer(const QByteArray &line, bool more = false)
{
    std::fwrite(line.constData(), 1, size_t(line.size()), stdout);
    std::fputc('\n', stdout);
    if (!more)
        std::fflush(stdout);
}

void limitSelf(qint64 memoryMiB)
{
    // dies with the window, leaves no core of a hostile file behind
    prctl(PR_SET_PDEATHSIG, SIGKILL);
    if (getppid() == 1)
        std::exit(0);
    rlimit none{0, 0};
    setrlimit(RLIMIT_CORE, &none);
    rlimit data{rlim_t(memoryMiB) << 20, rlim_t(memoryMiB) << 20};
    setrlimit(RLIMIT_DATA, &data);
}

QByteArray open(QPdfDocument &document, const QByteArray &id, const QByteArray &hexPath)
{
    document.close();
    switch (document.load(QString::fromUtf8(QByteArray::fromHex(hexPath)))) {
    case QPdfDocument::Error::None:
        break;
    case QPdfDocument::Error::FileNotFound:
        return "error " + id + " notfound";
    case QPdfDocument::Error::IncorrectPassword:
        return "error " + id + " password";
    default:
        return "error " + id + " damaged";
    }
    const int count = document.pageCount();
    if (count <= 0)
        return "error " + id + " damaged";
    if (count > ScanLimits::kMaxPages)
        return "error " + id + " pages " + QByteArray::number(count);
    QByteArray line = "opened " + id + ' ' + QByteArray::number(count);
    for (int i = 0; i < count; ++i) {
        const QSizeF s = document.pagePointSize(i);
        if (!std::isfinite(s.width()) || !std::isfinite(s.height()) || s.width() > ScanLimits::kMaxPagePoints
            || s.height() > ScanLimits::kMaxPagePoints)
            return "error " + id + " size";
        line += ' ' + QByteArray::number(std::max(s.width(), 1.0), 'f', 2) + ','
            + QByteArray::number(std::max(s.height(), 1.0), 'f', 2);
    }
    return line;
}

void render(QPdfDocument &document, const QList<QByteArray> &words)
{
    const QByteArray &id = words[1];
    bool ok = words.size() == 10;
    int v[8] = {};
    for (int i = 0; ok && i < 8; ++i)
        v[i] = words[2 + i].toInt(&ok);
    const int page = v[0], turns = v[3];
    const QSize size(v[1], v[2]);
    const QRect clip(v[4], v[5], v[6], v[7]);
    const QSize out = clip.width() > 0 ? clip.size() : size;
    if (!ok || page < 0 || page >= document.pageCount() || turns < 0 || turns > 3 || size.isEmpty()
        || size.width() > ScanLimits::kMaxPageSide || size.height() > ScanLimits::kMaxPageSide || out.isEmpty()
        || qint64(out.width()) * out.height() * 4 > ScanLimits::kMaxImageBytes) {
        answer("error " + id + " request");
        return;
    }
    QPdfDocumentRenderOptions options;
    options.setRotation(QPdfDocumentRenderOptions::Rotation(turns));
    if (clip.width() > 0) {
        options.setScaledSize(size);
        options.setScaledClipRect(clip);
    }
    QImage image = document.render(page, out, options);
    if (image.size() != out) {
        answer("error " + id + " damaged");
        return;
    }
    image = std::move(image).convertToFormat(QImage::Format_ARGB32_Premultiplied);
    const qsizetype row = qsizetype(out.width()) * 4;
    answer("image " + id + ' ' + QByteArray::number(out.width()) + ' ' + QByteArray::number(out.height()) + ' '
               + QByteArray::number(row * out.height()),
           true);
    for (int y = 0; y < image.height(); ++y)   // 32-bit rows carry no padding, but say so anyway
        std::fwrite(image.constScanLine(y), 1, size_t(row), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char **argv)
{
    qint64 memoryMiB = ScanLimits::kHelperMemoryMiB;
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--memory-mib") == 0)
            memoryMiB = std::max(64LL, std::atoll(argv[i + 1]));
    limitSelf(memoryMiB);
    // a page goes out in a few large writes rather than many pipe-sized ones
    fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
    static char buffer[1 << 20];
    std::setvbuf(stdout, buffer, _IOFBF, sizeof buffer);
    QCoreApplication app(argc, argv);
    QPdfDocument document;
    char *line = nullptr;
    size_t capacity = 0;
    ssize_t length;
    while ((length = getline(&line, &capacity, stdin)) > 0) {
        const QList<QByteArray> words = QByteArray(line, length).trimmed().split(' ');
        if (words.size() >= 3 && words[0] == "open")
            answer(open(document, words[1], words[2]));
        else if (words.size() >= 2 && words[0] == "render")
            render(document, words);
        else
            answer("error " + (words.size() > 1 ? words[1] : QByteArray("0")) + " request");
    }
    std::free(line);
    return 0;
}
