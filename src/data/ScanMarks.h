#pragma once
#include <QByteArray>
#include <QList>
#include <QPointF>
#include <QSizeF>
#include <QString>

// An expert's marks on a work's scan, each on one page in that page's own points (origin at the
// page's top left, before any turn the view gives it), so they follow zoom, scroll and turn and
// land on the same spot of the checked copy.
struct ScanMark {
    enum class Kind { Tick, Cross, Note, Pen };
    Kind kind = Kind::Tick;
    int page = 0;
    QPointF at;            // a stamp's centre, a note's first line's left end
    QString text;          // a note's text
    QList<QPointF> line;   // a pen line's points
    bool operator==(const ScanMark &) const = default;
};

namespace ScanMarks {
// What a work's marks may hold: far above a real work's, and a bound for a damaged drafts file.
constexpr int kMaxMarks = 500;
constexpr int kMaxLinePoints = 2000;
// The pen lines' points of one work together: painting and the checked copy stay quick.
constexpr int kMaxTotalPoints = 20000;
constexpr qreal kMaxCoordinate = 1e6;   // points; far beyond any page a scan has
// The stored marks' text, at most: what kMaxMarks marks within the bounds above take, with room.
constexpr qsizetype kMaxJsonBytes = 4 << 20;
constexpr int kMaxNoteLength = 200;
constexpr qreal kStampPoints = 18;   // a tick's or cross's side
constexpr qreal kNotePoints = 11;    // a note's font size

// A point as marks keep it: to a hundredth of a point, so that a mark read back equals the one put.
QPointF kept(QPointF p);
QByteArray toJson(const QList<ScanMark> &marks);
// Marks read back; anything out of bounds or malformed is left out, never trusted: at most
// kMaxMarks marks and kMaxTotalPoints pen points, finite points inside pageSizes (when given,
// else within kMaxCoordinate), notes cut to kMaxNoteLength; a text over kMaxJsonBytes is not read.
QList<ScanMark> fromJson(const QByteArray &json, const QList<QSizeF> &pageSizes = {});
int penPoints(const QList<ScanMark> &marks);   // the points of all pen lines
// The mark whose drawing lies within `reach` points of the point on the page, the last drawn first; -1: none.
int markAt(const QList<ScanMark> &marks, int page, QPointF at, qreal reach);
}
