#include "widgets/Pictures.h"

#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

namespace Pictures {

QPixmap logo()
{
    QPixmap pm(560, 464);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor blue(30, 70, 140), light(120, 160, 215);
    p.setPen(QPen(blue, 10));
    p.setBrush(QColor(235, 241, 250, 200));
    p.drawEllipse(QPoint(280, 190), 150, 150);
    // an open book under a star: the centre's emblem
    QPainterPath book;
    book.moveTo(180, 230);
    book.quadTo(230, 200, 280, 230);
    book.quadTo(330, 200, 380, 230);
    book.lineTo(380, 290);
    book.quadTo(330, 260, 280, 290);
    book.quadTo(230, 260, 180, 290);
    book.closeSubpath();
    p.setPen(QPen(blue, 6));
    p.setBrush(light);
    p.drawPath(book);
    p.drawLine(280, 230, 280, 290);
    QPolygonF star;
    for (int i = 0; i < 10; ++i) {
        const double r = i % 2 ? 28 : 65, a = -M_PI / 2 + i * M_PI / 5;
        star << QPointF(280 + r * std::cos(a), 140 + r * std::sin(a));
    }
    p.setBrush(QColor(240, 180, 40));
    p.drawPolygon(star);
    QFont f(QStringLiteral("DejaVu Sans"), 40, QFont::Bold);
    p.setFont(f);
    p.setPen(blue);
    p.drawText(QRect(0, 360, 560, 60), Qt::AlignCenter, QStringLiteral("ВЕТЛАН"));
    f.setPointSize(14);
    f.setBold(false);
    p.setFont(f);
    p.drawText(QRect(0, 415, 560, 40), Qt::AlignCenter, QStringLiteral("образовательный центр"));
    return pm;
}

QPixmap emblem()
{
    return logo().copy(120, 30, 320, 320).scaled(89, 89, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
}

QPixmap lamp(bool connected)
{
    QPixmap pm(16, 16);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor c = connected ? QColor(20, 170, 40) : QColor(210, 30, 30);
    QRadialGradient g(QPointF(6, 6), 9);
    g.setColorAt(0, c.lighter(170));
    g.setColorAt(1, c);
    p.setPen(QPen(c.darker(160), 1));
    p.setBrush(g);
    p.drawEllipse(QRectF(1.5, 1.5, 13, 13));
    return pm;
}

} // namespace Pictures
