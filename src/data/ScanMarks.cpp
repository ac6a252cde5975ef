#include "data/ScanMarks.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineF>
#include <QRectF>
#include <cmath>

namespace ScanMarks {

namespace {

const char *const kKinds[] = {"tick", "cross", "note", "pen"};

QJsonArray point(QPointF p)
{
    p = kept(p);
    return {p.x(), p.y()};
}

bool readPoint(const QJsonValue &v, QPointF &out)
{
    const QJsonArray a = v.toArray();
    if (a.size() != 2 || !a[0].isDouble() || !a[1].isDouble())
        return false;
    out = QPointF(a[0].toDouble(), a[1].toDouble());
    return std::isfinite(out.x()) && std::isfinite(out.y());
}

bool inside(QPointF p, int page, const QList<QSizeF> &sizes)
{
    if (sizes.isEmpty())
        return p.x() >= 0 && p.y() >= 0 && p.x() <= kMaxCoordinate && p.y() <= kMaxCoordinate;
    if (page >= sizes.size())
        return false;
    return p.x() >= 0 && p.y() >= 0 && p.x() <= sizes[page].width() && p.y() <= sizes[page].height();
}

} // namespace

QPointF kept(QPointF p)
{
    return {std::round(p.x() * 100) / 100, std::round(p.y() * 100) / 100};
}

QByteArray toJson(const QList<ScanMark> &marks)
{
    QJsonArray out;
    for (const ScanMark &m : marks) {
        QJsonObject o{{QStringLiteral("kind"), QString::fromLatin1(kKinds[int(m.kind)])},
                      {QStringLiteral("page"), m.page},
                      {QStringLiteral("at"), point(m.at)}};
        if (m.kind == ScanMark::Kind::Note)
            o.insert(QStringLiteral("text"), m.text);
        if (m.kind == ScanMark::Kind::Pen) {
            QJsonArray line;
            for (QPointF p : m.line)
                line.append(point(p));
            o.insert(QStringLiteral("line"), line);
        }
        out.append(o);
    }
    return QJsonDocument(out).toJson(QJsonDocument::Compact);
}

QList<ScanMark> fromJson(const QByteArray &json, const QList<QSizeF> &pageSizes)
{
    QList<ScanMark> marks;
    if (json.size() > kMaxJsonBytes)
        return marks;   // not ours: nothing we write comes near it
    const QJsonArray all = QJsonDocument::fromJson(json).array();
    int points = 0;
    for (const QJsonValue &v : all) {
        if (marks.size() >= kMaxMarks)
            break;
        const QJsonObject o = v.toObject();
        ScanMark m;
        const QString kind = o.value(QStringLiteral("kind")).toString();
        int k = 0;
        while (k < 4 && kind != QLatin1String(kKinds[k]))
            ++k;
        if (k == 4 || !o.value(QStringLiteral("page")).isDouble())
            continue;
        m.kind = ScanMark::Kind(k);
        const double page = o.value(QStringLiteral("page")).toDouble();
        if (page < 0 || page > 1e6 || page != std::floor(page))
            continue;
        m.page = int(page);
        if (!readPoint(o.value(QStringLiteral("at")), m.at) || !inside(m.at, m.page, pageSizes))
            continue;
        if (m.kind == ScanMark::Kind::Note) {
            m.text = o.value(QStringLiteral("text")).toString().left(kMaxNoteLength);
            if (m.text.trimmed().isEmpty())
                continue;
        }
        if (m.kind == ScanMark::Kind::Pen) {
            const QJsonArray line = o.value(QStringLiteral("line")).toArray();
            for (const QJsonValue &p : line) {
                QPointF q;
                if (m.line.size() >= kMaxLinePoints || points + m.line.size() >= kMaxTotalPoints)
                    break;
                if (readPoint(p, q) && inside(q, m.page, pageSizes))
                    m.line.append(q);
            }
            if (m.line.size() < 2)
                continue;
            points += int(m.line.size());
        }
        marks.append(m);
    }
    return marks;
}

int penPoints(const QList<ScanMark> &marks)
{
    qsizetype n = 0;
    for (const ScanMark &m : marks)
        n += m.line.size();
    return int(n);
}

int markAt(const QList<ScanMark> &marks, int page, QPointF at, qreal reach)
{
    for (int i = int(marks.size()) - 1; i >= 0; --i) {
        const ScanMark &m = marks[i];
        if (m.page != page)
            continue;
        switch (m.kind) {
        case ScanMark::Kind::Tick:
        case ScanMark::Kind::Cross:
            if (QLineF(m.at, at).length() <= kStampPoints / 2 + reach)
                return i;
            break;
        case ScanMark::Kind::Note: {
            // the note's line of text, roughly: its height, and 0.6 of it a character wide
            const QRectF box(m.at.x(), m.at.y() - kNotePoints, kNotePoints * 0.6 * m.text.size(), kNotePoints * 1.3);
            if (box.adjusted(-reach, -reach, reach, reach).contains(at))
                return i;
            break;
        }
        case ScanMark::Kind::Pen:
            for (int j = 1; j < m.line.size(); ++j) {
                // distance from the point to the segment
                const QPointF a = m.line[j - 1], b = m.line[j], ab = b - a;
                const qreal len2 = QPointF::dotProduct(ab, ab);
                const qreal t = len2 > 0 ? std::clamp(QPointF::dotProduct(at - a, ab) / len2, 0.0, 1.0) : 0;
                if (QLineF(a + t * ab, at).length() <= reach)
                    return i;
            }
            break;
        }
    }
    return -1;
}

} // namespace ScanMarks
