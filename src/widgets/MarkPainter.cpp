#include "widgets/MarkPainter.h"

#include <QFont>
#include <QPainter>
#include <QPainterPath>

namespace MarkPainter {

void draw(QPainter &painter, const ScanMark &mark)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(kRed, mark.kind == ScanMark::Kind::Pen ? 1.5 : 2.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    const qreal side = ScanMarks::kStampPoints;
    const QPointF c = mark.at;
    switch (mark.kind) {
    case ScanMark::Kind::Tick: {
        const QPointF tick[] = {c + QPointF(-0.45, 0.0) * side, c + QPointF(-0.12, 0.35) * side, c + QPointF(0.5, -0.45) * side};
        painter.drawPolyline(tick, 3);
        break;
    }
    case ScanMark::Kind::Cross:
        painter.drawLine(c + QPointF(-0.4, -0.4) * side, c + QPointF(0.4, 0.4) * side);
        painter.drawLine(c + QPointF(-0.4, 0.4) * side, c + QPointF(0.4, -0.4) * side);
        break;
    case ScanMark::Kind::Note: {
        QFont font(QStringLiteral("DejaVu Sans"));
        font.setPixelSize(int(ScanMarks::kNotePoints));
        painter.setFont(font);
        painter.drawText(c, mark.text);
        break;
    }
    case ScanMark::Kind::Pen:
        painter.drawPolyline(mark.line.constData(), int(mark.line.size()));
        break;
    }
    painter.restore();
}

} // namespace MarkPainter
