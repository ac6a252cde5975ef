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
constexpr int kMaxNoteLength = 200;
constexpr qreal kStampPoints = 18;   // a tick's or cross's side
constexpr qreal kNotePoints = 11;    // a note's font size

// A point as marks keep it: to a hundredth of a point, so that a mark read back equals the one put.
QPointF kept(QPointF p);
QByteArray toJson(const QList<ScanMark> &marks);
// Marks read back; anything out of bounds or malformed is left out, never trusted: at most
// kMaxMarks marks, points inside pageSizes (when given), notes cut to kMaxNoteLength.
QList<ScanMark> fromJson(const QByteArray &json, const QList<QSizeF> &pageSizes = {});
// The mark whose drawing lies within `reach` points of the point on the page, the last drawn first; -1: none.
int markAt(const QList<ScanMark> &marks, int page, QPointF at, qreal reach);
}
