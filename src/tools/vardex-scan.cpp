// vardex-scan: opens and renders a work's scan for the scoring window, in a process of its own.
// A scan comes from a file server the workstation does not control; a PDF made to loop, inflate
// or draw itself for ever can only cost this process, which the window kills on time-out and which
// cannot take more memory than its limit.
//
//   vardex-scan [--memory-mib N]   requests on standard input, answers on standard output
//   vardex-scan --checked ORIGINAL REQUEST OUT
//       the checked copy: every page of ORIGINAL as it is in the file, with the marks of REQUEST
//       drawn over it as vector graphics, then the page of scores; prints "checked PAGES" or
//       "error REASON" (as below, or "join: what qpdf said")
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
#include <QFile>
#include <QFontMetricsF>
#include <QGuiApplication>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QPainter>
#include <QPdfDocument>
#include <QPdfDocumentRenderOptions>
#include <QPdfWriter>
#include <qpdf/QPDF.hh>
#include <qpdf/QPDFPageDocumentHelper.hh>
#include <qpdf/QPDFPageObjectHelper.hh>
#include <qpdf/QPDFWriter.hh>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <fcntl.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <unistd.h>

#include "data/PrivateFiles.h"
#include "data/ScanMarks.h"
#include "widgets/MarkPainter.h"
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
    // every number in 64 bits before any becomes a size: a clip lies inside the page, never past it
    const qint64 width = v[1], height = v[2], x = v[4], y = v[5], w = v[6], h = v[7];
    const bool clipped = w > 0;
    const qint64 outWidth = clipped ? w : width, outHeight = clipped ? h : height;
    if (!ok || page < 0 || page >= document.pageCount() || turns < 0 || turns > 3 || width <= 0 || height <= 0
        || width > ScanLimits::kMaxPageSide || height > ScanLimits::kMaxPageSide
        || (clipped && (x < 0 || y < 0 || h <= 0 || x + w > width || y + h > height)) || (!clipped && (x || y || w || h))
        || outWidth * outHeight * 4 > ScanLimits::kMaxImageBytes) {
        answer("error " + id + " request");
        return;
    }
    const QSize size{int(width), int(height)};
    const QRect clip{int(x), int(y), int(w), int(h)};
    const QSize out{int(outWidth), int(outHeight)};
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

// The request of a checked copy: the marks, and the score page's lines (a bold one is a heading).
struct CopyRequest {
    QList<ScanMark> marks;
    QList<QPair<QString, bool>> lines;
};

constexpr qint64 kMaxRequestBytes = 4 << 20;
constexpr int kMaxLines = 2000;
constexpr int kMaxLineLength = 5000;
constexpr int kCheckedSeconds = 30;

bool readRequest(const QString &path, const QList<QSizeF> &pages, CopyRequest &out)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly) || f.size() > kMaxRequestBytes)
        return false;
    const QJsonObject o = QJsonDocument::fromJson(f.read(kMaxRequestBytes)).object();
    out.marks = ScanMarks::fromJson(QJsonDocument(o.value(QStringLiteral("marks")).toArray()).toJson(), pages);
    const QJsonArray lines = o.value(QStringLiteral("lines")).toArray();
    for (const QJsonValue &v : lines) {
        if (out.lines.size() >= kMaxLines)
            break;
        const QJsonObject line = v.toObject();
        out.lines.append({line.value(QStringLiteral("text")).toString().left(kMaxLineLength),
                          line.value(QStringLiteral("bold")).toBool()});
    }
    return true;
}

