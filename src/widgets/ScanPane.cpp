#include "widgets/ScanPane.h"

#include "data/ADataER.h"
#include "data/Config.h"

#include <QTimer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPaintEvent>
#include <QScrollBar>
#include <QToolButton>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <cmath>
#include <QWheelEvent>
#include <memory>

#include "data/FileNames.h"
#include "data/DownloadEngine.h"
#include "widgets/ScanLimits.h"
#include "widgets/ScanRenderer.h"
#include "widgets/Fields.h"
#include "widgets/MarkPainter.h"

namespace {

constexpr int kSpacing = 8;                          // between pages and around them
constexpr qint64 kRenderedBytes = 64LL * 1024 * 1024;   // rendered pages kept, at most
constexpr int kRenderedPages = 8;                        // a screenful and its neighbours
constexpr qreal kStep = 1.25;
constexpr int kMaxPageSide = ScanLimits::kMaxPageSide;
constexpr qint64 kWholePageBytes = 16LL * 1024 * 1024;   // above this only the part in sight is rendered

// A page of that many points laid out at a scale: its shape kept, at most kMaxPageSide a side.
QSize laidOut(QSizeF points, qreal scale)
{
    const qreal longest = std::max({points.width(), points.height(), 1e-6});
    const qreal pageScale = std::min(scale, kMaxPageSide / longest);
    return QSize(int(std::clamp(points.width() * pageScale, 1.0, qreal(kMaxPageSide))),
                 int(std::clamp(points.height() * pageScale, 1.0, qreal(kMaxPageSide))));
}

// The device pixels a page laid out at `logical` is rendered at, at most kMaxPageSide a side.
QSize devicePixels(QSize logical, qreal ratio)
{
    const qreal scale = std::min({ratio, qreal(kMaxPageSide) / logical.width(), qreal(kMaxPageSide) / logical.height()});
    return QSize(std::max(1, qRound(logical.width() * scale)), std::max(1, qRound(logical.height() * scale)));
}

} // namespace

ScanView::ScanView(QWidget *parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("ScanView"));
    setAccessibleName(QStringLiteral("Скан работы"));
    setFocusPolicy(Qt::StrongFocus);   // PageUp / PageDown / arrows scroll it
    viewport()->setBackgroundRole(QPalette::Dark);
    viewport()->setAutoFillBackground(true);
    viewport()->setMouseTracking(true);   // Delete removes the mark under the pointer
}

void ScanView::setPages(ScanRenderer *renderer, const QList<QSizeF> &pagePoints)
{
    if (m_renderer)
        m_renderer->disconnect(this);
    m_renderer = renderer;
    m_points = renderer ? pagePoints : QList<QSizeF>();
    if (renderer)
        connect(renderer, &ScanRenderer::rendered, this, &ScanView::keep);
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
    zoomTo(m_scale * kStep, viewport()->rect().center());
}

void ScanView::zoomOut()
{
    zoomTo(m_scale / kStep, viewport()->rect().center());
}

void ScanView::zoomTo(qreal factor, QPoint anchor)
{
    keeping(anchor, [&] {
        m_fitWidth = false;
        m_factor = std::clamp(factor, 0.1, 8.0);
    });
}

void ScanView::fitWidth()
{
    keeping(viewport()->rect().center(), [&] { m_fitWidth = true; });
}

void ScanView::rotate()
{
    keeping(viewport()->rect().center(), [&] { m_turns = (m_turns + 1) % 4; });
}

// The page under the anchor and the place on it (as fractions of its size) are where they were
// after the change: a zoom on page 2 stays on page 2.
void ScanView::keeping(QPoint anchor, const std::function<void()> &change)
{
    const qint64 docY = verticalScrollBar()->value() + anchor.y();
    const qint64 docX = horizontalScrollBar()->value() + anchor.x();
    int page = -1;
    qreal fx = 0, fy = 0;
    for (int i = 0; i < m_pages.size(); ++i) {
        if (docY < m_pages[i].y + m_pages[i].size.height() + kSpacing || i + 1 == m_pages.size()) {
            page = i;
            // a point beside the page (or in the gap below it) counts as its nearest edge
            fx = std::clamp(qreal(docX - kSpacing) / m_pages[i].size.width(), 0.0, 1.0);
            fy = std::clamp(qreal(docY - m_pages[i].y) / m_pages[i].size.height(), 0.0, 1.0);
            break;
        }
    }
    change();
    relayout();
    if (page < 0 || page >= m_pages.size())
        return;
    const PageBox &box = m_pages[page];
    verticalScrollBar()->setValue(int(std::clamp<qint64>(box.y + qint64(fy * box.size.height()) - anchor.y(), 0, INT_MAX)));
    horizontalScrollBar()->setValue(int(kSpacing + fx * box.size.width()) - anchor.x());
}

