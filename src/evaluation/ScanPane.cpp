#include "evaluation/ScanPane.h"

#include "data/ADataER.h"
#include "data/Config.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPaintEvent>
#include <QPdfDocument>
#include <QPdfDocumentRenderOptions>
#include <QScrollBar>
#include <QStandardPaths>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <memory>

#include "data/FileServer.h"
#include "widgets/ChildForms.h"

namespace {

constexpr int kSpacing = 8;                          // between pages and around them
constexpr qint64 kRenderedBytes = 64LL * 1024 * 1024;   // rendered pages kept, at most
constexpr int kRenderedPages = 8;                        // a screenful and its neighbours
constexpr qreal kStep = 1.25;
constexpr int kMaxPageSide = 20000;                      // pixels; a larger page is shown smaller
constexpr qint64 kWholePageBytes = 16LL * 1024 * 1024;   // above this only the part in sight is rendered

} // namespace

ScanView::ScanView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("ScanView"));
    setAccessibleName(QStringLiteral("Скан работы"));
    setFocusPolicy(Qt::StrongFocus);   // PageUp / PageDown / arrows scroll it
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
}

void ScanView::setDocument(QPdfDocument *document)
{
    m_document = document;
    m_cache.clear();
    m_turns = 0;
    m_firstPainted = false;
    relayout();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
}

void ScanView::zoomIn()
{
    m_fitWidth = false;
    m_factor = qMin(8.0, m_scale * kStep);
    relayout();
}

void ScanView::zoomOut()
{
    m_fitWidth = false;
    m_factor = qMax(0.1, m_scale / kStep);
    relayout();
}

void ScanView::fitWidth()
{
    m_fitWidth = true;
    relayout();
}

void ScanView::rotate()
{
    m_turns = (m_turns + 1) % 4;
    relayout();
}

qint64 ScanView::cachedBytes() const
{
    qint64 bytes = 0;
    for (const Rendered &r : m_cache)
        bytes += r.image.sizeInBytes();
    return bytes;
}

QRect ScanView::pageRect(int page) const
{
    if (page < 0 || page >= m_pages.size())
        return QRect();
    return QRect(QPoint(kSpacing, int(std::min<qint64>(m_pages[page].y, INT_MAX))), m_pages[page].size);
}

