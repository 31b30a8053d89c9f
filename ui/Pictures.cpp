#include "Pictures.h"

#include <QPainter>
#include <QPainterPath>

#include <functional>

namespace halvio::pictures {

namespace {
constexpr int kSmall = 16;

QPixmap drawn(int size, const std::function<void(QPainter&)>& draw) {
    QPixmap pixmap(size, size);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter);
    return pixmap;
}

QPen thickPen(const QColor& colour, qreal width) {
    QPen pen(colour, width);
    pen.setCapStyle(Qt::RoundCap);
    pen.setJoinStyle(Qt::RoundJoin);
    return pen;
}
} // namespace

QIcon greenTick() {
    return QIcon(drawn(kSmall, [](QPainter& p) {
        p.setPen(thickPen(QColor(0, 150, 0), 2.5));
        p.drawPolyline(QPolygonF({QPointF(3, 8.5), QPointF(6.5, 12), QPointF(13, 4)}));
    }));
}

QIcon redNoEntry() {
    return QIcon(drawn(kSmall, [](QPainter& p) {
        p.setPen(thickPen(QColor(210, 0, 0), 2));
        p.drawEllipse(QRectF(2, 2, 12, 12));
        p.drawLine(QPointF(4.5, 11.5), QPointF(11.5, 4.5));
    }));
}

QIcon redCross() {
    return QIcon(drawn(kSmall, [](QPainter& p) {
        p.setPen(thickPen(QColor(210, 0, 0), 2.5));
        p.drawLine(QPointF(4, 4), QPointF(12, 12));
        p.drawLine(QPointF(12, 4), QPointF(4, 12));
    }));
}

QPixmap programIcon(int size) {
    return drawn(size, [size](QPainter& p) {
        const qreal s = size / 32.0;
        p.scale(s, s);
        p.setPen(QPen(QColor(0, 60, 130), 1.5));
        p.setBrush(QColor(40, 110, 190));
        p.drawEllipse(QRectF(2, 2, 28, 28));
        // A downward arrow: the update coming in.
        QPainterPath arrow;
        arrow.moveTo(13, 7);
        arrow.lineTo(19, 7);
        arrow.lineTo(19, 16);
        arrow.lineTo(24, 16);
        arrow.lineTo(16, 25);
        arrow.lineTo(8, 16);
        arrow.lineTo(13, 16);
        arrow.closeSubpath();
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::white);
        p.drawPath(arrow);
    });
}

QIcon currentRowMarker() {
    return QIcon(drawn(kSmall, [](QPainter& p) {
        p.setPen(Qt::NoPen);
        p.setBrush(Qt::black);
        p.drawPolygon(QPolygonF({QPointF(5, 4), QPointF(11, 8), QPointF(5, 12)}));
    }));
}

} // namespace halvio::pictures
