#include "widgets/ScanRenderer.h"

#include "data/Helpers.h"

#include "widgets/ScanLimits.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>
#include <QTimer>
#include <cmath>

namespace {

constexpr qsizetype kMaxLine = 64 * 1024;   // the page sizes of kMaxPages pages fit easily
constexpr int kStaleGraceMs = 250;          // a finished-with scan's request may run this much longer
const QString kNonsense = QStringLiteral("программа показа сканов ответила непонятно");

} // namespace

ScanRenderer::ScanRenderer(QObject *parent) : QObject(parent), m_timer(new QTimer(this))
{
    m_timer->setSingleShot(true);
    connect(m_timer, &QTimer::timeout, this, [this] {
        if (m_sent.kind == Request::Open)
            giveUp(QStringLiteral("скан не открылся за %1 с").arg((openMs ? openMs : ScanLimits::kOpenMs) / 1000.0));
        else
            giveUp(QStringLiteral("страница %1 не отрисовалась за %2 с")
                       .arg(m_sent.page + 1)
                       .arg((pageMs ? pageMs : ScanLimits::kPageMs) / 1000.0));
    });
    startHelper();   // ready before the first scan is asked for
}

ScanRenderer::~ScanRenderer()
{
    if (m_helper) {
        m_helper->disconnect(this);
        m_helper->kill();
        m_helper->waitForFinished(1000);
    }
}

QString ScanRenderer::helperPath()
{
    return ::helperPath(QStringLiteral("vardex-scan"));
}

qint64 ScanRenderer::helperPid() const
{
    return m_helper ? m_helper->processId() : 0;
}

void ScanRenderer::startHelper()
{
    const QString path = helperPath();
    if (path.isEmpty())
        return;
    m_buffer.clear();
    m_helper = new QProcess(this);
    m_helper->setStandardErrorFile(QProcess::nullDevice());
    connect(m_helper, &QProcess::readyReadStandardOutput, this, &ScanRenderer::readAnswers);
    connect(m_helper, &QProcess::finished, this, [this] {
        if (m_sent.kind != Request::None)
            giveUp(QStringLiteral("обработка скана прервана: файл повреждён или требует слишком много памяти"));
        else
            giveUp({});   // died between requests: the next one starts another
    });
    m_helper->start(path, {QStringLiteral("--memory-mib"), QString::number(ScanLimits::kHelperMemoryMiB)});
}

void ScanRenderer::open(const QString &path)
{
    ++m_scan;
    m_waiting = {};
    m_waiting.kind = Request::Open;
    m_waiting.scan = m_scan;
    m_waiting.path = path;
    if (m_sent.kind != Request::None && m_timer->remainingTime() > kStaleGraceMs)
        m_timer->start(kStaleGraceMs);   // the helper is still busy with the last scan: not for long
    send();
}

void ScanRenderer::close()
{
    ++m_scan;
    m_waiting = {};
}

void ScanRenderer::render(int page, QSize size, int turns, QRect clip)
{
    if (m_waiting.kind == Request::Open || isRendering(page, size, turns, clip))
        return;
    m_waiting = {Request::Render, m_scan, 0, {}, page, size, turns, clip};
    send();
}

bool ScanRenderer::isRendering(int page, QSize size, int turns, QRect clip) const
{
    const auto same = [&](const Request &r) {
        return r.kind == Request::Render && r.scan == m_scan && r.page == page && r.size == size && r.turns == turns
            && r.clip == clip;
    };
    return same(m_sent) || same(m_waiting);
}

void ScanRenderer::send()
{
    if (m_sent.kind != Request::None || m_waiting.kind == Request::None)
        return;
    if (!m_helper)
        startHelper();
    if (!m_helper) {
        m_waiting = {};
        emit failed(QStringLiteral("не установлена программа показа сканов vardex-scan"));
        return;
    }
    m_sent = m_waiting;
    m_waiting = {};
    m_sent.id = ++m_nextId;
    const QByteArray id = QByteArray::number(m_sent.id);
    QByteArray line;
    if (m_sent.kind == Request::Open) {
        line = "open " + id + ' ' + m_sent.path.toUtf8().toHex();
        m_timer->start(openMs ? openMs : ScanLimits::kOpenMs);
    } else {
        const QRect c = m_sent.clip;
        line = "render " + id;
        for (int v : {m_sent.page, m_sent.size.width(), m_sent.size.height(), m_sent.turns, c.x(), c.y(), c.width(), c.height()})
            line += ' ' + QByteArray::number(v);
        m_timer->start(pageMs ? pageMs : ScanLimits::kPageMs);
    }
    m_helper->write(line + '\n');
}