void ScanView::wheelEvent(QWheelEvent *event)
{
    if (!(event->modifiers() & Qt::ControlModifier)) {
        QAbstractScrollArea::wheelEvent(event);
        return;
    }
    const int steps = event->angleDelta().y() / 120;
    if (steps != 0)
        zoomTo(m_scale * std::pow(kStep, steps), event->position().toPoint());
    event->accept();
}

int ScanView::currentPage() const
{
    const qint64 middle = verticalScrollBar()->value() + viewport()->height() / 2;
    for (int i = 0; i < m_pages.size(); ++i)
        if (middle < m_pages[i].y + m_pages[i].size.height() + kSpacing)
            return i;
    return int(m_pages.size()) - 1;
}

int ScanView::zoomPercent() const
{
    return qRound(m_scale * 72.0 / 96.0 * 100.0);
}

QSize ScanView::renderedSize(int page) const
{
    for (auto r = m_cache.crbegin(); r != m_cache.crend(); ++r)
        if (r->page == page && r->clip.isNull())
            return r->image.size();
    return {};
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
    QList<QSizeF> sizes;
    qreal widest = 1;
    for (QSizeF s : m_points) {
        if (m_turns % 2)
            s.transpose();
        sizes << s;
        widest = std::max(widest, s.width());
    }
    const qreal scale = scaleFor(widest);
    m_scale = scale;
    qint64 y = kSpacing;
    int width = 0;
    for (const QSizeF &s : sizes) {
        const QSize px = laidOut(s, scale);   // a page of a billion points keeps its shape
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
    emit viewChanged();
}

qreal ScanView::scaleFor(qreal widest) const
{
    return m_fitWidth ? std::max(0.05, (viewport()->width() - 2.0 * kSpacing) / widest) : m_factor;
}

// What the first page of those pages would be rendered at in this view, unturned; empty when
// only a part of it would be.
QSize ScanView::firstPagePixels(const QList<QSizeF> &pagePoints) const
{
    if (pagePoints.isEmpty())
        return {};
    qreal widest = 1;
    for (const QSizeF &s : pagePoints)
        widest = std::max(widest, s.width());
    const QSize pixels = devicePixels(laidOut(pagePoints.first(), scaleFor(widest)), std::max(1.0, devicePixelRatioF()));
    return qint64(pixels.width()) * pixels.height() * 4 <= kWholePageBytes ? pixels : QSize();
}

const ScanView::Rendered *ScanView::find(int page, QSize size, int turns, QRect clip) const
{
    for (const Rendered &r : m_cache)
        if (r.page == page && r.size == size && r.turns == turns
            && (clip.isNull() ? r.clip.isNull() : !r.clip.isNull() && r.clip.contains(clip)))
            return &r;
    return nullptr;
}

// A page arrives from the helper: kept among the last few, the oldest go first (never this one).
void ScanView::keep(int page, QSize size, int turns, QRect clip, const QImage &image)
{
    for (qsizetype i = 0; i < m_cache.size(); ++i)
        if (m_cache[i].page == page && m_cache[i].size == size && m_cache[i].turns == turns && m_cache[i].clip == clip)
            m_cache.removeAt(i--);
    m_cache.append({page, size, turns, clip, image});
    while (m_cache.size() > 1 && (m_cache.size() > kRenderedPages || cachedBytes() > kRenderedBytes))
        m_cache.removeFirst();
    viewport()->update();
}

// Pages in sight are drawn from what the helper rendered; one that is not there yet is asked for
// (the first missing one: the helper answers one at a time) and meanwhile shows white, or the same
// page at another size, stretched, while a zoom is on its way.
void ScanView::paintEvent(QPaintEvent *event)
{
    QPainter p(viewport());
    if (!m_renderer || m_pages.isEmpty())
        return;
    const qint64 top = verticalScrollBar()->value();
    const int left = horizontalScrollBar()->value();
    const QRect area = event->rect();
    const qreal ratio = std::max(1.0, devicePixelRatioF());   // sharp on a high-density screen
    bool paintedFirst = false, asked = false;
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
        // rendered in device pixels, at most kMaxPageSide a side
        const QSize pixels = devicePixels(box.size, ratio);
        const qreal scale = qreal(pixels.width()) / box.size.width();
        // a huge page: only the part in sight is rendered
        const bool whole = qint64(pixels.width()) * pixels.height() * 4 <= kWholePageBytes;
        const QRectF seen = QRectF(r.intersected(area).translated(-r.topLeft()));
        const QRect clip = whole ? QRect()
                                 : QRectF(seen.topLeft() * scale, seen.size() * scale).toAlignedRect().intersected(QRect(QPoint(), pixels));
        // an image of `pixels` (or a part of it) drawn over the page's rectangle in the view
        const auto draw = [&](const Rendered &c) {
            const QRectF part = c.clip.isNull() ? QRectF(QPointF(), c.size) : QRectF(c.clip);
            const qreal sx = qreal(box.size.width()) / c.size.width(), sy = qreal(box.size.height()) / c.size.height();
            p.drawImage(QRectF(r.left() + part.left() * sx, r.top() + part.top() * sy, part.width() * sx, part.height() * sy), c.image);
        };
        if (const Rendered *have = find(i, pixels, m_turns, clip)) {
            draw(*have);
            paintedFirst = paintedFirst || i == 0;
            continue;
        }
        for (const Rendered &c : std::as_const(m_cache))
            if (c.page == i && c.turns == m_turns && (c.clip.isNull() || c.size == pixels))
                draw(c);   // another zoom or part, until this one arrives
        if (!asked) {
            m_renderer->render(i, pixels, m_turns, clip);
            asked = true;
        }
    }
    // the marks over the pages in sight, in the pages' own points
    for (const ScanMark &m : std::as_const(m_marks)) {
        if (m.page < 0 || m.page >= m_pages.size())
            continue;
        const QRect r = pageRect(m.page).translated(-left, -int(std::min<qint64>(top, INT_MAX)));
        if (!r.intersects(area))
            continue;
        p.setTransform(pageTransform(m.page));
        MarkPainter::draw(p, m);
    }
    if (m_drawing) {
        p.setTransform(pageTransform(m_drawing->page));
        MarkPainter::draw(p, *m_drawing);
    }
    p.resetTransform();
    if (paintedFirst && !m_firstPainted) {
        m_firstPainted = true;
        emit firstPagePainted();
    }
}