// Page sizes in pixels: the widest page fills the width, or points at the zoom factor.
void ScanView::relayout()
{
    m_pages.clear();
    const int count = m_document ? m_document->pageCount() : 0;
    QList<QSizeF> sizes;
    qreal widest = 1;
    for (int i = 0; i < count; ++i) {
        QSizeF s = m_document->pagePointSize(i);
        if (m_turns % 2)
            s.transpose();
        sizes << s;
        widest = std::max(widest, s.width());
    }
    const qreal scale = m_fitWidth ? std::max(0.05, (viewport()->width() - 2.0 * kSpacing) / widest) : m_factor;
    m_scale = scale;
    qint64 y = kSpacing;
    int width = 0;
    for (const QSizeF &s : sizes) {
        // a page of a billion points keeps its shape, at most kMaxPageSide pixels a side
        const qreal longest = std::max({s.width(), s.height(), 1e-6});
        const qreal pageScale = std::min(scale, kMaxPageSide / longest);
        const QSize px(int(std::clamp(s.width() * pageScale, 1.0, qreal(kMaxPageSide))),
                       int(std::clamp(s.height() * pageScale, 1.0, qreal(kMaxPageSide))));
        m_pages << PageBox{y, px};
        y += px.height() + kSpacing;
        width = std::max(width, px.width() + 2 * kSpacing);
    }
    // the scroll bar counts in int: what lies beyond its reach is not shown
    verticalScrollBar()->setRange(0, int(std::clamp<qint64>(y - viewport()->height(), 0, INT_MAX)));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setRange(0, std::max(0, width - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    horizontalScrollBar()->setSingleStep(40);
    viewport()->update();
}

QImage ScanView::page(int index, QSize size)
{
    for (qsizetype i = 0; i < m_cache.size(); ++i) {
        if (m_cache[i].page == index && m_cache[i].size == size && m_cache[i].turns == m_turns) {
            m_cache.move(i, m_cache.size() - 1);
            return m_cache.last().image;
        }
    }
    QPdfDocumentRenderOptions options;
    options.setRotation(QPdfDocumentRenderOptions::Rotation(m_turns));
    QImage image = m_document->render(index, size, options);
    m_cache.append({index, size, m_turns, image});
    // the oldest go first, but never the page just rendered
    while (m_cache.size() > 1 && (m_cache.size() > kRenderedPages || cachedBytes() > kRenderedBytes))
        m_cache.removeFirst();
    return image;
}

void ScanView::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    if (!m_document || m_pages.isEmpty())
        return;
    const qint64 top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    const QRect area = event->rect();
    bool paintedFirst = false;
    for (int i = 0; i < m_pages.size(); ++i) {
        const PageBox &box = m_pages[i];
        // in viewport coordinates, computed in 64-bit before anything narrows to int
        const qint64 y = box.y - top;
        if (y > area.bottom())
            break;
        if (y + box.size.height() < area.top())
            continue;
        const QRect r(QPoint(kSpacing - left, int(y)), box.size);
        if (!r.intersects(area))
            continue;
        p.fillRect(r, Qt::white);
        if (qint64(box.size.width()) * box.size.height() * 4 <= kWholePageBytes) {
            p.drawImage(r.topLeft(), page(i, box.size));
        } else {
            // a huge page: only the part in sight, rendered for this paint
            const QRect inPage = r.intersected(area).translated(-r.topLeft());
            QPdfDocumentRenderOptions options;
            options.setRotation(QPdfDocumentRenderOptions::Rotation(m_turns));
            options.setScaledSize(box.size);
            options.setScaledClipRect(inPage);
            p.drawImage(r.topLeft() + inPage.topLeft(), m_document->render(i, inPage.size(), options));
        }
        paintedFirst = paintedFirst || i == 0;
    }
    if (paintedFirst && !m_firstPainted) {
        m_firstPainted = true;
        emit firstPagePainted();
    }
}

void ScanView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    relayout();
}

void ScanView::scrollContentsBy(int, int)
{
    viewport()->update();
}