// The marks over pages of the original's sizes, then the score page(s) on A4: a PDF of our own,
// drawn by Qt (its fonts embedded, so the text reads back).
bool drawOverlay(const QString &path, const QList<QSizeF> &pages, const CopyRequest &request)
{
    QFile file;
    const int fd = PrivateFiles::create(path);
    if (fd < 0 || !file.open(fd, QIODevice::WriteOnly, QFileDevice::AutoCloseHandle)) {
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    QPdfWriter writer(&file);
    writer.setResolution(72);   // one unit, one point
    writer.setPageMargins(QMarginsF(0, 0, 0, 0));
    writer.setCreator(QStringLiteral("Vardex"));
    writer.setPageSize(QPageSize(pages.first(), QPageSize::Point));
    QPainter painter;
    if (!painter.begin(&writer))
        return false;
    for (int i = 0; i < pages.size(); ++i) {
        if (i > 0) {
            writer.setPageSize(QPageSize(pages[i], QPageSize::Point));
            writer.newPage();
        }
        for (const ScanMark &m : request.marks)
            if (m.page == i)
                MarkPainter::draw(painter, m);
    }
    const QPageSize a4(QPageSize::A4);
    writer.setPageSize(a4);
    writer.newPage();
    const QRectF area = QRectF(QPointF(), a4.size(QPageSize::Point)).adjusted(56, 56, -56, -56);
    qreal y = area.top();
    for (const auto &[text, bold] : request.lines) {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(bold ? 13 : 11);
        font.setBold(bold);
        painter.setFont(font);
        const QRectF needed = QFontMetricsF(font).boundingRect(QRectF(area.left(), 0, area.width(), 1e6),
                                                                Qt::TextWordWrap, text);
        if (y + needed.height() > area.bottom() && y > area.top()) {
            writer.newPage();
            y = area.top();
        }
        painter.drawText(QRectF(area.left(), y, area.width(), needed.height()), Qt::TextWordWrap, text);
        y += needed.height() + (bold ? 8 : 4);
    }
    return painter.end();
}

// Each marked page gets the overlay's page as a form drawn over its own content, which stays as
// it is in the file; the score pages follow.
void join(const QString &original, const QString &overlay, const QString &out, int pageCount)
{
    QPDF pdf;
    pdf.processFile(QFile::encodeName(original).constData());
    QPDF marks;
    marks.processFile(QFile::encodeName(overlay).constData());
    QPDFPageDocumentHelper pages(pdf);
    pages.pushInheritedAttributesToPage();
    const std::vector<QPDFPageObjectHelper> own = pages.getAllPages();
    const std::vector<QPDFPageObjectHelper> drawn = QPDFPageDocumentHelper(marks).getAllPages();
    if (int(own.size()) != pageCount || int(drawn.size()) <= pageCount)
        throw std::runtime_error("page count");
    for (int i = 0; i < pageCount; ++i) {
        QPDFPageObjectHelper page = own[size_t(i)];
        QPDFPageObjectHelper mark = drawn[size_t(i)];
        QPDFObjectHandle form = pdf.copyForeignObject(mark.getFormXObjectForPage());
        QPDFObjectHandle resources = page.getAttribute("/Resources", true);
        if (!resources.isDictionary()) {
            resources = QPDFObjectHandle::newDictionary();
            page.getObjectHandle().replaceKey("/Resources", resources);
        }
        if (!resources.getKey("/XObject").isDictionary())
            resources.replaceKey("/XObject", QPDFObjectHandle::newDictionary());
        int suffix = 0;
        const std::string name = resources.getUniqueResourceName("/Fx", suffix);
        const std::string place = page.placeFormXObject(form, name, page.getCropBox().getArrayAsRectangle(), true, true, true);
        resources.getKey("/XObject").replaceKey(name, form);
        page.addPageContents(QPDFObjectHandle::newStream(&pdf, "q\n"), true);
        page.addPageContents(QPDFObjectHandle::newStream(&pdf, "\nQ\n" + place), false);
    }
    for (size_t j = size_t(pageCount); j < drawn.size(); ++j)
        pages.addPage(drawn[j], false);
    const int fd = PrivateFiles::create(out);
    FILE *file = fd < 0 ? nullptr : ::fdopen(fd, "wb");
    if (!file) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot create the copy");
    }
    QPDFWriter writer(pdf);
    writer.setOutputFile("checked copy", file, true);
    writer.setDecodeLevel(qpdf_dl_none);   // the original's streams go out byte for byte
    writer.write();
}

int checkedCopy(int argc, char **argv)
{
    alarm(kCheckedSeconds);   // a file made to loop ends here, whatever it does
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QString original = QString::fromLocal8Bit(argv[2]), out = QString::fromLocal8Bit(argv[4]);
    QPdfDocument document;
    const QByteArray opened = open(document, "0", QFile::encodeName(original).toHex());
    if (!opened.startsWith("opened")) {
        answer("error " + opened.mid(8));   // "error 0 REASON"
        return 1;
    }
    QList<QSizeF> pages;
    for (int i = 0; i < document.pageCount(); ++i)
        pages << document.pagePointSize(i);
    document.close();
    CopyRequest request;
    if (!readRequest(QString::fromLocal8Bit(argv[3]), pages, request)) {
        answer("error request");
        return 1;
    }
    const QString overlay = out + QStringLiteral(".marks");
    if (!drawOverlay(overlay, pages, request)) {
        QFile::remove(overlay);
        answer("error overlay");
        return 1;
    }
    try {
        join(original, overlay, out, int(pages.size()));
    } catch (const std::exception &e) {
        QFile::remove(overlay);
        QFile::remove(out);
        answer(QByteArray("error join: ") + QByteArray(e.what()).left(300).replace('\n', ' '));
        return 1;
    }
    QFile::remove(overlay);
    answer("checked " + QByteArray::number(pages.size() + 1));
    return 0;
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 5 && std::strcmp(argv[1], "--checked") == 0) {
        limitSelf(ScanLimits::kHelperMemoryMiB);
        return checkedCopy(argc, argv);
    }
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
