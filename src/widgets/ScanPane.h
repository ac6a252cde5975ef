#pragma once
#include <QAbstractScrollArea>
#include <QImage>
#include <QList>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <optional>

#include "data/ScanMarks.h"
#include "data/ScanSource.h"

class QLabel;
class QLineEdit;
class QToolButton;
class ScanRenderer;

// The pages of a scan one under another, scrolled continuously. Only the pages in sight are
// rendered, and only a few rendered pages are kept, so memory stays bounded however long the
// scan. Zoom (fit width or a factor) stays from scan to scan; a quarter turn is per scan.
class ScanView : public QAbstractScrollArea {
    Q_OBJECT
public:
    explicit ScanView(QWidget *parent = nullptr);
    // The pages of the scan the renderer has open, their sizes in points; none: empty.
    void setPages(ScanRenderer *renderer, const QList<QSizeF> &pagePoints);

    void zoomIn();
    void zoomOut();
    void fitWidth();
    void rotate();   // a quarter turn clockwise
    bool fitsWidth() const { return m_fitWidth; }
    qreal zoomFactor() const { return m_factor; }
    int quarterTurns() const { return m_turns; }
    qint64 cachedBytes() const;
    int pageCount() const { return int(m_pages.size()); }
    QRect pageRect(int page) const;   // in document coordinates
    int currentPage() const;          // the page across the middle of the view
    int zoomPercent() const;          // 100: the printed size on a 96-dpi screen
    QSize renderedSize(int page) const;   // pixels of the page as last rendered whole; empty: none
    QSize firstPagePixels(const QList<QSizeF> &pagePoints) const;
    // A page rendered ahead of time, kept as if this view had asked for it.
    void keep(int page, QSize size, int turns, QRect clip, const QImage &image);

    // Marking: with it on, keys 1-4 choose a tick, a cross, a note or the pen (Esc: the pointer),
    // a click on a page puts the chosen mark there, Ctrl+Z / Ctrl+Shift+Z undo and redo, and
    // Delete removes the mark under the pointer.
    enum class Tool { Pointer, Tick, Cross, Note, Pen };
    void setMarking(bool on);
    void setTool(Tool tool);
    Tool tool() const { return m_tool; }
    const QList<ScanMark> &marks() const { return m_marks; }
    void setMarks(const QList<ScanMark> &marks);   // another work's: undo starts afresh
    void undo();
    void redo();
    bool canUndo() const { return !m_undo.isEmpty(); }
    bool canRedo() const { return !m_redo.isEmpty(); }
    QLineEdit *noteEditor() const { return m_note; }   // while a note is typed
    // From a page's points to the viewport and back (zoom, scroll and turn applied).
    QTransform pageTransform(int page) const;
    int pageAt(QPoint viewportPos) const;   // -1: between pages

signals:
    void firstPagePainted();   // once after each setPages, when the first page is drawn
    void viewChanged();        // zoom, turn, pages or scroll
    void marksChanged();       // the expert put, removed, undid or redid a mark
    void toolChanged();

protected:
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;   // Esc in a note drops it

private:
    void change(const QList<ScanMark> &next);   // a step the expert can undo
    void startNote(int page, QPointF at, QPoint viewportPos);
    void endNote(bool keep);
    bool m_marking = false;
    Tool m_tool = Tool::Pointer;
    QList<ScanMark> m_marks;
    QList<QList<ScanMark>> m_undo, m_redo;
    std::optional<ScanMark> m_drawing;   // a pen line under way
    QLineEdit *m_note = nullptr;
    ScanMark m_noteMark;
    QPoint m_pointer{-1, -1};   // where the pointer last was over the pages

    void relayout();
    void keeping(QPoint anchor, const std::function<void()> &change);   // the point under anchor stays
    void zoomTo(qreal factor, QPoint anchor);
    qreal scaleFor(qreal widestPoints) const;
    struct Rendered;
    const Rendered *find(int page, QSize size, int turns, QRect clip) const;
    // A page laid out: its top in document pixels (64-bit: thousands of tall pages overflow an
    // int) and its size, each side at most kMaxPageSide.
    struct PageBox {
        qint64 y;
        QSize size;
    };
    QPointer<ScanRenderer> m_renderer;
    QList<QSizeF> m_points;
    QList<PageBox> m_pages;
    bool m_fitWidth = true;
    qreal m_factor = 1.0;
    qreal m_scale = 1.0;   // pixels per point as laid out
    int m_turns = 0;
    bool m_firstPainted = false;
    struct Rendered {
        int page;
        QSize size;
        int turns;
        QRect clip;   // null: the whole page
        QImage image;
    };
    QList<Rendered> m_cache;   // most recently used last
};

// The selected work's scan beside the score sheet, from where ScanSource finds it. It is opened and drawn by the helper process (ScanRenderer). A missing, broken or hostile scan
// says why in the pane's line and never stops the scoring.
class ScanPane : public QWidget {
    Q_OBJECT
public:
    static inline int retryMs = 10000;   // a scan the server could not give is asked for again this often
    using Source = ScanSource::Source;

    explicit ScanPane(QWidget *parent = nullptr);
    ~ScanPane() override;
    void showWork(const WorkScan &work);
    void clear();
    // The work likely to be shown next: its scan fetched, opened and its first page rendered in a
    // second helper now, so that showWork() puts it on screen at once.
    void prefetch(const WorkScan &work);
    bool prefetched(const WorkScan &work) const;   // ready to be shown at once
    int aheadWork() const { return m_ahead.ready ? m_ahead.work.work : 0; }

    ScanView *view() const { return m_view; }
    // The mark tools beside the scan (the scoring window's; the appeal window only reads).
    void setMarking(bool on);
    QString pageText() const;
    ScanRenderer *renderer() const { return m_renderer; }
    QString statusText() const;
    // The file the work's scan is shown from, when it is shown; "" otherwise.
    QString shownFile(int work) const;
    Source source() const { return m_source; }


private:
    void open(const QString &path, Source source);
    void fail(const QString &reason);
    void opened(ScanRenderer *renderer, const QList<QSizeF> &pages);
    void failed(ScanRenderer *renderer, const QString &reason);
    void rendered(ScanRenderer *renderer, int page, QSize size, int turns, QRect clip, const QImage &image);
    // Into the cache from the file server; done(ok, reason, transient) unless a newer fetch of the
    // same kind began (transient: the server or the link is away for now).
    void fetch(const WorkScan &work, const std::function<bool()> &stillWanted,
               const std::function<void(bool ok, const QString &reason, bool transient)> &done);
    void fetchShown(const WorkScan &work, quint64 request);
    QWidget *m_tools = nullptr;
    QLabel *m_status;
    QLabel *m_page;   // "стр. N из M, Z %"
    ScanView *m_view;
    ScanRenderer *m_renderer;
    QString m_opening;   // the file the renderer is opening for the work shown
    ScanRenderer *m_spare;   // renders ahead; the two change places when the work ahead is shown
    struct Ahead {
        WorkScan work;
        quint64 request = 0;
        QString path;
        Source source = Source::None;
        QList<QSizeF> pages;
        QSize pixels;
        QImage first;
        bool ready = false;
    } m_ahead;
    quint64 m_aheadCount = 0;
    WorkScan m_work;   // the work whose scan is shown or on its way
    Source m_source = Source::None;
    quint64 m_request = 0;   // each showing of a work; a fetch's end applies only to its own
};