// Answers are read with bounds: a line of at most kMaxLine bytes, an image of exactly the pixels
// it announces and at most ScanLimits::kMaxImageBytes.
void ScanRenderer::readAnswers()
{
    m_buffer += m_helper->readAllStandardOutput();
    while (m_helper) {
        const qsizetype end = m_buffer.indexOf('\n');
        if (end < 0) {
            if (m_buffer.size() > kMaxLine)
                giveUp(kNonsense);
            return;
        }
        const QByteArray line = m_buffer.left(end);
        qsizetype bodySize = 0;
        if (line.startsWith("image ")) {
            // exactly the picture that was asked for, every number checked before it is used
            const QList<QByteArray> w = line.split(' ');
            bool ok[3] = {};
            const qint64 width = w.value(2).toLongLong(&ok[0]), height = w.value(3).toLongLong(&ok[1]),
                         bytes = w.value(4).toLongLong(&ok[2]);
            const QSize asked = m_sent.clip.width() > 0 ? m_sent.clip.size() : m_sent.size;   // as the helper reads it
            if (w.size() != 5 || !ok[0] || !ok[1] || !ok[2] || m_sent.kind != Request::Render || width != asked.width()
                || height != asked.height() || width <= 0 || height <= 0 || width > ScanLimits::kMaxPageSide
                || height > ScanLimits::kMaxPageSide || bytes != width * height * 4 || bytes > ScanLimits::kMaxImageBytes) {
                giveUp(kNonsense);
                return;
            }
            bodySize = qsizetype(bytes);
        }
        if (m_buffer.size() < end + 1 + bodySize)
            return;   // the image is still on its way
        const QByteArray body = m_buffer.mid(end + 1, bodySize);
        m_buffer.remove(0, end + 1 + bodySize);
        answer(line, body);
    }
}

void ScanRenderer::answer(const QByteArray &line, const QByteArray &body)
{
    const QList<QByteArray> w = line.split(' ');
    if (w.size() < 2 || w[1].toULongLong() != m_sent.id)
        return;   // not an answer to what was asked
    m_timer->stop();
    const Request done = m_sent;
    m_sent = {};
    const bool current = done.scan == m_scan;
    if (current && w[0] == "opened") {
        QList<QSizeF> pages;
        bool sane = w.size() - 3 <= ScanLimits::kMaxPages;
        for (qsizetype i = 3; sane && i < w.size(); ++i) {
            const QList<QByteArray> wh = w[i].split(',');
            bool ok[2] = {};
            const QSizeF points(wh.value(0).toDouble(&ok[0]), wh.value(1).toDouble(&ok[1]));
            // a page of no size, a negative, endless or not-a-number one is no page
            sane = wh.size() == 2 && ok[0] && ok[1] && std::isfinite(points.width()) && std::isfinite(points.height())
                && points.width() > 0 && points.height() > 0 && points.width() <= ScanLimits::kMaxPagePoints
                && points.height() <= ScanLimits::kMaxPagePoints;
            pages << points;
        }
        if (!sane || pages.isEmpty() || pages.size() != w[2].toInt())
            emit failed(QStringLiteral("файл повреждён или не является PDF"));
        else
            emit opened(pages);
    } else if (current && w[0] == "image" && done.kind == Request::Render) {
        const int width = w[2].toInt(), height = w[3].toInt();   // checked against the request as read
        QImage image(width, height, QImage::Format_ARGB32_Premultiplied);
        if (image.isNull()) {
            giveUp(QStringLiteral("не хватает памяти, чтобы показать страницу"));
            return;
        }
        for (int y = 0; y < height; ++y)
            memcpy(image.scanLine(y), body.constData() + qsizetype(y) * width * 4, size_t(width) * 4);
        emit rendered(done.page, done.size, done.turns, done.clip, image);
    } else if (current && w[0] == "error") {
        const QByteArray why = w.value(2);
        emit failed(why == "notfound"   ? QStringLiteral("файл не найден")
                    : why == "password" ? QStringLiteral("файл защищён паролем")
                    : why == "pages"    ? QStringLiteral("в скане %1 страниц, показываются сканы до %2 страниц")
                                           .arg(QString::fromLatin1(w.value(3).left(12)))
                                           .arg(ScanLimits::kMaxPages)
                    : why == "size"     ? QStringLiteral("страница скана слишком велика")
                                        : QStringLiteral("файл повреждён или не является PDF"));
    }
    send();
}

// The helper is beyond use (too slow, dead, or talking nonsense): it goes, and the scan it was
// working on is reported failed when it is still the one on screen.
void ScanRenderer::giveUp(const QString &reason)
{
    m_timer->stop();
    if (m_helper) {
        QProcess *helper = m_helper;
        m_helper = nullptr;
        helper->disconnect(this);
        connect(helper, &QProcess::finished, helper, &QObject::deleteLater);
        if (helper->state() == QProcess::NotRunning)
            helper->deleteLater();
        else
            helper->kill();
    }
    m_buffer.clear();
    const Request done = m_sent;
    m_sent = {};
    if (done.kind != Request::None && done.scan == m_scan && !reason.isEmpty()) {
        m_waiting = {};
        emit failed(reason);
        return;
    }
    send();   // what waits for a newer scan gets a fresh helper
}