QTransform ScanView::pageTransform(int page) const
{
    if (page < 0 || page >= m_pages.size())
        return {};
    const QSizeF points = m_points[page];
    const qreal pw = points.width(), ph = points.height();
    // the page's own points turned as the view turns it...
    QTransform turn;
    switch (m_turns) {
    case 1: turn = QTransform(0, 1, -1, 0, ph, 0); break;
    case 2: turn = QTransform(-1, 0, 0, -1, pw, ph); break;
    case 3: turn = QTransform(0, -1, 1, 0, 0, pw); break;
    default: break;
    }
    // ...scaled to the page's box and placed where it is in sight
    const QSizeF turned = m_turns % 2 ? points.transposed() : points;
    const QSize box = m_pages[page].size;
    const qint64 y = m_pages[page].y - verticalScrollBar()->value();
    return turn * QTransform::fromScale(box.width() / std::max(turned.width(), 1e-6), box.height() / std::max(turned.height(), 1e-6))
        * QTransform::fromTranslate(kSpacing - horizontalScrollBar()->value(), qreal(y));
}

int ScanView::pageAt(QPoint pos) const
{
    const qint64 y = qint64(pos.y()) + verticalScrollBar()->value();
    const int x = pos.x() + horizontalScrollBar()->value();
    for (int i = 0; i < m_pages.size(); ++i) {
        const PageBox &b = m_pages[i];
        if (y >= b.y && y < b.y + b.size.height() && x >= kSpacing && x < kSpacing + b.size.width())
            return i;
    }
    return -1;
}

void ScanView::setMarking(bool on)
{
    m_marking = on;
    if (!on)
        setTool(Tool::Pointer);
}

void ScanView::setTool(Tool tool)
{
    if (m_note)
        endNote(true);
    m_tool = tool;
    viewport()->setCursor(tool == Tool::Pointer ? Qt::ArrowCursor : Qt::CrossCursor);
    emit toolChanged();
}