ScanPane::ScanPane(QWidget *parent) : QWidget(parent), m_document(new QPdfDocument(this))
{
    setObjectName(QStringLiteral("ScanPane"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *top = new QHBoxLayout;
    m_status = plainLabel(QString(), this);
    m_status->setObjectName(QStringLiteral("LabelScan"));
    m_status->setWordWrap(true);
    top->addWidget(m_status, 1);
    m_view = new ScanView(this);
    const auto button = [&](const QString &text, const char *name, const QString &hint, void (ScanView::*slot)()) {
        auto *b = new QToolButton(this);
        b->setText(text);
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(hint);
        b->setFocusPolicy(Qt::NoFocus);   // the keys stay where the expert types
        setHint(b, hint);
        connect(b, &QToolButton::clicked, m_view, slot);
        top->addWidget(b);
    };
    button(QStringLiteral("−"), "ScanZoomOut", QStringLiteral("Уменьшить (Ctrl+минус)"), &ScanView::zoomOut);
    button(QStringLiteral("+"), "ScanZoomIn", QStringLiteral("Увеличить (Ctrl+плюс)"), &ScanView::zoomIn);
    button(QStringLiteral("↔"), "ScanFitWidth", QStringLiteral("По ширине (Ctrl+0)"), &ScanView::fitWidth);
    button(QStringLiteral("↻"), "ScanRotate", QStringLiteral("Повернуть на 90° (Ctrl+R)"), &ScanView::rotate);
    layout->addLayout(top);
    layout->addWidget(m_view, 1);
    clear();
}

ScanPane::~ScanPane()
{
    m_view->setDocument(nullptr);
}

QString ScanPane::statusText() const
{
    return m_status->text();
}

void ScanPane::clear()
{
    ++m_request;
    m_work = {};
    m_source = Source::None;
    m_view->setDocument(nullptr);
    m_document->close();
    m_status->setText(QStringLiteral("Скан работы появится здесь, когда работа выбрана в списке"));
}

QString ScanPane::cacheFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/scans");
}

// A stored name may hold anything: the cache file is a safe form of it plus a digest, so that
// two names that read alike never share a file.
QString ScanPane::cachePath(const QString &bodyFile)
{
    const QByteArray digest = QCryptographicHash::hash(bodyFile.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    QString base = safeFileName(bodyFile);
    if (base.endsWith(QStringLiteral(".pdf"), Qt::CaseInsensitive))
        base.chop(4);
    return cacheFolder() + QLatin1Char('/') + capUtf8(base, 150) + QLatin1Char('-') + QString::fromLatin1(digest)
        + QStringLiteral(".pdf");
}

// The cache forgets the least recently used first: a file shown from it counts as just used.
// (The time is set through an open file: on a closed one Qt cannot set it.)
void ScanPane::markUsed(const QString &path)
{
    QFile f(path);
    if (f.open(QIODevice::ReadOnly))
        f.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
}

void ScanPane::trimCache(qint64 cap)
{
    QFileInfoList files = QDir(cacheFolder()).entryInfoList({QStringLiteral("*.pdf")}, QDir::Files);
    std::sort(files.begin(), files.end(),
              [](const QFileInfo &a, const QFileInfo &b) { return a.lastModified() < b.lastModified(); });
    qint64 total = 0;
    for (const QFileInfo &f : files)
        total += f.size();
    for (const QFileInfo &f : files) {
        if (total <= cap)
            break;
        if (QFile::remove(f.absoluteFilePath()))
            total -= f.size();
    }
}

void ScanPane::showWork(const WorkScan &work)
{
    if (work.work <= 0) {
        clear();
        return;
    }
    if (work.work == m_work.work && work.bodyFile == m_work.bodyFile)
        return;
    m_work = work;
    const quint64 request = ++m_request;
    m_source = Source::None;
    m_view->setDocument(nullptr);
    m_document->close();
    if (work.bodyFile.isEmpty()) {
        fail(QStringLiteral("у работы нет файла"));
        return;
    }
    const QString local = SavedWorks::find(TDataER::downloadFolder(safeFileName(work.discipline)), work.bodyFile);
    if (!local.isEmpty()) {
        open(local, Source::Local);
        return;
    }
    const QString cached = cachePath(work.bodyFile);
    if (isWholePdf(cached)) {
        markUsed(cached);
        open(cached, Source::Cache);
        return;
    }
    m_status->setText(QStringLiteral("Загрузка скана работы…"));
    makePrivateFolder(cacheFolder());
    auto *engine = new DownloadEngine({{documentAddress(QStringLiteral("untestedwork"), work.bodyFile), cached}});
    auto reason = std::make_shared<QString>();
    connect(engine, &DownloadEngine::fileFailed, this, [reason](int, const QString &why) { *reason = why; });
    connect(engine, &DownloadEngine::finished, this, [this, request, cached, reason](const QList<int> &failed) {
        if (request != m_request)
            return;   // the expert has moved on, or came back and has it from elsewhere; the file stays cached
        if (!failed.isEmpty()) {
            fail(reason->isEmpty() ? QStringLiteral("не удалось получить файл с сервера") : *reason);
            return;
        }
        trimCache(cacheCap);
        open(cached, Source::Server);
    });
    engine->start();
}

void ScanPane::open(const QString &path, Source source)
{
    const QPdfDocument::Error error = m_document->load(path);
    if (error != QPdfDocument::Error::None || m_document->pageCount() <= 0) {
        m_document->close();
        if (source == Source::Cache)
            QFile::remove(path);   // a broken cached copy is fetched again next time
        fail(error == QPdfDocument::Error::FileNotFound ? QStringLiteral("файл не найден")
                                                        : QStringLiteral("файл повреждён или не является PDF"));
        return;
    }
    m_source = source;
    m_view->setDocument(m_document);
    const QString where = source == Source::Local ? QStringLiteral("сохранённая копия")
        : source == Source::Cache                 ? QStringLiteral("из кэша")
                                                  : QStringLiteral("загружен с сервера");
    m_status->setText(QStringLiteral("Скан работы: страниц %1 (%2)").arg(m_document->pageCount()).arg(where));
}

void ScanPane::fail(const QString &reason)
{
    m_source = Source::None;
    m_view->setDocument(nullptr);
    m_status->setText(QStringLiteral("Скан работы недоступен: ") + reason);
}
