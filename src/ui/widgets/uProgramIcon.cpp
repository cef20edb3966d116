#include "uProgramIcon.h"

#include <QApplication>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace {

// The drawing of packaging/lanx1.svg, on its 64 x 64 grid.
void Draw(QPainter &P) {
    const QColor Ink(0x37, 0x47, 0x4f);
    P.setPen(QPen(Ink, 3));
    P.setBrush(QColor(0xee, 0xf2, 0xf5));
    P.drawRoundedRect(QRectF(12, 8, 34, 50), 6, 6);
    QLinearGradient Liquid(0, 30, 0, 56.5);
    Liquid.setColorAt(0, QColor(0x4a, 0xa3, 0xdf));
    Liquid.setColorAt(1, QColor(0x1f, 0x6f, 0xa8));
    QPainterPath Body;
    Body.moveTo(13.5, 30);
    Body.lineTo(44.5, 30);
    Body.lineTo(44.5, 52);
    Body.quadTo(44.5, 56.5, 40, 56.5);
    Body.lineTo(18, 56.5);
    Body.quadTo(13.5, 56.5, 13.5, 52);
    Body.closeSubpath();
    P.setPen(Qt::NoPen);
    P.setBrush(Liquid);
    P.drawPath(Body);
    P.setPen(QPen(QColor(0x0d, 0x3c, 0x61), 1.5));
    P.drawLine(QPointF(13.5, 30), QPointF(44.5, 30));
    QPainterPath Mark;
    Mark.moveTo(60, 30);
    Mark.lineTo(50, 24);
    Mark.lineTo(50, 36);
    Mark.closeSubpath();
    P.setPen(QPen(QColor(0xb7, 0x1c, 0x1c), 1));
    P.setBrush(QColor(0xe5, 0x39, 0x35));
    P.drawPath(Mark);
    P.setPen(QPen(Ink, 2));
    for (const double Y : {14.0, 44.0, 52.0})
        P.drawLine(QPointF(48, Y), QPointF(52, Y));
    P.setPen(Qt::NoPen);
    P.setBrush(Ink);
    P.drawRect(QRectF(25, 3, 8, 6));
}

} // namespace

QIcon ProgramIcon() {
    QIcon Icon;
    for (const int Size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        QPixmap Pixmap(Size, Size);
        Pixmap.fill(Qt::transparent);
        QPainter P(&Pixmap);
        P.setRenderHint(QPainter::Antialiasing);
        P.scale(Size / 64.0, Size / 64.0);
        Draw(P);
        P.end();
        Icon.addPixmap(Pixmap);
    }
    return Icon;
}

void InstallProgramIcon() {
    QApplication::setWindowIcon(ProgramIcon());
}