void ScanView::setMarks(const QList<ScanMark> &marks)
{
    if (m_note)
        endNote(false);
    m_drawing.reset();
    m_marks = marks;
    m_undo.clear();
    m_redo.clear();
    viewport()->update();
}

void ScanView::change(const QList<ScanMark> &next)
{
    m_undo.append(m_marks);
    m_redo.clear();
    m_marks = next;
    viewport()->update();
    emit marksChanged();
}

void ScanView::undo()
{
    if (m_undo.isEmpty())
        return;
    m_redo.append(m_marks);
    m_marks = m_undo.takeLast();
    viewport()->update();
    emit marksChanged();
}

void ScanView::redo()
{
    if (m_redo.isEmpty())
        return;
    m_undo.append(m_marks);
    m_marks = m_redo.takeLast();
    viewport()->update();
    emit marksChanged();
}

void ScanView::keyPressEvent(QKeyEvent *event)
{
    if (!m_marking) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    const Qt::KeyboardModifiers mods = event->modifiers() & ~Qt::KeypadModifier;
    const int key = event->key();
    if (mods == Qt::NoModifier && key >= Qt::Key_1 && key <= Qt::Key_4) {
        setTool(Tool(key - Qt::Key_1 + 1));
    } else if (mods == Qt::NoModifier && key == Qt::Key_Escape) {
        if (m_drawing) {
            m_drawing.reset();
            viewport()->update();
        }
        setTool(Tool::Pointer);
    } else if (mods == Qt::ControlModifier && key == Qt::Key_Z) {
        undo();
    } else if (mods == (Qt::ControlModifier | Qt::ShiftModifier) && key == Qt::Key_Z) {
        redo();
    } else if (mods == Qt::NoModifier && key == Qt::Key_Delete) {
        const QPoint pos = m_pointer;
        const int page = viewport()->rect().contains(pos) ? pageAt(pos) : -1;
        if (page < 0)
            return;
        const QTransform t = pageTransform(page);
        const qreal reach = 4 / std::max(t.m11() * t.m11() + t.m12() * t.m12(), 1e-6);   // about 4 pixels, in points
        const int hit = ScanMarks::markAt(m_marks, page, t.inverted().map(QPointF(pos)), std::sqrt(reach) * 2);
        if (hit >= 0) {
            QList<ScanMark> next = m_marks;
            next.removeAt(hit);
            change(next);
        }
    } else {
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void ScanView::mousePressEvent(QMouseEvent *event)
{
    const int page = m_marking && m_tool != Tool::Pointer && event->button() == Qt::LeftButton ? pageAt(event->position().toPoint()) : -1;
    if (page < 0) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    if (m_note)
        endNote(true);
    if (m_marks.size() >= ScanMarks::kMaxMarks)
        return;
    const QPointF at = ScanMarks::kept(pageTransform(page).inverted().map(event->position()));
    switch (m_tool) {
    case Tool::Tick:
    case Tool::Cross:
        change(m_marks + QList<ScanMark>{{m_tool == Tool::Tick ? ScanMark::Kind::Tick : ScanMark::Kind::Cross, page, at, {}, {}}});
        break;
    case Tool::Note:
        startNote(page, at, event->position().toPoint());
        break;
    case Tool::Pen:
        m_drawing = ScanMark{ScanMark::Kind::Pen, page, at, {}, {at}};
        break;
    case Tool::Pointer:
        break;
    }
}

void ScanView::mouseMoveEvent(QMouseEvent *event)
{
    m_pointer = event->position().toPoint();
    if (!m_drawing) {
        QAbstractScrollArea::mouseMoveEvent(event);
        return;
    }
    const QSizeF points = m_points[m_drawing->page];
    QPointF at = pageTransform(m_drawing->page).inverted().map(event->position());
    at = ScanMarks::kept(QPointF(std::clamp(at.x(), 0.0, points.width()), std::clamp(at.y(), 0.0, points.height())));
    // a line of its own and all lines of the work within their bounds: what is read back is what was drawn
    const bool room = m_drawing->line.size() < ScanMarks::kMaxLinePoints
        && ScanMarks::penPoints(m_marks) + m_drawing->line.size() < ScanMarks::kMaxTotalPoints;
    if (room && QLineF(m_drawing->line.last(), at).length() >= 0.5) {
        m_drawing->line.append(at);
        viewport()->update();
    }
}

void ScanView::mouseReleaseEvent(QMouseEvent *event)
{
    if (!m_drawing) {
        QAbstractScrollArea::mouseReleaseEvent(event);
        return;
    }
    const ScanMark line = *m_drawing;
    m_drawing.reset();
    if (line.line.size() >= 2)
        change(m_marks + QList<ScanMark>{line});
    else
        viewport()->update();
}

// A note is typed where it goes; Enter (or a click elsewhere) keeps it, Esc drops it.
void ScanView::startNote(int page, QPointF at, QPoint viewportPos)
{
    m_noteMark = ScanMark{ScanMark::Kind::Note, page, at, {}, {}};
    m_note = new QLineEdit(viewport());
    m_note->setObjectName(QStringLiteral("ScanNote"));
    m_note->setAccessibleName(QStringLiteral("Заметка на скане"));
    m_note->setMaxLength(ScanMarks::kMaxNoteLength);
    m_note->setStyleSheet(QStringLiteral("color: #e00000;"));
    m_note->setMinimumWidth(160);
    m_note->move(viewportPos - QPoint(0, m_note->sizeHint().height() / 2));
    m_note->show();
    m_note->setFocus(Qt::MouseFocusReason);
    connect(m_note, &QLineEdit::returnPressed, this, [this] { endNote(true); });
    connect(m_note, &QLineEdit::editingFinished, this, [this] {
        if (m_note && !m_note->hasFocus())
            endNote(true);
    });
    m_note->installEventFilter(this);
}

bool ScanView::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_note && event->type() == QEvent::KeyPress && static_cast<QKeyEvent *>(event)->key() == Qt::Key_Escape) {
        endNote(false);
        return true;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

void ScanView::endNote(bool keep)
{
    if (!m_note)
        return;
    QLineEdit *editor = m_note;
    m_note = nullptr;
    const QString text = editor->text().trimmed();
    editor->hide();
    editor->deleteLater();
    setFocus(Qt::OtherFocusReason);
    if (keep && !text.isEmpty()) {
        m_noteMark.text = text;
        change(m_marks + QList<ScanMark>{m_noteMark});
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
    emit viewChanged();
}

ScanPane::ScanPane(QWidget *parent)
    : QWidget(parent), m_renderer(new ScanRenderer(this)), m_spare(new ScanRenderer(this))
{
    setObjectName(QStringLiteral("ScanPane"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    // the scan's line on its own, then the page and zoom, then the mark tools: a narrow pane
    // wraps none of them into the others
    m_status = plainLabel(QString(), this);
    m_status->setObjectName(QStringLiteral("LabelScan"));
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    auto *top = new QHBoxLayout;
    m_view = new ScanView(this);
    m_page = plainLabel(QString(), this);
    m_page->setObjectName(QStringLiteral("LabelScanPage"));
    top->addWidget(m_page);
    connect(m_view, &ScanView::viewChanged, this, [this] { m_page->setText(pageText()); });
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
    top->addStretch();
    layout->addLayout(top);
    m_tools = new QWidget(this);
    m_tools->setObjectName(QStringLiteral("ScanMarkTools"));
    auto *tools = new QHBoxLayout(m_tools);
    tools->setContentsMargins(0, 0, 0, 0);
    const auto toolButton = [&](const QString &text, const char *name, const QString &hint) {
        auto *b = new QToolButton(m_tools);
        b->setText(text);
        b->setObjectName(QString::fromLatin1(name));
        b->setAccessibleName(hint);
        b->setFocusPolicy(Qt::NoFocus);
        setHint(b, hint);
        tools->addWidget(b);
        return b;
    };
    const QList<QPair<ScanView::Tool, QToolButton *>> choices{
        {ScanView::Tool::Pointer, toolButton(QStringLiteral("↖"), "ToolPointer", QStringLiteral("Указатель (Esc)"))},
        {ScanView::Tool::Tick, toolButton(QStringLiteral("✓"), "ToolTick", QStringLiteral("Галочка (1)"))},
        {ScanView::Tool::Cross, toolButton(QStringLiteral("✗"), "ToolCross", QStringLiteral("Крестик (2)"))},
        {ScanView::Tool::Note, toolButton(QStringLiteral("Т"), "ToolNote", QStringLiteral("Заметка (3)"))},
        {ScanView::Tool::Pen, toolButton(QStringLiteral("✎"), "ToolPen", QStringLiteral("Линия от руки (4)"))}};
    for (const auto &[tool, b] : choices) {
        b->setCheckable(true);
        connect(b, &QToolButton::clicked, m_view, [this, tool = tool] { m_view->setTool(tool); });
    }
    connect(m_view, &ScanView::toolChanged, this, [this, choices] {
        for (const auto &[tool, b] : choices)
            b->setChecked(m_view->tool() == tool);
    });
    choices.first().second->setChecked(true);
    QToolButton *undo = toolButton(QStringLiteral("↶"), "MarkUndo", QStringLiteral("Отменить пометку (Ctrl+Z)"));
    QToolButton *redo = toolButton(QStringLiteral("↷"), "MarkRedo", QStringLiteral("Вернуть пометку (Ctrl+Shift+Z)"));
    connect(undo, &QToolButton::clicked, m_view, &ScanView::undo);
    connect(redo, &QToolButton::clicked, m_view, &ScanView::redo);
    tools->addStretch();
    m_tools->hide();
    layout->addWidget(m_tools);
    layout->addWidget(m_view, 1);
    for (ScanRenderer *r : {m_renderer, m_spare}) {
        connect(r, &ScanRenderer::opened, this, [this, r](const QList<QSizeF> &pages) { opened(r, pages); });
        connect(r, &ScanRenderer::failed, this, [this, r](const QString &reason) { failed(r, reason); });
        connect(r, &ScanRenderer::rendered, this, [this, r](int page, QSize size, int turns, QRect clip, const QImage &image) {
            rendered(r, page, size, turns, clip, image);
        });
    }
    clear();
}

void ScanPane::setMarking(bool on)
{
    m_view->setMarking(on);
    m_tools->setVisible(on);
}

static QString sourceText(ScanPane::Source source)
{
    return source == ScanPane::Source::Local ? QStringLiteral("сохранённая копия")
        : source == ScanPane::Source::Cache  ? QStringLiteral("из кэша")
                                             : QStringLiteral("загружен с сервера");
}

void ScanPane::opened(ScanRenderer *renderer, const QList<QSizeF> &pages)
{
    if (renderer == m_renderer) {
        m_view->setPages(m_renderer, pages);
        m_status->setText(QStringLiteral("Скан работы: страниц %1 (%2)").arg(pages.size()).arg(sourceText(m_source)));
        return;
    }
    m_ahead.pages = pages;
    m_ahead.pixels = m_view->firstPagePixels(pages);
    if (m_ahead.pixels.isValid())
        m_spare->render(0, m_ahead.pixels, 0);
    else
        m_ahead.ready = true;   // a page too large to render whole: drawn in parts when shown
}

void ScanPane::failed(ScanRenderer *renderer, const QString &reason)
{
    if (renderer != m_renderer) {
        m_ahead = {};   // said when that work is shown, the usual way
        return;
    }
    if (m_source == Source::Cache)
        QFile::remove(m_opening);   // a bad cached copy is fetched again next time
    fail(reason);
}

void ScanPane::rendered(ScanRenderer *renderer, int page, QSize size, int turns, QRect clip, const QImage &image)
{
    if (renderer == m_spare && page == 0 && turns == 0 && clip.isNull() && size == m_ahead.pixels) {
        m_ahead.first = image;
        m_ahead.ready = true;
    }
}

ScanPane::~ScanPane()
{
    m_view->setPages(nullptr, {});
}

QString ScanPane::shownFile(int work) const
{
    return work > 0 && m_work.work == work && m_view->pageCount() > 0 ? m_opening : QString();
}

QString ScanPane::statusText() const
{
    return m_status->text();
}

QString ScanPane::pageText() const
{
    if (m_view->pageCount() == 0)
        return {};
    return QStringLiteral("стр. %1 из %2, %3 %").arg(m_view->currentPage() + 1).arg(m_view->pageCount()).arg(m_view->zoomPercent());
}

void ScanPane::clear()
{
    ++m_request;
    m_work = {};
    m_source = Source::None;
    m_view->setPages(nullptr, {});
    m_renderer->close();
    m_status->setText(QStringLiteral("Скан работы появится здесь, когда работа выбрана в списке"));
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
    m_view->setPages(nullptr, {});
    m_renderer->close();
    if (work.bodyFile.isEmpty()) {
        fail(QStringLiteral("у работы нет файла"));
        return;
    }
    // rendered ahead: the helpers change places, the first page is there already
    if (prefetched(work) && QFile::exists(m_ahead.path)) {
        std::swap(m_renderer, m_spare);
        m_source = m_ahead.source;
        m_opening = m_ahead.path;
        m_view->setPages(m_renderer, m_ahead.pages);
        if (!m_ahead.first.isNull())
            m_view->keep(0, m_ahead.pixels, 0, {}, m_ahead.first);
        m_status->setText(QStringLiteral("Скан работы: страниц %1 (%2)").arg(m_ahead.pages.size()).arg(sourceText(m_source)));
        m_ahead = {};
        return;
    }
    if (m_ahead.work.work == work.work) {
        m_spare->close();   // not ready yet: this work goes the usual way
        m_ahead = {};
    }
    Source source;
    const QString path = ScanSource::onDisk(work, &source);
    if (!path.isEmpty()) {
        open(path, source);
        return;
    }
    m_status->setText(QStringLiteral("Загрузка скана работы…"));
    fetchShown(work, request);
}

// The shown work's scan from the server; while the server or the link is away it is asked for
// again, by itself, as long as the work stays on screen.
void ScanPane::fetchShown(const WorkScan &work, quint64 request)
{
    fetch(work, [this, request] { return request == m_request; }, [this, work, request](bool ok, const QString &reason, bool transient) {
        if (ok) {
            open(ScanSource::cachePath(work.bodyFile), Source::Server);
            return;
        }
        fail(reason);
        if (transient)
            QTimer::singleShot(retryMs, this, [this, work, request] {
                if (request == m_request)
                    fetchShown(work, request);
            });
    });
}

void ScanPane::fetch(const WorkScan &work, const std::function<bool()> &stillWanted,
                     const std::function<void(bool ok, const QString &reason, bool transient)> &done)
{
    const QString cached = ScanSource::cachePath(work.bodyFile);
    makePrivateFolder(ScanSource::cacheFolder());
    auto *engine = new DownloadEngine({{documentAddress(QStringLiteral("untestedwork"), work.bodyFile), cached}});
    auto reason = std::make_shared<QString>();
    auto transient = std::make_shared<bool>(false);
    connect(engine, &DownloadEngine::fileFailed, this, [reason, transient](int, const QString &why, bool away) {
        *reason = why;
        *transient = away;
    });
    connect(engine, &DownloadEngine::finished, this, [stillWanted, done, reason, transient](const QList<int> &failed) {
        if (!stillWanted())
            return;   // the expert has moved on, or came back and has it from elsewhere; the file stays cached
        if (!failed.isEmpty()) {
            done(false, reason->isEmpty() ? QStringLiteral("не удалось получить файл с сервера") : *reason, *transient);
            return;
        }
        ScanSource::trimCache(ScanSource::cacheCap);
        done(true, {}, false);
    });
    engine->start();
}

bool ScanPane::prefetched(const WorkScan &work) const
{
    return m_ahead.ready && m_ahead.work.work == work.work && m_ahead.work.bodyFile == work.bodyFile;
}

void ScanPane::prefetch(const WorkScan &work)
{
    if (work.work <= 0 || work.bodyFile.isEmpty() || (work.work == m_work.work && work.bodyFile == m_work.bodyFile)
        || (m_ahead.work.work == work.work && m_ahead.work.bodyFile == work.bodyFile))
        return;
    m_spare->close();
    m_ahead = {};
    m_ahead.work = work;
    m_ahead.request = ++m_aheadCount;
    const quint64 request = m_ahead.request;
    Source source;
    const QString path = ScanSource::onDisk(work, &source);
    const auto openAhead = [this](const QString &file, Source from) {
        m_ahead.path = file;
        m_ahead.source = from;
        m_spare->open(file);
    };
    if (!path.isEmpty()) {
        openAhead(path, source);
        return;
    }
    fetch(work, [this, request] { return m_ahead.request == request; }, [this, work, openAhead](bool ok, const QString &, bool) {
        if (ok)
            openAhead(ScanSource::cachePath(work.bodyFile), Source::Server);
        else
            m_ahead = {};
    });
}

// Where it comes from is known at once; the pages once the helper has opened it.
void ScanPane::open(const QString &path, Source source)
{
    m_source = source;
    m_opening = path;
    m_status->setText(QStringLiteral("Открытие скана…"));
    m_renderer->open(path);
}

void ScanPane::fail(const QString &reason)
{
    m_source = Source::None;
    m_view->setPages(nullptr, {});
    m_renderer->close();
    m_status->setText(QStringLiteral("Скан работы недоступен: ") + reason);
}
